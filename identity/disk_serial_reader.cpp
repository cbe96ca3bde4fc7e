#include "identity/disk_serial_reader.h"

#include <algorithm>

namespace {

// The C locale's classes, spelt out so that neither the locale nor the
// signedness of char can change them.
bool IsWhitespace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsPrintable(unsigned char c) { return c >= 0x20 && c <= 0x7E; }
bool IsLetterOrDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Value of one character of a hexadecimal serial, or -1. Whitespace stands
// for 0: some drives pad the hex text with blanks.
int HexDigitValue(unsigned char c) {
  if (IsWhitespace(c)) return 0;
  if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Some drives report the descriptor serial as the hex text of its bytes.
// False when the text is not such a thing. A zero byte ends the decoded text,
// but the whole string must still be hex: otherwise a plain serial padded
// with leading blanks (two blanks read as a zero byte) would come out empty.
bool DecodeHexSerial(const std::string& text, std::string& out) {
  out.clear();
  bool ended = false;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    const int high = HexDigitValue(static_cast<unsigned char>(text[i]));
    const int low = HexDigitValue(static_cast<unsigned char>(text[i + 1]));
    if (high < 0 || low < 0) return false;
    const auto byte = static_cast<unsigned char>(high * 16 + low);
    if (byte != 0 && byte < 0x80 && !IsPrintable(byte)) return false;
    if (byte == 0) ended = true;
    if (!ended) out.push_back(static_cast<char>(byte));
  }
  return true;
}

std::string TrimWhitespace(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsWhitespace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && IsWhitespace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

std::string IdentifyWordsToText(const IdentifyWords& words, int first, int last) {
  const int count = static_cast<int>(words.size());
  if (first < 0 || last >= count || first > last) return {};
  std::string text;
  bool ended = false;
  for (int i = first; i <= last && !ended; ++i) {
    for (const int shift : {8, 0}) {
      const auto byte = static_cast<unsigned char>((words[i] >> shift) & 0xFF);
      // A zero byte ends the text; what follows it would never be read.
      if (byte == 0) {
        ended = true;
        break;
      }
      if (byte != ' ') text.push_back(static_cast<char>(byte));
    }
  }
  while (text.size() > 1 && IsWhitespace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

std::string DecodeDescriptorText(const std::string& text, bool swap) {
  std::string out;
  if (!DecodeHexSerial(text, out)) {
    const bool printable = std::all_of(text.begin(), text.end(), [](char c) {
      return IsPrintable(static_cast<unsigned char>(c));
    });
    out = printable ? text : std::string();
  }
  if (swap) {
    // Drives give the text as 16-bit words, each byte-swapped. An odd last
    // character pairs with the terminator and so drops out.
    for (size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
    if (out.size() % 2 != 0) out.pop_back();
  }
  return TrimWhitespace(out);
}

std::string ReadingOrderSerialText(const std::string& text) {
  // Neither exchanged nor hexadecimal: a serial of digits only would
  // otherwise often read as hexadecimal text.
  const bool printable = std::all_of(
      text.begin(), text.end(), [](char c) { return IsPrintable(static_cast<unsigned char>(c)); });
  return printable ? TrimWhitespace(text) : std::string();
}

bool IsAcceptableSerial(const std::string& text) {
  if (!text.empty() && IsLetterOrDigit(static_cast<unsigned char>(text[0]))) return true;
  return text.size() >= 20 && IsLetterOrDigit(static_cast<unsigned char>(text[19]));
}

CDiskSerialReader::CDiskSerialReader() : devices_(SystemDiskDevices()) {}

CDiskSerialReader::CDiskSerialReader(CDiskDevices& devices) : devices_(devices) {}

void CDiskSerialReader::ReadSerial() {
  serialNumber[0] = '\0';
  if (!devices_.IsNtFamily()) return;
  if (ReadPhysicalDriveInNTWithAdminRights()) return;
  if (ReadDriveThroughScsiMiniport()) return;
  if (ReadPhysicalDriveInNTWithZeroRights()) return;
  (void)ReadPhysicalDriveInNTUsingSmart();
}

bool CDiskSerialReader::ReadPhysicalDriveInNTWithAdminRights() {
  IdentifyWords words{};
  if (!devices_.IdentifyWithAdminRights(words)) return false;
  TakeIdentifyData(words);
  return true;
}

bool CDiskSerialReader::ReadDriveThroughScsiMiniport() {
  bool done = false;
  for (int controller = 0; controller < 2; ++controller) {
    for (int drive = 0; drive < 2; ++drive) {
      IdentifyWords words{};
      if (!devices_.IdentifyThroughScsiMiniport(controller, drive, words)) continue;
      // Byte 54 of the block starts the model number; a port with no drive
      // behind it answers with zeros there.
      if ((words[27] & 0xFF) == 0) continue;
      TakeIdentifyData(words);
      done = true;
    }
  }
  return done;
}

bool CDiskSerialReader::ReadPhysicalDriveInNTWithZeroRights() {
  std::string raw;
  SerialForm form = SerialForm::kDescriptor;
  if (!devices_.QueryDescriptorSerial(raw, form)) return false;
  std::string candidate;
  if (!raw.empty()) {
    candidate = form == SerialForm::kDescriptor ? DecodeDescriptorText(raw, true)
                                                : ReadingOrderSerialText(raw);
  }
  return StoreIfAcceptable(candidate);
}

bool CDiskSerialReader::ReadPhysicalDriveInNTUsingSmart() {
  IdentifyWords words{};
  if (!devices_.IdentifyUsingSmart(words)) return false;
  TakeIdentifyData(words);
  return true;
}

void CDiskSerialReader::TakeIdentifyData(const IdentifyWords& words) {
  (void)StoreIfAcceptable(IdentifyWordsToText(words, 10, 19));
}

bool CDiskSerialReader::StoreIfAcceptable(const std::string& candidate) {
  if (serialNumber[0] != '\0' || !IsAcceptableSerial(candidate)) return false;
  size_t length = std::min(candidate.size(), kSerialChars - 1);
  // A cut may land inside a run of blanks; the serial never ends in one.
  if (length < candidate.size()) {
    while (length > 1 && IsWhitespace(static_cast<unsigned char>(candidate[length - 1]))) --length;
  }
  candidate.copy(serialNumber, length);
  serialNumber[length] = '\0';
  return true;
}
