// Handles of the PC/SC interface as the module holds them. 0 means "none".
#pragma once

#include <cstdint>

using ScardContext = uintptr_t;
using ScardHandle = uintptr_t;
