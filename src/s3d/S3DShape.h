// Shapes: objects of the shared geometry records (no faces) of three kinds. Kind 1 is plain;
// kinds 2 and 3 carry data of their own (child 10), kept as read until their drawing arrives.
#pragma once

#include <memory>

#include "s3d/S3DDrawManager.h"
#include "s3d/S3DGeometryObject.h"

class S3DCamera;
class S3DDepthLists;

class S3DShape : public S3DGeometryObject {
public:
    // Kinds 1, 2 and 3; null for any other.
    static std::unique_ptr<S3DShape> create(int kind);

    int getKind() const { return m_kind; }
    // The item after its kind byte: 1 the common data, 10 the kind's own data.
    void load(ChunkFileReader& r);
    void update(float time, const S3DCamera* camera);
    // Projects the vertices for the current camera (their point items read them).
    void prepare(const S3DCamera& camera);
    // With a material, every vertex becomes a point item in the fully lit colour of the first
    // sub-material.
    void addDepthItems(S3DDepthLists& lists);

    int32_t m_option = 0;                 // chunk 2100
    std::vector<uint8_t> m_kindData;      // chunk 10 (kinds 2 and 3)
    std::vector<S3DProjectedVertex> m_projected;

private:
    explicit S3DShape(int kind) : S3DGeometryObject("S3DShape"), m_kind(kind) {}
    void loadCommon(ChunkFileReader& r);
    int m_kind;
};
