// Names of the statuses a host receives from the module.
#pragma once

#include <cstdint>
#include <string>

std::string StatusText(uint32_t status);
