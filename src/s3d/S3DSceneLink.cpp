// The scene's lookups by name and the linking steps that run once after loading.
#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "s3d/L3xRead.h"
#include "s3d/S3DMorph.h"
#include "s3d/S3DScene.h"
#include "s3d/S3DSkin.h"

namespace {
const char* const kCaption = "S3DScene warning:";

bool sameName(const StringC& a, const char* b) { return a.getName() && std::strcmp(a.getName(), b) == 0; }

// First match in order, by exact name.
template <class T, class Name>
T* findByName(std::vector<T>& items, const char* name, Name nameOf)
{
    if (isNoneName(name)) return nullptr;
    for (T& item : items)
        if (sameName(nameOf(item), name)) return &item;
    return nullptr;
}

int positiveModulo(int i, int n) { return ((i % n) + n) % n; }

// Name → first object of that name, for linking in time linear in the objects.
template <class T>
void indexFirst(std::unordered_map<std::string, T*>& map, const StringC& name, T* item)
{
    if (!isNoneName(name)) map.emplace(name.getName(), item);
}
}

struct S3DScene::HeaderIndex {
    std::vector<S3DObjectHeader*> headers;
    std::unordered_map<std::string, int> firstByName;

    explicit HeaderIndex(std::vector<S3DObjectHeader*> all) : headers(std::move(all))
    {
        firstByName.reserve(headers.size());
        for (size_t i = 0; i < headers.size(); ++i)
            if (!isNoneName(headers[i]->m_name)) firstByName.emplace(headers[i]->m_name.getName(), int(i));
    }
    // What findObject gives for `name`, or -1.
    int find(const char* name) const
    {
        if (isNoneName(name)) return -1;
        const auto it = firstByName.find(name);
        return it == firstByName.end() ? -1 : it->second;
    }
};

std::vector<S3DObjectHeader*> S3DScene::objectHeaders()
{
    std::vector<S3DObjectHeader*> out;
    for (S3DTriObject& o : m_triObjects) out.push_back(&o.m_header);
    for (S3DDummy& d : m_dummies) out.push_back(&d.m_header);
    for (auto& s : m_shapes)
        if (s) out.push_back(&s->m_header);
    for (S3DLight& l : m_lights) out.push_back(&l.m_header);
    for (S3DWSModifier& w : m_wsModifiers) out.push_back(&w.m_header);
    for (S3DCamera& c : m_cameras) {
        out.push_back(&c.m_header);
        out.push_back(&c.m_target);
    }
    return out;
}

S3DObjectHeader* S3DScene::findObject(const char* name)
{
    if (isNoneName(name)) return nullptr;
    for (S3DObjectHeader* h : objectHeaders())
        if (sameName(h->m_name, name)) return h;
    return nullptr;
}

S3DTriObject* S3DScene::findTriObject(const char* name)
{
    return findByName(m_triObjects, name, [](const S3DTriObject& o) -> const StringC& { return o.m_header.m_name; });
}

S3DShape* S3DScene::findShape(const char* name)
{
    if (isNoneName(name)) return nullptr;
    for (auto& s : m_shapes)
        if (s && sameName(s->m_header.m_name, name)) return s.get();
    return nullptr;
}

S3DCamera* S3DScene::findCamera(const char* name)
{
    return findByName(m_cameras, name, [](const S3DCamera& c) -> const StringC& { return c.m_header.m_name; });
}

S3DWSModifier* S3DScene::findWSModifier(const char* name)
{
    return findByName(m_wsModifiers, name, [](const S3DWSModifier& w) -> const StringC& { return w.m_header.m_name; });
}

S3DLight* S3DScene::findLight(const char* name)
{
    if (isNoneName(name)) return nullptr;
    S3DLight* l = findByName(m_lights, name, [](const S3DLight& x) -> const StringC& { return x.m_header.m_name; });
    if (!l) reportWarning(kCaption, (std::string("Can t find light: ") + name).c_str());
    return l;
}

S3DModifier* S3DScene::findModifier(const char* objectName, int type)
{
    if (isNoneName(objectName)) return nullptr;
    if (S3DWSModifier* w = findWSModifier(objectName); w && w->getModifier() && w->getModifier()->getType() == type)
        return w->getModifier();
    const auto firstOfType = [type](S3DGeometryObject* o) -> S3DModifier* {
        if (!o) return nullptr;
        for (auto& m : o->m_modifiers)
            if (m->getType() == type) return m.get();
        return nullptr;
    };
    if (S3DModifier* m = firstOfType(findTriObject(objectName))) return m;
    if (S3DModifier* m = firstOfType(findShape(objectName))) return m;
    return reportWarning(kCaption, formatText("Can't find modifier type %d, of object %s", type, objectName).c_str(),
                         static_cast<S3DModifier*>(nullptr));
}

S3DModifier* S3DScene::findModifierGizmo(const char* objectName, int index)
{
    if (isNoneName(objectName)) return nullptr;
    if (S3DWSModifier* w = findWSModifier(objectName);
        w && w->getModifier() && S3DModifier::isGizmoType(w->getModifier()->getType()))
        return w->getModifier();
    const auto indexed = [index](S3DGeometryObject* o) -> S3DModifier* {
        if (!o || o->m_modifiers.empty()) return nullptr;
        S3DModifier* m = o->m_modifiers[size_t(positiveModulo(index, int(o->m_modifiers.size())))].get();
        return S3DModifier::isGizmoType(m->getType()) ? m : nullptr;
    };
    if (S3DModifier* m = indexed(findTriObject(objectName))) return m;
    if (S3DModifier* m = indexed(findShape(objectName))) return m;
    return reportWarning(kCaption, formatText("Can't find modifier gizmo, object %s", objectName).c_str(),
                         static_cast<S3DModifier*>(nullptr));
}

S3DSubMaterial* S3DScene::findMaterial(const char* name, int index)
{
    if (isNoneName(name)) return nullptr;
    S3DMaterial* m = findByName(m_materials, name, [](const S3DMaterial& x) -> const StringC& { return x.m_name; });
    S3DSubMaterial* sub = nullptr;
    if (m) sub = m->getSubMaterial(m->getCount() > 0 ? positiveModulo(index, m->getCount()) : index);
    if (sub) return sub;
    return reportWarning(kCaption, formatText("Can't find material idx %d, called %s", index, name).c_str(),
                         static_cast<S3DSubMaterial*>(nullptr));
}

S3DMaterial* S3DScene::getMaterial(int index)
{
    return index >= 0 && index < getNbMaterial() ? &m_materials[size_t(index)] : nullptr;
}

void S3DScene::link()
{
    std::vector<S3DGeometryObject*> geometry;
    for (S3DTriObject& o : m_triObjects) geometry.push_back(&o);
    for (auto& s : m_shapes)
        if (s) geometry.push_back(s.get());

    // 1. Skin bones and morph targets by name; the stack order of every object.
    const HeaderIndex index(objectHeaders());
    std::unordered_set<const S3DObjectHeader*> hidden;
    linkSkinAndMorph(geometry, index, hidden);
    for (S3DGeometryObject* o : geometry) o->m_modifierStack.build(*o);

    // 2. World-space modifiers used by tri objects and shapes.
    std::unordered_map<std::string, S3DWSModifier*> wsByName;
    for (S3DWSModifier& w : m_wsModifiers) indexFirst(wsByName, w.m_header.m_name, &w);
    for (S3DGeometryObject* o : geometry) {
        for (S3DWSBinding& b : o->m_wsBindings) {
            const auto it = isNoneName(b.name) ? wsByName.end() : wsByName.find(b.name.getName());
            b.pWSModifier = it == wsByName.end() ? nullptr : it->second;
            if (!b.pWSModifier)
                reportWarning(kCaption, (std::string("Warning can't find WSModifier:") +
                                         (b.name.getName() ? b.name.getName() : "NULL")).c_str());
        }
    }

    // 3. The lights of each tri object's light list.
    std::unordered_map<std::string, S3DLight*> lightByName;
    for (S3DLight& l : m_lights) indexFirst(lightByName, l.m_header.m_name, &l);
    for (S3DTriObject& o : m_triObjects) {
        for (size_t i = 0; i < o.m_lightNames.size(); ++i) {
            const StringC& name = o.m_lightNames[i];
            const auto it = isNoneName(name) ? lightByName.end() : lightByName.find(name.getName());
            o.m_lights[i] = it == lightByName.end() ? nullptr : it->second;
            if (!o.m_lights[i] && !isNoneName(name))
                reportWarning(kCaption, (std::string("Can t find light: ") + name.getName()).c_str());
        }
    }

    // 4. Materials by index.
    for (S3DGeometryObject* o : geometry) {
        o->m_pMaterial = getMaterial(o->m_materialIndex);
        if (!o->m_pMaterial) reportWarning(kCaption, (std::string(o->getName()) + " has NULL material !!").c_str());
    }

    // 5. Faces take their sub-materials.
    for (S3DTriObject& o : m_triObjects) o.prepareMaterial();

    // 6. Hierarchy.
    linkHierarchy(index);

    // 7. Objects named as skin bones or morph targets are not drawn.
    for (S3DGeometryObject* o : geometry)
        if (hidden.count(&o->m_header)) o->m_visible = false;

    // 8. Tri objects set up their drawing: per-frame arrays, draw operations, outlines.
    for (S3DTriObject& o : m_triObjects) o.setupDrawing();

    // 9. The depth-ordered lists: the transparent polygons and outlines of depth-sorted
    // objects, and the vertices of shapes with a material as points (their fully lit colour).
    m_depthSorted.clear();
    m_depthLists.clear();
    for (S3DTriObject& o : m_triObjects)
        if (o.isDepthSorted()) {
            m_depthSorted.push_back(&o);
            o.addDepthItems(m_depthLists);
        }
    for (auto& s : m_shapes)
        if (s) s->addDepthItems(m_depthLists);
    m_depthLists.finish();
}

// Every skin's bones take the world matrices of the objects they name, and every morph's
// targets the rest positions of the tri objects they name; the objects named are listed in
// `hidden`.
void S3DScene::linkSkinAndMorph(const std::vector<S3DGeometryObject*>& geometry, const HeaderIndex& index,
                                std::unordered_set<const S3DObjectHeader*>& hidden)
{
    std::unordered_map<std::string, S3DTriObject*> triObjectByName;
    for (S3DTriObject& t : m_triObjects) indexFirst(triObjectByName, t.m_header.m_name, &t);
    for (S3DGeometryObject* o : geometry) {
        for (auto& m : o->m_modifiers) {
            if (m->getType() == 1) {
                auto& skin = static_cast<S3DModifierSkin&>(*m);
                skin.setObjectMatrix(&o->m_header.m_node.matrix());
                for (int b = 0; b < skin.getNbBone(); ++b) {
                    const int found = index.find(skin.getBoneName(b));
                    if (found < 0) {
                        reportWarning(kCaption, "cant find bone");
                        continue;
                    }
                    S3DObjectHeader* bone = index.headers[size_t(found)];
                    skin.setBoneMatrix(&bone->m_node.matrix(), b);
                    hidden.insert(bone);
                }
            } else if (m->getType() == 2) {
                auto& morph = static_cast<S3DModifierMorph&>(*m);
                for (int t = 0; t < morph.getNbTarget(); ++t) {
                    const char* name = morph.getTargetName(t);
                    const auto it = isNoneName(name) ? triObjectByName.end() : triObjectByName.find(name);
                    S3DTriObject* target = it == triObjectByName.end() ? nullptr : it->second;
                    if (!target) {
                        reportWarning(kCaption, "cant find morph target");
                        continue;
                    }
                    morph.setTargetVertex(t, target->m_restVertices.data(), int(target->m_restVertices.size()));
                    hidden.insert(&target->m_header);
                }
            }
        }
    }
}

// Resolves parent names and orders the objects with a parent so that every parent comes
// before its children, whatever the file order. A chain that comes back to itself is
// reported and broken where it closes.
void S3DScene::linkHierarchy(const HeaderIndex& index)
{
    const std::vector<S3DObjectHeader*>& headers = index.headers;
    std::vector<int> parent(headers.size(), -1);
    for (size_t i = 0; i < headers.size(); ++i) {
        headers[i]->m_pParent = nullptr;
        if (!headers[i]->hasParentName()) continue;
        const int p = index.find(headers[i]->m_parentName.getName());
        if (p < 0) continue;
        parent[i] = p;
        headers[i]->m_pParent = headers[size_t(p)];
    }

    enum : uint8_t { kNew, kOnPath, kDone };
    std::vector<uint8_t> state(headers.size(), kNew);
    std::vector<int> path;
    m_linked.clear();
    for (size_t start = 0; start < headers.size(); ++start) {
        path.clear();
        int i = int(start);
        while (i >= 0 && state[size_t(i)] == kNew) {
            state[size_t(i)] = kOnPath;
            path.push_back(i);
            i = parent[size_t(i)];
        }
        if (i >= 0 && state[size_t(i)] == kOnPath) {
            const int last = path.back();
            reportWarning(kCaption, (std::string("link: parent cycle broken at ") + headers[size_t(last)]->m_name.getName()).c_str());
            parent[size_t(last)] = -1;
            headers[size_t(last)]->m_pParent = nullptr;
        }
        for (auto it = path.rbegin(); it != path.rend(); ++it) {
            state[size_t(*it)] = kDone;
            if (parent[size_t(*it)] >= 0) m_linked.push_back(headers[size_t(*it)]);
        }
    }
}
