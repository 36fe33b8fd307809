// Context, reader and status calls of the pcsc-lite backend; the card calls are in
// PcScLiteBackendCard.cpp.
#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "pcsc/pcsclite/PcScLiteClientLock.h"

#include <memory>

#include "pcsc/PcScConstants.h"
#include "pcsc/SmartCardDatabase.h"
#include "pcsc/pcsclite/PcScLiteCall.h"
#include "pcsc/pcsclite/PcScLiteConversion.h"
#include "pcsc/pcsclite/PcScLiteReaderList.h"
#include "pcsc/pcsclite/PcScLiteStatusChange.h"
#include "pcsc/pcsclite/PcScLiteWait.h"
#include "registry/Registry.h"

namespace zeph::platform::pcsclite {

PcScLiteBackend::PcScLiteBackend(const PcScLiteLibrary& library) : m_library(library) {}

PcScLiteBackend::~PcScLiteBackend() {
    for (const auto& context : m_handles.TakeAllContexts()) {
        context->Release();
    }
}

uint32_t PcScLiteBackend::EstablishContext(uint32_t scope, ScardContext* context) {
    if (context == nullptr) {
        return SCARD_E_INVALID_PARAMETER;
    }
    *context = 0;
    if (!m_library.Loaded()) {
        return SCARD_E_NO_SERVICE;
    }
    LiteContext lite = 0;
    const uint32_t result = ToWinResult(ChangingHandleLists(
        [&] { return Lite().establishContext(scope, nullptr, nullptr, &lite); }));
    if (result == SCARD_S_SUCCESS) {
        *context = m_handles.AddContext(std::make_shared<PcScLiteContext>(Lite(), lite));
    }
    return result;
}

uint32_t PcScLiteBackend::ReleaseContext(ScardContext context) {
    const auto released = m_handles.TakeContext(context);
    return released != nullptr ? released->Release() : SCARD_E_INVALID_HANDLE;
}

uint32_t PcScLiteBackend::IsValidContext(ScardContext context) {
    const auto found = m_handles.FindContext(context);
    if (found == nullptr || found->ServiceLost()) {
        return SCARD_E_INVALID_HANDLE;
    }
    PcScLiteCall call(*found);
    if (call.BeginResult() != SCARD_S_SUCCESS) {
        return call.BeginResult();
    }
    return ToWinResult(Lite().isValidContext(found->CardContext()));
}

uint32_t PcScLiteBackend::Cancel(ScardContext context) {
    const auto found = m_handles.FindContext(context);
    if (found == nullptr) {
        return SCARD_E_INVALID_HANDLE;
    }
    found->CancelWaits();
    return SCARD_S_SUCCESS;
}

// pcsc-lite has no reader groups: every group lists all readers.
uint32_t PcScLiteBackend::ListReaders(ScardContext context, const char16_t* /*groups*/,
                                      PcScMemory& readers) {
    readers.Reset();
    const auto found = m_handles.FindContext(context);
    if (found == nullptr) {
        return SCARD_E_INVALID_HANDLE;
    }
    PcScLiteCall call(*found);
    if (call.BeginResult() != SCARD_S_SUCCESS) {
        return call.BeginResult();
    }
    std::vector<std::string> names;
    const uint32_t result = ListLiteReaders(Lite(), found->CardContext(), &names);
    found->NoteResult(result);
    if (result == SCARD_S_SUCCESS) {
        Adopt(readers, context, ToWideMultiString(names));
    }
    return result;
}

uint32_t PcScLiteBackend::GetStatusChange(ScardContext context, uint32_t timeoutMs,
                                          PcScReaderState* states, uint32_t count) {
    const auto found = m_handles.FindContext(context);
    if (found == nullptr) {
        return SCARD_E_INVALID_HANDLE;
    }
    PcScLiteWait wait(*found);
    if (wait.OpenResult() != SCARD_S_SUCCESS) {
        return wait.OpenResult();
    }
    return PcScLiteStatusChange(Lite(), wait).Run(timeoutMs, states, count);
}

// The current state and ATR of each reader come from a status change that does not wait.
uint32_t PcScLiteBackend::LocateCardsByATR(ScardContext context, const PcScAtrMask* masks,
                                           uint32_t maskCount, PcScReaderState* states,
                                           uint32_t count) {
    if ((maskCount > 0 && masks == nullptr) || (count > 0 && states == nullptr)) {
        return SCARD_E_INVALID_PARAMETER;
    }
    uint32_t result = GetStatusChange(context, 0, states, count);
    if (result == SCARD_E_TIMEOUT) {
        result = SCARD_S_SUCCESS;
    }
    if (result != SCARD_S_SUCCESS) {
        return result;
    }
    for (uint32_t i = 0; i < count; ++i) {
        PcScReaderState& state = states[i];
        if ((state.dwEventState & SCARD_STATE_PRESENT) == 0) {
            continue;
        }
        for (uint32_t m = 0; m < maskCount; ++m) {
            if (AtrMatches(masks[m], state.rgbAtr, state.cbAtr)) {
                state.dwEventState |= SCARD_STATE_ATRMATCH;
                break;
            }
        }
    }
    return SCARD_S_SUCCESS;
}

// pcsc-lite keeps no smart card database: the providers come from the registry file, under the
// value names Windows uses. As on Windows, the query needs no context (0 is accepted).
uint32_t PcScLiteBackend::GetCardTypeProviderName(ScardContext context, const char16_t* cardName,
                                                  uint32_t providerId, PcScMemory& provider) {
    provider.Reset();
    if (context != 0 && m_handles.FindContext(context) == nullptr) {
        return SCARD_E_INVALID_HANDLE;
    }
    if (cardName == nullptr) {
        return SCARD_E_INVALID_PARAMETER;
    }
    std::u16string name;
    const uint32_t result = LookUpCardTypeProvider(PlatformRegistry(), cardName, providerId, name);
    if (result == SCARD_S_SUCCESS) {
        name.push_back(u'\0');
        Adopt(provider, context, name);
    }
    return result;
}

uint32_t PcScLiteBackend::FreeMemory(ScardContext /*context*/, const void* memory) {
    if (memory == nullptr || m_allocations.Free(memory)) {
        return SCARD_S_SUCCESS;
    }
    return SCARD_E_INVALID_PARAMETER;
}

uint32_t PcScLiteBackend::ControlCode(uint32_t function) const {
    return kLiteControlCodeBase + function;
}

size_t PcScLiteBackend::OpenWaits(ScardContext context) const {
    const auto found = m_handles.FindContext(context);
    return found != nullptr ? found->OpenWaitCount() : 0;
}

void PcScLiteBackend::Adopt(PcScMemory& memory, ScardContext context, const std::u16string& units) {
    memory.Adopt(this, context, m_allocations.Allocate(units), static_cast<uint32_t>(units.size()));
}

}  // namespace zeph::platform::pcsclite
