#include "s3d/S3DScene.h"

#include "foundation/ChunkFile.h"
#include "image/CImage32.h"
#include "s3d/L3xFormat.h"
#include "s3d/L3xRead.h"

namespace {
const char* const kCaption = "S3DScene warning:";
// Default items a scene makes beyond those its file holds: each of the seven lists once at the
// largest 16-bit count.
const int64_t kMaxSceneDefaultItems = 7 * 65535;
// The "not so much camera" message shows once per run.
bool s_cameraIndexWarningPending = true;
}

bool S3DScene::startLoad()
{
    if (m_loaded) return reportWarning(kCaption, "load: the scene is already loaded", false);
    m_loaded = true;
    return true;
}

void S3DScene::load(const StringC& fileName)
{
    if (!startLoad()) return;
    ChunkFileReaderManager manager(fileName);
    read(manager);
    loadTextures(fileName);
    link();
}

void S3DScene::load(const StringC& fileName, const uint8_t* data, size_t size)
{
    if (!startLoad()) return;
    ChunkFileReaderManager manager(fileName, data, size);
    read(manager);
    loadTextures(fileName);
    link();
}

void S3DScene::loadTextures(const StringC& fileName)
{
    StringC directory, file;
    if (!fileName.isNull()) fileName.splitPath(directory, file);
    for (S3DMaterial& m : m_materials) m.loadTextures(directory);
}

void S3DScene::read(ChunkFileReaderManager& manager)
{
    if (!manager.hasBuffer()) return;  // the manager has reported why
    manager.setOffset(0);
    ChunkFileReader root(&manager);
    if (root.getIdentifier() != kL3xRoot) return reportWarning(kCaption, "not a l3x file");

    // Each list makes exactly the items it announces, those missing from the file
    // default-constructed. Counts are 16-bit, so one list costs at most 65535 default items; a
    // file repeating list chunks could still ask for them over and over, so the items made
    // beyond those present are bounded per scene by every list once at its largest count. A
    // list asking for more once that is spent keeps the items it holds, and is reported.
    int64_t defaultsLeft = kMaxSceneDefaultItems;
    const auto loadList = [&](ChunkFileReader& list, uint16_t itemId, auto& items, const char* error, auto loadItem) {
        const int count = readCount16(list);
        const int present = countItems(list, itemId);
        int n = count;
        if (count - present > defaultsLeft) {
            reportWarning(kCaption, (std::string(error) + ": too many items missing from the file").c_str());
            n = present;
        } else if (count > present) {
            defaultsLeft -= count - present;
        }
        loadListItems(list, n, itemId, items, kCaption, error, loadItem);
    };

    ChunkFileReader child;
    while (root.nextChild(child)) {
        switch (child.getIdentifier()) {
        case kL3xAnimationLength: m_animationLength = uint16_t(child.readShort()); break;
        case kL3xTriObjectList:
            loadList(child, kL3xTriObjectItem, m_triObjects, "loading TriObject error",
                     [](S3DTriObject& o, ChunkFileReader& r) { o.load(r); });
            break;
        case kL3xShapeList:
            loadList(child, kL3xShapeItem, m_shapes, "loading Shape error",
                     [](std::unique_ptr<S3DShape>& slot, ChunkFileReader& r) {
                         const int kind = r.readByte();
                         slot = S3DShape::create(kind);
                         if (!slot) return reportWarning(kCaption, formatText("unknow shape type: %d", kind).c_str());
                         slot->load(r);
                     });
            break;
        case kL3xLightList:
            loadList(child, kL3xLightItem, m_lights, "loading Light error", [](S3DLight& o, ChunkFileReader& r) { o.load(r); });
            break;
        case kL3xCameraList:
            loadList(child, kL3xCameraItem, m_cameras, "loading camera error",
                     [](S3DCamera& o, ChunkFileReader& r) { o.load(r); });
            break;
        case kL3xMaterialList:
            loadList(child, kL3xMaterialItem, m_materials, "loading material error",
                     [](S3DMaterial& o, ChunkFileReader& r) { o.load(r); });
            break;
        case kL3xWSModifierList:
            loadList(child, kL3xWSModifierItem, m_wsModifiers, "loading WSMModifier error",
                     [](S3DWSModifier& o, ChunkFileReader& r) { o.load(r); });
            break;
        case kL3xDummyList:
            loadList(child, kL3xDummyItem, m_dummies, "loading Dummy error", [](S3DDummy& o, ChunkFileReader& r) { o.load(r); });
            break;
        case kL3xSceneDepthBuffer: m_depthBuffer = child.readInt(); break;
        case kL3xSceneOption2: m_option2 = child.readInt(); break;
        case kL3xSceneName: child.readString(m_name); break;
        default: break;
        }
    }
    if (m_cameras.empty()) reportWarning(kCaption, "no camera to render the scene !");
}

void S3DScene::setViewPort(ViewPort* viewPort)
{
    if (!viewPort) return reportWarning(kCaption, "setViewPort: viewPort NULL");
    CImage32* screen = viewPort->getScreen();
    if (!screen) return reportWarning(kCaption, "setViewPort: screen NULL");
    // The scene always draws through the view port it is given (two descriptions of one scene
    // each keep their own image and depth buffer); only cameras set up for another size are
    // resized.
    const float width = float(screen->getWidth()), height = float(screen->getHeight());
    for (S3DCamera& c : m_cameras)
        if (c.m_screenWidth != width || c.m_screenHeight != height) c.setScreen(width, height);
    m_pViewPort = viewPort;
}

void S3DScene::setCamera(int index)
{
    if (m_cameras.empty()) return;
    if (index < 0 || index >= getNbCamera()) {
        if (s_cameraIndexWarningPending) {
            s_cameraIndexWarningPending = false;
            reportWarning(kCaption, "setCamera: not so much camera");
        }
        return;
    }
    m_currentCamera = index;
    m_cameraChanged = 1;
}

void S3DScene::update(float frame)
{
    m_frame = frame;
    if (m_cameras.empty()) return;
    for (S3DMaterial& m : m_materials) m.update(frame);
    for (S3DDummy& d : m_dummies) d.m_header.m_node.update(frame);
    for (S3DWSModifier& w : m_wsModifiers) w.update(frame);
    for (S3DTriObject& o : m_triObjects) o.update(frame);
    for (S3DCamera& c : m_cameras) c.update(frame);
    for (S3DLight& l : m_lights) l.update(frame);
    const S3DCamera* camera = &m_cameras[size_t(m_currentCamera)];
    for (auto& s : m_shapes)
        if (s) s->update(frame, camera);
}

void S3DScene::prepare()
{
    if (m_cameras.empty()) return;
    for (S3DDummy& d : m_dummies) d.m_header.m_node.refresh();
    for (S3DTriObject& o : m_triObjects) o.m_header.m_node.refresh();
    for (S3DWSModifier& w : m_wsModifiers) w.m_header.m_node.refresh();
    for (S3DCamera& c : m_cameras) {
        c.m_header.m_node.refresh();
        c.m_target.m_node.refresh();
    }
    for (S3DLight& l : m_lights) {
        l.m_header.m_node.refresh();
        l.m_target.m_node.refresh();
    }
    for (auto& s : m_shapes)
        if (s) s->m_header.m_node.refresh();
    // Parents come first in the list, so each parent is already in world space.
    for (S3DObjectHeader* h : m_linked) h->m_node.compose(h->m_pParent->m_node);

    for (S3DMaterial& m : m_materials) m.prepare();
    for (S3DCamera& c : m_cameras) c.prepare();
    const S3DCamera& camera = m_cameras[size_t(m_currentCamera)];
    for (S3DLight& l : m_lights) l.prepare(camera);
    for (S3DWSModifier& w : m_wsModifiers) w.prepare();
    for (S3DTriObject& o : m_triObjects) o.prepare(camera);
    for (auto& s : m_shapes)
        if (s) s->prepare(camera);
}

void S3DScene::render()
{
    if (m_cameras.empty() || !m_pViewPort) return;
    m_drawManager.setup(&m_cameras[size_t(m_currentCamera)], m_pViewPort);
    if (!m_drawManager.ready()) return;
    for (S3DTriObject& o : m_triObjects) o.drawFirstPass(m_drawManager);
    for (S3DTriObject& o : m_triObjects) {
        o.drawSecondPass(m_drawManager);
        o.drawOwnLists(m_drawManager);
    }
    // Shapes have no drawing of their own; their vertices are point items of the lists below.
    m_drawManager.drawDepthLists(m_depthLists);
}
