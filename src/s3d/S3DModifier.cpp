#include "s3d/S3DModifier.h"

#include "s3d/L3xFormat.h"
#include "s3d/L3xRead.h"

std::unique_ptr<S3DModifier> createObjectModifier(int type)
{
    if (type < 1 || type > 11) return nullptr;
    return std::make_unique<S3DModifier>(type);
}

std::unique_ptr<S3DModifier> createWorldSpaceModifier(int type)
{
    switch (type) {
    case 3: case 4: case 5: case 7: case 8: case 9: case 12: return std::make_unique<S3DModifier>(type);
    default: return nullptr;
    }
}

void S3DWSModifier::load(ChunkFileReader& r)
{
    ChunkFileReader child;
    while (r.nextChild(child)) {
        if (child.getIdentifier() == kL3xItemHeader) {
            m_header.load(child);
        } else if (child.getIdentifier() == kL3xWSModifierRecord) {
            const int type = child.readByte();
            m_pModifier = createWorldSpaceModifier(type);
            if (!m_pModifier) {
                reportWarning("WSModifier: ", formatText("can t find modifier with id: %d", type).c_str());
                continue;
            }
            m_pModifier->load(child);
        }
    }
    if (m_pModifier) m_pModifier->m_worldSpace = true;
}

void S3DWSModifier::update(float time)
{
    m_header.m_node.update(time);
    if (m_pModifier) m_pModifier->update(time);
}

void S3DWSModifier::prepare()
{
    if (m_pModifier) m_pModifier->prepare();
}
