#include "identity/machine_id.h"

#include <gtest/gtest.h>

#include <cctype>

#include "identity/mac_address.h"

namespace {

TEST(MachineIdTest, PartsTable) {
  const std::string mac = "00-1A-2B-3C-4D-5E";
  const struct {
    std::string serial;
    std::string mac;
    std::string id;
  } cases[] = {
      {"WD-WCC4N1234567", mac, "WD-WCC4N1234567::" + mac},
      {" S3Z9 NB0K\t12\n34\v\f\r ", mac, "S3Z9NB0K1234::" + mac},
      {"A/B.C+D%E&F", mac, "A/B.C+D%E&F::" + mac},  // raw: escaping is the sender's job
      {"", mac, "::" + mac},
      {"SERIAL", "", "SERIAL::"},
      {"", "", "::"},
      {" \t", "", "::"},
  };
  for (const auto& c : cases) EXPECT_EQ(MachineIdFromParts(c.serial, c.mac), c.id) << c.serial;
}

TEST(MachineIdTest, MacText) {
  const unsigned char a[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  const unsigned char b[6] = {0xFF, 0xEE, 0x09, 0xA0, 0x0B, 0xC1};
  EXPECT_EQ(FormatMacText(a), "00-1A-2B-3C-4D-5E");
  EXPECT_EQ(FormatMacText(b), "FF-EE-09-A0-0B-C1");
}

bool IsMacText(const std::string& text) {
  if (text.size() != 17) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i % 3 == 2 ? c != '-'
                   : !(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

// On the machine the tests run on: the documented shape, and the same text
// each time.
TEST(MachineIdTest, ThisMachine) {
  const std::string id = BuildMachineId();
  std::printf("machine identifier: %s\n", id.c_str());
  const size_t separator = id.find("::");
  ASSERT_NE(separator, std::string::npos) << id;
  const std::string mac = id.size() >= 17 ? id.substr(id.size() - 17) : "";
  EXPECT_TRUE(id.size() >= 2 && (id.compare(id.size() - 2, 2, "::") == 0 || IsMacText(mac))) << id;
  EXPECT_EQ(id.find_first_of(" \t\n\v\f\r"), std::string::npos) << id;
  const std::string macText = GetMacAddressText();
  EXPECT_TRUE(macText.empty() || IsMacText(macText)) << macText;
  EXPECT_EQ(id, MachineIdFromParts(GetDiskSerialText(), macText));
  EXPECT_EQ(BuildMachineId(), id);
}

}  // namespace
