#include <cstring>

#include "zeph/ZephExtensionAbi.h"

// Defaults a host sees before the derived class adjusts them. The short name is copied into
// notification records: at most four characters, "????" when none is given.
CZephExtensionAbstract::CZephExtensionAbstract(const char* shortName)
    : m_bHostFlag(1),
      m_bAtrFilter(1),
      m_nHostValue(1),
      m_pfnNotify(nullptr),
      m_pNotifyContext(nullptr),
      m_szShortName{} {
    if (shortName != nullptr) {
        std::strncpy(m_szShortName, shortName, sizeof(m_szShortName) - 1);
    }
    if (m_szShortName[0] == '\0') {
        std::memcpy(m_szShortName, "????", sizeof(m_szShortName));
    }
}
