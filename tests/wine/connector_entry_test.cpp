// The connector library under Wine: its exports, version resource, and the
// answers of the entry codes through the console and in process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "connector_fixture.h"
#include "entry/command_codes.h"
#include "resources/resource_ids.h"
#include "program_runner.h"

using kovo::testing::bin_folder;
using kovo::testing::run_console;
using kovo::testing::ConnectorInProcess;

namespace {

TEST(ConnectorConsole, RefusedCodesAndUnsupportedFunction) {
  // GLGROUP is code 128; "[INQUIRE2" reaches the connector as 22, a window command.
  const auto run = run_console("\"[REPORT(x)]\" GLGROUP;1 KovoCOM1 KovoVERSION \"[KovoCOM2]\"");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  // Executes pass no result buffer, so a refused command shows only its status.
  const std::string expected = std::string("1\t\n") +
                               "1\tKovo [CYMA] The command/request was not processedGLGROUP\n" +
                               "1\tKovo [CYMA] The command/request was not processedKovoCOM1\n" +
                               "0\tKovo Version 4.2.20.0 for Cyma IV\\r\\n\n" + "1\t\n";
  EXPECT_EQ(run.output, expected);
}

TEST(ConnectorConsole, RequestsFromStandardInputAndUnknownCommands) {
  const auto run = run_console("", "KovoVERSION\r\n\r\n[NOSUCH]\nOD;x\n");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  EXPECT_EQ(run.output,
            "0\tKovo Version 4.2.20.0 for Cyma IV\\r\\n\n"
            "1\tThe command sent is unknown to kovo - [NOSUCH]\n"
            "1\tKovo [CYMA] The command/request was not processedOD\n");
}

TEST(ConnectorConsole, StandardInputIsReadAsBytes) {
  // a 0x1A inside the input is part of a request, not the end of the input
  const auto run = run_console("", std::string("OD;\x1A\nKovoVERSION\n"));
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  EXPECT_EQ(run.output,
            "1\tKovo [CYMA] The command/request was not processedOD\n"
            "0\tKovo Version 4.2.20.0 for Cyma IV\\r\\n\n");
}

TEST(ConnectorConsole, MissingLibraryFailsClearly) {
  const auto run = run_console("--library C:\\nowhere\\Ledra5.dll KovoVERSION");
  EXPECT_EQ(run.exit_code, 2u);
  EXPECT_NE(run.errors.find("cannot load the connector library C:\\nowhere\\Ledra5.dll"),
            std::string::npos);
  EXPECT_TRUE(run.output.empty());
}

TEST_F(ConnectorInProcess, EntryCodesAndNullResults) {
  int status = -1;
  EXPECT_EQ(call(kovo::codes::kClose, "", &status), "Kovo [CYMA] The command/request was not processed");
  EXPECT_EQ(status, kovo::kStatusNotProcessed);
  EXPECT_EQ(call(kovo::codes::kInquire2, "", &status), "Kovo [CYMA] The command/request was not processed");
  EXPECT_EQ(call(kovo::codes::kGlGroup, "", &status), "Kovo [CYMA] The command/request was not processed");
  EXPECT_EQ(status, kovo::kStatusNotProcessed);
  EXPECT_EQ(call(kovo::codes::kNotSupported, "", &status), "Kovo [CYMA] Function not supported\r\n");
  EXPECT_EQ(status, kovo::kStatusProcessed);
  EXPECT_EQ(call(kovo::codes::kVersion, ""), "Kovo Version 4.2.20.0 for Cyma IV\r\n");
  EXPECT_EQ(interface_(kovo::codes::kVersion, "", nullptr), 0);
  EXPECT_EQ(interface_(kovo::codes::kSetup, "NoShow=1", nullptr), 0);
  EXPECT_EQ(clip_(), 0);
  MSG nothing{};
  EXPECT_EQ(fix_(&nothing), 0);
}

TEST_F(ConnectorInProcess, NoShowHidesTheMainWindowAndIsClearedAfterwards) {
  HWND window = main_window();
  ASSERT_NE(window, nullptr) << "initialisation creates the hidden main window";
  EXPECT_FALSE(IsWindowVisible(window));
  call(kovo::codes::kDllSetup, "NoShow=1");
  pump();
  EXPECT_FALSE(IsWindowVisible(window)) << "NoShow never shows a window";
  call(kovo::codes::kDllSetup, "");
  pump();
  EXPECT_TRUE(IsWindowVisible(window)) << "NoShow was cleared, so the next command shows it";
  // Closing from the menu only hides the window until clean-up.
  SendMessageA(window, WM_COMMAND, IDM_QUIT, 0);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(IsWindowVisible(window));
  call(kovo::codes::kShowConnector, "");
  EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(ConnectorInProcess, StringTableAndVersionResource) {
  char text[256];
  struct Entry {
    UINT id;
    const char* text;
  } entries[] = {{30, "Btrieve error"}, {121, "Too Few Arguments"},
                 {3002, "Could not Find Btrieve Server"}, {1005, "Invalid Preimage Drive Parameter"},
                 {10020, "Record Manager Inactive"}, {10097, "Data Message Too Small"},
                 {5001, "System"}, {5043, "Include Unposted Transactions on Drill by Transactions"}};
  for (const auto& entry : entries) {
    ASSERT_GT(LoadStringA(module_, entry.id, text, sizeof text), 0) << entry.id;
    EXPECT_STREQ(text, entry.text);
  }
  const std::string path = bin_folder() + "Ledra5.dll";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::string block(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
  auto value = [&](const char* name) {
    char* found = nullptr;
    UINT length = 0;
    const std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&found), &length))
      return std::string();
    return std::string(found);
  };
  EXPECT_EQ(value("CompanyName"), "Kovo");
  EXPECT_EQ(value("InternalName"), "LEDRA5");
  EXPECT_EQ(value("ProductName"), "Kovo for Cyma IV");
  EXPECT_EQ(value("ProductVersion"), "4.2.20.0");
}

}  // namespace
