// A 3D scene loaded from one .l3x file: tri objects, dummies, shapes, world-space modifiers,
// cameras, lights and materials; the view port it draws into; the lookups controllers use;
// and the per-frame order the script side follows:
//   clearZBuffer, viewPort.setScreen(image), setViewPort, setCamera, update(frame),
//   controllers write parameters, prepare, render.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

#include "control/LECXController.h"
#include "control/LECXTarget.h"
#include "s3d/S3DCamera.h"
#include "s3d/S3DLight.h"
#include "s3d/S3DMaterial.h"
#include "s3d/S3DModifier.h"
#include "s3d/S3DNode.h"
#include "s3d/S3DShape.h"
#include "s3d/S3DTriObject.h"
#include "s3d/ViewPort.h"

class ChunkFileReaderManager;

// The scene is the target of the 3D parameter controllers (type 2), which find its objects
// by name themselves.
class S3DScene : public LECXTarget {
public:
    S3DScene() = default;
    virtual ~S3DScene() = default;
    float* findTargetValue(const char* name) override { (void)name; return nullptr; }
    int getTargetKind() const override { return kLECXL3X; }
    S3DScene(const S3DScene&) = delete;
    S3DScene& operator=(const S3DScene&) = delete;

    // Reads the file, reports a scene without camera and links the objects. A missing or
    // broken file is reported and leaves what could be read; load once per scene.
    void load(const StringC& fileName);
    // The same from the bytes of a file in memory (`fileName` names it in reports).
    void load(const StringC& fileName, const uint8_t* data, size_t size);

    void setViewPort(ViewPort* viewPort);
    // Selects the camera; an index past the cameras is reported once per run.
    void setCamera(int index);
    // Destroys the shapes and makes nb empty slots; createShapeKind fills slot i.
    void createShape(int nb);
    void createShapeKind(int i, int kind);

    // Animates materials, dummies, world-space modifiers, tri objects, cameras, lights and
    // shapes at `time` (frames). Does nothing without a camera.
    void update(float time);
    // Node matrices, hierarchy (parent before child), materials, cameras, lights, world-space
    // modifiers, tri objects and shapes for the current camera. Nothing without a camera.
    void prepare();
    // Drawing arrives with the rasteriser; without a camera it does nothing either way.
    void render();

    // Lookups: exact, case-sensitive, first match in file order; "NULL" or "" gives null.
    S3DObjectHeader* findObject(const char* name);
    S3DTriObject* findTriObject(const char* name);
    S3DShape* findShape(const char* name);
    S3DCamera* findCamera(const char* name);
    S3DWSModifier* findWSModifier(const char* name);
    S3DLight* findLight(const char* name);
    S3DModifier* findModifier(const char* objectName, int type);
    S3DModifier* findModifierGizmo(const char* objectName, int index);
    S3DSubMaterial* findMaterial(const char* name, int index);
    S3DMaterial* getMaterial(int index);

    int getNbTriObject() const { return int(m_triObjects.size()); }
    int getNbDummy() const { return int(m_dummies.size()); }
    int getNbShape() const { return int(m_shapes.size()); }
    int getNbWSModifier() const { return int(m_wsModifiers.size()); }
    int getNbCamera() const { return int(m_cameras.size()); }
    int getNbLight() const { return int(m_lights.size()); }
    int getNbMaterial() const { return int(m_materials.size()); }
    int getCurrentCamera() const { return m_currentCamera; }
    float getTime() const { return m_time; }
    ViewPort* getViewPort() const { return m_pViewPort; }
    // Objects with a parent, parents before their children.
    const std::vector<S3DObjectHeader*>& getLinkedObjects() const { return m_linked; }

    // Arrays are sized once at load and never resized, so pointers into them stay valid.
    std::vector<S3DTriObject> m_triObjects;
    std::vector<S3DDummy> m_dummies;
    std::vector<std::unique_ptr<S3DShape>> m_shapes;
    std::vector<S3DWSModifier> m_wsModifiers;
    std::vector<S3DCamera> m_cameras;
    std::vector<S3DLight> m_lights;
    std::vector<S3DMaterial> m_materials;
    std::vector<S3DTriObject*> m_depthSorted;  // objects drawn through the depth-ordered lists
    uint16_t m_animationLength = 0;
    int32_t m_option1 = 1;  // chunk 500: stored, no effect on drawing yet
    int32_t m_option2 = 0;  // chunk 501
    StringC m_name = "NULL";
    int m_cameraChanged = 0;

private:
    void read(ChunkFileReaderManager& manager);
    void link();
    void linkSkinAndMorph(const std::vector<S3DGeometryObject*>& geometry, std::unordered_set<const S3DObjectHeader*>& hidden);
    void linkHierarchy();
    // Every object header the hierarchy and findObject know, in findObject's search order.
    std::vector<S3DObjectHeader*> objectHeaders();

    ViewPort* m_pViewPort = nullptr;
    std::vector<S3DObjectHeader*> m_linked;
    int m_currentCamera = 0;
    float m_time = 0.0f;
};
