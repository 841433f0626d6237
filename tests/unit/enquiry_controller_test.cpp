// What the account enquiry window decides, without a window, over a small
// ledger of three segments: its boxes and lists, the balance shown, what it
// hands other windows and the table it leaves on the clipboard.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry/settings.h"
#include "ledger_fixture.h"
#include "recording_window.h"
#include "windows/enquiry_block.h"
#include "windows/enquiry_controller.h"
#include "windows/list_command.h"
#include "windows/window_handoffs.h"

using namespace kovo;
using namespace kovo::windows;
using kovo::testing::description;
using kovo::testing::RecordingWindow;
using kovo::testing::two_year_company;

namespace {

const std::string kCompany = two_year_company("C", R"(,
  "accounts":[{"code":"1000-10-01","description":"Cash","type":"100"},
              {"code":"4000-10-01","description":"Sales East","type":"400"},
              {"code":"4000-20-02","description":"Sales West","type":"400"}],
  "segments":[{"segment":2,"value":"10","description":"East"},
              {"segment":2,"value":"20","description":"West"}],
  "balances":[{"account":"4000-20-02","year":2008,"actual":[0,0,0,0,0.0004]},
              {"account":"4000-10-01","year":2008,"actual":[-100,-100,-100,-100,-1000]}])",
                                            "XXXX-XX-XX");

class Display : public enquiry::EnquiryDisplay {
 public:
  std::vector<std::string> periods, balances;
  void show_period(std::string_view p) override { periods.emplace_back(p); }
  void show_balance(std::string_view b) override { balances.emplace_back(b); }
};

class EnquiryControllerTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    lists::release_lists();
    build(description(kCompany));
    settings().company = "C";
  }
  void TearDown() override {
    lists::release_lists();
    LedgerTest::TearDown();
  }
  enquiry::EnquiryFields fields(std::vector<std::string> segments, std::string period = "This Month") {
    enquiry::EnquiryFields f;
    f.company = "C";
    f.year = "2008";
    f.period = std::move(period);
    for (std::size_t i = 0; i < segments.size(); ++i) f.segments[i] = segments[i];
    return f;
  }
  RecordingWindow window;
  Display display;
  enquiry::EnquiryController controller{settings(), window, display,
                                        [](double v) { return "amount " + std::to_string(v); }};
};

}  // namespace

TEST(EnquiryBlockTest, AccountsAndTheTable) {
  EXPECT_EQ(enquiry::account_of({"1000", "20"}), "(1000)(20)");
  EXPECT_EQ(enquiry::account_of({"1000", ""}), std::nullopt);
  EXPECT_EQ(enquiry::chosen_value("4000; Sales; more"), "4000");
  EXPECT_EQ(enquiry::chosen_value(" 10 "), "10");
  EXPECT_EQ(enquiry::plain_segments("4000-10-01"), (std::vector<std::string>{"4000", "10", "01"}));
  EXPECT_EQ(enquiry::plain_segments("(4000)(10)"), (std::vector<std::string>{"4000", "10"}));
  for (const char* pattern : {"4?-10", "4000..4999", "(4000,5000)(10)", "4000--10", "", "(4000)x"})
    EXPECT_EQ(enquiry::plain_segments(pattern), std::nullopt) << pattern;

  enquiry::EnquiryBlock block;
  block.by = -2;
  block.segments = {{"Account", "4000"}, {"Dept", "10"}, {"Region", ""}};
  block.period = "Month 3";
  block.company = "C";
  block.year = "2008";
  block.type = "Budget";
  EXPECT_EQ(enquiry::block_text(block),
            "1\r\n-2\r\n2\r\nAccount\t4000\r\nDept\t10\r\nPeriod\tMonth 3\r\nCompany\tC\r\nYear\t2008\r\nType\tBudget\r\n")
      << "an empty segment ends the segment rows, and the count says so";
}

TEST(EnquiryBlockTest, SmallBalancesShowAsZero) {
  const enquiry::AmountText text = [](double v) { return "formatted " + std::to_string(v); };
  EXPECT_EQ(enquiry::balance_text(0.0004, text), "0.00");
  EXPECT_EQ(enquiry::balance_text(-0.0009, text), "0.00");
  EXPECT_EQ(enquiry::balance_text(-0.002, text), "formatted -0.002000");
  EXPECT_EQ(enquiry::balance_text(0.001, text), "formatted 0.001000");
}

TEST_F(EnquiryControllerTest, AThreeSegmentCompanyFillsThreeBoxes) {
  window.clipboard = "stale";
  settings().drill_account = "4000-10-01";
  settings().drill_period = "Nonsense words";
  const enquiry::EnquiryOpening opening = controller.open();
  EXPECT_FALSE(window.clipboard) << "the clipboard is emptied as the window opens";
  ASSERT_FALSE(opening.company_failed);
  EXPECT_EQ(opening.period, "Month") << "a last period that does not parse";
  EXPECT_EQ(opening.year, "2008");
  const auto& boxes = opening.choices.segments;
  EXPECT_EQ(boxes[0].label, "Account:");
  EXPECT_EQ(boxes[2].label, "Region:");
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(boxes[i].enabled) << i;
  for (int i = 3; i < enquiry::kSegmentBoxes; ++i) {
    EXPECT_FALSE(boxes[i].enabled) << i;
    EXPECT_TRUE(boxes[i].items.empty()) << i;
    EXPECT_EQ(boxes[i].label, "Segment " + std::to_string(i + 1) + ":");
  }
  EXPECT_EQ(boxes[1].items, (std::vector<std::string>{"10; East", "20; West"}));
  EXPECT_EQ(boxes[0].value, "4000") << "the last account built, segment by segment";
  EXPECT_EQ(boxes[2].value, "01");
  ASSERT_EQ(opening.choices.by.size(), 4u);
  EXPECT_EQ(opening.choices.by[0].label, "Dept");
  EXPECT_EQ(opening.choices.by[0].code, -2);
  EXPECT_EQ(opening.choices.by[1].code, -3);
  EXPECT_EQ(opening.choices.by[opening.choices.by_selected].label, "Period");
  EXPECT_EQ(opening.choices.by[3].code, enquiry::kByCompany);

  auto f = fields({"4000; Sales", "10; East", "01"});
  f.by = enquiry::kByCompany;
  controller.quit(f, std::nullopt);
  EXPECT_TRUE(window.closed);
  EXPECT_EQ(window.clipboard,
            "1\r\n3\r\n3\r\nAccount\t4000\r\nDept\t10\r\nRegion\t01\r\nPeriod\tThis Month\r\nCompany\tC\r\n"
            "Year\t2008\r\nType\tBudget\r\n");
  EXPECT_TRUE(window.commands.empty()) << "opened by nobody: nobody is told";
}

TEST_F(EnquiryControllerTest, GetBalanceShowsTheFigureOrWhyNot) {
  controller.open();
  controller.get_balance(fields({"4000", "10", "01"}, "Year to Date"));
  EXPECT_EQ(display.balances.back(), "amount -1400.000000");
  controller.get_balance(fields({"4000", "20", "02"}, "This Month"));
  EXPECT_EQ(display.balances.back(), "0.00") << "0.0004 shows as 0.00";
  EXPECT_TRUE(window.boxes.empty());

  controller.get_balance(fields({"4000", "", "01"}));
  EXPECT_EQ(window.boxes.back().text, "You must enter all segments of the account code.");
  EXPECT_EQ(display.balances.back(), "");

  controller.get_balance(fields({"4000", "10", "01"}, "Sometime soon"));
  EXPECT_EQ(window.boxes.back().text, "The period requested is invalid.");
  EXPECT_EQ(display.periods.back(), "") << "the period that does not parse is cleared";

  settings().na_label = 0;  // no matching account is then a failure
  controller.get_balance(fields({"9999", "10", "01"}));
  EXPECT_NE(window.boxes.back().text.find("9999"), std::string::npos) << window.boxes.back().text;
}

TEST_F(EnquiryControllerTest, HandsTheSelectionOnAndReportsBackOnClosing) {
  controller.open();
  auto f = fields({"4000", "10", "01"}, "Month 3");
  f.revised = true;
  controller.to_drill(f);
  ASSERT_EQ(window.opened, (std::vector<Slot>{kSlotDrill}));
  EXPECT_EQ(window.closed_windows, (std::vector<Slot>{kSlotDrill})) << "an open drill-down goes first";
  const auto drill = std::any_cast<DrillStart>(window.start_values[0]);
  EXPECT_EQ(drill.account, "(4000)(10)(01)");
  EXPECT_EQ(drill.period, "Month 3");
  EXPECT_EQ(drill.type, "Revised Budget");

  controller.to_chart(f);
  EXPECT_EQ(window.opened.back(), kSlotChartCopy);
  EXPECT_EQ(settings().chart_account, "(4000)(10)(01)");
  EXPECT_EQ(settings().chart_company, "C");
  EXPECT_EQ(settings().chart_type, "Revised Budget");

  controller.period_wizard(fields({}, "Garbled words"));
  EXPECT_EQ(window.opened.back(), kSlotPeriodWizard);
  EXPECT_EQ(std::any_cast<PeriodWizardStart>(window.start_values.back()).specifier, "Month");
  controller.wizard_period("Quarter 2");
  EXPECT_EQ(display.periods.back(), "Quarter 2");

  // A period that does not parse keeps the window open.
  controller.quit(fields({"4000", "10", "01"}, "Garbled words"), kSlotDrill);
  EXPECT_FALSE(window.closed);
  EXPECT_EQ(window.boxes.back().text, "The period requested is invalid.");

  controller.quit(f, kSlotDrill);
  EXPECT_TRUE(window.closed);
  EXPECT_EQ(window.commands, (std::vector<RecordingWindow::Command>{{kSlotDrill, kWizardReinitialise, 0}}));
  EXPECT_EQ(settings().drill_account, "(4000)(10)(01)");
  EXPECT_EQ(settings().drill_period, "Month 3");
  EXPECT_EQ(settings().drill_type, "Revised Budget");
}

TEST_F(EnquiryControllerTest, ACompanyThatCannotBeUsedLeavesNoTable) {
  settings().company = "NOPE";
  const enquiry::EnquiryOpening opening = controller.open();
  EXPECT_TRUE(opening.company_failed);
  ASSERT_EQ(window.boxes.size(), 1u);
  controller.quit(fields({"4000", "10", "01"}), std::nullopt);
  EXPECT_TRUE(window.closed);
  EXPECT_FALSE(window.clipboard) << "no enquiry, no table";
  EXPECT_FALSE(controller.company_changed("ALSO"));
  EXPECT_TRUE(controller.company_changed("C"));
}
