// Names of the statuses a host receives from the module: "0x00000103 STATUS_PENDING"; the value
// alone when it has no name here.
#pragma once

#include <cstdint>
#include <string>

std::string StatusText(uint32_t status);
