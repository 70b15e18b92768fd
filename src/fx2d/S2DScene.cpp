#include "fx2d/S2DScene.h"

#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>

#include "foundation/FileTools.h"
#include "foundation/PortableMath.h"
#include "foundation/Report.h"
#include "foundation/Saturate.h"
#include "fx2d/S2DFormat.h"
#include "fx2d/S2DStream.h"

namespace {
constexpr const char* kCaption = s2d::kSceneCaption;
// Scene files are small (a few sprite lists and tracks); more than this is not a scene.
constexpr size_t kMaxSceneFileBytes = size_t(16) << 20;
constexpr float kDegreesToRadians = 0.017453292f;
using s2d::ByteStream;
using s2d::readFloatTrack;
using s2d::readPointTrack;
using s2d::readRotationTrack;

// The track's value at t, or `fallback` when it holds no key (an empty track is not evaluated).
float trackValue(const TrackManagerFloat& manager, float t, float fallback)
{
    const TrackFloat* track = manager.getTrack();
    return track && track->getNbKey() > 0 ? manager.getValue(t) : fallback;
}

bool endsWithAvi(const char* name)
{
    const size_t n = std::strlen(name);
    return n >= 4 && compareNoCase(name + n - 4, ".avi") == 0;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Image sources

void S2DImageSource::load(const char* fileName)
{
    if (isNoneName(fileName)) return;
    StringC path(fileName);
    path.findFileInTree();
    if (endsWithAvi(fileName)) {
        m_pAvi = CAvi::open(path.getName());
        m_pCurrent = m_pAvi->frame(0);
    } else {
        m_pImage = std::make_unique<CImage32FromData>(path.getName());
        m_pCurrent = m_pImage->pixelCount() > 0 ? m_pImage.get() : nullptr;
    }
}

void S2DImageSource::selectFrame(int index)
{
    if (m_pAvi) m_pCurrent = m_pAvi->frame(index);
}

// ---------------------------------------------------------------------------------------------
// Loading

void S2DScene::clear()
{
    m_frameCount = 0;
    m_camera = 0;
    m_nodes.clear();
    m_cameras.clear();
    m_sprites.clear();
    m_ordered.clear();
}

void S2DScene::load(const char* fileName)
{
    clear();
    std::vector<unsigned char> data;
    if (!fileName || !FileTools::readFile(fileName, data, kMaxSceneFileBytes))
        return reportWarning(kCaption, (std::string("load: can't open file ") + (fileName ? fileName : "")).c_str());
    loadStream(data.data(), data.size());
}

void S2DScene::loadStream(const uint8_t* data, size_t size)
{
    clear();
    ByteStream s(data, size);
    // A stream that ends early is reported as such, whichever part was being read.
    auto fail = [this, &s](const char* text) {
        clear();
        reportWarning(kCaption, s.overrun() ? "load: file truncated" : text);
    };

    m_frameCount = s.u16();
    const int nbNode = s.u16();
    if (!s.fits(size_t(nbNode), 2)) return fail("load: file truncated");
    m_nodes.resize(size_t(nbNode));
    for (S2DSpriteNode& node : m_nodes) {
        node.m_spriteIndex = s.u16();
        node.m_node.setMode(1);
    }

    const int nbCamera = s.u16();
    if (s.overrun()) return fail("load: file truncated");
    if (nbCamera == 0) reportWarning(kCaption, "loadCamera: no camera found");
    if (!s.fits(size_t(nbCamera), 6)) return fail("load: file truncated");
    for (int i = 0; i < nbCamera; ++i) {
        auto camera = std::make_unique<S2DCamera>();
        camera->m_position.setMode(0);
        camera->m_target.setMode(0);
        if (!readFloatTrack(s, camera->m_fovTrack) || !readFloatTrack(s, camera->m_rollTrack))
            return fail("load: bad camera track");
        m_cameras.push_back(std::move(camera));
    }

    const int nbSprite = s.u16();
    if (!s.fits(size_t(nbSprite), 9)) return fail("load: file truncated");
    for (int i = 0; i < nbSprite; ++i) {
        auto sprite = std::make_unique<S2DSprite>();
        sprite->m_name = s.str();
        const int blend = s.u8();
        sprite->m_blendMode = blend == kS2DBlendAdd ? BlendMode::Add : blend == kS2DBlendSub ? BlendMode::Sub : BlendMode::Normal;
        const StringC image = s.str();
        sprite->m_bilinear = s.u8() != 0;
        const StringC alpha = s.str();
        (void)s.u8();
        if (!readFloatTrack(s, sprite->m_opacityTrack)) return fail("load: bad sprite track");
        sprite->m_image.load(image.getName());
        sprite->m_alphaMap.load(alpha.getName());
        // An alpha map weighs the image pixel by pixel: one of another size is told once here and
        // left unused when drawing. The frames of a video all have its size.
        const CImage32* picture = sprite->m_image.current();
        const CImage32* mask = sprite->m_alphaMap.current();
        if (picture && mask && (mask->m_width != picture->m_width || mask->m_height != picture->m_height)) {
            const auto size = [](const CImage32& i) {
                return " (" + std::to_string(i.m_width) + "x" + std::to_string(i.m_height) + ")";
            };
            reportWarning(kCaption, (std::string("load: alpha map ") + alpha.getName() + size(*mask) +
                                     " differs in size from image " + image.getName() + size(*picture))
                                        .c_str());
        }
        m_sprites.push_back(std::move(sprite));
    }

    // The optional transform block: names, parents and tracks of the nodes.
    if (s.tag(kS2DTransformTag)) {
        for (S2DSpriteNode& node : m_nodes) {
            node.m_name = s.str();
            node.m_parentName = s.str();
            if (!readPointTrack(s, node.m_node.m_pPositionTrack) || !readPointTrack(s, node.m_node.m_pScaleTrack) ||
                !readRotationTrack(s, node.m_node.m_pRotationTrack))
                return fail("load: bad node track");
        }
        for (auto& camera : m_cameras) {
            camera->m_name = s.str();
            camera->m_targetName = s.str();
            if (!readPointTrack(s, camera->m_position.m_pPositionTrack) ||
                !readPointTrack(s, camera->m_target.m_pPositionTrack))
                return fail("load: bad camera track");
        }
    }
    if (s.overrun()) return fail("load: file truncated");
    resolve();
}

void S2DScene::resolve()
{
    const int n = static_cast<int>(m_nodes.size());
    // Names to nodes, the first of each name in search order: sprite nodes, cameras, targets.
    // The index is the sprite node's (-1 for a camera's node, which has no parent itself).
    std::unordered_map<std::string, std::pair<S3DNode*, int>> byName;
    auto add = [&byName](const StringC& name, S3DNode* node, int index) {
        if (!isNoneName(name)) byName.emplace(name.getName(), std::make_pair(node, index));
    };
    for (int i = 0; i < n; ++i) add(m_nodes[size_t(i)].m_name, &m_nodes[size_t(i)].m_node, i);
    for (auto& camera : m_cameras) add(camera->m_name, &camera->m_position, -1);
    for (auto& camera : m_cameras) add(camera->m_targetName, &camera->m_target, -1);

    std::vector<int> parent(size_t(n), -1);
    for (int i = 0; i < n; ++i) {
        S2DSpriteNode& node = m_nodes[size_t(i)];
        node.m_pSprite =
            node.m_spriteIndex < static_cast<int>(m_sprites.size()) ? m_sprites[size_t(node.m_spriteIndex)].get() : nullptr;
        if (isNoneName(node.m_parentName)) continue;
        const auto found = byName.find(node.m_parentName.getName());
        if (found == byName.end()) {
            // The node then hangs from nothing and its sprite is not seen: say which name failed.
            reportWarning(kCaption, (std::string("resolve: can't find parent ") + node.m_parentName.getName() +
                                     " of node " + (node.m_name.getName() ? node.m_name.getName() : ""))
                                        .c_str());
            continue;
        }
        node.m_pParent = found->second.first;
        parent[size_t(i)] = found->second.second;
    }
    // Parents before children: walk up from each node to a placed node or a root, then place the
    // walk from its top down. A walk that meets itself is a cycle; its last link is cut.
    std::vector<uint8_t> state(size_t(n), 0);  // 0 unplaced, 1 on the current walk, 2 placed
    std::vector<int> walk;
    for (int i = 0; i < n; ++i) {
        walk.clear();
        int j = i;
        while (j >= 0 && state[size_t(j)] == 0) {
            state[size_t(j)] = 1;
            walk.push_back(j);
            j = parent[size_t(j)];
        }
        if (j >= 0 && state[size_t(j)] == 1) {
            const int last = walk.back();
            parent[size_t(last)] = -1;
            m_nodes[size_t(last)].m_pParent = nullptr;
            reportWarning(kCaption, "resolve: parent cycle");
        }
        for (auto it = walk.rbegin(); it != walk.rend(); ++it) {
            state[size_t(*it)] = 2;
            if (m_nodes[size_t(*it)].m_pParent) m_ordered.push_back(&m_nodes[size_t(*it)]);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Animation and drawing

bool S2DScene::setCamera(int index)
{
    if (index < 0 || index >= getNbCamera()) return false;
    m_camera = index;
    return true;
}

void S2DScene::update(float t)
{
    for (auto& camera : m_cameras) {
        camera->m_position.update(t);
        camera->m_target.update(t);
        camera->m_position.refresh();
        camera->m_target.refresh();
        camera->m_fov = trackValue(camera->m_fovTrack, t, camera->m_fov);
        camera->m_roll = trackValue(camera->m_rollTrack, t, 0.0f);
    }
    for (S2DSpriteNode& node : m_nodes) {
        node.m_node.update(t);
        node.m_node.refresh();
    }
    for (S2DSpriteNode* node : m_ordered) node->m_node.compose(*node->m_pParent);

    const int frame = saturateToInt(t);
    for (auto& sprite : m_sprites) {
        sprite->m_opacity = std::fmin(std::fmax(trackValue(sprite->m_opacityTrack, t, 1.0f), 0.0f), 1.0f);
        sprite->m_image.selectFrame(frame);
        sprite->m_alphaMap.selectFrame(frame);
    }
}

void S2DScene::render(CImage32* image)
{
    if (!image || !image->m_pPixels || m_cameras.empty()) return;
    S2DCamera& camera = *m_cameras[size_t(m_camera)];

    const float halfW = image->m_width / 2.0f, halfH = image->m_height / 2.0f;
    const float f = 1.0f / pmath::tan(camera.m_fov * kDegreesToRadians / 2.0f);
    const float factorX = image->m_width * f / 2.0f, factorY = image->m_height * f;

    // Looking (almost) straight up or down the y axis leaves lookAt no heading: such a view is
    // tilted up to a y of 0.2.
    const Point3D eye = camera.m_position.worldPosition();
    Point3D d = camera.m_target.worldPosition() - eye;
    if (std::fabs(d.y) <= 0.2f && std::fabs(d.x) <= 0.2f) d.y = 0.2f;
    camera.m_view = Matrix::lookAt(eye, eye + d, camera.m_roll);

    for (S2DSpriteNode& node : m_nodes) {
        const S2DSprite* sprite = node.m_pSprite;
        const CImage32* source = sprite ? sprite->m_image.current() : nullptr;
        if (!source) continue;
        const Point3D v = camera.m_view.transform(node.m_node.worldPosition());
        float x = halfW, y = halfH;
        if (v.z != 0.0f) {
            x = v.x / v.z * factorX + halfW;
            y = halfH - v.y / v.z * factorY;
        }
        if (!std::isfinite(x) || !std::isfinite(y)) continue;
        // An alpha map weighs the source byte by byte: one of another size (reported at load) is
        // not used.
        const CImage32* alpha = sprite->m_alphaMap.current();
        if (alpha && (alpha->m_width != source->m_width || alpha->m_height != source->m_height)) alpha = nullptr;
        const Point3D scale = node.m_node.getScale();
        const float angle = node.m_node.getRotation().toEuler().z;
        if (angle != 0.0f)
            source->blitRotation(image, angle, x, y, scale.x, scale.y, sprite->m_blendMode, alpha, sprite->m_opacity,
                                 sprite->m_bilinear);
        else
            source->blitScaled(image, x, y, scale.x, scale.y, sprite->m_blendMode, alpha, sprite->m_opacity,
                               sprite->m_bilinear);
    }
}
