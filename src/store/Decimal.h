#pragma once
// Reading typed or stored numbers: leading white space (space, tab, CR, LF,
// VT, FF) skipped, an optional sign, then decimal digits up to the first
// other byte; no digits give 0; overflow wraps modulo 2^32.
#include <cstdint>
#include <string_view>

int32_t LeadingInt(std::string_view text);
