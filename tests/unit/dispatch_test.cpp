#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "entry/command_codes.h"
#include "entry/dispatch.h"
#include "server/dde_tables.h"

using namespace kovo;

namespace {

TEST(Dispatch, UnlistedCodesAreNotProcessedWithoutLineEnd) {
  char result[16000];
  for (const int code : std::initializer_list<int>{codes::kClose, codes::kReport, codes::kInquire2, codes::kGtDesc, codes::kOd, codes::kGlGroup,
                   codes::kSetupSettings, codes::kSetupBudType, 200, -5}) {
    std::memset(result, 'x', sizeof result);
    EXPECT_EQ(connector_interface(code, "", result, sizeof result), kStatusNotProcessed) << code;
    EXPECT_STREQ(result, "Kovo [CYMA] The command/request was not processed") << code;
  }
}

TEST(Dispatch, FunctionNotSupportedAndNullResult) {
  char result[16000];
  EXPECT_EQ(connector_interface(codes::kNotSupported, "", result, sizeof result), kStatusProcessed);
  EXPECT_STREQ(result, "Kovo [CYMA] Function not supported\r\n");
  EXPECT_EQ(connector_interface(codes::kNotSupported, nullptr, nullptr, 0), kStatusProcessed);
  EXPECT_EQ(connector_interface(codes::kInquire2, "x", nullptr, 0), kStatusNotProcessed);
}

TEST(Dispatch, CalculationFlagAndValueHandlers) {
  EXPECT_EQ(connector_interface(codes::kStartCalc, "", nullptr, 0), 0);
  EXPECT_TRUE(calculation_in_progress());
  EXPECT_EQ(connector_interface(codes::kFinishCalc, "", nullptr, 0), 0);
  EXPECT_FALSE(calculation_in_progress());

  register_value_handler(codes::kAcctData, [](int, std::string_view args, std::string& out) {
    out = "got " + std::string(args);
    return 4;
  });
  char result[16000];
  EXPECT_EQ(connector_interface(codes::kAcctData, "a;b", result, sizeof result), 4);
  EXPECT_STREQ(result, "got a;b\r\n");
}

// A window command's answer: what an automated window handed back ends in a
// line end like any result; the list command's always does; a refusal
// answers its reason without one, as unknown codes do.
TEST(Dispatch, WindowCommandsHandBackTextOrARefusal) {
  set_connector_host({[](int code, std::string_view arguments, std::string& answer) {
                        if (arguments == "refuse") {
                          answer = "Kovo [CYMA] The command/request was not processed - CHARTCOPY";
                          return static_cast<int>(kStatusNotProcessed);
                        }
                        if (arguments == "hand back") answer = "a table";
                        return static_cast<int>(kStatusProcessed);
                      },
                      nullptr, nullptr});
  char result[16000];
  EXPECT_EQ(connector_interface(codes::kChart, "hand back", result, sizeof result), kStatusProcessed);
  EXPECT_STREQ(result, "a table\r\n");
  EXPECT_EQ(connector_interface(codes::kChart, "", result, sizeof result), kStatusProcessed);
  EXPECT_STREQ(result, "");
  EXPECT_EQ(connector_interface(codes::kList, "", result, sizeof result), kStatusProcessed);
  EXPECT_STREQ(result, "\r\n");
  EXPECT_EQ(connector_interface(codes::kChart, "refuse", result, sizeof result), kStatusNotProcessed);
  EXPECT_STREQ(result, "Kovo [CYMA] The command/request was not processed - CHARTCOPY");
  EXPECT_EQ(connector_interface(codes::kChart, "refuse", nullptr, 0), kStatusNotProcessed);
  set_connector_host({});
}

TEST(ServerTables, ItemsAndCommands) {
  using namespace kovo::server;
  EXPECT_EQ(find_item("gl"), codes::kGl);
  EXPECT_EQ(find_item("KOVOVERSION"), codes::kVersion);
  EXPECT_FALSE(find_item("GLX").has_value());
  EXPECT_FALSE(find_item("WDESC").has_value());
  EXPECT_EQ(find_command("[INQUIRE2(x)]"), codes::kInquire) << "prefix order wins";
  EXPECT_EQ(find_command("[setup(NoShow=1)]"), codes::kSetup);
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

// Every code the server's tables send to a connector is one the connector
// knows, or one it answers "not processed" on purpose; the server's own
// commands never reach it.
TEST(ServerTables, OneVocabularyWithTheConnector) {
  using namespace kovo::server;
  for (const auto& command : command_table()) {
    if (handled_by_server(command.code)) continue;
    const CommandCode* entry = find_command_code(command.code);
    const bool refused = command.code == codes::kReport || command.code == codes::kInquire2 ||
                         (command.code >= codes::kCom1 && command.code <= codes::kCom3);
    EXPECT_EQ(entry == nullptr, refused) << command.name;
  }
  for (const auto& item : item_table()) {
    const CommandCode* entry = find_command_code(item.code);
    if (entry) EXPECT_NE(entry->kind, CodeKind::Window) << item.name << ": an item never opens a window";
  }
  EXPECT_TRUE(command_gets_result(codes::kChart, true)) << "any automated window may answer a request";
  EXPECT_FALSE(command_gets_result(codes::kChart, false));
  EXPECT_TRUE(command_gets_result(codes::kList, false));
}

}  // namespace
