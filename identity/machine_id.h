// The machine identifier sent with every statistics request: the first disk's
// serial without whitespace, "::", and the first adapter's MAC text. Rebuilt
// from the hardware each time, never stored; the caller builds it once per run.
// The text is raw: whoever puts it into a URL escapes it.
#pragma once

#include <string>

// The first disk's serial, or empty.
std::string GetDiskSerialText();

// serial with blank, tab, newline, vertical tab, form feed and carriage
// return removed, then "::", then mac. Never empty.
std::string MachineIdFromParts(const std::string& serial, const std::string& mac);

// MachineIdFromParts(GetDiskSerialText(), GetMacAddressText()).
std::string BuildMachineId();
