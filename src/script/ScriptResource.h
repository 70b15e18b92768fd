// Script resources: files loaded once while the script is read (images, 2D and 3D scenes),
// the sky box placeholder, and the .lecx controller files.
#pragma once

#include <memory>

#include "image/CImage32FromData.h"
#include "script/ScriptNamedEntry.h"

class LECXController;
class S2DScene;
class LECXControllerManager;
class S3DScene;

class ScriptResource : public ScriptNamedEntry {
public:
    // Locates the file (findFileInTree replaces the stored name by the path found), then loads it.
    virtual void load() = 0;
    StringC m_fileName{"NULL"};

protected:
    void locate();
};

class ScriptResourceImage : public ScriptResource {
public:
    void load() override;
    CImage32* getImage() const { return m_pImage.get(); }

private:
    std::unique_ptr<CImage32FromData> m_pImage;
};

// A 2D scene file and the scene loaded from it (empty when the file did not load).
class ScriptResource2D : public ScriptResource {
public:
    ScriptResource2D();
    ~ScriptResource2D() override;
    void load() override;
    S2DScene* getScene() const { return m_pScene.get(); }

private:
    std::unique_ptr<S2DScene> m_pScene;
};

// A 3D scene loaded from its .l3x file. A missing or broken file is reported by the scene,
// which keeps what it could read (possibly nothing); the demo goes on.
class ScriptResource3D : public ScriptResource {
public:
    ScriptResource3D();
    ~ScriptResource3D() override;
    void load() override;
    S3DScene* getScene() const { return m_pScene.get(); }

private:
    std::unique_ptr<S3DScene> m_pScene;
};

// Holds its two file names; loads nothing.
class ScriptResourceSkyBox : public ScriptResource {
public:
    void load() override {}
    StringC m_fileName2{"NULL"};
};

// A .lecx controller file and the controller loaded from it (prepared; the engine binds its
// inputs). No controller when the file failed to load.
class ScriptControllerFile : public ScriptResource {
public:
    ScriptControllerFile();
    ~ScriptControllerFile() override;
    void load() override;
    LECXController* getController() const;

private:
    std::unique_ptr<LECXControllerManager> m_pManager;
};
