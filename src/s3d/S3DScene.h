// A 3D scene loaded from one .l3x file: tri objects, dummies, shapes, world-space modifiers,
// cameras, lights and materials; the view port it draws into; the lookups controllers use;
// and the per-frame order the script side follows:
//   clearZBuffer, viewPort.setScreen(image), setViewPort, setCamera, update(frame),
//   controllers write parameters, prepare, render.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <unordered_set>
#include <vector>

#include "control/LECXController.h"
#include "control/LECXTarget.h"
#include "s3d/S3DCamera.h"
#include "s3d/S3DDrawManager.h"
#include "s3d/S3DLight.h"
#include "s3d/S3DMaterial.h"
#include "s3d/S3DModifier.h"
#include "s3d/S3DNode.h"
#include "s3d/S3DShape.h"
#include "s3d/S3DTriObject.h"
#include "s3d/ViewPort.h"

class ChunkFileReaderManager;

// The scene is what a 3D description's L3X controller drives: the controller finds objects,
// modifiers, lights, cameras and materials through the lookups below, not by value names.
class S3DScene : public LECXTarget {
public:
    S3DScene() = default;
    virtual ~S3DScene() = default;
    // No value is reached by name on the scene itself: the L3X controller, the one kind made
    // for it, finds objects, modifiers, lights, cameras and materials through the lookups.
    float* findTargetValue(const char* name) override
    {
        (void)name;
        return nullptr;
    }
    int getTargetKind() const override { return kLECXL3X; }
    S3DScene(const S3DScene&) = delete;
    S3DScene& operator=(const S3DScene&) = delete;

    // Reads the file, reports a scene without camera and links the objects. A missing or
    // broken file is reported and leaves what could be read. A scene loads once: a second load
    // is reported and changes nothing.
    void load(const StringC& fileName);
    // The same from the bytes of a file in memory (`fileName` names it in reports).
    void load(const StringC& fileName, const uint8_t* data, size_t size);

    // Draws through `viewPort` from now on; cameras set up for another screen size take the
    // view port's. A null view port or one without screen is reported and changes nothing.
    void setViewPort(ViewPort* viewPort);
    // Selects the camera; an index past the cameras is reported once per run.
    void setCamera(int index);
    // Animates materials, dummies, world-space modifiers, tri objects, cameras, lights and
    // shapes at scene frame `frame`. Does nothing without a camera.
    void update(float frame);
    // Node matrices, hierarchy (parent before child), materials, cameras, lights, world-space
    // modifiers, tri objects and shapes for the current camera. Nothing without a camera.
    void prepare();
    // Draws into the view port: the draw manager takes the current camera and the view port;
    // every tri object's first pass; every tri object's second pass and own lines; the shapes;
    // then the depth-ordered lists, nearest first. Nothing without a camera or view port.
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
    // The scene frame of the last update (animation frames, not milliseconds).
    float getFrame() const { return m_frame; }
    ViewPort* getViewPort() const { return m_pViewPort; }
    // Objects with a parent, parents before their children.
    const std::vector<S3DObjectHeader*>& getLinkedObjects() const { return m_linked; }
    const S3DDepthLists& getDepthLists() const { return m_depthLists; }

    // The items in file order. Their elements can be changed, never the lists: links, lookups,
    // controllers and the depth lists keep pointers into them (a shape slot cannot be emptied).
    std::span<S3DTriObject> getTriObjects() { return m_triObjects; }
    std::span<const S3DTriObject> getTriObjects() const { return m_triObjects; }
    std::span<S3DDummy> getDummies() { return m_dummies; }
    std::span<const S3DDummy> getDummies() const { return m_dummies; }
    std::span<const std::unique_ptr<S3DShape>> getShapes() const { return m_shapes; }
    std::span<S3DWSModifier> getWSModifiers() { return m_wsModifiers; }
    std::span<const S3DWSModifier> getWSModifiers() const { return m_wsModifiers; }
    std::span<S3DCamera> getCameras() { return m_cameras; }
    std::span<const S3DCamera> getCameras() const { return m_cameras; }
    std::span<S3DLight> getLights() { return m_lights; }
    std::span<const S3DLight> getLights() const { return m_lights; }
    std::span<S3DMaterial> getMaterials() { return m_materials; }
    std::span<const S3DMaterial> getMaterials() const { return m_materials; }
    // The tri objects drawn through the depth-ordered lists.
    std::span<S3DTriObject* const> getDepthSorted() const { return m_depthSorted; }

    uint16_t m_animationLength = 0;
    // Chunk 500: whether the scene draws with a depth buffer (a 3D description's view port owns
    // one only when it is nonzero).
    int32_t m_depthBuffer = 1;
    int32_t m_option2 = 0;  // chunk 501: stored, no effect on drawing
    StringC m_name = "NULL";
    int m_cameraChanged = 0;

private:
    // Sized once, while the file is read (before anything links to them), and never resized:
    // a scene is loaded once and cannot be copied or moved.
    std::vector<S3DTriObject> m_triObjects;
    std::vector<S3DDummy> m_dummies;
    std::vector<std::unique_ptr<S3DShape>> m_shapes;
    std::vector<S3DWSModifier> m_wsModifiers;
    std::vector<S3DCamera> m_cameras;
    std::vector<S3DLight> m_lights;
    std::vector<S3DMaterial> m_materials;
    std::vector<S3DTriObject*> m_depthSorted;
    bool m_loaded = false;

    // False, with a report, when the scene has loaded before; marks it loaded.
    bool startLoad();
    void read(ChunkFileReaderManager& manager);
    // Every object header in findObject's order and the first of each name, built once for the
    // linking steps that look objects up by name.
    struct HeaderIndex;
    void link();
    void linkSkinAndMorph(const std::vector<S3DGeometryObject*>& geometry, const HeaderIndex& index,
                          std::unordered_set<const S3DObjectHeader*>& hidden);
    void linkHierarchy(const HeaderIndex& index);
    // Texture maps of every material, relative names first in the scene file's directory.
    void loadTextures(const StringC& fileName);
    // Every object header the hierarchy and findObject know, in findObject's search order.
    std::vector<S3DObjectHeader*> objectHeaders();

    ViewPort* m_pViewPort = nullptr;
    std::vector<S3DObjectHeader*> m_linked;
    S3DDrawManager m_drawManager;
    S3DDepthLists m_depthLists;
    int m_currentCamera = 0;
    float m_frame = 0.0f;
};
