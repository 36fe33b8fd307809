// An operator new that fails on request, for tests of what code does without memory: while an
// AllocationLimit lives, an allocation of at least its size on its thread throws std::bad_alloc.
// FailingNew.cpp replaces the program's operator new: only programs of their own link it.
#pragma once

#include <cstddef>

class AllocationLimit {
  public:
    explicit AllocationLimit(size_t failFrom) noexcept;
    ~AllocationLimit();
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;
};
