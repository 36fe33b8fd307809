// The module part of a diagnosis: loaded as a host loads it, asked for one object whose public
// data is read, and destroyed again through slot 0. Nothing else of the object runs.
#include "DiagnosisFiles.h"

#include <cstring>

#include "ModuleLoader.h"
#include "directories/ConfigDB.h"
#include "platform/TextConversion.h"

ModuleFindings ExamineModule(const std::string& path) {
    ModuleFindings module;
    module.path = path;
    module.toolVersion = ZEPH_TOOL_VERSION;
    module.version =
        zeph::platform::WideToNarrow(CDB_GetFileVersion(zeph::platform::NarrowToWide(path)));
    const ModuleLoader loader(path);
    module.loads = loader.Factory() != nullptr;
    if (!module.loads) {
        module.error = loader.Error();
        return module;
    }
    CZephExtensionAbstract* extension = loader.Factory()();
    module.answers = extension != nullptr;
    if (!module.answers) {
        module.error = std::string(ZEPH_EXT_FACTORY_NAME) + " returned no object";
        return module;
    }
    module.shortName.assign(extension->m_szShortName,
                            ::strnlen(extension->m_szShortName, sizeof extension->m_szShortName));
    module.atrFilter = extension->m_bAtrFilter != 0;
    module.hostFlag = extension->m_bHostFlag;
    module.hostValue = extension->m_nHostValue;
    extension->ScalarDeletingDestructor(1);
    return module;
}
