#include "identity/disk_serial_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// An IDENTIFY block whose serial field (words 10 to 19) holds field, padded
// with zero bytes; the model number begins with 'M' unless noModel.
IdentifyWords BlockWithSerial(const std::string& field, bool noModel = false) {
  IdentifyWords words{};
  for (size_t i = 0; i < field.size() && i < 20; ++i) {
    const auto byte = static_cast<uint16_t>(static_cast<unsigned char>(field[i]));
    words[10 + i / 2] |= (i % 2 == 0) ? static_cast<uint16_t>(byte << 8) : byte;
  }
  if (!noModel) words[27] = static_cast<uint16_t>(('M' << 8) | 'D');
  return words;
}

// Answers each device call from its table and records what was asked.
class FakeDiskDevices final : public CDiskDevices {
 public:
  bool nt = true;
  std::optional<IdentifyWords> admin;
  std::map<std::pair<int, int>, IdentifyWords> scsi;
  std::optional<std::string> descriptor;
  SerialForm descriptorForm = SerialForm::kDescriptor;
  std::optional<IdentifyWords> smart;
  std::vector<std::string> calls;

  bool IsNtFamily() override { return nt; }
  bool IdentifyWithAdminRights(IdentifyWords& words) override {
    return Answer("admin", admin, words);
  }
  bool IdentifyThroughScsiMiniport(int controller, int drive, IdentifyWords& words) override {
    calls.push_back("scsi" + std::to_string(controller) + std::to_string(drive));
    const auto found = scsi.find({controller, drive});
    if (found == scsi.end()) return false;
    words = found->second;
    return true;
  }
  bool QueryDescriptorSerial(std::string& serial, SerialForm& form) override {
    calls.push_back("descriptor");
    if (!descriptor) return false;
    serial = *descriptor;
    form = descriptorForm;
    return true;
  }
  bool IdentifyUsingSmart(IdentifyWords& words) override { return Answer("smart", smart, words); }

 private:
  bool Answer(const char* name, const std::optional<IdentifyWords>& answer, IdentifyWords& words) {
    calls.push_back(name);
    if (!answer) return false;
    words = *answer;
    return true;
  }
};

const std::vector<std::string> kAllCalls = {"admin",  "scsi00",     "scsi01", "scsi10",
                                            "scsi11", "descriptor", "smart"};

TEST(IdentifyWordsToTextTest, SerialFieldTable) {
  const struct {
    std::string field;
    std::string text;
  } cases[] = {
      {"WD-WCC4N1234567", "WD-WCC4N1234567"},
      {"      S3Z9NB0K1234", "S3Z9NB0K1234"},  // leading blanks
      {"AB 12 CD  34", "AB12CD34"},            // inner blanks
      {"                    ", ""},            // blanks only
      {"XYZ\t\r\n", "XYZ"},                    // trailing whitespace
      {"\t   ", "\t"},                         // the first character stays
      {std::string("AB\0CD", 5), "AB"},        // a zero byte ends the text
      {"12345678901234567890", "12345678901234567890"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IdentifyWordsToText(BlockWithSerial(c.field), 10, 19), c.text) << c.field;
  }
}

TEST(IdentifyWordsToTextTest, RangeOutsideTheBlockGivesEmpty) {
  IdentifyWords words;
  words.fill(0x4142);  // "AB" everywhere
  EXPECT_EQ(IdentifyWordsToText(words, 254, 255), "ABAB");
  EXPECT_EQ(IdentifyWordsToText(words, 250, 256), "");
  EXPECT_EQ(IdentifyWordsToText(words, -1, 3), "");
}

TEST(IsAcceptableSerialTest, FirstOrTwentiethCharacter) {
  const std::string dashes(19, '-');
  EXPECT_TRUE(IsAcceptableSerial("A"));
  EXPECT_TRUE(IsAcceptableSerial("7-"));
  EXPECT_TRUE(IsAcceptableSerial(dashes + "Z"));
  EXPECT_FALSE(IsAcceptableSerial(""));
  EXPECT_FALSE(IsAcceptableSerial("-ABC"));
  EXPECT_FALSE(IsAcceptableSerial(dashes));
  EXPECT_FALSE(IsAcceptableSerial(dashes + "-Z"));
  EXPECT_FALSE(IsAcceptableSerial("\xC9T"));  // a letter outside ASCII is not one
}

TEST(DecodeDescriptorTextTest, Table) {
  const struct {
    std::string raw;
    bool swap;
    std::string text;
  } cases[] = {
      // Hexadecimal text of the characters: decoded, then swapped.
      {"3132333435363738", true, "21436587"},
      {"4a4B4c4D", true, "KJML"},
      {"57442d5743", false, "WD-WC"},
      {"20204 4142", true, "A@"},      // whitespace counts as 0; blanks trimmed
      {"4142003132", true, "BA"},      // a zero byte ends the text...
      {"414200zz", true, "142400zz"},  // ...but the rest must still be hexadecimal
      {"41C1", false, "A\xC1"},        // bytes from 0x80 up are kept
      {"4142434", false, "ABC"},       // a lone last digit is dropped
      {"ABCDE", true, "\xCD\xAB"},     // letters a to f alone are hexadecimal too
      // Not hexadecimal: copied, then swapped.
      {"0141", true, "1014"},       // 0x01 is no character: copied
      {"WD-WCC4", true, "DWW-CC"},  // odd length loses its last character
      {"GHIJK", true, "HGJI"},
      {"    WD-WCC4", false, "WD-WCC4"},  // leading blanks do not empty a serial
      {"  S3Z9 NB0K  ", false, "S3Z9 NB0K"},
      {"  S3Z9NB0K ", true, "3S9ZBNK0"},
      // A character that is not printable gives nothing.
      {"AB\x01-CD", true, ""},
      {"AB\tCD", false, ""},
      {"XY\xE9", false, ""},
      {"", true, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeDescriptorText(c.raw, c.swap), c.text) << c.raw << " swap " << c.swap;
  }
}

TEST(DescriptorStringAtTest, OffsetsAreCheckedAgainstTheBlock) {
  const unsigned char block[] = {'h', 'd', 'r', 0, 'S', 'N', '1', 0, 'X', 'Y'};
  EXPECT_EQ(DescriptorStringAt(block, sizeof block, 4), "SN1");
  EXPECT_EQ(DescriptorStringAt(block, sizeof block, 0), "");  // no serial offset
  EXPECT_EQ(DescriptorStringAt(block, sizeof block, 3), "");
  EXPECT_EQ(DescriptorStringAt(block, sizeof block, 8), "XY");  // no terminator inside
  EXPECT_EQ(DescriptorStringAt(block, sizeof block, 10), "");
  EXPECT_EQ(DescriptorStringAt(block, sizeof block, 0xFFFFFFFFu), "");
}

TEST(IdentifyWordsFromBytesTest, RawAndReadingOrderGiveTheSameText) {
  unsigned char raw[512] = {};
  unsigned char reading[512] = {};
  const char serial[] = "ZA1B2C3D";
  for (size_t i = 0; i + 1 < sizeof serial; i += 2) {
    raw[20 + i] = static_cast<unsigned char>(serial[i + 1]);  // low byte first
    raw[21 + i] = static_cast<unsigned char>(serial[i]);
    reading[20 + i] = static_cast<unsigned char>(serial[i]);
    reading[21 + i] = static_cast<unsigned char>(serial[i + 1]);
  }
  raw[0] = 0x40;  // numeric words keep their value either way
  reading[0] = 0x40;
  const IdentifyWords fromRaw = IdentifyWordsFromBytes(raw, false);
  const IdentifyWords fromReading = IdentifyWordsFromBytes(reading, true);
  EXPECT_EQ(IdentifyWordsToText(fromRaw, 10, 19), "ZA1B2C3D");
  EXPECT_EQ(IdentifyWordsToText(fromReading, 10, 19), "ZA1B2C3D");
  EXPECT_EQ(fromRaw[0], 0x40);
  EXPECT_EQ(fromReading[0], 0x40);
}

TEST(CDiskSerialReaderTest, NotNtFamilyAsksNoDevice) {
  FakeDiskDevices devices;
  devices.nt = false;
  devices.admin = BlockWithSerial("GOOD1");
  CDiskSerialReader reader(devices);
  reader.ReadSerial();
  EXPECT_TRUE(devices.calls.empty());
  EXPECT_STREQ(reader.serialNumber, "");
}

TEST(CDiskSerialReaderTest, AdminMethodWithBlankSerialIsDoneAndStoresNothing) {
  FakeDiskDevices devices;
  devices.admin = BlockWithSerial(std::string(20, ' '));
  devices.scsi[{0, 0}] = BlockWithSerial("SCSI00");
  devices.descriptor = "DESC";
  devices.smart = BlockWithSerial("SMART");
  CDiskSerialReader reader(devices);
  reader.ReadSerial();
  EXPECT_EQ(devices.calls, std::vector<std::string>{"admin"});
  EXPECT_STREQ(reader.serialNumber, "");
}

TEST(CDiskSerialReaderTest, MethodChainTable) {
  struct Case {
    const char* name;
    void (*setUp)(FakeDiskDevices&);
    std::vector<std::string> calls;
    std::string serial;
  };
  const std::vector<std::string> throughDescriptor(kAllCalls.begin(), kAllCalls.end() - 1);
  const Case cases[] = {
      {"admin delivers",
       [](FakeDiskDevices& d) { d.admin = BlockWithSerial("  WD 123 "); },
       {"admin"},
       "WD123"},
      {"every scsi pair is tried, the first acceptable stays",
       [](FakeDiskDevices& d) {
         d.scsi[{0, 1}] = BlockWithSerial("NOMODEL", true);  // no drive: ignored
         d.scsi[{1, 0}] = BlockWithSerial("FIRST");
         d.scsi[{1, 1}] = BlockWithSerial("SECOND");
       },
       {"admin", "scsi00", "scsi01", "scsi10", "scsi11"},
       "FIRST"},
      {"scsi pair with an unacceptable serial still ends the chain",
       [](FakeDiskDevices& d) {
         d.scsi[{0, 0}] = BlockWithSerial("--");
         d.descriptor = "DESC";
       },
       {"admin", "scsi00", "scsi01", "scsi10", "scsi11"},
       ""},
      {"descriptor of odd length is swapped and shortened",
       [](FakeDiskDevices& d) {
         d.descriptor = "GHIJK";
         d.smart = BlockWithSerial("SMART");
       },
       throughDescriptor, "HGJI"},
      {"descriptor in hexadecimal", [](FakeDiskDevices& d) { d.descriptor = "3132333435"; },
       throughDescriptor, "2143"},
      {"descriptor with a control character is not done",
       [](FakeDiskDevices& d) {
         d.descriptor =
             "AB\x7F"
             "CD";
         d.smart = BlockWithSerial("SMART1");
       },
       kAllCalls, "SMART1"},
      {"descriptor without serial offset is not done",
       [](FakeDiskDevices& d) {
         d.descriptor = "";
         d.smart = BlockWithSerial("SMART2");
       },
       kAllCalls, "SMART2"},
      {"descriptor serial that fails the test is not done",
       [](FakeDiskDevices& d) { d.descriptor = "--XY"; }, kAllCalls, ""},
      {"nothing delivers", [](FakeDiskDevices&) {}, kAllCalls, ""},
  };
  for (const auto& c : cases) {
    FakeDiskDevices devices;
    c.setUp(devices);
    CDiskSerialReader reader(devices);
    reader.ReadSerial();
    EXPECT_EQ(devices.calls, c.calls) << c.name;
    EXPECT_EQ(std::string(reader.serialNumber), c.serial) << c.name;
  }
}

// A kernel's serial is stored as it reads, whatever its length or digits.
TEST(CDiskSerialReaderTest, ReadingOrderSerialIsNeitherExchangedNorDecoded) {
  const struct {
    std::string raw;
    std::string serial;
  } cases[] = {
      {"S3Z9NB0K1", "S3Z9NB0K1"},     {"1496641038551337", "1496641038551337"},
      {"55556162", "55556162"},  // as hexadecimal text it would be "UUab"
      {"  S3Z9 NB0K  ", "S3Z9 NB0K"}, {"WD-WCC4\x01", ""},  // not printable: not done
  };
  for (const auto& c : cases) {
    FakeDiskDevices devices;
    devices.descriptor = c.raw;
    devices.descriptorForm = SerialForm::kReadingOrder;
    CDiskSerialReader reader(devices);
    reader.ReadSerial();
    EXPECT_EQ(std::string(reader.serialNumber), c.serial) << c.raw;
  }
}

TEST(CDiskSerialReaderTest, LongDescriptorSerialIsCutToTheField) {
  const size_t field = CDiskSerialReader::kSerialChars - 1;
  const struct {
    std::string raw;
    std::string serial;
  } cases[] = {
      {std::string(3000, 'Q'), std::string(field, 'Q')},
      // The cut lands among blanks inside the text: none is left at its end.
      {std::string(field - 3, 'Q') + std::string(10, ' ') + std::string(100, 'Q'),
       std::string(field - 3, 'Q')},
  };
  for (const auto& c : cases) {
    FakeDiskDevices devices;
    devices.descriptor = c.raw;
    CDiskSerialReader reader(devices);
    reader.ReadSerial();
    EXPECT_EQ(std::string(reader.serialNumber), c.serial);
  }
}

TEST(CDiskSerialReaderTest, TakeIdentifyDataKeepsTheFirstSerial) {
  FakeDiskDevices devices;
  CDiskSerialReader reader(devices);
  reader.TakeIdentifyData(BlockWithSerial("-"));
  EXPECT_STREQ(reader.serialNumber, "");
  reader.TakeIdentifyData(BlockWithSerial("ONE"));
  reader.TakeIdentifyData(BlockWithSerial("TWO"));
  EXPECT_STREQ(reader.serialNumber, "ONE");
  // A new reading starts empty again.
  devices.admin = BlockWithSerial("THREE");
  reader.ReadSerial();
  EXPECT_STREQ(reader.serialNumber, "THREE");
}

}  // namespace
