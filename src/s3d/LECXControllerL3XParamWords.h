// Inside the 3D parameter controllers: the {word, setter} table a class names its parameters
// by, the transform words nodes and gizmos share, and the keyword dispatch of each file.
#pragma once

#include <cstring>
#include <memory>
#include <utility>

#include "foundation/Quaternion.h"
#include "s3d/LECXControllerL3XParam.h"

// A class whose parameter words are a table of its own setters, Derived::kWords: a word reaches
// the setter beside it and no other.
template <class Derived>
class LECXControllerL3XParamWords : public LECXControllerL3XParam {
public:
    using LECXControllerL3XParam::LECXControllerL3XParam;
    using Setter = void (Derived::*)(float value);
    using Word = std::pair<const char*, Setter>;

protected:
    bool findSetter(const char* word) override
    {
        for (const Word& w : Derived::kWords) {
            if (std::strcmp(w.first, word) != 0) continue;
            m_setter = w.second;
            return true;
        }
        return false;
    }
    void set(float value) override { (static_cast<Derived*>(this)->*m_setter)(value); }

private:
    Setter m_setter = nullptr;
};

// Nodes and gizmos: MAINANIM (Derived::setAnimation), then one part of a transform, read and
// written back through Derived's getPosition / setPosition, getScale / setScale and
// getRotation / setRotation. SCALE combines all three scale components; a ROT word combines
// one Euler angle of the rotation, rebuilt from the three.
template <class Derived>
class LECXControllerL3XParamTransform : public LECXControllerL3XParamWords<Derived> {
    using Base = LECXControllerL3XParamWords<Derived>;
    using T = LECXControllerL3XParamTransform;
    static constexpr int kAll = 3;

public:
    using Base::Base;

    // Not constexpr: GCC will not turn this base's setters into Derived's in a constant expression.
    static inline const typename Base::Word kWords[] = {
        {"MAINANIM", &Derived::setAnimation},
        {"POSX", &T::template combinePosition<0>},
        {"POSY", &T::template combinePosition<1>},
        {"POSZ", &T::template combinePosition<2>},
        {"SCALE", &T::template combineScale<kAll>},
        {"SCALEX", &T::template combineScale<0>},
        {"SCALEY", &T::template combineScale<1>},
        {"SCALEZ", &T::template combineScale<2>},
        {"ROTX", &T::template combineRotation<0>},
        {"ROTY", &T::template combineRotation<1>},
        {"ROTZ", &T::template combineRotation<2>},
    };

protected:
    template <int axis>
    void combinePosition(float value)
    {
        Point3D p = derived().getPosition();
        combineAxis<axis>(p, value);
        derived().setPosition(p);
    }
    template <int axis>
    void combineScale(float value)
    {
        Point3D s = derived().getScale();
        combineAxis<axis>(s, value);
        derived().setScale(s);
    }
    template <int axis>
    void combineRotation(float value)
    {
        Point3D e = derived().getRotation().toEuler();
        combineAxis<axis>(e, value);
        derived().setRotation(Quaternion::fromEuler(e.x, e.y, e.z));
    }

private:
    Derived& derived() { return static_cast<Derived&>(*this); }
    template <int axis>
    void combineAxis(Point3D& p, float value) const
    {
        if (axis == 0 || axis == kAll) p.x = this->combine(p.x, value);
        if (axis == 1 || axis == kAll) p.y = this->combine(p.y, value);
        if (axis == 2 || axis == kAll) p.z = this->combine(p.z, value);
    }
};

// A keyword of the dispatch and the class it makes.
using LECXControllerL3XParamKeyword = std::pair<const char*, std::unique_ptr<LECXControllerL3XParam> (*)()>;

template <class T>
std::unique_ptr<LECXControllerL3XParam> makeL3XParam()
{
    return std::make_unique<T>();
}

// The object the first row naming `keyword` makes, or null.
template <size_t N>
std::unique_ptr<LECXControllerL3XParam> createFromKeywords(const LECXControllerL3XParamKeyword (&rows)[N],
                                                          const char* keyword)
{
    for (const auto& [word, make] : rows)
        if (std::strcmp(word, keyword) == 0) return make();
    return nullptr;
}

// The parameter object for a key's word 0, from each file's keywords; null for a keyword that
// file does not know.
std::unique_ptr<LECXControllerL3XParam> createL3XObjectParam(const char* keyword);
std::unique_ptr<LECXControllerL3XParam> createL3XModifierParam(const char* keyword);
