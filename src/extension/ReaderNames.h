// Comparison of reader names as the platform's case-insensitive comparison does it for the names
// readers carry: ASCII and Latin-1 letters compare without regard to case.
#pragma once

#include <string_view>

bool ReaderNamesEqualIgnoringCase(std::u16string_view left, std::u16string_view right);
