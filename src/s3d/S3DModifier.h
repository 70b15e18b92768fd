// Modifiers as the scene holds them: the common frame every type shares (type, bounds,
// centre) and the world-space modifier object. The deformations and the records of each
// type arrive with the modifier work; until then an item keeps its type and skips its record.
#pragma once

#include <memory>

#include "s3d/S3DNode.h"

class S3DModifier {
public:
    explicit S3DModifier(int type) : m_type(type) {}
    virtual ~S3DModifier() = default;

    // Reads the modifier's record (the children after its type byte); nothing is read yet.
    virtual void load(ChunkFileReader& r) { (void)r; }
    virtual void update(float time) { (void)time; }
    virtual void prepare() {}

    int getType() const { return m_type; }
    // Types that deform in the space of a gizmo: 3 to 9, 11 and 12.
    static bool isGizmoType(int type) { return (type >= 3 && type <= 9) || type == 11 || type == 12; }

    Point3D m_boundsMin{-100.0f, -100.0f, -100.0f};
    Point3D m_boundsMax{100.0f, 100.0f, 100.0f};
    Point3D m_center;
    bool m_worldSpace = false;

private:
    int m_type;
};

// The modifier of a type known to objects (1 to 11), or null.
std::unique_ptr<S3DModifier> createObjectModifier(int type);
// The modifier of a type that can act in world space (3, 4, 5, 7, 8, 9, 12), or null.
std::unique_ptr<S3DModifier> createWorldSpaceModifier(int type);

class S3DWSModifier {
public:
    // The item: 1 header; 100 the modifier (type byte, then its record). An unknown type is
    // reported and leaves the item without modifier; a second 100 replaces the first.
    void load(ChunkFileReader& r);
    void update(float time);
    void prepare();

    S3DModifier* getModifier() const { return m_pModifier.get(); }

    S3DObjectHeader m_header;
    std::unique_ptr<S3DModifier> m_pModifier;
};
