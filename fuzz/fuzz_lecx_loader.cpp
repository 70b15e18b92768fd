// libFuzzer target for .lecx files: the input is the file (any flag byte). A loaded controller is
// prepared, its inputs bound alternately to a key framer, a noise controller and nothing, its
// expressions prepared, its interface tied to a target of plain floats (or, for the 3D kind, to
// no scene), and applied over a few frames with awkward time inputs.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "control/LCXControllerKeyFramer.h"
#include "control/LECXControllerKinds.h"
#include "control/LECXControllerManager.h"
#include "foundation/Report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    setReportEcho(false);
    LECXControllerManager manager;
    manager.load("fuzz.lecx", data, size);
    LECXController* controller = manager.getController();
    if (!controller) return 0;

    LCXControllerKeyFramer keyFramer;
    const LCXKeyFramerPoint points[] = {{0, 0, 0, 0, 0}, {500, 1, 0, 0, 0}};
    keyFramer.createBeatPosition(points, 2);
    keyFramer.setModel(points, 2, kKeyFramerLinear);
    LCXControllerNoise noise;
    LCXController* sources[] = {&keyFramer, &noise, nullptr};

    controller->prepare();
    for (int i = 0; i < controller->getNbInput(); ++i) {
        controller->getInputName(i);
        controller->setInputController(i, sources[i % 3]);
    }
    controller->prepareGroups();

    // Every name the controller asks for gets the next of three floats.
    struct : LECXTarget {
        float fields[3] = {};
        int next = 0;
        float* findTargetValue(const char*) override { return &fields[next++ % 3]; }
    } target;
    controller->setTarget(controller->getType() == kLECXL3X ? nullptr : &target);
    controller->prepareInterface();

    const float times[] = {0.0f, 250.0f, -7.0f, 1e20f, std::numeric_limits<float>::quiet_NaN()};
    for (float t : times) {
        keyFramer.setDirty();
        noise.setDirty();
        controller->setTime1(t);
        controller->setTime2(t * 2.0f);
        controller->apply();
        for (int i = 0; i < controller->getNbParam(); ++i) controller->getValue(i);
    }
    return 0;
}
