#include "script/ScriptResource.h"

void ScriptResource::locate()
{
    if (!m_fileName.isNull()) m_fileName.findFileInTree();
}

void ScriptResourceImage::load()
{
    locate();
    m_pImage = std::make_unique<CImage32FromData>(m_fileName.getName());
}

void ScriptResource2D::load() { locate(); }

void ScriptResource3D::load() { locate(); }

void ScriptControllerFile::load() { locate(); }
