// Hardware address of the machine's first network adapter.
#pragma once

#include <string>

// Six bytes as "XX-XX-XX-XX-XX-XX", upper-case hexadecimal.
std::string FormatMacText(const unsigned char* bytes);

// The first adapter's address as FormatMacText gives it, or empty when there
// is none to be had. On Windows the first adapter the system lists decides,
// whatever its type; on Linux the first interface with a six-byte hardware
// address, loopback excluded.
std::string GetMacAddressText();
