// The report workbooks of examples/reports/ recalculated in the sheet host
// with Kovo.XLL against the demo ledger, as they are and as Excel workbooks:
// every cell that asks the ledger notes the request it stands for, and shows
// what the connector console answers to that request.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "demo_ledger.h"
#include "program_runner.h"
#include "server_fixture.h"
#include "sheet_runner.h"

namespace {

namespace fs = std::filesystem;
using kovo::testing::bin_folder;
using kovo::testing::ServerFolder;

class ReportWorkbooks : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ledger_.built()) << ledger_.errors();
    folder_ = std::make_unique<ServerFolder>(std::string("reports-") + GetParam());
    for (const char* f : {"Ledra5.dll", "WBTRV32.DLL"}) folder_->copy(f);
    ASSERT_TRUE(kovo::testing::store_connector_settings({{"System", ledger_.system()}}));
    const std::string settings = kovo::testing::settings_file();
    WritePrivateProfileStringA("Kovo Server", "Path", (folder_->path().string() + "\\").c_str(), settings.c_str());
  }
  void TearDown() override {
    EXPECT_TRUE(kovo::testing::wait_for([] { return !FindWindowA("KovoMainServerClass", nullptr); }, 20000));
    folder_.reset();
    kovo::testing::forget_connector_settings();
  }
  kovo::testing::DemoLedger ledger_;
  std::unique_ptr<ServerFolder> folder_;

  // Recalculates the book with the add-in, saves it as a workbook file and
  // checks every noted request's cell against the console's answer.
  void check_recalculated(const std::string& book) {
    const fs::path saved = folder_->path() / "saved.json";
    const auto run = kovo::testing::run_sheet_host("\"" + bin_folder() + "kovo-sheet.exe\" --addin \"" + bin_folder() +
                                                    "Kovo.XLL\" --open \"" + book + "\" --calc --print --save \"" +
                                                    saved.string() + "\"");
    ASSERT_EQ(run.exit_code, 0u) << run.errors;
    check_saved(saved, run.output);
  }
  void check_saved(const fs::path& saved, const std::string& printed);
};

TEST_P(ReportWorkbooks, CellsShowTheConnectorsAnswersToTheirRequests) {
  check_recalculated(kovo::testing::source_file(std::string("examples/reports/") + GetParam() + ".json"));
}

// The same report kept as an Excel workbook (saved by the host without the
// add-in, so its GL formulas hold no figures yet) opens and recalculates to
// the same figures.
TEST_P(ReportWorkbooks, AnExcelCopyOpensAndRecalculatesToTheSameFigures) {
  const std::string book = kovo::testing::source_file(std::string("examples/reports/") + GetParam() + ".json");
  const fs::path xlsx = folder_->path() / "report.xlsx";
  const auto saved = kovo::testing::run_sheet_host("\"" + bin_folder() + "kovo-sheet.exe\" --open \"" + book +
                                                    "\" --save \"" + xlsx.string() + "\"");
  ASSERT_EQ(saved.exit_code, 0u) << saved.errors;
  check_recalculated(xlsx.string());
}

void ReportWorkbooks::check_saved(const fs::path& saved, const std::string& printed) {
  std::ifstream in(saved);
  const nlohmann::json workbook = nlohmann::json::parse(in);

  // The noted requests, and what the cells show.
  std::vector<std::string> requests;
  std::vector<nlohmann::json> shown;
  for (const auto& sheet : workbook["sheets"])
    for (const auto& [address, cell] : sheet["cells"].items())
      if (cell.is_object() && cell.contains("note")) {
        requests.push_back(cell["note"].get<std::string>());
        shown.push_back(cell.contains("value") ? cell["value"] : cell.value("error", nlohmann::json("<none>")));
      }
  ASSERT_GE(requests.size(), 10u);
  std::string input;
  for (const auto& r : requests) input += r + "\n";
  const auto console =
      kovo::testing::run_console("--library \"" + (folder_->path() / "Ledra5.dll").string() + "\" --value", input);
  ASSERT_EQ(console.exit_code, 0u) << console.errors;
  std::istringstream answers(console.output);
  int figures = 0;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    std::string answer;
    std::getline(answers, answer);
    answer = answer.substr(0, answer.find("\\r\\n"));
    char* end = nullptr;
    const double expected = std::strtod(answer.c_str(), &end);
    if (!answer.empty() && *end == '\0') {
      ASSERT_TRUE(shown[i].is_number()) << requests[i] << ": " << shown[i].dump() << " for " << answer;
      EXPECT_NEAR(shown[i].get<double>(), expected, 0.005) << requests[i];
      ++figures;
    } else {
      EXPECT_EQ(shown[i].is_string() ? shown[i].get<std::string>() : shown[i].dump(), answer) << requests[i];
    }
  }
  EXPECT_GE(figures, 8) << "the report shows the ledger's figures";
  EXPECT_NE(printed.find("Demo Manufacturing Inc."), std::string::npos) << printed;
}

INSTANTIATE_TEST_SUITE_P(Examples, ReportWorkbooks, ::testing::Values("profit_and_loss", "balance_sheet", "departments"));

}  // namespace
