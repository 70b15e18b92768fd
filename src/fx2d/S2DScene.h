// S2DScene: a sprite scene. Nodes of the 3D engine carry sprites (still images or video
// frames), a camera of a position node and a target node projects them onto the image, and each
// sprite is drawn there scaled, optionally rotated, with its blend mode, alpha map and opacity.
#pragma once

#include <memory>
#include <vector>

#include "control/TrackManager.h"
#include "foundation/StringC.h"
#include "image/BlendMode.h"
#include "image/CAvi.h"
#include "image/CImage32FromData.h"
#include "s3d/S3DNode.h"

// A sprite's picture: a still image, or a video (".avi") whose current frame follows the scene
// time (the video's frames are shared with every other user of the file). Empty for the name
// "NULL" or a file that did not load.
class S2DImageSource {
public:
    void load(const char* fileName);
    // The video frame at index modulo its count; still images ignore it.
    void selectFrame(int index);
    const CImage32* current() const { return m_pCurrent; }

private:
    std::unique_ptr<CImage32FromData> m_pImage;
    std::shared_ptr<const CAvi> m_pAvi;
    const CImage32* m_pCurrent = nullptr;
};

struct S2DSprite {
    StringC m_name = "NULL";
    BlendMode m_blendMode = BlendMode::Normal;
    bool m_bilinear = false;  // bilinear filtering
    float m_opacity = 1.0f;
    S2DImageSource m_image;
    S2DImageSource m_alphaMap;
    TrackManagerFloat m_opacityTrack;
};

struct S2DSpriteNode {
    StringC m_name = "NULL";
    StringC m_parentName = "NULL";
    S3DNode m_node;                   // mode 1: full transform
    S3DNode* m_pParent = nullptr;
    int m_spriteIndex = 0;
    S2DSprite* m_pSprite = nullptr;   // none when the index is outside the sprites
};

struct S2DCamera {
    StringC m_name = "NULL";
    StringC m_targetName = "NULL";
    S3DNode m_position;               // mode 0: translation only
    S3DNode m_target;
    float m_fov = 90.0f;              // horizontal, degrees
    float m_roll = 0.0f;
    Matrix m_view = Matrix::identity();
    TrackManagerFloat m_fovTrack;
    TrackManagerFloat m_rollTrack;
};

class S2DScene {
public:
    // Reads a scene file; problems are reported under "S2DScene :" and leave the scene empty
    // (or, for a file without camera, without cameras).
    void load(const char* fileName);
    // Parses a whole scene stream (load reads the file, then this).
    void loadStream(const uint8_t* data, size_t size);

    // Moves every node, camera and sprite to scene time t (frames).
    void update(float t);
    // Draws the sprites through the current camera; nothing without a camera or an image.
    void render(CImage32* image);
    // Selects the current camera; false (and nothing changes) for an index outside the cameras.
    bool setCamera(int index);

    // The frame count of the header, over which the scene loops.
    int getNbFrame() const { return m_frameCount; }
    int getNbCamera() const { return static_cast<int>(m_cameras.size()); }
    const std::vector<S2DSpriteNode>& nodes() const { return m_nodes; }
    const std::vector<std::unique_ptr<S2DSprite>>& sprites() const { return m_sprites; }

private:
    void clear();
    // Each node's sprite by index and parent by name; builds the ordered list.
    void resolve();

    int m_frameCount = 0;
    int m_camera = 0;
    std::vector<S2DSpriteNode> m_nodes;
    std::vector<std::unique_ptr<S2DCamera>> m_cameras;
    std::vector<std::unique_ptr<S2DSprite>> m_sprites;
    std::vector<S2DSpriteNode*> m_ordered;  // nodes with a parent, each after its parent
};
