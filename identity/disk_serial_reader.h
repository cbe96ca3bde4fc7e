// Serial number of the machine's first hard disk, asked four ways in a fixed
// order until one of them is done. Used once per run to build the machine
// identifier; runs on the calling thread and blocks on device calls.
#pragma once

#include <cstddef>
#include <string>

#include "identity/disk_devices.h"

class CDiskSerialReader {
 public:
  // Asks the devices of this machine.
  CDiskSerialReader();
  // Asks the given devices (tests).
  explicit CDiskSerialReader(CDiskDevices& devices);

  // Empties serialNumber, then, on systems of the NT family, calls the four
  // methods below in order until one is done. serialNumber afterwards holds
  // the first acceptable serial, or is empty.
  void ReadSerial();

  // Each is done when its device call delivered data. The descriptor method
  // is done only when it also stored a serial; the others are done even when
  // the serial they got is not acceptable.
  [[nodiscard]] bool ReadPhysicalDriveInNTWithAdminRights();
  [[nodiscard]] bool ReadDriveThroughScsiMiniport();
  [[nodiscard]] bool ReadPhysicalDriveInNTWithZeroRights();
  [[nodiscard]] bool ReadPhysicalDriveInNTUsingSmart();

  // Stores the serial field (words 10 to 19) if acceptable and serialNumber
  // is still empty.
  void TakeIdentifyData(const IdentifyWords& words);

  static constexpr size_t kSerialChars = 1024;
  char serialNumber[kSerialChars] = {};

 private:
  // Stores candidate if serialNumber is empty and the candidate acceptable;
  // returns whether it did. Longer texts are cut to fit with their terminator,
  // and blanks the cut leaves at the end are dropped.
  bool StoreIfAcceptable(const std::string& candidate);

  CDiskDevices& devices_;
};

// Text of the IDENTIFY words first..last (inclusive): per word its high byte,
// then its low byte, blanks dropped; the text ends at a zero byte; trailing
// whitespace is removed except for the first character. Empty when the range
// is not inside the block.
std::string IdentifyWordsToText(const IdentifyWords& words, int first, int last);

// A descriptor serial string as text: read as hexadecimal pairs where
// possible, else copied if every character is printable, else empty; then,
// with swap, each pair of characters exchanged (an odd last character is
// lost); then leading and trailing whitespace removed.
std::string DecodeDescriptorText(const std::string& text, bool swap);

// A serial already in reading order as text: copied if every character is
// printable, else empty; then leading and trailing whitespace removed.
std::string ReadingOrderSerialText(const std::string& text);

// A serial is acceptable when its first character, or its twentieth, is a
// letter or a digit.
bool IsAcceptableSerial(const std::string& text);
