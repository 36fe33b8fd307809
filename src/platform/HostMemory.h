// Copies into memory that the host handed in. A bad pointer from the host faults inside the copy;
// the crash handler turns the fault into an exception, which must be able to unwind from the
// copy to the operation that asked for it. A call of memcpy itself cannot be unwound from (the
// compiler knows that memcpy never throws and records no way out for that call), so every copy
// into host memory goes through this function, defined apart so that the compiler cannot know
// the same of it.
#pragma once

#include <cstddef>

namespace zeph::platform {

void CopyToHostMemory(void* destination, const void* source, size_t bytes);

}  // namespace zeph::platform
