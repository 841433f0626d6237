// The account enquiry end to end: the enquiry window in the server (Kovo.exe
// with Ledra5 on the demo ledger) driven by window messages shows a
// balance and, closing, leaves its table on the clipboard; GLPaste in the
// sheet host (with Kovo.XLL) lays it out as a formula whose value, once
// recalculated, is the balance the window showed.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "ddeclient/dde_client_win.h"
#include "demo_ledger.h"
#include "program_runner.h"
#include "resources/resource_ids.h"
#include "server_fixture.h"
#include "sheet_runner.h"

namespace {

namespace fs = std::filesystem;
using kovo::testing::bin_folder;
using kovo::testing::clipboard_text;
using kovo::testing::ServerFolder;
using kovo::testing::set_clipboard_text;
using kovo::testing::wait_for;

constexpr char kCaption[] = "Accounts [CYMA]";

// 1,234.50 or (1,234.50) or -1,234.50, as the connector's windows write amounts.
double amount_of(const std::string& text) {
  std::string digits;
  for (const char c : text)
    if ((c >= '0' && c <= '9') || c == '.') digits += c;
  const double value = std::strtod(digits.c_str(), nullptr);
  const bool negative = !text.empty() && (text.front() == '(' || text.front() == '-');
  return negative ? -value : value;
}

// A text cell of a saved workbook: the text alone, or an object with its value.
std::string text_of(const nlohmann::json& cell) {
  if (cell.is_string()) return cell.get<std::string>();
  return cell.is_object() && cell.contains("value") && cell["value"].is_string() ? cell["value"].get<std::string>()
                                                                                : cell.dump();
}

class EnquiryPasteEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ledger_.built()) << ledger_.errors();
    folder_ = std::make_unique<ServerFolder>("enquiry");
    for (const char* f : {"Ledra5.dll", "WBTRV32.DLL"}) folder_->copy(f);
    RegDeleteKeyA(HKEY_CURRENT_USER, kovo::testing::kSettingsKey);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kovo::testing::kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const std::string system = ledger_.system();
    RegSetValueExA(key, "System", 0, REG_SZ, reinterpret_cast<const BYTE*>(system.c_str()),
                   static_cast<DWORD>(system.size() + 1));
    RegCloseKey(key);
    WritePrivateProfileStringA("Kovo Server", "Path", (folder_->path().string() + "\\").c_str(),
                               kovo::testing::settings_file().c_str());
    WritePrivateProfileStringA("Kovo Excel", "BuildToolBar", "N", kovo::testing::settings_file().c_str());
    // GL, not NGL: the figure itself, as the window shows it.
    WritePrivateProfileStringA("Kovo Excel", "Create NGL Functions", "0", kovo::testing::settings_file().c_str());
  }
  void TearDown() override {
    WritePrivateProfileStringA("Kovo Excel", "Create NGL Functions", nullptr, kovo::testing::settings_file().c_str());
    served_down();
  }
  void served_down() {
    EXPECT_TRUE(wait_for([] { return !FindWindowA("KovoMainServerClass", nullptr); }, 20000));
    folder_.reset();
    RegDeleteKeyA(HKEY_CURRENT_USER, kovo::testing::kSettingsKey);
  }

  kovo::testing::DemoLedger ledger_;
  std::unique_ptr<ServerFolder> folder_;
};

TEST_F(EnquiryPasteEndToEnd, ThePastedFormulaGivesTheBalanceTheWindowShowed) {
  ASSERT_TRUE(folder_->start());
  folder_->watcher().leave_alone(kCaption);
  kovo::dde::Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5")) << client.last_error_name();
  set_clipboard_text("marker");
  ASSERT_TRUE(client.execute("[INQUIRE]", 10000));

  HWND window = nullptr;
  ASSERT_TRUE(wait_for([&] {
    window = kovo::testing::find_process_window(kovo::testing::server_process_id(), "#32770", kCaption);
    return window && IsWindowVisible(window);
  }, 20000));
  EXPECT_EQ(clipboard_text(), "") << "the window empties the clipboard as it opens";
  char text[256] = {};
  GetDlgItemTextA(window, IDC_INQ_SEGMENT_LABEL_BASE + 1, text, sizeof text);
  EXPECT_STREQ(text, "Dept:");
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_INQ_SEGMENT_BASE + 1)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_INQ_SEGMENT_BASE + 2))) << "the demo company has two segments";
  EXPECT_GT(SendDlgItemMessageA(window, IDC_INQ_SEGMENT_BASE, CB_GETCOUNT, 0, 0), 10) << "the known accounts";

  DWORD_PTR answer = 0;
  const auto command = [&](WPARAM wparam) {
    return SendMessageTimeoutA(window, WM_COMMAND, wparam, 0, SMTO_BLOCK, 30000, &answer) != 0;
  };
  SetDlgItemTextA(window, IDC_INQ_SEGMENT_BASE, "4000; Sales");
  SetDlgItemTextA(window, IDC_INQ_SEGMENT_BASE + 1, "10");
  SetDlgItemTextA(window, IDC_INQ_PERIOD, "Year to Date");
  ASSERT_TRUE(command(MAKEWPARAM(IDC_INQ_GET_BALANCE, BN_CLICKED)));
  GetDlgItemTextA(window, IDC_INQ_BALANCE, text, sizeof text);
  const std::string balance = text;
  ASSERT_FALSE(balance.empty());
  const double shown = amount_of(balance);
  EXPECT_NE(shown, 0.0) << balance;

  ASSERT_TRUE(command(IDCANCEL));
  EXPECT_TRUE(wait_for([&] { return !IsWindow(window); }));
  EXPECT_EQ(clipboard_text(),
            "1\r\n2\r\n2\r\nAccount\t4000\r\nDept\t10\r\nPeriod\tYear to Date\r\nCompany\tDEMO\r\nYear\t2008\r\n"
            "Type\tBudget\r\n");

  // Pasted at A1 of an empty sheet: six items, so the formula is in E8.
  const fs::path saved = folder_->path() / "pasted.json";
  const auto run = kovo::testing::run_sheet_host("\"" + bin_folder() + "kovo-sheet.exe\" --addin \"" + bin_folder() +
                                                  "Kovo.XLL\" --select A1 --run GLPaste --calc --save \"" +
                                                  saved.string() + "\"");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  std::ifstream in(saved);
  const nlohmann::json workbook = nlohmann::json::parse(in, nullptr, false);
  const auto& cells = workbook["sheets"][0]["cells"];
  ASSERT_TRUE(cells.contains("E8")) << cells.dump();
  EXPECT_EQ(cells["E8"]["formula"].get<std::string>().rfind("=GL(BSPEC(", 0), 0u) << cells["E8"].dump();
  ASSERT_TRUE(cells["E8"]["value"].is_number()) << cells["E8"].dump();
  EXPECT_NEAR(cells["E8"]["value"].get<double>(), shown, 0.005);
  EXPECT_EQ(text_of(cells["A8"]), "4000");
  EXPECT_EQ(text_of(cells["E6"]), "Year to Date") << "the period above the formula";
  EXPECT_EQ(text_of(cells["A2"]), "Dept");
  EXPECT_EQ(text_of(cells["B4"]), "DEMO");

  client.execute("[CLOSE]", 10000);
  client.disconnect();
}

TEST_F(EnquiryPasteEndToEnd, WithoutATableTheEnquiryIsAskedOnceThenRefused) {
  // A clipboard without an enquiry: GLPaste asks the connector for one
  // ([Inquire(NOSHOW=1)]); a fresh enquiry without a chosen account has no
  // segment rows, which is no valid table, and the paste says so.
  set_clipboard_text("Cash\t100\r\nSales\t200\r\n");
  const fs::path saved = folder_->path() / "refused.json";
  const auto run = kovo::testing::run_sheet_host("\"" + bin_folder() + "kovo-sheet.exe\" --addin \"" + bin_folder() +
                                                  "Kovo.XLL\" --select A1 --run GLPaste --save \"" + saved.string() +
                                                  "\"");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  EXPECT_NE(run.errors.find("box \"GL Enquire Paste\""), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("No valid data in Clipboard!"), std::string::npos) << run.errors;
  EXPECT_EQ(clipboard_text().rfind("1\r\n2\r\n0\r\nPeriod\t", 0), 0u) << "the enquiry the paste asked for: "
                                                                       << clipboard_text();
  std::ifstream in(saved);
  const nlohmann::json workbook = nlohmann::json::parse(in, nullptr, false);
  EXPECT_TRUE(workbook["sheets"][0]["cells"].empty()) << "nothing inserted or written: " << workbook.dump();
}

}  // namespace
