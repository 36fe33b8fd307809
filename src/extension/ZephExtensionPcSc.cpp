#include "extension/ZephExtensionPcSc.h"

#include "crash/ThreadCrashHandlers.h"
#include "pcsc/PlatformPcSc.h"

CZephExtensionPcSc::CZephExtensionPcSc()
    : CZephExtensionPcSc(PlatformPcSc(), PlatformSleeper(), PlatformRegistry()) {}

CZephExtensionPcSc::CZephExtensionPcSc(PcScApi& pcsc, Sleeper& sleeper)
    : CZephExtensionPcSc(pcsc, sleeper, PlatformRegistry()) {}

CZephExtensionPcSc::CZephExtensionPcSc(PcScApi& pcsc, Sleeper& sleeper, RegistryApi& registry)
    : CZephExtensionAbstract("PcSc"),
      m_pcsc(pcsc),
      m_sleeper(sleeper),
      m_cardIdentification{pcsc, registry} {
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
