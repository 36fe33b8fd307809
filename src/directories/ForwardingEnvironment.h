// A DirectoryEnvironment that hands every call to another one; a subclass replaces the services
// it answers differently (the module's file name for a tool that runs the library on a module's
// behalf, the registry for a test).
#pragma once

#include "directories/DirectoryEnvironment.h"

class ForwardingEnvironment : public DirectoryEnvironment {
  public:
    explicit ForwardingEnvironment(DirectoryEnvironment& target) : m_target(target) {}

    RegistryApi& Registry() override { return m_target.Registry(); }
    int32_t KnownFolderPath(KnownFolder folder, uint32_t flags, std::string& path) override {
        return m_target.KnownFolderPath(folder, flags, path);
    }
    int32_t FolderPathByCsidl(int32_t csidl, std::string& path) override {
        return m_target.FolderPathByCsidl(csidl, path);
    }
    std::string TempPath() override { return m_target.TempPath(); }
    std::string ModuleFileName(bool thisModule) override {
        return m_target.ModuleFileName(thisModule);
    }
    std::u16string ThisModulePathWide() override { return m_target.ThisModulePathWide(); }
    OsVersionReading ReadOsVersion() override { return m_target.ReadOsVersion(); }
    FileVersionReading ReadFileVersion(const std::u16string& path) override {
        return m_target.ReadFileVersion(path);
    }

  private:
    DirectoryEnvironment& m_target;
};
