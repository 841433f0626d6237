#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "entry/dispatch.h"
#include "server/dde_tables.h"

using namespace kovo;

namespace {

TEST(Dispatch, UnlistedCodesAreNotProcessedWithoutLineEnd) {
  char result[16000];
  for (int code : {1, 10, 39, 107, 117, 128, 133, 140, 200, -5}) {
    std::memset(result, 'x', sizeof result);
    EXPECT_EQ(connector_interface(code, "", result, sizeof result), 1) << code;
    EXPECT_STREQ(result, "Kovo [CYMA] The command/request was not processed") << code;
  }
}

TEST(Dispatch, FunctionNotSupportedAndNullResult) {
  char result[16000];
  EXPECT_EQ(connector_interface(127, "", result, sizeof result), 0);
  EXPECT_STREQ(result, "Kovo [CYMA] Function not supported\r\n");
  EXPECT_EQ(connector_interface(127, nullptr, nullptr, 0), 0);
  EXPECT_EQ(connector_interface(39, "x", nullptr, 0), 1);
}

TEST(Dispatch, CalculationFlagAndValueHandlers) {
  EXPECT_EQ(connector_interface(11, "", nullptr, 0), 0);
  EXPECT_TRUE(calculation_in_progress());
  EXPECT_EQ(connector_interface(12, "", nullptr, 0), 0);
  EXPECT_FALSE(calculation_in_progress());

  register_value_handler(116, [](int, std::string_view args, std::string& out) {
    out = "got " + std::string(args);
    return 4;
  });
  char result[16000];
  EXPECT_EQ(connector_interface(116, "a;b", result, sizeof result), 4);
  EXPECT_STREQ(result, "got a;b\r\n");
}

TEST(ServerTables, ItemsAndCommands) {
  using namespace kovo::server;
  EXPECT_EQ(find_item("gl"), 100);
  EXPECT_EQ(find_item("KOVOVERSION"), 125);
  EXPECT_FALSE(find_item("GLX").has_value());
  EXPECT_FALSE(find_item("WDESC").has_value());
  EXPECT_EQ(find_command("[INQUIRE2(x)]"), 22) << "prefix order wins";
  EXPECT_EQ(find_command("[setup(NoShow=1)]"), 3);
  EXPECT_FALSE(find_command("[NOPE]").has_value());
  const auto split = split_item("GL;1000;12;;;");
  EXPECT_EQ(split.name, "GL");
  EXPECT_EQ(split.arguments, "1000;12;;;");
  EXPECT_EQ(split_item("gl").arguments, "");
  EXPECT_EQ(command_arguments("[SETUP(NoShow=1,Company=DEMO)]"), "NoShow=1,Company=DEMO");
  EXPECT_EQ(command_arguments("[CLOSE]"), "[CLOSE]");
  EXPECT_EQ(command_arguments("[X("), "[X(");
  EXPECT_TRUE(command_is_quiet("noshow=1,a=2"));
  EXPECT_FALSE(command_is_quiet("NOSHOW=0"));
}

}  // namespace
