// What tri objects and shapes share: the header, the material index and material, the vertex
// data with its channels (S3DVertexData), the modifier stack with its order and world-space
// bindings, the light list, the vertex channel records and the parameter blocks. Each record's
// count is checked against the bytes that hold it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "s3d/S3DMaterial.h"
#include "s3d/S3DModifier.h"
#include "s3d/S3DModifierStack.h"
#include "s3d/S3DNode.h"
#include "s3d/S3DVertexData.h"

class S3DLight;

// How a modifier entry uses soft selection: a weight channel, inverted or not, by name.
struct S3DSoftBinding {
    int32_t useChannel = 0;
    int32_t invert = 0;
    StringC channelName = "NULL";
    void load(ChunkFileReader& r);
};

struct S3DStackEntry {
    StringC indexText = "NULL";  // the modifier's index as decimal text
    S3DSoftBinding binding;
};

struct S3DWSBinding {
    StringC name = "NULL";
    S3DSoftBinding binding;
    S3DWSModifier* pWSModifier = nullptr;  // resolved at linking
};

// A parameter block (chunk 2070's children) or a texture layer: two 4-byte values, a string
// and, for texture layers, a texture map (made when the record has one, so that the many
// objects a list may leave default stay small). The 4-byte values are kept as read.
struct S3DValueBlock {
    uint32_t value1 = 0;
    uint32_t value2 = 0;
    StringC text = "NULL";
    std::unique_ptr<S3DTextureMap> pTextureMap;
    void load(ChunkFileReader& r);
};

class S3DGeometryObject : public S3DVertexData {
public:
    virtual ~S3DGeometryObject() = default;
    S3DGeometryObject(S3DGeometryObject&&) = default;
    S3DGeometryObject& operator=(S3DGeometryObject&&) = default;

    const char* getName() const { return m_header.m_name.getName() ? m_header.m_name.getName() : "NULL"; }
    // "S3DTriObject warning: NAME"-style caption of this object's reports.
    std::string caption() const;

    S3DObjectHeader m_header;
    int m_materialIndex = 0;
    S3DMaterial* m_pMaterial = nullptr;
    std::vector<std::unique_ptr<S3DModifier>> m_modifiers;
    std::vector<S3DStackEntry> m_stack;
    std::vector<S3DWSBinding> m_wsBindings;
    S3DModifierStack m_modifierStack;  // the stack order and bindings resolved at linking
    std::vector<StringC> m_lightNames;
    std::vector<S3DLight*> m_lights;  // resolved at linking (null for names not found)
    // Vertex channel records (chunks 2041, 2051, 2061), kept as read until channels arrive.
    std::vector<std::vector<uint8_t>> m_channelRecords[3];
    S3DValueBlock m_paramBlocks[3];
    bool m_visible = true;

protected:
    explicit S3DGeometryObject(const char* kind) : m_kind(kind) {}
    // Handles the children both records have; false for the others.
    bool loadCommonChild(ChunkFileReader& child);
    // Reports `text` under this object's caption.
    void warn(const char* text) const;

private:
    void loadModifiers(ChunkFileReader& r);
    const char* m_kind;
};
