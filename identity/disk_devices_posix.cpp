// The first disk as a Linux kernel offers it: ATA IDENTIFY through the SCSI
// generic pass-through (needs the raw I/O right), the IDENTIFY block the ATA
// driver keeps (needs read access to the device node), and the serial the
// kernel publishes in sysfs (readable by anyone).
#include <fcntl.h>
#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "identity/disk_devices.h"
#include "identity/kernel_serial.h"

namespace {

constexpr size_t kIdentifyBytes = 512;

class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_;
};

// The first disk by name among the block devices backed by hardware: virtual
// ones (loop, zram, device mapper) have no "device" link; optical drives and
// removable media are not the machine's disk.
std::string FirstDiskName() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/block", error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("sr", 0) == 0) continue;
    if (!std::filesystem::exists(entry.path() / "device", error)) continue;
    if (ReadKernelAttribute((entry.path() / "removable").string()).rfind('1', 0) == 0) continue;
    names.push_back(name);
  }
  if (names.empty()) return {};
  return *std::min_element(names.begin(), names.end());
}

UniqueFd OpenFirstDisk() {
  const std::string name = FirstDiskName();
  if (name.empty()) return UniqueFd(-1);
  return UniqueFd(open(("/dev/" + name).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
}

bool AllZero(const unsigned char* bytes, size_t size) {
  return std::all_of(bytes, bytes + size, [](unsigned char b) { return b == 0; });
}

class CSystemDiskDevices final : public CDiskDevices {
 public:
  bool IsNtFamily() override { return true; }

  bool IdentifyWithAdminRights(IdentifyWords& words) override {
    const UniqueFd disk = OpenFirstDisk();
    if (!disk) return false;
    unsigned char data[kIdentifyBytes] = {};
    unsigned char cdb[16] = {};
    cdb[0] = 0x85;    // ATA PASS-THROUGH (16)
    cdb[1] = 4 << 1;  // PIO data-in
    cdb[2] = 0x0E;    // from the device, length in sectors, taken from the count field
    cdb[6] = 1;       // one sector
    cdb[13] = 0xA0;   // device register
    cdb[14] = 0xEC;   // IDENTIFY DEVICE
    unsigned char sense[32] = {};
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.dxfer_direction = SG_DXFER_FROM_DEV;
    io.cmd_len = sizeof cdb;
    io.mx_sb_len = sizeof sense;
    io.dxfer_len = sizeof data;
    io.dxferp = data;
    io.cmdp = cdb;
    io.sbp = sense;
    io.timeout = 10000;  // milliseconds
    if (ioctl(disk.get(), SG_IO, &io) != 0) return false;
    if (io.status != 0 || io.host_status != 0 || io.driver_status != 0) return false;
    // A bridge that does not translate the command may still answer "good"
    // with nothing in the buffer.
    if (AllZero(data, sizeof data)) return false;
    words = IdentifyWordsFromBytes(data, false);
    return true;
  }

  bool IdentifyThroughScsiMiniport(int controller, int drive, IdentifyWords& words) override {
    // The kernel's ATA layer stands in for the storage port: it answers for
    // the first disk only.
    if (controller != 0 || drive != 0) return false;
    const UniqueFd disk = OpenFirstDisk();
    if (!disk) return false;
    unsigned char data[kIdentifyBytes] = {};
    if (ioctl(disk.get(), HDIO_GET_IDENTITY, data) != 0) return false;
    // The driver hands its text fields out already in reading order.
    words = IdentifyWordsFromBytes(data, true);
    return true;
  }

  bool QueryDescriptorSerial(std::string& serial, SerialForm& form) override {
    const std::string name = FirstDiskName();
    if (name.empty()) return false;
    if (!ReadKernelDiskSerial("/sys/block/" + name + "/", serial)) return false;
    form = SerialForm::kReadingOrder;
    return true;
  }

  // SMART has no separate route here; the pass-through above is it.
  bool IdentifyUsingSmart(IdentifyWords&) override { return false; }
};

}  // namespace

CDiskDevices& SystemDiskDevices() {
  static CSystemDiskDevices devices;
  return devices;
}
