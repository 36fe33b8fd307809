// The platform services the card identification helpers use, passed in so that tests can
// substitute the PC/SC simulator and an in-memory registry.
#pragma once

#include "pcsc/PcScApi.h"
#include "registry/Registry.h"

namespace ZEPH_Helper {

struct CardIdentificationServices {
    PcScApi& pcsc;          // the providers registered for the maker's card types
    RegistryApi& registry;  // the smart card database with the ATR masks
};

// The PC/SC backend and the registry of the platform the module runs on.
CardIdentificationServices PlatformCardIdentificationServices();

}  // namespace ZEPH_Helper
