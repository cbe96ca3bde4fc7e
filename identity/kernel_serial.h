// The serial number a Linux kernel reports for a disk, taken out of the forms
// it comes in. Both give the raw string, for the same decoding as a device
// descriptor's serial.
#pragma once

#include <string>

// A sysfs attribute ("serial"): the text up to a zero byte, without the line
// end the kernel adds.
std::string SerialFromAttributeText(const std::string& content);

// A SCSI vital product data page 0x80 (unit serial number) as read from
// sysfs ("vpd_pg80"): the serial bytes after the four-byte header, as many as
// the page length says and the content holds. Empty for any other page.
std::string SerialFromVpdPage(const std::string& content);
