#include "pcsc/PcScMemory.h"

#include "pcsc/PcScApi.h"

void PcScMemory::Adopt(PcScApi* owner, ScardContext context, const char16_t* text,
                       uint32_t length) {
    Reset();
    m_owner = owner;
    m_context = context;
    m_text = text;
    m_length = length;
}

void PcScMemory::Reset() {
    if (m_text != nullptr && m_owner != nullptr) {
        m_owner->FreeMemory(m_context, m_text);
    }
    m_owner = nullptr;
    m_context = 0;
    m_text = nullptr;
    m_length = 0;
}
