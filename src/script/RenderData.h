// Render data: what a write operation draws into its layer — a screen layer or image layer
// (a buffer copied over), 2D and 3D scene descriptions, and the sky box placeholder.
#pragma once

#include <memory>

#include "image/CImage32.h"
#include "script/ScriptNamedEntry.h"

class LECXController;
class ScriptResource2D;
class ScriptResource3D;
class S3DScene;
class ViewPort;

class RenderData : public ScriptNamedEntry {
public:
    virtual void render(CImage32* destination) = 0;
    virtual void setController(LECXController* controller) { (void)controller; }
    // LAYER_DEPENDENCY lines reach the 2D and 3D descriptions here; no kind acts on them.
    virtual void addDependency(const StringC& word, RenderData* screenLayer) { (void)word, (void)screenLayer; }
    LECXController* getController() const { return m_pController; }

    int m_timeMs = 0;       // demo time of the current write (ms)
    int m_localTimeMs = 0;  // time since the start of the write window (ms)
    ScriptLayerDimension m_dimension;

protected:
    // Reports under "<KIND> <name> :".
    void warn(const char* kind, const char* text) const;
    LECXController* m_pController = nullptr;
};

// Scene frame at 30 frames per second from the start of the write window, shifted by the time
// offset, looping over the scene's frame count: always below the count, 0 for a scene without
// frames.
[[nodiscard]] float sceneFrame(int timeOffset, int localTime, float frameCount);

// Draws its 2D scene at the scene frame of the write, through the camera of its index.
class RenderData2DDesc : public RenderData {
public:
    void render(CImage32* destination) override;
    int m_timeOffset = 0;
    int m_camera = 0;
    ScriptResource2D* m_pResource = nullptr;

private:
    bool m_cameraReported = false;
};

// Draws a 3D scene into the destination through its own view port (and depth buffer).
class RenderData3DDesc : public RenderData {
public:
    RenderData3DDesc();
    ~RenderData3DDesc() override;
    // Creates the view port at the dimension's size (after the dimension is stored).
    void createViewPort();
    // Takes the resource's scene; the view port owns a depth buffer only when the scene draws
    // with one (else it is released).
    void setResource(ScriptResource3D* resource);
    // Clears the depth buffer, takes the destination as the view port's screen, then the
    // scene's setViewPort, setCamera, update(frame), the controller, prepare and render.
    void render(CImage32* destination) override;
    // Accepts the L3X controller (type code 2) only and makes the scene its target.
    void setController(LECXController* controller) override;
    S3DScene* getScene() const { return m_pScene; }
    ViewPort* getViewPort() const { return m_pViewPort.get(); }

    int m_timeOffset = 0;
    int m_camera = 0;
    ScriptResource3D* m_pResource = nullptr;

private:
    S3DScene* m_pScene = nullptr;
    std::unique_ptr<ViewPort> m_pViewPort;
};

class RenderDataSkyBoxDesc : public RenderData {
public:
    void render(CImage32* destination) override { (void)destination; }
    int m_timeOffset = 0;
};

// A layer buffer (screen layer or image layer) that render copies into the destination. A missing
// buffer, or one of another size than the destination, is reported once and draws nothing.
class RenderDataBuffer : public RenderData {
public:
    void render(CImage32* destination) override;
    virtual CImage32* getBuffer() const = 0;

protected:
    RenderDataBuffer(const char* kind, const char* missingText) : m_kind(kind), m_missingText(missingText) {}

private:
    void warnOnce(const char* text);
    const char* m_kind;
    const char* m_missingText;
    bool m_reported = false;
};

class RenderDataScreenLayer : public RenderDataBuffer {
public:
    RenderDataScreenLayer() : RenderDataBuffer(kKind, "m_pBuffer NULL") {}
    CImage32* getBuffer() const override { return m_pBuffer.get(); }
    // Creates the layer's own buffer at the dimension's size.
    void createBuffer();

private:
    static constexpr const char* kKind = "SCREEN_LAYER ";
    std::unique_ptr<CImage32Buffered> m_pBuffer;
};

class RenderDataImage : public RenderDataBuffer {
public:
    RenderDataImage() : RenderDataBuffer("IMAGE ", "render using m_pBuffer NULL") {}
    CImage32* getBuffer() const override { return m_pBuffer; }
    CImage32* m_pBuffer = nullptr;  // the image resource's image; null while it has no pixels
};
