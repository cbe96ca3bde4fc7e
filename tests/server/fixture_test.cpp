// The shared "tovi_server" fixture: the server it started answers on the
// address it wrote, with the three deterministic parts.
#include <gtest/gtest.h>
#include <jansson.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "server/http_client.h"

namespace {

struct JsonDecref {
  void operator()(json_t* value) const { json_decref(value); }
};

char PartByte(size_t j, int part) { return static_cast<char>((j * 31 + part * 7) & 0xFF); }

TEST(ServerFixture, ServesTheThreeTestParts) {
  const char* dir = std::getenv("TOVI_TEST_SERVER_DIR");
  ASSERT_NE(dir, nullptr);
  std::ifstream file(std::string(dir) + "/address");
  std::stringstream address;
  address << file.rdbuf();
  ASSERT_EQ(address.str().rfind("127.0.0.1:", 0), 0u) << address.str();
  const std::string base = "http://" + address.str();

  const HttpAnswer start = HttpGet(base + "/start?mid=fixture&game=29&distributor=0");
  ASSERT_EQ(start.status, 200);
  std::unique_ptr<json_t, JsonDecref> json(
      json_loadb(start.body.data(), start.body.size(), 0, nullptr));
  ASSERT_TRUE(json);
  EXPECT_EQ(json_integer_value(json_object_get(json.get(), "parts")), 3);
  const char* const kNames[] = {"ToviSetup.exe", "ToviSetup-1.bin", "ToviSetup-2.bin"};
  const char* const kSizes[] = {"1048576", "786432", "524288"};
  for (int p = 0; p < 3; ++p) {
    const std::string index = std::to_string(p);
    const char* url = json_string_value(json_object_get(json.get(), ("url_" + index).c_str()));
    const char* size = json_string_value(json_object_get(json.get(), ("size_" + index).c_str()));
    ASSERT_TRUE(url && size) << p;
    EXPECT_EQ(std::string(url), base + "/parts/" + kNames[p]);
    EXPECT_STREQ(size, kSizes[p]);
  }

  const HttpAnswer whole = HttpGet(base + "/parts/ToviSetup-2.bin");
  ASSERT_EQ(whole.body.size(), 524288u);
  for (size_t j = 0; j < whole.body.size(); ++j) {
    ASSERT_EQ(whole.body[j], PartByte(j, 2)) << j;
  }
  const HttpAnswer range = HttpGet(base + "/parts/ToviSetup-1.bin", {"Range: bytes=786000-"});
  EXPECT_EQ(range.status, 206);
  ASSERT_EQ(range.body.size(), 432u);
  for (size_t j = 0; j < range.body.size(); ++j) {
    ASSERT_EQ(range.body[j], PartByte(786000 + j, 1)) << j;
  }
}

}  // namespace
