// A scene written by tessaline-l3x loads with every value as written, and --print gives the
// text back. Expected values are the text's own numbers or worked out by hand.
#include <cmath>

#include "S3DTestSupport.h"

namespace {

// In the tool's printed form, so that printing the built file must reproduce it exactly.
const char* const kText = R"(scene {
  name "round trip"
  animationLength 120
  triObjects {
    triObject {
      header {
        name "box"
        parent "root"
        node {
          values {
            mode 1
            pivot 1 2 3
            position 10 20 30
            scale 2 2 2
            rotation 1.5707964 0 0 1
          }
          tracks {
            position linear {
              key 0 0 0 0
              key 100 10 20 30
            }
            scale hermite {
              key 0 1 1 1
              key 10 2 2 2
            }
            rotation tcb {
              key 0 0 0 1 0 0 0 0 0 0
              key 10 1 0 1 0 0 0 0 0 0
            }
          }
        }
      }
      material 0
      vertices {
        positions [
          -1 0 0
          1 0 0
          0 2 0
        ]
        textureVertices [
          0 0
          1 0.5
        ]
      }
      faceData {
        faces [
          0 1 2
        ]
        textureFaces [
          0 1 1
        ]
        subMaterials [
          5
        ]
      }
      option5 1
    }
  }
  lights {
    light {
      header {
        name "spot"
      }
      target {
        name "spot target"
      }
      values {
        colour 1 0.5 0.25
        intensity 2
        nearAttenuation 50
        farAttenuation 500
        type 2
        falloff 0.75
        hotspot 0.5
      }
      tracks {
        intensity bezier {
          key 0 0.5 0 0.333 smooth 0 0.333 step
          key 10 1 0 0.333 smooth 0 0.333 smooth
        }
        colour tcb {
          key 0 0 0 0 0 0 0 0 0
          key 10 1 1 1 0 0 0 0 0
        }
      }
    }
  }
  cameras {
    camera {
      header {
        name "cam"
      }
      target {
        name "cam target"
      }
      values {
        fov 1.25
        roll 0.125
        near 5
        far 5000
      }
      tracks {
        fov hermite {
          key 0 1
          key 30 2
        }
        roll tcb {
          key 0 0 0 0 0 0 0
          key 10 1 0 0 0 0 0
        }
      }
    }
  }
  materials {
    material {
      name "mat"
      subMaterials {
        subMaterial {
          name "first"
        }
        subMaterial {
          name "second"
          shading {
            values {
              paletteEnabled 1
              twoSided 1
              blendMode 3
              opacity 0.75
              ambient 0.1 0.2 0.3
              specularPower 12
              textureMap1 {
                values {
                  fileName "tex.tga"
                  tileU 4
                  useTransform 1
                }
              }
            }
            tracks {
              opacity linear {
                key 0 1
                key 10 0
              }
            }
          }
          params2 {
            values {
              text "param"
            }
          }
        }
      }
    }
  }
  dummies {
    dummy {
      header {
        name "root"
      }
    }
  }
  depthBuffer 0
}
)";

TEST(L3xRoundTrip, ValuesLoadAsWrittenAndPrintGivesTheTextBack)
{
    ScratchDir dir;
    // The scene's texture: a 2x2 uncompressed 24-bit picture.
    dir.write("tex.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20", 18) + std::string(12, '\x40'));
    ReportCapture reports;
    std::unique_ptr<S3DScene> scene = sceneFromText(dir, kText);
    EXPECT_EQ(reports.count(), 0u) << (reports.count() ? reports.reports()[0].text : "");
    EXPECT_STREQ(scene->m_name.getName(), "round trip");
    EXPECT_EQ(scene->m_animationLength, 120);
    EXPECT_EQ(scene->m_depthBuffer, 0);

    S3DTriObject* box = scene->findTriObject("box");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->m_header.m_pParent, scene->findObject("root"));
    ASSERT_EQ(box->getNbVertex(), 3);
    EXPECT_EQ(box->m_restVertices[2], Point3D(0, 2, 0));
    EXPECT_EQ(box->m_boundsMin, Point3D(-1, 0, 0));
    EXPECT_EQ(box->m_boundsMax, Point3D(1, 2, 0));
    ASSERT_EQ(box->getNbFace(), 1);
    EXPECT_EQ(box->m_faces[0].textureVertex[1], 1);
    EXPECT_FLOAT_EQ(box->m_textureVertices[1].v, 0.5f);
    // Sub-material number 5 of two sub-materials is the second.
    EXPECT_STREQ(box->m_faces[0].pSubMaterial->m_name.getName(), "second");
    EXPECT_TRUE(box->isDepthSorted());
    EXPECT_EQ(scene->getDepthSorted().size(), 1u);
    S3DNode& node = box->m_header.m_node;
    EXPECT_EQ(node.getPivot(), Point3D(1, 2, 3));
    EXPECT_NEAR(node.getRotation().z, std::sin(0.78539816f), 1e-6f);

    // Tracks at several times: linear halfway; hermite with two keys at u = 0.5 adds half the
    // difference; after the last keys, their values (the rotation: one radian about y).
    node.update(50);
    EXPECT_EQ(node.getPosition(), Point3D(5, 10, 15));
    node.update(5);
    EXPECT_NEAR(node.getScale().x, 1.5f, 1e-6f);
    node.update(200);
    EXPECT_EQ(node.getPosition(), Point3D(10, 20, 30));
    EXPECT_EQ(node.getScale(), Point3D(2, 2, 2));
    EXPECT_NEAR(node.getRotation().y, std::sin(0.5f), 1e-6f);
    EXPECT_NEAR(node.getRotation().w, std::cos(0.5f), 1e-6f);

    S3DCamera* cam = scene->findCamera("cam");
    ASSERT_NE(cam, nullptr);
    EXPECT_FLOAT_EQ(cam->getFov(), 1.25f);
    EXPECT_FLOAT_EQ(cam->getRoll(), 0.125f);
    EXPECT_FLOAT_EQ(cam->getNear(), 5.0f);
    EXPECT_FLOAT_EQ(cam->getFar(), 5000.0f);
    cam->update(15);  // hermite 1 → 2 at u = 0.5 gives 1.5; TCB 0 → 1 at u = 1 gives 1
    EXPECT_FLOAT_EQ(cam->getFov(), 1.5f);
    EXPECT_FLOAT_EQ(cam->getRoll(), 1.0f);
    cam->update(2.5f);  // TCB with two keys: 3u² − 2u³ at u = 0.25
    EXPECT_FLOAT_EQ(cam->getRoll(), 0.15625f);

    S3DLight* spot = scene->findLight("spot");
    ASSERT_NE(spot, nullptr);
    EXPECT_EQ(spot->m_type, 2);
    EXPECT_EQ(spot->m_colour, Point3D(1, 0.5f, 0.25f));
    EXPECT_FLOAT_EQ(spot->m_intensity, 2.0f);
    EXPECT_FLOAT_EQ(spot->m_nearAttenuation, 50.0f);
    EXPECT_FLOAT_EQ(spot->m_farAttenuation, 500.0f);
    EXPECT_FLOAT_EQ(spot->m_falloff, 0.75f);
    EXPECT_FLOAT_EQ(spot->m_hotspot, 0.5f);
    spot->update(5);  // the bezier key steps; the colour TCB is halfway
    EXPECT_FLOAT_EQ(spot->m_intensity, 0.5f);
    EXPECT_NEAR(spot->m_colour.y, 0.5f, 1e-6f);

    S3DSubMaterial* second = scene->findMaterial("mat", 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->m_twoSided, 1);
    EXPECT_EQ(second->m_blendMode, 3);
    EXPECT_FLOAT_EQ(second->m_opacity, 0.75f);
    EXPECT_EQ(second->m_ambient, Point3D(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(second->m_diffuse, Point3D(1, 1, 1));  // not written: the default
    EXPECT_FLOAT_EQ(second->m_specularPower, 12.0f);
    EXPECT_STREQ(second->m_texture1.m_fileName.getName(), "tex.tga");
    EXPECT_FLOAT_EQ(second->m_texture1.m_tileU, 4.0f);
    EXPECT_EQ(second->m_texture1.m_useTransform, 1);
    EXPECT_STREQ(second->m_params2.m_text.getName(), "param");
    second->m_paletteDirty = 0;
    second->update(5);
    EXPECT_FLOAT_EQ(second->m_opacity, 0.5f);
    EXPECT_EQ(second->m_paletteDirty, 1);

    std::string printed;
    ASSERT_EQ(runL3xTool(dir, "--print scene.l3x", &printed), 0);
    EXPECT_EQ(printed, kText);
}

TEST(L3xRoundTrip, MalformedRecordsPrintAsBytesAndRebuildTheSameFile)
{
    ScratchDir dir;
    dir.write("bad.txt", "scene {\n  triObjects 3 {\n    triObject {\n      vertices {\n"
                         "        positions bytes [ ff ff 01 02 03 ]\n      }\n    }\n  }\n"
                         "  chunk 4242 bytes [ 00 01 ]\n}\n");
    ASSERT_EQ(runL3xTool(dir, "bad.txt bad.l3x"), 0);
    std::string printed;
    ASSERT_EQ(runL3xTool(dir, "--print bad.l3x", &printed), 0);
    EXPECT_NE(printed.find("triObjects 3 {"), std::string::npos) << printed;
    EXPECT_NE(printed.find("positions bytes [ ff ff 01 02 03 ]"), std::string::npos) << printed;
    dir.write("again.txt", printed);
    ASSERT_EQ(runL3xTool(dir, "again.txt again.l3x"), 0);
    std::ifstream a(dir.path() + "bad.l3x", std::ios::binary), b(dir.path() + "again.l3x", std::ios::binary);
    std::stringstream sa, sb;
    sa << a.rdbuf();
    sb << b.rdbuf();
    EXPECT_EQ(sa.str(), sb.str());
}

TEST(L3xRoundTrip, ObjGeometryBecomesVerticesFacesAndSubMaterials)
{
    ScratchDir dir;
    dir.write("quad.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 1\n"
                          "usemtl a\nf 1/1 2/2 3/2\nusemtl b\nf -4/1 -2/2 -1/2\n");
    ReportCapture reports;
    auto scene = sceneFromText(dir, "scene {\n  triObjects { triObject { obj \"quad.obj\" } }\n}\n");
    ASSERT_EQ(scene->getNbTriObject(), 1);
    const S3DTriObject& o = scene->getTriObjects()[0];
    ASSERT_EQ(o.getNbVertex(), 4);
    EXPECT_EQ(o.m_vertices[3], Point3D(0, 1, 0));
    ASSERT_EQ(o.getNbFace(), 2);
    EXPECT_EQ(o.m_faces[1].vertex[0], 0);
    EXPECT_EQ(o.m_faces[1].vertex[2], 3);
    EXPECT_EQ(o.m_faces[1].subMaterialNumber, 1);
    EXPECT_TRUE(o.m_hasTextureFaces);
    EXPECT_EQ(o.m_faces[0].textureVertex[2], 1);

    EXPECT_EQ(runL3xTool(dir, "missing.txt out.l3x"), 1);
    dir.write("typo.txt", "scene {\n  camras {}\n}\n");
    std::string out;
    EXPECT_EQ(runL3xTool(dir, "typo.txt out.l3x", &out), 1);
    EXPECT_NE(out.find("typo.txt:2: unknown record camras in scene"), std::string::npos) << out;
}

} // namespace
