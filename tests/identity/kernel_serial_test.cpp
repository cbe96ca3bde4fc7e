#include "identity/kernel_serial.h"

#include <gtest/gtest.h>

#include "identity/disk_serial_reader.h"

namespace {

TEST(KernelSerialTest, AttributeText) {
  EXPECT_EQ(SerialFromAttributeText("135663335571128\n"), "135663335571128");
  EXPECT_EQ(SerialFromAttributeText("  S3Z9NB0K  \n"), "  S3Z9NB0K  ");
  EXPECT_EQ(SerialFromAttributeText(std::string("AB\0CD\n", 6)), "AB");
  EXPECT_EQ(SerialFromAttributeText(""), "");
  // The line end must not take part in the pair swapping: with it this
  // serial would keep its last character and gain a newline inside.
  EXPECT_EQ(DecodeDescriptorText(SerialFromAttributeText("GHIJK\n"), true), "HGJI");
}

TEST(KernelSerialTest, VpdPage) {
  const std::string header("\x00\x80\x00\x08", 4);
  EXPECT_EQ(SerialFromVpdPage(header + "WD-12345"), "WD-12345");
  EXPECT_EQ(SerialFromVpdPage(header + "WD-12345TRAILING"), "WD-12345");  // page length rules
  EXPECT_EQ(SerialFromVpdPage(header + "WD-1"), "WD-1");                  // cut short
  EXPECT_EQ(SerialFromVpdPage(std::string("\x00\x83\x00\x02", 4) + "AB"), "");
  EXPECT_EQ(SerialFromVpdPage(std::string("\x00\x80", 2)), "");
}

}  // namespace
