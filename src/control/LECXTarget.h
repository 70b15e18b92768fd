// The door through which a .lecx controller reaches what it drives: an effect or mix descriptor,
// or a 3D scene. The target hands out the values it lets a controller write, by the parameter
// names of the controller's kind; the controller finds them once, when it is attached. A target
// that is more than named values (the 3D scene) says which controller kind it serves, so that
// kind, and only it, may treat the target as its own class.
#pragma once

class LECXTarget {
public:
    // The value the parameter `name` drives, or null when this target has no value by that name.
    virtual float* findTargetValue(const char* name) = 0;
    // The controller type code whose class this target is made for (2: a 3D scene), or 0 for a
    // target of named values only.
    virtual int getTargetKind() const { return 0; }

protected:
    ~LECXTarget() = default;
};
