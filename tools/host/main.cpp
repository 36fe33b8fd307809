// zeph_host: loads the extension module as a host does, creates an instance, shows its public
// data and the status of each operation, and destroys it through slot 0.
//
//   zeph_host [MODULE]
#include <cstdio>
#include <string>

#include "ModuleLoader.h"
#include "StatusText.h"
#include "zeph/ZephExtensionAbi.h"

namespace {

void ShowPublicData(const CZephExtensionAbstract& extension) {
    std::printf("public data: short name \"%s\", host flag %u, ATR filter %u, host value %d\n",
                extension.m_szShortName, static_cast<unsigned>(extension.m_bHostFlag),
                static_cast<unsigned>(extension.m_bAtrFilter), extension.m_nHostValue);
}

void Show(const char* operation, uint32_t status) {
    std::printf("%-13s -> %s\n", operation, StatusText(status).c_str());
}

void RunEachOperation(CZephExtensionAbstract& extension) {
    static const ZephWChar kNoManualReader[] = {0};
    uint8_t buffer[64] = {};
    uint32_t atrLength = sizeof(buffer);
    uint64_t length = sizeof(buffer);
    uint32_t state = 0;
    uint32_t protocol = 0;
    const ZephSendHeader header{2, sizeof(ZephSendHeader)};
    const uint8_t selectMasterFile[] = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};

    Show("SetProtocol", extension.SetProtocol(2, &protocol));
    Show("Power", extension.Power(ZEPH_POWER_WARM_RESET, buffer, &atrLength));
    Show("GetAttribute", extension.GetAttribute(SCARD_ATTR_ZEPH_READER_ACTUAL, buffer, &length));
    Show("SetAttribute", extension.SetAttribute(0x00010100, buffer, 1));
    length = sizeof(buffer);
    Show("Transmit",
         extension.Transmit(&header, selectMasterFile, sizeof(selectMasterFile), buffer, &length));
    length = sizeof(buffer);
    Show("IsPresent", extension.IsPresent(kNoManualReader, buffer, &length, &protocol));
    Show("IsAbsent", extension.IsAbsent());
    Show("GetState", extension.GetState(&state, &protocol));
    extension.Cancel();
    std::printf("%-13s -> (no result)\n", "Cancel");
    length = sizeof(buffer);
    Show("Control", extension.Control(0x42000000u + 55u, nullptr, 0, buffer, &length));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string modulePath = argc > 1 ? argv[1] : DefaultModulePath(argv[0]);
    ModuleLoader module(modulePath);
    if (module.Factory() == nullptr) {
        std::fprintf(stderr, "cannot use %s: %s\n", modulePath.c_str(), module.Error().c_str());
        return 1;
    }
    std::printf("module: %s\n", modulePath.c_str());
    CZephExtensionAbstract* extension = module.Factory()();
    if (extension == nullptr) {
        std::fprintf(stderr, "%s returned no instance\n", ZEPH_EXT_FACTORY_NAME);
        return 1;
    }
    ShowPublicData(*extension);
    RunEachOperation(*extension);
    extension->ScalarDeletingDestructor(1);
    std::printf("instance destroyed through slot 0\n");
    return 0;
}
