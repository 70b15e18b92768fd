#include "script/ScriptResource.h"

#include "control/LECXControllerManager.h"
#include "s3d/S3DScene.h"
#include "fx2d/S2DScene.h"

void ScriptResource::locate()
{
    if (!m_fileName.isNull()) m_fileName.findFileInTree();
}

void ScriptResourceImage::load()
{
    locate();
    m_pImage = std::make_unique<CImage32FromData>(m_fileName.getName());
}

ScriptResource2D::ScriptResource2D() = default;

ScriptResource2D::~ScriptResource2D() = default;

void ScriptResource2D::load()
{
    locate();
    m_pScene = std::make_unique<S2DScene>();
    m_pScene->load(m_fileName.getName());
}

ScriptResource3D::ScriptResource3D() = default;

ScriptResource3D::~ScriptResource3D() = default;

void ScriptResource3D::load()
{
    locate();
    m_pScene = std::make_unique<S3DScene>();
    m_pScene->load(m_fileName);
}

ScriptControllerFile::ScriptControllerFile() = default;

ScriptControllerFile::~ScriptControllerFile() = default;

void ScriptControllerFile::load()
{
    locate();
    m_pManager = std::make_unique<LECXControllerManager>();
    m_pManager->load(m_fileName);
    if (LECXController* controller = m_pManager->getController()) {
        controller->setName(m_name);
        controller->prepare();
    }
}

LECXController* ScriptControllerFile::getController() const
{
    return m_pManager ? m_pManager->getController() : nullptr;
}
