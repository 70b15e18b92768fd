// Stack evaluation: an object's modifiers in stack order deform its rest positions into its
// current positions, each entry with its soft-selection weights; world-space modifiers deform
// camera-space positions afterwards. Works on plain arrays; S3DModifierStack resolves an
// object's stack-order entries and world-space bindings once, at linking.
#pragma once

#include <vector>

#include "foundation/Matrix.h"

class S3DModifier;
class S3DGeometryObject;
struct S3DSoftBinding;
struct S3DWSBinding;

// One entry of a stack: the modifier and its weights (null: none), inverted or not.
struct S3DStackStep {
    S3DModifier* modifier = nullptr;
    const float* weights = nullptr;
    bool invert = false;
};

// Each step in order: a later step whose modifier uses the bounding box first takes its bounds
// from the current positions; then the modifier is prepared, once, and deforms. The first step
// reads `rest` and writes `current`, each later one reads and writes `current`. With no steps
// `current` is a copy of `rest`.
void applyModifierStack(const S3DStackStep* steps, int nbStep, const Point3D* rest, Point3D* current, int count);

// A world-space modifier on camera-space points: its owner matrix is the camera's view, its
// bounds follow the points when it uses them, then it deforms them in place.
void applyWorldSpaceStep(const S3DStackStep& step, const Matrix& viewMatrix, Point3D* points, int count);

class S3DModifierStack {
public:
    // Resolves the object's stack-order entries to its modifiers (the index text read as a
    // decimal, negative as 0, modulo the modifier count; an object without modifiers reports
    // "can t find modifier: " and the text) and the weight channels of every binding.
    void build(S3DGeometryObject& object);
    // Step 2 of preparing an object: its stack from rest to current positions.
    void applyObjectSpace(S3DGeometryObject& object) const;
    // Step 4: the world-space bindings on the object's camera-space points.
    void applyWorldSpace(const Matrix& viewMatrix, Point3D* cameraPoints, int count) const;

    const std::vector<S3DStackStep>& getSteps() const { return m_steps; }

private:
    std::vector<S3DStackStep> m_steps;
    struct WSStep {
        const S3DWSBinding* binding = nullptr;
        const float* weights = nullptr;
    };
    std::vector<WSStep> m_wsSteps;
};

// The weights a binding names for `object`: the object's stored channel of that name (one
// weight per vertex) when the binding uses a channel; otherwise null.
const float* findBindingWeights(const S3DSoftBinding& binding, const S3DGeometryObject& object);
