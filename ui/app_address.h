// Page links of the form "app:" followed by a number: the browser hosts turn
// them into UI commands instead of navigating.
#pragma once

#include <cstdint>
#include <string_view>

// True when the address is at least four characters long and starts with
// "app:" in any case; *command then gets the number after the prefix:
// blanks and tabs skipped, decimal digits up to the first other character,
// accumulated as an unsigned 32-bit value that wraps; no digits give 0.
[[nodiscard]] bool ParseAppAddress(std::wstring_view address, uint32_t* command);
[[nodiscard]] bool ParseAppAddress(std::string_view address, uint32_t* command);
