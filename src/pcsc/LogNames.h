// Names of PC/SC values as trace lines show them. A value outside a table is shown in
// hexadecimal in a fixed frame, e.g. "<0x00000007>".
#pragma once

#include <cstdint>
#include <string>

std::u16string CardStateName(uint32_t state);
std::u16string ProtocolName(uint32_t protocol);
std::u16string PowerActionName(uint32_t action);
std::u16string ErrorName(uint32_t result);
std::u16string AttributeName(uint32_t attributeId);
