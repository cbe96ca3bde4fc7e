// The disk serial decoding on arbitrary device answers. The input serves as
// an IDENTIFY block (its first 512 bytes, zero-padded), as a descriptor
// serial string and as a descriptor block. A serial that comes out is never
// longer than its field, and a descriptor serial has no control characters.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "identity/disk_devices.h"
#include "identity/disk_serial_reader.h"

namespace {

bool IsWhitespace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Answers the descriptor query with the given string; every other way of
// asking fails, so the reader gets to the descriptor.
class DescriptorOnlyDevices final : public CDiskDevices {
 public:
  DescriptorOnlyDevices(std::string serial, SerialForm form)
      : serial_(std::move(serial)), form_(form) {}
  bool IsNtFamily() override { return true; }
  bool IdentifyWithAdminRights(IdentifyWords&) override { return false; }
  bool IdentifyThroughScsiMiniport(int, int, IdentifyWords&) override { return false; }
  bool QueryDescriptorSerial(std::string& serial, SerialForm& form) override {
    serial = serial_;
    form = form_;
    return true;
  }
  bool IdentifyUsingSmart(IdentifyWords&) override { return false; }

 private:
  std::string serial_;
  SerialForm form_;
};

void CheckIdentifyText(const std::string& text, size_t maxLength) {
  FUZZ_CHECK(text.size() <= maxLength);
  FUZZ_CHECK(text.find(' ') == std::string::npos);
  FUZZ_CHECK(text.find('\0') == std::string::npos);
  FUZZ_CHECK(text.size() <= 1 || !IsWhitespace(text.back()));
}

void CheckDescriptorText(const std::string& text, size_t inputLength) {
  FUZZ_CHECK(text.size() <= inputLength);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    FUZZ_CHECK(byte >= 0x20 && byte != 0x7F);
  }
  FUZZ_CHECK(text.empty() || (!IsWhitespace(text.front()) && !IsWhitespace(text.back())));
}

void CheckStoredSerial(const CDiskSerialReader& reader) {
  const size_t length = strnlen(reader.serialNumber, CDiskSerialReader::kSerialChars);
  FUZZ_CHECK(length < CDiskSerialReader::kSerialChars);
  const std::string stored(reader.serialNumber, length);
  FUZZ_CHECK(stored.empty() || IsAcceptableSerial(stored));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // The last byte picks how the serial is written: the Windows descriptor
  // or the kernel's reading order.
  const SerialForm form = size > 0 && (data[size - 1] & 1) ? SerialForm::kReadingOrder
                                                          : SerialForm::kDescriptor;
  DescriptorOnlyDevices devices(text, form);
  unsigned char block[512] = {};
  std::memcpy(block, data, std::min(size, sizeof block));
  for (const bool readingOrder : {false, true}) {
    const IdentifyWords words = IdentifyWordsFromBytes(block, readingOrder);
    CheckIdentifyText(IdentifyWordsToText(words, 10, 19), 20);
    // Any index pair: never outside the block, two bytes a word at most.
    const int first = size > 0 ? static_cast<int8_t>(data[0]) * 3 : 0;
    const int last = size > 1 ? static_cast<int8_t>(data[1]) * 3 : 0;
    const std::string any = IdentifyWordsToText(words, first, last);
    if (first < 0 || last > 255 || first > last) {
      FUZZ_CHECK(any.empty());
    } else {
      CheckIdentifyText(any, static_cast<size_t>(last - first + 1) * 2);
    }
    CDiskSerialReader reader(devices);
    reader.TakeIdentifyData(words);
    CheckStoredSerial(reader);
  }

  for (const bool swap : {false, true}) CheckDescriptorText(DecodeDescriptorText(text, swap), size);
  CDiskSerialReader reader(devices);
  reader.ReadSerial();
  CheckStoredSerial(reader);
  CheckDescriptorText(reader.serialNumber, size);

  // A string at an untrusted offset stays inside its block.
  const size_t offset = size > 0 ? data[0] : 0;
  const std::string at = DescriptorStringAt(data, size, offset);
  FUZZ_CHECK(at.find('\0') == std::string::npos);
  FUZZ_CHECK(at.empty() || (offset > 0 && offset < size && at.size() <= size - offset));
  return 0;
}
