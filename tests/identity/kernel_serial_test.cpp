#include "identity/kernel_serial.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/sandbox.h"

namespace {

TEST(KernelSerialTest, AttributeText) {
  EXPECT_EQ(SerialFromAttributeText("135663335571128\n"), "135663335571128");
  EXPECT_EQ(SerialFromAttributeText("  S3Z9NB0K  \n"), "  S3Z9NB0K  ");
  EXPECT_EQ(SerialFromAttributeText(std::string("AB\0CD\n", 6)), "AB");
  EXPECT_EQ(SerialFromAttributeText(""), "");
}

TEST(KernelSerialTest, VpdPage) {
  const std::string header("\x00\x80\x00\x08", 4);
  EXPECT_EQ(SerialFromVpdPage(header + "WD-12345"), "WD-12345");
  EXPECT_EQ(SerialFromVpdPage(header + "WD-12345TRAILING"), "WD-12345");  // page length rules
  EXPECT_EQ(SerialFromVpdPage(header + "WD-1"), "WD-1");                  // cut short
  EXPECT_EQ(SerialFromVpdPage(std::string("\x00\x83\x00\x02", 4) + "AB"), "");
  EXPECT_EQ(SerialFromVpdPage(std::string("\x00\x80", 2)), "");
}

// A made-up disk directory as sysfs lays it out: the first attribute that
// names a serial gives it, in the order it was written.
TEST(KernelSerialTest, DiskDirectory) {
  const std::string vpd = std::string("\x00\x80\x00\x09", 4) + "ZA1B2C3D9";
  const struct {
    std::string deviceSerial;  // empty: no such file
    std::string serial;
    std::string vpdPage;
    std::string text;  // empty: none found
  } cases[] = {
      {"S3Z9NB0K1\n", "OTHER\n", vpd, "S3Z9NB0K1"},
      {"\n", "1496641038551337\n", vpd, "1496641038551337"},
      {"", "", vpd, "ZA1B2C3D9"},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    Sandbox sandbox;
    std::filesystem::create_directories(sandbox.Path("device"));
    if (!c.deviceSerial.empty()) sandbox.Write("device/serial", c.deviceSerial);
    if (!c.serial.empty()) sandbox.Write("serial", c.serial);
    if (!c.vpdPage.empty()) sandbox.Write("device/vpd_pg80", c.vpdPage);
    std::string serial = "unchanged";
    EXPECT_EQ(ReadKernelDiskSerial(sandbox.Dir(), serial), !c.text.empty()) << c.text;
    EXPECT_EQ(serial, c.text.empty() ? "unchanged" : c.text);
  }
}

}  // namespace
