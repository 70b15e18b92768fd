// The door through which a .lecx controller reaches what it drives: an effect or mix descriptor
// today, a 3D scene later. The target hands out the values it lets a controller write, by the
// parameter names of the controller's kind; the controller finds them once, when it is attached.
#pragma once

class LECXTarget {
public:
    // The value the parameter `name` drives, or null when this target has no value by that name.
    virtual float* findTargetValue(const char* name) = 0;

protected:
    ~LECXTarget() = default;
};
