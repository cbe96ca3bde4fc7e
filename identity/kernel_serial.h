// The serial number a Linux kernel reports for a disk, taken out of the forms
// it comes in. The kernel has decoded the drive's answer already: the text is
// in reading order.
#pragma once

#include <string>

// A sysfs attribute ("serial"): the text up to a zero byte, without the line
// end the kernel adds.
std::string SerialFromAttributeText(const std::string& content);

// A SCSI vital product data page 0x80 (unit serial number) as read from
// sysfs ("vpd_pg80"): the serial bytes after the four-byte header, as many as
// the page length says and the content holds. Empty for any other page.
std::string SerialFromVpdPage(const std::string& content);

// The content of a sysfs attribute file, at most a page; empty when it cannot
// be read.
std::string ReadKernelAttribute(const std::string& path);

// The serial of the disk whose sysfs directory is blockDir (ending in '/'):
// from "device/serial" (NVMe, some SCSI hosts), else "serial" (virtio), else
// the unit serial number page "device/vpd_pg80" (SCSI and SATA). False when
// none of them names one.
[[nodiscard]] bool ReadKernelDiskSerial(const std::string& blockDir, std::string& serial);
