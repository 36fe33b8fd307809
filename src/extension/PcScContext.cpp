// The object's PC/SC context.
#include "extension/ZephExtensionPcSc.h"

// No PC/SC interface is bound to the module yet, so no context can be established.
bool CZephExtensionPcSc::Helper_SCardGetContext() {
    return m_hContext != 0;
}
