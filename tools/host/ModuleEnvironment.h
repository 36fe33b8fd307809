// The platform's directory services with the module's file name in place of this program's: the
// directory library linked into the tool then answers what it answers inside the module.
#pragma once

#include <string>
#include <utility>

#include "directories/ForwardingEnvironment.h"
#include "platform/TextConversion.h"

class ModuleEnvironment final : public ForwardingEnvironment {
  public:
    explicit ModuleEnvironment(std::string moduleFile)
        : ForwardingEnvironment(PlatformDirectoryEnvironment()),
          m_moduleFile(std::move(moduleFile)) {}

    std::string ModuleFileName(bool thisModule) override {
        return thisModule ? m_moduleFile : ForwardingEnvironment::ModuleFileName(false);
    }
    std::u16string ThisModulePathWide() override {
        return zeph::platform::NarrowToWide(m_moduleFile);
    }

  private:
    std::string m_moduleFile;
};
