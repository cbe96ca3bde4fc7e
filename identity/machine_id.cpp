#include "identity/machine_id.h"

#include "identity/disk_serial_reader.h"
#include "identity/mac_address.h"

std::string GetDiskSerialText() {
  CDiskSerialReader reader;
  reader.ReadSerial();
  return reader.serialNumber;
}

std::string MachineIdFromParts(const std::string& serial, const std::string& mac) {
  std::string id;
  for (const char c : serial) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r') continue;
    id.push_back(c);
  }
  id += "::";
  id += mac;
  return id;
}

std::string BuildMachineId() {
  return MachineIdFromParts(GetDiskSerialText(), GetMacAddressText());
}
