// libFuzzer target for .l3x scene files: the input is the file (any flag byte). A loaded scene
// is given a view port, every camera in turn and a few frames at awkward times (one frame when
// it holds thousands of objects), and its lookups are asked for the names it holds.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "foundation/Report.h"
#include "image/CImage32.h"
#include "s3d/S3DScene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    setReportEcho(false);
    S3DScene scene;
    scene.load("fuzz.l3x", data, size);

    CImage32Buffered image(32, 16);
    ViewPort viewPort;
    viewPort.setScreen(&image);
    scene.setViewPort(&viewPort);
    const float times[] = {-1e30f, -5.0f, 0.0f, 12.5f, 1000.0f, 3e9f, std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN()};
    // A list may make up to 65535 default items from two bytes of count; a scene that large gets
    // one frame, so that such inputs do not slow the search to a crawl.
    const int nbObject = scene.getNbTriObject() + scene.getNbDummy() + scene.getNbShape() + scene.getNbWSModifier() +
                         scene.getNbCamera() + scene.getNbLight() + scene.getNbMaterial();
    const bool large = nbObject > 4096;
    for (int c = 0; c < scene.getNbCamera() + 1 && c < (large ? 1 : 4); ++c) {
        scene.setCamera(c);
        for (float t : times) {
            scene.update(t);
            scene.prepare();
            scene.render();
            if (large) break;
        }
    }
    for (int i = 0; i < scene.getNbTriObject() && i < 8; ++i) {
        const char* name = scene.getTriObjects()[size_t(i)].getName();
        scene.findObject(name);
        scene.findModifier(name, 3);
        scene.findModifierGizmo(name, i - 2);
    }
    for (int i = 0; i < scene.getNbMaterial() && i < 8; ++i) {
        const StringC& name = scene.getMaterials()[size_t(i)].m_name;
        if (name.getName()) scene.findMaterial(name.getName(), i * 7 - 3);
    }
    return 0;
}
