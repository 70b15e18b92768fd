#include "s3d/S3DGeometryObject.h"

#include <algorithm>

#include "s3d/L3xFormat.h"
#include "s3d/L3xRead.h"

void S3DSoftBinding::load(ChunkFileReader& r)
{
    ChunkFileReader child;
    while (r.nextChild(child)) {
        switch (child.getIdentifier()) {
        case kL3xBindingUseChannel: useChannel = child.readInt(); break;
        case kL3xBindingInvert: invert = child.readInt(); break;
        case kL3xBindingChannel: child.readString(channelName); break;
        default: break;
        }
    }
}

void S3DValueBlock::load(ChunkFileReader& r)
{
    ChunkFileReader child;
    while (r.nextChild(child)) {
        switch (child.getIdentifier()) {
        case kL3xBlockValue1: value1 = uint32_t(child.readInt()); break;
        case kL3xBlockValue2: value2 = uint32_t(child.readInt()); break;
        case kL3xBlockText: child.readString(text); break;
        case kL3xBlockTexture:
            if (!pTextureMap) pTextureMap = std::make_unique<S3DTextureMap>();
            pTextureMap->load(child);
            break;
        default: break;
        }
    }
}

std::string S3DGeometryObject::caption() const { return std::string(m_kind) + " warning: " + getName(); }

void S3DGeometryObject::warn(const char* text) const { reportWarning(caption().c_str(), text); }

void S3DGeometryObject::loadModifiers(ChunkFileReader& r)
{
    // The count first: counting the items walks the children that follow it.
    const int count = readCount16(r);
    const int n = clampItemCount(r, count, countItems(r, kL3xModifierItem), caption().c_str(), "load: modifier stack");
    m_modifiers.clear();
    m_modifiers.reserve(size_t(n));
    ChunkFileReader item;
    while (r.nextChild(item)) {
        if (item.getIdentifier() != kL3xModifierItem || int(m_modifiers.size()) >= n) continue;
        const int type = item.readByte();
        std::unique_ptr<S3DModifier> modifier = createObjectModifier(type);
        if (!modifier) {
            warn(formatText("can t find modifier with id: %d", type).c_str());
            continue;
        }
        modifier->load(item);
        modifier->m_boundsMin = m_boundsMin;
        modifier->m_boundsMax = m_boundsMax;
        modifier->m_center = m_header.m_node.getPivot();
        m_modifiers.push_back(std::move(modifier));
    }
}

bool S3DGeometryObject::loadCommonChild(ChunkFileReader& child)
{
    const std::string cap = caption();
    ChunkFileReader item;
    const uint16_t id = child.getIdentifier();
    switch (id) {
    case kL3xItemHeader: m_header.load(child); return true;
    case kL3xMaterialIndex: m_materialIndex = static_cast<uint16_t>(child.readShort()); return true;
    case kL3xModifierStack: loadModifiers(child); return true;
    case kL3xStackOrder:
        loadCountedList(child, kL3xStackEntry, m_stack, cap.c_str(), "load: stack order",
                        [](S3DStackEntry& e, ChunkFileReader& r) {
                            ChunkFileReader c;
                            while (r.nextChild(c)) {
                                if (c.getIdentifier() == kL3xStackIndex) c.readString(e.indexText);
                                else if (c.getIdentifier() == kL3xStackBinding) e.binding.load(c);
                            }
                        });
        return true;
    case kL3xWSBindings:
        loadCountedList(child, kL3xWSBinding, m_wsBindings, cap.c_str(),
                        "load: world-space modifier bindings", [](S3DWSBinding& b, ChunkFileReader& r) {
                            ChunkFileReader c;
                            while (r.nextChild(c)) {
                                if (c.getIdentifier() == kL3xWSBindingName) c.readString(b.name);
                                else if (c.getIdentifier() == kL3xWSBindingSoft) b.binding.load(c);
                            }
                        });
        return true;
    case kL3xLightNames:
        loadCountedList(child, kL3xLightName, m_lightNames, cap.c_str(), "load: light list",
                        [](StringC& name, ChunkFileReader& r) { r.readString(name); });
        m_lights.assign(m_lightNames.size(), nullptr);
        return true;
    case kL3xChannelList1:
    case kL3xChannelList2:
    case kL3xChannelList3: {
        const int list = (id - kL3xChannelList1) / 10;
        loadCountedList(child, uint16_t(id + 1), m_channelRecords[list], cap.c_str(),
                        "load: vertex channel list",
                        [](std::vector<uint8_t>& bytes, ChunkFileReader& r) { bytes = readPayload(r); });
        return true;
    }
    case kL3xParamBlocks:
        while (child.nextChild(item)) {
            const int block = item.getIdentifier() - kL3xParamBlock1;
            if (block >= 0 && block < 3) m_paramBlocks[block].load(item);
        }
        return true;
    default: return false;
    }
}
