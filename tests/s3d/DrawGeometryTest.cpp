// Faces, polygons and points on tool-made scenes, worked by hand: faces' sub-materials modulo the
// count and vertex channels by name, texture faces naming missing corners, normals of the deformed
// mesh, polygon building (pairs, their own sub-material, face and texture corner, outline marks),
// a paired quad seen from behind, corners behind the near plane through the clipper, and shapes'
// points through their node and modifiers, of kind 3 too.
#include <string>
#include <vector>

#include "S3DTestSupport.h"
#include "image/CImage32.h"

namespace {

TEST(S3DRender, FacesTakeTheirSubMaterialModuloTheCount)
{
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, "scene {\n triObjects { triObject { header { name \"o\" } material 0\n"
                                    "  vertices { positions [ 0 0 0  1 0 0  0 1 0 ] }\n"
                                    "  faceData { faces [ 0 1 2 ] subMaterials [ 7 ] } } }\n"
                                    " materials { material { name \"m\" subMaterials { subMaterial { } subMaterial { } subMaterial { } } } }\n}\n");
    ASSERT_EQ(scene->getNbTriObject(), 1);
    EXPECT_EQ(scene->getTriObjects()[0].m_faces[0].pSubMaterial, scene->getMaterial(0)->getSubMaterial(1));
    // Channels by name: none, built in, missing.
    S3DTriObject& o = scene->getTriObjects()[0];
    bool perTexture = false;
    EXPECT_EQ(o.findVertexChannel("NULL", perTexture), nullptr);
    EXPECT_EQ(o.findVertexChannel("lightning", perTexture), o.lightValues());
    EXPECT_EQ(o.findVertexChannel("opacityMap", perTexture), nullptr);
    EXPECT_TRUE(reports.has("S3DTriObject warning: o", "vertexChannelOpacityMap needs mapping UV"));
    EXPECT_EQ(o.findVertexChannel("heat", perTexture), nullptr);
    EXPECT_TRUE(reports.has("S3DTriObject warning: o", "Can t find valid vertex channel: heat"));
}

TEST(S3DDrawSceneCorners, TextureFacesNamingMissingCornersAreIgnored)
{
    // Three texture vertices, and a face whose third texture corner is 3: reported, and the
    // object keeps no texture faces (every texture corner 0).
    ScratchDir dir;
    ReportCapture reports;
    auto s = sceneFromText(dir, sceneWithObjects("  triObject { header { name \"o\" } material 0"
                                      " vertices { positions [ 0 0 0  1 0 0  0 1 0 ] textureVertices [ 0 0  1 0  0 1 ] }"
                                      " faceData { faces [ 0 1 2 ] textureFaces [ 0 1 3 ] } }\n",
                                      subMaterial("")));
    const S3DTriObject& o = *s->findTriObject("o");
    EXPECT_FALSE(o.m_hasTextureFaces);
    EXPECT_EQ(o.m_faces[0].textureVertex[2], 0);
    bool reported = false;
    for (const CapturedReport& r : reports.reports())
        reported |= r.text == "load: texture faces name texture vertices that do not exist (ignored)";
    EXPECT_TRUE(reported);
}

TEST(S3DDraw, NormalsFollowTheDeformedMesh)
{
    // A skew along y turned by direction π/2 moves z by -y (k = 1 over the extent 10): the
    // triangle (0,0,0) (10,0,0) (0,10,0) becomes (0,0,0) (10,0,0) (0,10,-10), whose normal
    // (B - A) x (C - A) = (0, 100, 100) is (0, 0.7071, 0.7071).
    ScratchDir dir;
    auto s = sceneFromText(dir, sceneWithObjects("  triObject { header { name \"o\" } material 0\n"
                                      "   vertices { positions [ 0 0 0  10 0 0  0 10 0 ] } faceData { faces [ 0 1 2 ] }\n"
                                      "   modifiers { modifier 9 { parameters { axis 1 amount 10 direction 1.5707964 } } }"
                                      " stack { entry { modifier \"0\" } } }\n",
                                      subMaterial("")));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const S3DTriObject& o = *s->findTriObject("o");
    EXPECT_NEAR(o.m_vertices[2].z, -10.0f, 1e-4f);
    EXPECT_NEAR(o.m_normals[0].x, 0.0f, 1e-5f);
    EXPECT_NEAR(o.m_normals[0].y, 0.70710678f, 1e-5f);
    EXPECT_NEAR(o.m_normals[0].z, 0.70710678f, 1e-5f);
}

TEST(S3DDraw, PolygonBuildingPairsFacesAndMarksOutlines)
{
    // Faces (0 1 2) and (0 2 3) share the edge 2-0: paired (1) they make the quad 0 1 2 3, the
    // second face adding nothing; 2 marks every edge of each triangle, 3 the first two only.
    ScratchDir dir;
    std::string objects;
    for (int option = 0; option <= 3; ++option)
        objects += std::string("  triObject { header { name \"o") + std::to_string(option) + "\" } material 0 option1 " + std::to_string(option) +
                   " vertices { positions [ 0 0 0  1 0 0  1 1 0  0 1 0 ] } faceData { faces [ 0 1 2  0 2 3 ] } }\n";
    auto s = sceneFromText(dir, sceneWithObjects(objects, subMaterial("")));
    const auto polygons = [&](int option) { return s->findTriObject((std::string("o") + std::to_string(option)).c_str())->m_drawOps[0].polygons; };
    ASSERT_EQ(polygons(1).size(), 1u);
    const std::vector<S3DPolygon> paired = polygons(1);
    const S3DPolygon& q = paired[0];
    EXPECT_EQ(q.n, 4);
    EXPECT_EQ(std::vector<int>(q.vertex, q.vertex + 4), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(polygons(0).size(), 2u);
    EXPECT_EQ(polygons(2).size(), 2u);
    EXPECT_EQ(s->findTriObject("o0")->m_lines.size(), 0u);
    EXPECT_EQ(s->findTriObject("o2")->m_lines.size(), 6u);
    EXPECT_EQ(s->findTriObject("o3")->m_lines.size(), 4u);
}

TEST(S3DDrawSceneCorners, PolygonBuildingKeepsFacesTheirOwnSubMaterialFaceAndTextureCorner)
{
    // Paired (option1 1): "split" puts the faces of a pair in two sub-materials, each drawing its
    // own triangle; "apart" has two faces without a common edge, drawn as two triangles, the
    // second its own face 1; "textured" pairs (0 1 2) and (0 2 3) into the quad 0 1 2 3, the
    // second face's far corner 3 bringing its own texture corner 7. Open outlines (option1 3)
    // mark each triangle's edges 0-1 and 1-2.
    ScratchDir dir;
    const std::string quad = " vertices { positions [ 0 0 0  1 0 0  1 1 0  0 1 0 ] textureVertices [ 0 0  1 0  1 1  0 1  0 0  0 0  0 0  0 1 ] }";
    auto s = sceneFromText(
        dir, sceneWithObjects("  triObject { header { name \"split\" } material 0 option1 1" + quad +
                       " faceData { faces [ 0 1 2  0 2 3 ] subMaterials [ 0 1 ] } }\n"
                       "  triObject { header { name \"apart\" } material 0 option1 1"
                       " vertices { positions [ 0 0 0  1 0 0  1 1 0  5 5 0  6 5 0  6 6 0 ] } faceData { faces [ 0 1 2  3 4 5 ] } }\n"
                       "  triObject { header { name \"textured\" } material 0 option1 1" + quad +
                       " faceData { faces [ 0 1 2  0 2 3 ] textureFaces [ 0 1 2  5 6 7 ] } }\n"
                       "  triObject { header { name \"open\" } material 0 option1 3" + quad +
                       " faceData { faces [ 0 1 2  0 2 3 ] } }\n",
                   subMaterial("") + subMaterial("")));
    const S3DTriObject& split = *s->findTriObject("split");
    ASSERT_EQ(split.m_drawOps.size(), 2u);
    ASSERT_EQ(split.m_drawOps[1].polygons.size(), 1u);
    const S3DPolygon& second = split.m_drawOps[1].polygons[0];
    EXPECT_EQ(second.n, 3);
    EXPECT_EQ(second.face, 1);
    EXPECT_EQ(std::vector<int>(second.vertex, second.vertex + 3), (std::vector<int>{0, 2, 3}));

    const S3DTriObject& apart = *s->findTriObject("apart");
    ASSERT_EQ(apart.m_drawOps.size(), 1u);
    ASSERT_EQ(apart.m_drawOps[0].polygons.size(), 2u);
    EXPECT_EQ(apart.m_drawOps[0].polygons[0].face, 0);
    EXPECT_EQ(apart.m_drawOps[0].polygons[1].face, 1);
    EXPECT_EQ(apart.m_drawOps[0].polygons[1].vertex[0], 3);

    const S3DPolygon& q = s->findTriObject("textured")->m_drawOps[0].polygons[0];
    ASSERT_EQ(q.n, 4);
    EXPECT_EQ(std::vector<int>(q.textureVertex, q.textureVertex + 4), (std::vector<int>{0, 1, 2, 7}));

    const S3DTriObject& open = *s->findTriObject("open");
    ASSERT_EQ(open.m_lines.size(), 4u);
    const S3DProjectedVertex* p = open.m_projected.data();
    const int want[4][2] = {{0, 1}, {1, 2}, {0, 2}, {2, 3}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(open.m_lines[size_t(i)].vertex[0] - p, want[i][0]) << i;
        EXPECT_EQ(open.m_lines[size_t(i)].vertex[1] - p, want[i][1]) << i;
    }
}

TEST(S3DDrawDetails, PairedQuadSeenFromBehindFillsItsWholeArea)
{
    // Faces (0 2 1) and (0 3 2) run clockwise on the screen: paired they make the
    // quad 0 3 2 1, which faces away; two-sided, it is drawn with its first and
    // third corners exchanged, the convex 2 3 0 1, filling the whole square: its
    // top and bottom middles as well as its sides.
    ScratchDir dir;
    auto s =
        sceneFromText(dir, sceneWithObjects(square("q", "0 2 1  0 3 2", " option1 1"), subMaterial("twoSided 1 diffuse 1 0 0")));
    ASSERT_EQ(s->findTriObject("q")->m_drawOps[0].polygons.size(), 1u);
    SceneFrame f;
    f.render(*s);
    const uint32_t centre = f.at(384, 128);
    EXPECT_NE(centre, 0u);
    EXPECT_EQ(f.at(384, 60), centre);  // top middle
    EXPECT_EQ(f.at(384, 195), centre); // bottom middle
    EXPECT_EQ(f.at(340, 128), centre); // left middle
    EXPECT_EQ(f.at(428, 128), centre); // right middle
}

TEST(S3DDraw, CornersBehindTheNearPlaneGoThroughTheClipper)
{
    // Camera depths: the bottom corner at 5 (before the near plane at 10), the top two at 100.
    // Cut at depth 10, the polygon ends at y = 138.8 on the screen; drawn without the clipper it
    // would reach down to the corner's projection at y = 179.2.
    ScratchDir dir;
    auto s = sceneFromText(dir, sceneWithObjects("  triObject { header { name \"o\" } material 0\n"
                                      "   vertices { positions [ 0 -1 -95  50 10 0  -50 10 0 ] } faceData { faces [ 0 1 2 ] } }\n",
                                      subMaterial("twoSided 1 diffuse 1 0 0")));
    SceneFrame f;
    f.render(*s);
    EXPECT_EQ(f.at(256, 120), 0xFF0000u);
    EXPECT_EQ(f.at(256, 136), 0xFF0000u);
    EXPECT_EQ(f.at(256, 142), 0u);
    EXPECT_EQ(f.at(256, 160), 0u);
}

TEST(S3DDrawSceneCorners, ShapePointsGoThroughTheirNodeBeforeTheCamera)
{
    // A shape whose node (mode 1) turns half a turn about y and moves to (10, 20, 0): its point
    // (5, 0, 0) lands at world (5, 20, 0), screen (268.8, 76.8), in the fully lit green. (Camera
    // before node would put it at (5, 20, -100), behind the camera.)
    ScratchDir dir;
    auto s = sceneFromText(dir, sceneWithObjects("", subMaterial("diffuse 0 1 0"),
                                      " shapes { shape 1 { common { header { name \"p\" node { values { mode 1 position 10 20 0"
                                      " rotation 3.1415927 0 1 0 } } } material 0 vertices { positions [ 5 0 0 ] } } } }\n"));
    SceneFrame frame;
    frame.render(*s);
    EXPECT_EQ(frame.at(268, 76) & 0xFFFFFFu, 0x00FF00u);

    // A shape's modifier stack moves its points: the skew along y turned by π/2 (k = 1 over the
    // extent 10) takes (0, 10, 0) to (0, 10, -10), depth 90: screen y 128 - 10 · 256 / 90 = 99.6.
    ScratchDir skewDir;
    auto skewed = sceneFromText(
        skewDir, sceneWithObjects("", subMaterial("diffuse 0 1 0"),
                       " shapes { shape 1 { common { header { name \"p\" } material 0"
                       " vertices { positions [ 0 0 0  10 0 0  0 10 0 ] }"
                       " modifiers { modifier 9 { parameters { axis 1 amount 10 direction 1.5707964 } } }"
                       " stack { entry { modifier \"0\" } } } } }\n"));
    SceneFrame skewFrame;
    skewFrame.render(*skewed);
    EXPECT_EQ(skewFrame.at(256, 99) & 0xFFFFFFu, 0x00FF00u);
    EXPECT_EQ(skewFrame.at(256, 102) & 0xFFFFFFu, 0u);
}

TEST(S3DMoreCases, ShapesOfKindThreeLoadAndDrawTheirPoints)
{
    // Kinds 1 to 3 are shapes; 4 is not (reported). The kind-3 shape's vertex at the origin is
    // drawn at (256, 128) in its sub-material's fully lit colour, green.
    ScratchDir dir;
    ReportCapture reports;
    auto s = sceneFromText(dir, sceneWithBody(" shapes { shape 3 { common { header { name \"k3\" } material 0"
                                      " vertices { positions [ 0 0 0 ] } } }\n"
                                      "  shape 4 { common { header { name \"k4\" } } } }\n",
                                      subMaterial("diffuse 0 1 0")));
    ASSERT_NE(s->findShape("k3"), nullptr);
    EXPECT_EQ(s->findShape("k3")->getKind(), 3);
    EXPECT_EQ(s->findShape("k4"), nullptr);
    EXPECT_TRUE(reports.has("S3DScene warning:", "unknow shape type: 4"));
    SceneFrame f;
    f.render(*s, SceneFrame::Depth::None);
    EXPECT_EQ(f.at(256, 128), 0x00FF00u);
}

} // namespace
