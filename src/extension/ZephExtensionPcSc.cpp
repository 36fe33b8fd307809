#include "extension/ZephExtensionPcSc.h"

#include "extension/StartupHooks.h"

CZephExtensionPcSc::CZephExtensionPcSc() : CZephExtensionAbstract("PcSc") {
    InstallThreadCrashHandlers();
    m_bHostFlag = 0;
    m_nHostValue = 0;
}

CZephExtensionPcSc::~CZephExtensionPcSc() = default;

void* CZephExtensionPcSc::ScalarDeletingDestructor(unsigned int flags) {
    if ((flags & 1u) != 0) {
        delete this;
    } else {
        this->~CZephExtensionPcSc();
    }
    return this;
}
