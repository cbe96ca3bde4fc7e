// What the disk serial reader needs from the operating system: one call per
// way of asking the first hard disk. Each call returns true when the device
// delivered data, and fills its output only then. Calls are made from the
// thread that runs the reader; nothing is kept between calls.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// The 256 words of an ATA IDENTIFY block, each in the machine's own order:
// text fields hold their first character in the high byte of each word.
using IdentifyWords = std::array<uint16_t, 256>;

// How a device hands out its serial string. Windows' storage descriptor
// gives the drive's own bytes: each pair of characters exchanged, sometimes
// as hexadecimal text. A kernel that has decoded the drive's answer already
// gives it in reading order.
enum class SerialForm { kDescriptor, kReadingOrder };

class CDiskDevices {
 public:
  virtual ~CDiskDevices() = default;

  // False on systems whose disks are not asked at all.
  [[nodiscard]] virtual bool IsNtFamily() = 0;
  // IDENTIFY of drive 0 with full access to the device.
  [[nodiscard]] virtual bool IdentifyWithAdminRights(IdentifyWords& words) = 0;
  // IDENTIFY of one drive behind one storage controller (both 0 or 1).
  [[nodiscard]] virtual bool IdentifyThroughScsiMiniport(int controller, int drive,
                                                         IdentifyWords& words) = 0;
  // The serial string of drive 0's device descriptor as the device reports
  // it, without its terminator, and its form; empty when the descriptor
  // names no serial.
  [[nodiscard]] virtual bool QueryDescriptorSerial(std::string& serial, SerialForm& form) = 0;
  // IDENTIFY of drive 0 through the SMART interface.
  [[nodiscard]] virtual bool IdentifyUsingSmart(IdentifyWords& words) = 0;
};

// The devices of the machine this runs on. Lives for the whole process.
CDiskDevices& SystemDiskDevices();

// The 512 bytes of an IDENTIFY block as words. Raw device data holds each
// word low byte first. Some kernels hand the block out with its text fields
// (serial, firmware, model) already in reading order; textInReadingOrder
// turns those fields back into words.
IdentifyWords IdentifyWordsFromBytes(const unsigned char* bytes, bool textInReadingOrder);

// The zero-terminated string at offset inside a descriptor block of size
// bytes. Empty when offset is 0 or outside the block; a string without a
// terminator ends at the end of the block.
std::string DescriptorStringAt(const unsigned char* block, size_t size, size_t offset);
