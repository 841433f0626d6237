// What the chart window copies, over a small ledger: the columns and their
// headings, figures and formulas per period, skipping zero lines, the bound
// of the copy buffer, a stop, and the refusals; and what it opens with.
#include <gtest/gtest.h>

#include <any>
#include <string>
#include <vector>

#include "ledger_fixture.h"
#include "recording_window.h"
#include "windows/chart_controller.h"

using namespace kovo;
using namespace kovo::chart;
using kovo::testing::description;
using kovo::testing::RecordingWindow;
using kovo::testing::two_year_company;

namespace {

const std::string kCompanyA = two_year_company("A", R"(,
  "accounts":[{"code":"1000-10","description":"Cash","type":"100"},
              {"code":"4000-10","description":"Sales Production","type":"400"},
              {"code":"4000-20","description":"Sales East","type":"400"},
              {"code":"5000-10","description":"Costs","type":"500"}],
  "balances":[{"account":"1000-10","year":2008,"actual":[100,200]},
              {"account":"4000-10","year":2008,"actual":[-1500.5,-60]},
              {"account":"4000-20","year":2008,"actual":[0,0]}])");

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

class ChartControllerTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    build(description(kCompanyA));
  }
  ChartController controller(std::size_t limit = kChartTextLimit) {
    return ChartController(settings(), window_, AmountLocale{}, [this](std::size_t n) { counts_.push_back(n); },
                           limit);
  }
  ChartFields fields(std::string account, std::string periods) {
    ChartFields f;
    f.account = std::move(account);
    f.periods = std::move(periods);
    f.company = "A";
    f.year = "2008";
    return f;
  }
  std::vector<std::string> copied() { return lines_of(window_.clipboard.value_or("")); }
  std::string last_box() { return window_.boxes.empty() ? std::string() : window_.boxes.back().text; }

  RecordingWindow window_;
  std::vector<std::size_t> counts_;
};

TEST_F(ChartControllerTest, OneFigureColumnPerPeriodUnderItsHeading) {
  auto c = controller();
  c.find(fields("4000-*", "January, February"));
  EXPECT_EQ(copied(), (std::vector<std::string>{"A\t2008\t", "Account\tDescription\tJanuary\tFebruary",
                                                "'4000-10\tSales Production\t(1,500.50)\t(60.00)",
                                                "'4000-20\tSales East\t0.00\t0.00"}));
  EXPECT_EQ(last_box(), "2 account keys were copied to the clipboard.");
  EXPECT_EQ(counts_, (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_EQ(window_.saves, 1);
  EXPECT_EQ(settings().chart_period, "January, February");
  EXPECT_EQ(settings().chart_account, "4000-*");
}

TEST_F(ChartControllerTest, SegmentColumnsOriginAndRounding) {
  auto c = controller();
  settings().rounding = 4;  // to tens
  ChartFields f = fields("", "January");
  f.options.segment_columns = true;
  f.options.show_origin = true;
  c.find(f);
  const auto lines = copied();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1], "Account\tDept\tDescription\tOrigin\tJanuary") << "the titles stand over their cells";
  // (with a rounding step, window amounts keep six decimals)
  EXPECT_EQ(lines[2], "'1000\t'10\tCash\tBalance Sheet\t100.000000");
  EXPECT_EQ(lines[3], "'4000\t'10\tSales Production\tP/L\t(1,500.000000)");

  f.options.prepend_quote = false;
  f.options.show_account = false;  // takes the segment columns with it
  f.options.show_origin = false;
  c.find(f);
  EXPECT_EQ(copied()[1], "Description\tJanuary");
  EXPECT_EQ(copied()[2], "Cash\t100.000000");
  EXPECT_EQ(settings().segments_in_columns, 0);
}

TEST_F(ChartControllerTest, SkipZeroNeedsPeriods) {
  auto c = controller();
  ChartFields f = fields("*-*", "January");
  f.options.skip_zero = true;
  c.find(f);
  EXPECT_EQ(copied().size(), 4u) << "4000-20 and 5000-10 are all zero";
  EXPECT_EQ(last_box(), "2 account keys were copied to the clipboard.");
  f.periods.clear();
  c.find(f);
  const auto lines = copied();
  ASSERT_EQ(lines.size(), 6u) << "without periods every account is written";
  EXPECT_EQ(lines[1], "Account\tDescription");
  EXPECT_EQ(lines[5], "'5000-10\tCosts");
}

TEST_F(ChartControllerTest, FormulasInBothStyles) {
  auto c = controller();
  settings().formulas = 2;
  ChartFields f = c.open();
  f.account = "(4000,1000)(10)";
  f.periods = "January,February";
  f.company = "A";
  f.year = "2008";
  c.find(f);
  auto lines = copied();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], "'4000-10\tSales Production\t=GL(RC[-2],R[-1]C,R[-2]C[-2],R[-2]C[-1])\t"
                      "=GL(RC[-3],R[-1]C,R[-2]C[-3],R[-2]C[-2])");
  EXPECT_EQ(lines[3].rfind("'1000-10\tCash\t=GL(RC[-2],R[-2]C,R[-3]C[-2],R[-3]C[-1])\t=GL(", 0), 0u) << lines[3];

  // Split codes are joined again; without the code shown it is written out.
  f.options.segment_columns = true;
  f.options.show_description = false;
  f.periods = "January";
  c.find(f);
  EXPECT_EQ(copied()[2], "'4000\t'10\t=GL(RC[-2]&\"-\"&RC[-1],R[-1]C,R[-2]C[-2],R[-2]C[-1])");
  f.options.show_account = false;
  f.options.segment_columns = false;
  c.find(f);
  EXPECT_EQ(copied()[2], "=GL(\"4000-10\",R[-1]C,R[-2]C,R[-2]C[1])");

  settings().formulas = 1;
  f = c.open();
  f.account = "4000-10";
  c.find(f);
  EXPECT_EQ(copied()[2], "@GL(\"4000-10\",\"January\",\"A\",\"2008\")") << "the last Find's columns kept";
}

TEST_F(ChartControllerTest, AFullBufferStillCopiesWhatItHolds) {
  auto c = controller(80);
  c.find(fields("*-*", ""));
  const auto lines = copied();
  ASSERT_EQ(lines.size(), 4u) << window_.clipboard.value_or("");
  EXPECT_EQ(last_box(), "Chart failed. - Too many accounts found for the copy buffer. 2 account keys were copied "
                        "to the clipboard.");
  EXPECT_EQ(window_.boxes.back().kind, windows::BoxKind::Error);
}

TEST_F(ChartControllerTest, AStopCopiesTheLinesBeforeIt) {
  auto c = controller();
  window_.stop_after_rows = 5;  // four accounts read, then the stop after the second line
  c.find(fields("*-*", ""));
  EXPECT_EQ(copied().size(), 4u);
  EXPECT_EQ(last_box(), "2 accounts were copied to the clipboard before cancellation.");
}

TEST_F(ChartControllerTest, Refusals) {
  auto c = controller();
  c.find(fields("4000-*", "January,Bogus words"));
  EXPECT_EQ(last_box(), "The period requested is invalid. - Bogus words");
  c.find(fields("9*-*", "January"));
  EXPECT_EQ(last_box(), "No matching accounts found. - 9*-*");
  ChartFields f = fields("", "");
  f.company = " ,A";
  c.find(f);
  EXPECT_EQ(last_box(), "Invalid company specifier:  -  ,A");
  f.company = "ZZ";
  c.find(f);
  EXPECT_NE(last_box().find("ZZ"), std::string::npos) << last_box();
  EXPECT_EQ(window_.clipboard, std::optional<std::string>("earlier text")) << "nothing copied";

  // Without a user nothing shows; the failure stays for the command's answer.
  window_.automated = true;
  window_.boxes.clear();
  c.find(fields("9*-*", "January"));
  EXPECT_TRUE(window_.boxes.empty());
  EXPECT_FALSE(window_.clipboard) << "an earlier text is not left for the caller";
  EXPECT_EQ(pending_message(), "Kovo [CYMA] No matching accounts found. - 9*-*");
  clear_message();
}

TEST_F(ChartControllerTest, OpeningResetAndTheDependentBoxes) {
  auto c = controller();
  windows::ChartStart start{"4000-10", "This Month", " 2007 ", "A,B", "R"};
  ChartFields f = c.open(&start);
  EXPECT_EQ(f.account, "4000-10");
  EXPECT_EQ(f.company, "A");
  EXPECT_EQ(f.year, "2007");
  EXPECT_TRUE(f.revised);
  EXPECT_EQ(settings().chart_type, "Revised Budget");

  settings().setup_year = "2008";
  settings().segments_in_columns = 1;
  settings().chart_show_origin = 0;
  f = c.reset();
  EXPECT_EQ(f.year, "2008");
  EXPECT_TRUE(f.options.show_account && f.options.show_description && f.options.show_origin && f.options.prepend_quote);
  EXPECT_FALSE(f.options.segment_columns);

  ChartOptions o;
  o.segment_columns = true;
  EXPECT_FALSE(c.checked(ChartCheck::ShowAccount, false, o).segment_columns);
  o.show_account = false;
  EXPECT_TRUE(c.checked(ChartCheck::SegmentColumns, true, o).show_account);

  c.periods(f);
  c.accounts();
  EXPECT_EQ(window_.opened, (std::vector<windows::Slot>{windows::kSlotPeriodWizard, windows::kSlotEnquiry}));
  EXPECT_EQ(std::any_cast<windows::PeriodWizardStart>(window_.start_values[0]).specifier, "This Month");
  EXPECT_EQ(window_.closed_windows, (std::vector<windows::Slot>{windows::kSlotEnquiry}));
}

TEST(ChartPeriods, SplitAtCommasAndTrimmed) {
  EXPECT_EQ(chart_periods(" January ,February,, "), (std::vector<std::string>{"January", "February"}));
  EXPECT_TRUE(chart_periods("").empty());
}

}  // namespace
