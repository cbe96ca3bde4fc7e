// clang-format off
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>
// clang-format on

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "identity/disk_devices.h"

namespace {

// The blocks below are laid out byte by byte; the headers' packing must match.
static_assert(sizeof(GETVERSIONINPARAMS) == 24);
static_assert(sizeof(SENDCMDINPARAMS) == 33);
static_assert(offsetof(SENDCMDOUTPARAMS, bBuffer) == 16);
static_assert(sizeof(SRB_IO_CONTROL) == 28);
static_assert(sizeof(STORAGE_PROPERTY_QUERY) == 12);

constexpr DWORD kScsiMiniportIdentify = 0x1B0501;
constexpr BYTE kIdentifyDevice = 0xEC;
constexpr BYTE kIdentifyPacketDevice = 0xA1;
constexpr DWORD kIdentifyBytes = 512;
// SENDCMDINPARAMS without its one-byte data placeholder.
constexpr DWORD kCommandBytes = sizeof(SENDCMDINPARAMS) - 1;
constexpr DWORD kCommandReplyHeader = offsetof(SENDCMDOUTPARAMS, bBuffer);
constexpr DWORD kDescriptorBytes = 10000;

struct HandleClose {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleClose>;

UniqueHandle OpenDevice(const char* name, DWORD access, DWORD share) {
  HANDLE handle = CreateFileA(name, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return UniqueHandle(handle);
}

UniqueHandle OpenPhysicalDrive(int number, DWORD access, DWORD share) {
  char name[32] = {};
  std::snprintf(name, sizeof name, "\\\\.\\PhysicalDrive%d", number);
  return OpenDevice(name, access, share);
}

UniqueHandle OpenScsiPort(int number) {
  char name[32] = {};
  std::snprintf(name, sizeof name, "\\\\.\\Scsi%d:", number);
  return OpenDevice(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
}

bool Control(HANDLE device, DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes) {
  DWORD returned = 0;
  return DeviceIoControl(device, code, in, inBytes, out, outBytes, &returned, nullptr) != FALSE;
}

SENDCMDINPARAMS IdentifyCommand(BYTE command) {
  SENDCMDINPARAMS in{};
  in.cBufferSize = kIdentifyBytes;
  in.irDriveRegs.bSectorCountReg = 1;
  in.irDriveRegs.bDriveHeadReg = 0xA0;
  in.irDriveRegs.bCommandReg = command;
  in.bDriveNumber = 0;
  return in;
}

class CSystemDiskDevices final : public CDiskDevices {
 public:
  bool IsNtFamily() override {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info)) return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
  }

  bool IdentifyWithAdminRights(IdentifyWords& words) override {
    const UniqueHandle drive =
        OpenPhysicalDrive(0, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!drive) return false;
    GETVERSIONINPARAMS version{};
    // A failed query leaves the map zero, which turns the drive away below.
    (void)Control(drive.get(), SMART_GET_VERSION, nullptr, 0, &version, sizeof version);
    if (version.bIDEDeviceMap == 0) return false;
    SENDCMDINPARAMS in = IdentifyCommand((version.bIDEDeviceMap & 0x10) != 0 ? kIdentifyPacketDevice
                                                                             : kIdentifyDevice);
    unsigned char out[kCommandReplyHeader + kIdentifyBytes] = {};
    if (!Control(drive.get(), SMART_RCV_DRIVE_DATA, &in, kCommandBytes, out, sizeof out)) {
      return false;
    }
    words = IdentifyWordsFromBytes(out + kCommandReplyHeader, false);
    return true;
  }

  bool IdentifyThroughScsiMiniport(int controller, int drive, IdentifyWords& words) override {
    const UniqueHandle port = OpenScsiPort(controller);
    if (!port) return false;
    constexpr DWORD kControlBytes = sizeof(SRB_IO_CONTROL);
    constexpr DWORD kReplyBytes = sizeof(SENDCMDOUTPARAMS) + kIdentifyBytes;  // 529
    unsigned char block[kControlBytes + kReplyBytes] = {};                    // 557
    SRB_IO_CONTROL control{};
    control.HeaderLength = kControlBytes;
    std::memcpy(control.Signature, "SCSIDISK", sizeof control.Signature);
    control.Timeout = 10000;
    control.ControlCode = kScsiMiniportIdentify;
    control.Length = kReplyBytes;
    std::memcpy(block, &control, kControlBytes);
    SENDCMDINPARAMS in{};
    in.irDriveRegs.bCommandReg = kIdentifyDevice;
    in.bDriveNumber = static_cast<BYTE>(drive);
    std::memcpy(block + kControlBytes, &in, kCommandBytes);
    if (!Control(port.get(), IOCTL_SCSI_MINIPORT, block, kControlBytes + kCommandBytes, block,
                 sizeof block)) {
      return false;
    }
    words = IdentifyWordsFromBytes(block + kControlBytes + kCommandReplyHeader, false);
    return true;
  }

  bool QueryDescriptorSerial(std::string& serial, SerialForm& form) override {
    const UniqueHandle drive = OpenPhysicalDrive(0, 0, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!drive) return false;
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    std::vector<unsigned char> buffer(kDescriptorBytes, 0);
    if (!Control(drive.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, buffer.data(),
                 kDescriptorBytes)) {
      return false;
    }
    STORAGE_DEVICE_DESCRIPTOR descriptor{};
    std::memcpy(&descriptor, buffer.data(), sizeof descriptor);
    serial = DescriptorStringAt(buffer.data(), buffer.size(), descriptor.SerialNumberOffset);
    form = SerialForm::kDescriptor;
    return true;
  }

  bool IdentifyUsingSmart(IdentifyWords& words) override {
    const UniqueHandle drive = OpenPhysicalDrive(
        0, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!drive) return false;
    GETVERSIONINPARAMS version{};
    if (!Control(drive.get(), SMART_GET_VERSION, nullptr, 0, &version, sizeof version)) {
      return false;
    }
    unsigned char block[sizeof(SENDCMDINPARAMS) + kIdentifyBytes] = {};  // 545
    // Filled as for the administrator method: a command block with only its
    // command register set leaves the drive's reply length to chance.
    const SENDCMDINPARAMS in = IdentifyCommand(kIdentifyDevice);
    std::memcpy(block, &in, sizeof in);
    if (!Control(drive.get(), SMART_RCV_DRIVE_DATA, block, sizeof(SENDCMDINPARAMS), block,
                 sizeof block)) {
      return false;
    }
    words = IdentifyWordsFromBytes(block + kCommandReplyHeader, false);
    return true;
  }
};

}  // namespace

CDiskDevices& SystemDiskDevices() {
  static CSystemDiskDevices devices;
  return devices;
}
