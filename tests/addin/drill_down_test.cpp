// The add-in's DrillDown command on a figure of the profit and loss report
// in the sheet host, end to end (sheet host, Kovo.XLL, Kovo.exe, Ledra5 on
// the demo ledger): without a user the rows on the clipboard total the
// cell, by department and into transactions; with a user the drill-down
// window opens in the server with the cell's query and is driven there.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "demo_ledger.h"
#include "program_runner.h"
#include "resources/resource_ids.h"
#include "ddeclient/dde_client_win.h"
#include "server_fixture.h"
#include "sheet_runner.h"

namespace {

namespace fs = std::filesystem;
using kovo::testing::bin_folder;
using kovo::testing::clipboard_text;
using kovo::testing::ServerFolder;
using kovo::testing::set_clipboard_text;
using kovo::testing::wait_for;

constexpr char kCaption[] = "Drill [CYMA]";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at, end - at));
  return lines;
}

std::vector<std::string> cells_of(const std::string& line) {
  std::vector<std::string> cells;
  std::size_t at = 0;
  for (std::size_t end; (end = line.find('\t', at)) != std::string::npos; at = end + 1)
    cells.push_back(line.substr(at, end - at));
  cells.push_back(line.substr(at));
  return cells;
}

// 1,234.50 or (1,234.50), as the connector's windows write amounts.
double amount_of(const std::string& text) {
  std::string digits;
  for (const char c : text)
    if ((c >= '0' && c <= '9') || c == '.') digits += c;
  const double value = std::strtod(digits.c_str(), nullptr);
  return !text.empty() && text.front() == '(' ? -value : value;
}

// The total of a column of clipboard rows from a line on.
double column_total(const std::vector<std::string>& lines, std::size_t first, std::size_t column) {
  double total = 0;
  for (std::size_t i = first; i < lines.size(); ++i) {
    const auto cells = cells_of(lines[i]);
    if (cells.size() > column) total += amount_of(cells[column]);
  }
  return total;
}

class DrillDownFromTheSheet : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ledger_.built()) << ledger_.errors();
    folder_ = std::make_unique<ServerFolder>("drill");
    for (const char* f : {"Ledra5.dll", "WBTRV32.DLL"}) folder_->copy(f);
    ASSERT_TRUE(kovo::testing::store_connector_settings({{"System", ledger_.system()}}));
    WritePrivateProfileStringA("Kovo Server", "Path", (folder_->path().string() + "\\").c_str(),
                               kovo::testing::settings_file().c_str());
    WritePrivateProfileStringA("Kovo Excel", "BuildToolBar", "N", kovo::testing::settings_file().c_str());
  }
  void TearDown() override {
    EXPECT_TRUE(wait_for([] { return !FindWindowA("KovoMainServerClass", nullptr); }, 20000));
    folder_.reset();
    kovo::testing::forget_connector_settings();
  }
  // Runs the report in the sheet host: recalculated, the cell selected, the
  // command run; returns the cell's value as the sheet shows it.
  double run_on_cell(const std::string& cell, const std::string& command) {
    const std::string book = kovo::testing::source_file("examples/reports/profit_and_loss.json");
    const fs::path saved = folder_->path() / "saved.json";
    const auto run = kovo::testing::run_sheet_host("\"" + bin_folder() + "kovo-sheet.exe\" --addin \"" + bin_folder() +
                                                    "Kovo.XLL\" --open \"" + book + "\" --calc --select " + cell +
                                                    " --run \"" + command + "\" --save \"" + saved.string() + "\"");
    EXPECT_EQ(run.exit_code, 0u) << run.errors;
    std::ifstream in(saved);
    const nlohmann::json workbook = nlohmann::json::parse(in, nullptr, false);
    const auto& value = workbook["sheets"][0]["cells"][cell]["value"];
    EXPECT_TRUE(value.is_number()) << cell << ": " << workbook["sheets"][0]["cells"][cell].dump();
    return value.is_number() ? value.get<double>() : 0.0;
  }

  kovo::testing::DemoLedger ledger_;
  std::unique_ptr<ServerFolder> folder_;
};

TEST_F(DrillDownFromTheSheet, WithoutAUserTheClipboardRowsTotalTheCell) {
  // Operating expenses of this month, by department.
  set_clipboard_text("marker");
  const double expenses = run_on_cell("C9", "DrillDown(NoShow=1,Drill Segment=1)");
  auto lines = lines_of(clipboard_text());
  ASSERT_EQ(lines.size(), 3u + 1u + 3u) << clipboard_text();
  EXPECT_EQ(lines[0], "This Month");
  EXPECT_EQ(lines[1], "DEMO");
  EXPECT_EQ(lines[3], "6000..6999-^");
  EXPECT_NEAR(column_total(lines, 4, 2), expenses, 0.005);

  // Cost of goods sold, year to date, into its transactions.
  set_clipboard_text("marker");
  const double cost = run_on_cell("D8", "DrillDown(NoShow=1,Drill Segment=2)");
  lines = lines_of(clipboard_text());
  ASSERT_GT(lines.size(), 20u) << clipboard_text();
  EXPECT_EQ(lines[0], std::string("5??") + "?-*") << "the cell's account specifier";
  EXPECT_EQ(lines[1], "Start date:\t\t01Jan2008");
  EXPECT_EQ(lines[2], "End date:\t\t31May2008");
  EXPECT_EQ(cells_of(lines[4])[3], "Amount");
  EXPECT_NEAR(column_total(lines, 5, 3), cost, 0.005);
}

TEST_F(DrillDownFromTheSheet, ForAUserTheWindowOpensWithTheCellsQuery) {
  ASSERT_TRUE(folder_->start());
  folder_->watcher().leave_alone(kCaption);
  // A conversation of the test's own keeps the server up once the sheet
  // host has gone.
  kovo::dde::Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5")) << client.last_error_name();
  const double expenses = run_on_cell("C9", "DrillDown(Drill Segment=1)");

  HWND window = nullptr;
  ASSERT_TRUE(wait_for([&] {
    window = kovo::testing::find_process_window(kovo::testing::server_process_id(), "#32770", kCaption);
    return window && IsWindowVisible(window);
  }, 20000));
  char text[256] = {};
  GetDlgItemTextA(window, IDC_DRILL_ACCOUNT, text, sizeof text);
  EXPECT_STREQ(text, "6000..6999-*");
  GetDlgItemTextA(window, IDC_DRILL_PERIOD, text, sizeof text);
  EXPECT_STREQ(text, "This Month");
  GetDlgItemTextA(window, IDC_DRILL_COMPANY, text, sizeof text);
  EXPECT_STREQ(text, "DEMO");

  // Drill, Send, and the text reaches the clipboard as the window lets go
  // of the activation.
  set_clipboard_text("marker");
  DWORD_PTR answer = 0;
  const auto command = [&](WPARAM wparam) {
    return SendMessageTimeoutA(window, WM_COMMAND, wparam, 0, SMTO_BLOCK, 30000, &answer) != 0;
  };
  ASSERT_TRUE(command(MAKEWPARAM(IDC_DRILL_DRILL, BN_CLICKED)));
  EXPECT_EQ(SendMessageA(GetDlgItem(window, IDC_DRILL_LIST), LVM_GETITEMCOUNT, 0, 0), 3);
  GetDlgItemTextA(window, IDC_DRILL_RECORD_COUNT, text, sizeof text);
  EXPECT_STREQ(text, "3");
  GetDlgItemTextA(window, IDC_DRILL_TOTAL, text, sizeof text);
  EXPECT_NEAR(amount_of(text), expenses, 0.005);
  ASSERT_TRUE(command(MAKEWPARAM(IDC_DRILL_SEND, BN_CLICKED)));
  EXPECT_EQ(clipboard_text(), "marker");
  SendMessageTimeoutA(window, WM_ACTIVATE, WA_INACTIVE, 0, SMTO_BLOCK, 30000, &answer);
  const auto lines = lines_of(clipboard_text());
  ASSERT_EQ(lines.size(), 7u) << clipboard_text();
  EXPECT_NEAR(column_total(lines, 4, 2), expenses, 0.005);

  ASSERT_TRUE(command(IDCANCEL));
  EXPECT_TRUE(wait_for([&] { return !IsWindow(window); }));
  client.execute("[CLOSE]", 10000);
  client.disconnect();
}

}  // namespace
