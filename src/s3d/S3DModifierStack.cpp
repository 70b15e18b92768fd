#include "s3d/S3DModifierStack.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "foundation/Report.h"
#include "foundation/Saturate.h"
#include "s3d/S3DGeometryObject.h"
#include "s3d/S3DModifier.h"

void applyModifierStack(const S3DStackStep* steps, int nbStep, const Point3D* rest, Point3D* current, int count)
{
    if (count <= 0) return;
    if (nbStep <= 0) {
        std::copy(rest, rest + count, current);
        return;
    }
    for (int s = 0; s < nbStep; ++s) {
        const S3DStackStep& step = steps[s];
        if (s > 0 && step.modifier->usesBoundingBox()) step.modifier->setBoundsFrom(current, count);
        step.modifier->prepare();
        step.modifier->apply(s == 0 ? rest : current, current, count, step.weights, step.invert);
    }
}

void applyWorldSpaceStep(const S3DStackStep& step, const Matrix& viewMatrix, Point3D* points, int count)
{
    if (!step.modifier || count <= 0) return;
    step.modifier->setOwnerMatrix(viewMatrix);
    if (step.modifier->usesBoundingBox()) step.modifier->setBoundsFrom(points, count);
    step.modifier->prepare();
    step.modifier->apply(points, points, count, step.weights, step.invert);
}

const float* findBindingWeights(const S3DSoftBinding& binding, const S3DGeometryObject& object)
{
    return binding.useChannel ? object.findStoredChannel(binding.channelName.getName()) : nullptr;
}

void S3DModifierStack::build(S3DGeometryObject& object)
{
    m_steps.clear();
    m_wsSteps.clear();
    const int nbModifier = int(object.m_modifiers.size());
    for (const S3DStackEntry& entry : object.m_stack) {
        const char* text = entry.indexText.getName() ? entry.indexText.getName() : "NULL";
        if (nbModifier == 0) {
            reportWarning(object.caption().c_str(), (std::string("can t find modifier: ") + text).c_str());
            continue;
        }
        const int index = std::max(0, saturateToInt(std::strtod(text, nullptr))) % nbModifier;
        m_steps.push_back({object.m_modifiers[size_t(index)].get(), findBindingWeights(entry.binding, object),
                           entry.binding.invert != 0});
    }
    for (const S3DWSBinding& b : object.m_wsBindings) m_wsSteps.push_back({&b, findBindingWeights(b.binding, object)});
}

void S3DModifierStack::applyObjectSpace(S3DGeometryObject& object) const
{
    const int count = int(std::min(object.m_vertices.size(), object.m_restVertices.size()));
    applyModifierStack(m_steps.data(), int(m_steps.size()), object.m_restVertices.data(), object.m_vertices.data(),
                       count);
}

void S3DModifierStack::applyWorldSpace(const Matrix& viewMatrix, Point3D* cameraPoints, int count) const
{
    for (const WSStep& ws : m_wsSteps) {
        if (!ws.binding->pWSModifier || !ws.binding->pWSModifier->getModifier()) continue;
        const S3DStackStep step{ws.binding->pWSModifier->getModifier(), ws.weights, ws.binding->binding.invert != 0};
        applyWorldSpaceStep(step, viewMatrix, cameraPoints, count);
    }
}
