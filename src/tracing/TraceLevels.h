// Trace levels: one bit per class of message. A call site passes exactly one of them.
#pragma once

#include <cstdint>

constexpr uint16_t TRACE_EXCEPTION = 1;
constexpr uint16_t TRACE_ERROR = 2;
constexpr uint16_t TRACE_WARNING = 4;
constexpr uint16_t TRACE_DETAIL = 8;
constexpr uint16_t TRACE_INFO = 16;
