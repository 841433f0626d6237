// What the drill-down window decides, without a window, over a small
// ledger: the figure taken apart by a segment and into its transactions,
// the clipboard text of its Sends, sorting, highlighting, a list that
// fills up, and the hand-offs to other windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "entry/messages.h"
#include "entry/request_text.h"
#include "entry/settings.h"
#include "ledger_fixture.h"
#include "recording_window.h"
#include "requests/gl_request.h"
#include "requests/record_sources.h"
#include "resources/resource_ids.h"
#include "windows/drill_controller.h"
#include "windows/trx_fields_controller.h"
#include "windows/window_handoffs.h"

using namespace kovo;
using namespace kovo::drill;
using kovo::testing::description;
using kovo::testing::RecordingWindow;
using kovo::testing::two_year_company;
using windows::BoxKind;

namespace {

struct RecordingDisplay : DrillDisplay {
  std::string account, period, total;
  std::size_t count = 0;
  DrillFilters filters;
  int focused = 0, column_changes = 0;
  void show_account(std::string_view a) override { account = a; }
  void show_period(std::string_view p) override { period = p; }
  void show_total(std::string_view t) override { total = t; }
  void show_count(std::size_t c) override { count = c; }
  void show_filters(const DrillFilters& f) override { filters = f; }
  void focus_account() override { ++focused; }
  void columns_changed() override { ++column_changes; }
  void rows_changed() override {}
};

// Company A (data version 8, XXXX-XX): sales of three departments and cash,
// with May 2008 (period 5, the current one) as the month drilled.
const std::string kCompanyA = two_year_company("A", R"(,
  "accounts":[{"code":"1000-10","description":"Cash","type":"100"},
              {"code":"4000-10","description":"Sales Production","type":"400"},
              {"code":"4000-20","description":"Sales Sales","type":"400"},
              {"code":"4000-30","description":"Sales Admin","type":"400"}],
  "balances":[{"account":"1000-10","year":2008,"opening":5000,"actual":[0,0,0,0,1100]},
              {"account":"4000-10","year":2008,"actual":[-100,-100,-100,-100,-1000]},
              {"account":"4000-10","year":2007,"actual":[0,0,0,0,0,0,0,0,0,0,0,-77]},
              {"account":"4000-20","year":2008,"actual":[0,0,0,0,-500]},
              {"account":"4000-30","year":2008,"actual":[0,0,0,0,400]}],
  "transactions":[
    {"account":"4000-10","date":"2008-05-03","amount":-400,"journal":"SJ","batch":200805,"description":"Sale one"},
    {"account":"4000-10","date":"2008-05-20","amount":-600,"journal":"SJ","batch":200805,"description":"Sale two"},
    {"account":"4000-20","date":"2008-05-11","amount":-500,"journal":"SJ","batch":200805,"grant":"G1","coe":"E1",
     "job":"J100","costType":3,"costCode":"CC1"},
    {"account":"4000-30","date":"2008-05-12","amount":450,"journal":"SJ","batch":200806},
    {"account":"4000-30","date":"2008-05-30","amount":-50,"posted":false,"batch":200806},
    {"account":"4000-10","date":"2008-04-30","amount":-100},
    {"account":"4000-10","date":"2007-12-15","amount":-77,"history":true},
    {"account":"1000-10","date":"2008-05-31","amount":1100}],
  "segments":[{"segment":2,"value":"10","description":"Production"},
              {"segment":2,"value":"20","description":"Sales"}])");

// Company B: the older data (version 7), three segments.
std::string company_b() {
  std::string b = two_year_company("B", R"(,
  "accounts":[{"code":"4000-10-01","description":"Sales","type":"400"}],
  "balances":[{"account":"4000-10-01","year":2008,"actual":[0,0,0,0,-250]}])", "XXXX-XX-XX");
  b.replace(b.find("\"dataVersion\":8"), 15, "\"dataVersion\":7");
  return b;
}

class DrillControllerTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    build(description(kCompanyA + "," + company_b()));
    Settings& s = settings();
    s.company = "A";
    s.drill_company = "A";
    s.drill_account = "4000-*";
    s.drill_period = "This Month";
    s.drill_segment = 1;  // Dept
    make_controller(kListCapacity);
  }
  void make_controller(std::size_t capacity) {
    controller = std::make_unique<DrillController>(
        settings(), window, display, [](double v) { return window_amount_text(v, settings(), AmountLocale{}); },
        capacity);
    opening = controller->open();
  }
  DrillFields fields(const std::string& account, const std::string& period = "This Month",
                     const std::string& company = "A") const {
    DrillFields f;
    f.company = company;
    f.period = period;
    f.account = account;
    return f;
  }
  // The list's texts of a column, in list order.
  std::vector<std::string> column(std::size_t c) {
    std::vector<std::string> texts;
    for (std::size_t place = 0; place < controller->model().size(); ++place)
      texts.push_back(controller->model().text(place, c));
    return texts;
  }
  double figure(const std::string& request) {
    std::string result;
    requests::gl_request(request, result, false);
    return std::strtod(result.c_str(), nullptr);
  }

  RecordingWindow window;
  RecordingDisplay display;
  std::unique_ptr<DrillController> controller;
  DrillOpening opening;
};

TEST_F(DrillControllerTest, OpensWithTheDrillSettingsAndTheCompanysChoices) {
  EXPECT_FALSE(opening.company_failed);
  EXPECT_EQ(opening.choices.drill_by,
            (std::vector<std::string>{"Account", "Dept", "Transactions", "JC Transactions", "GT Transactions"}));
  EXPECT_EQ(opening.choices.selected, 1);
  EXPECT_EQ(opening.choices.years, (std::vector<std::string>{"2007", "2008"}));
  EXPECT_EQ(opening.account, "4000-*");
  EXPECT_FALSE(opening.choices.unposted_enabled) << "for transaction entries only";
  EXPECT_EQ(controller->select_drill_by(3), FilterGroup::JobCost);
  EXPECT_TRUE(controller->unposted_enabled());
  EXPECT_EQ(settings().drill_segment, 3);
  EXPECT_EQ(controller->model().columns().size(), kTranColumnCount) << "the transaction columns";

  // A version-7 company offers no job-cost or grant transactions, and the
  // stored choice past its last entry falls back to the first.
  const auto older = controller->company_changed("B");
  ASSERT_TRUE(older);
  EXPECT_EQ(older->drill_by, (std::vector<std::string>{"Account", "Dept", "Region", "Transactions"}));
  EXPECT_EQ(older->selected, 3) << "entry 3 still exists";
  settings().drill_segment = 5;
  const auto again = controller->company_changed("B");
  EXPECT_EQ(again->selected, 0);
  EXPECT_EQ(controller->select_drill_by(3), FilterGroup::JobCostType) << "the older data's job filter";
  EXPECT_FALSE(controller->company_changed("ZZZ"));
  EXPECT_EQ(window.boxes.back().text, "No such company: - ZZZ");
}

TEST_F(DrillControllerTest, ASegmentBreakdownTotalsTheFigureAndCopiesAsText) {
  controller->drill(fields("4000-*"));
  EXPECT_EQ(column(kSegmentAccount), (std::vector<std::string>{"4000-10", "4000-20", "4000-30"}));
  EXPECT_EQ(column(kSegmentDescription), (std::vector<std::string>{"Production", "Sales", "NA"}));
  EXPECT_EQ(column(kSegmentBalance), (std::vector<std::string>{"(1,000.00)", "(500.00)", "400.00"}));
  EXPECT_EQ(display.total, "(1,100.00)");
  EXPECT_EQ(display.count, 3u);
  EXPECT_DOUBLE_EQ(figure("4000-*;This Month;A"), -1100);
  EXPECT_TRUE(window.boxes.empty());

  // Two Sends of one query: one header, two groups of rows after an empty line.
  controller->send();
  controller->send();
  const std::string group = "4000-^\r\n10\tProduction\t(1,000.00)\t\r\n20\tSales\t(500.00)\t\r\n30\tNA\t400.00\t\r\n";
  EXPECT_EQ(controller->clipboard_text().text(), "This Month\r\nA\r\n2008\r\n" + group + "\r\n" + group);
  EXPECT_EQ(window.clipboard, "earlier text") << "a user's text waits for the window to lose the activation";
  controller->deactivated();
  EXPECT_EQ(window.clipboard, "This Month\r\nA\r\n2008\r\n" + group + "\r\n" + group);

  // A changed period starts a new header; so does the window's activation.
  controller->activated();
  controller->send();
  controller->drill(fields("4000-*", "Year to Date"));
  controller->send();
  const std::string& text = controller->clipboard_text().text();
  EXPECT_NE(text.find("\t\r\nYear to Date\r\nA\r\n2008\r\n4000-^\r\n10\tProduction\t(1,400.00)\t\r\n"),
            std::string::npos)
      << "a new block follows without an empty line: " << text;
}

TEST_F(DrillControllerTest, SegmentRowsWithFormulasAndOverSeveralCompanies) {
  settings().formulas = 2;
  controller->drill(fields("4000-*"));
  controller->send();
  EXPECT_EQ(controller->clipboard_text().text(),
            "This Month\r\nA\r\n2008\r\n4000-^\r\n"
            "10\tProduction\t=GL(BSPEC(R[-1]C[-2],RC[-2]),R[-4]C[-2],R[-3]C[-2],R[-2]C[-2])\r\n"
            "20\tSales\t=GL(BSPEC(R[-2]C[-2],RC[-2]),R[-5]C[-2],R[-4]C[-2],R[-3]C[-2])\r\n"
            "30\tNA\t=GL(BSPEC(R[-3]C[-2],RC[-2]),R[-6]C[-2],R[-5]C[-2],R[-4]C[-2])\r\n");
  settings().formulas = 1;
  controller->send();
  EXPECT_NE(controller->clipboard_text().text().find("10\tProduction\t@GL(\"4000-10\",\"This Month\")\r\n"),
            std::string::npos);

  // The breakdown by account over A and a second company like it: each
  // value's balance is summed over both.
  settings().formulas = 0;
  controller->select_drill_by(0);
  controller->drill(fields("(4000)", "This Month", "A,A"));
  EXPECT_EQ(column(kSegmentAccount), (std::vector<std::string>{"(4000)"}));
  EXPECT_EQ(column(kSegmentBalance), (std::vector<std::string>{"(2,200.00)"}));
  EXPECT_EQ(display.total, "(2,200.00)");
}

TEST_F(DrillControllerTest, TheAccountFieldAsDrilled) {
  controller->company_changed("B");
  controller->select_drill_by(0);
  controller->drill(fields("", "This Month", "B"));
  EXPECT_EQ(display.account, "*-*-*") << "an empty field on a three-segment company";
  EXPECT_EQ(column(kSegmentAccount), (std::vector<std::string>{"4000-*-*"}));
  EXPECT_EQ(display.total, "(250.00)");

  controller->company_changed("A");
  controller->drill(fields("1000-10,XYZ(A)"));
  EXPECT_EQ(display.account, "1000-10(A)");
  EXPECT_EQ(settings().drill_account, "1000-10(A)");

  // A row's specifier longer than its field is refused, not cut.
  window.boxes.clear();
  controller->select_drill_by(1);
  controller->drill(fields("4000..4999-10,20,30,40,50,60"));
  EXPECT_EQ(column(kSegmentAccount), (std::vector<std::string>{"4000..4999-10"}));
  controller->drill(fields("(4000..4999,4001..4998,4002..4997)(*)"));
  EXPECT_EQ(controller->model().size(), 0u);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].text,
            "The account specifier of a drill-down row is longer than 24 characters - "
            "(4000..4999,4001..4998,4002..4997)(10)");
}

TEST_F(DrillControllerTest, TransactionsBehindTheFigureAndTheirSorting) {
  controller->select_drill_by(2);
  controller->drill(fields("4000-*"));
  EXPECT_EQ(column(kAmount),
            (std::vector<std::string>{"(400.00)", "(600.00)", "(500.00)", "450.00", "(50.00)"}))
      << "in account and date order, the unposted one included";
  EXPECT_EQ(display.total, "(1,100.00)") << "the figure's own total";
  EXPECT_EQ(display.count, 5u);
  EXPECT_EQ(column(kDate)[0], "03May2008");
  EXPECT_EQ(column(kJournal)[0], "SJ");

  settings().sort_drill_absolute = 0;
  controller->options_changed(true);
  controller->model().click_column(kAmount);
  EXPECT_EQ(column(kAmount), (std::vector<std::string>{"(600.00)", "(500.00)", "(400.00)", "(50.00)", "450.00"}));
  controller->model().click_column(kAmount);
  EXPECT_EQ(column(kAmount), (std::vector<std::string>{"450.00", "(50.00)", "(400.00)", "(500.00)", "(600.00)"}))
      << "a second click turns the order round";
  settings().sort_drill_absolute = 1;
  controller->options_changed(true);
  controller->model().click_column(kAmount);
  EXPECT_EQ(column(kAmount), (std::vector<std::string>{"(50.00)", "(400.00)", "450.00", "(500.00)", "(600.00)"}))
      << "-500 after 400";
  // Equal keys keep the account order, in the sort's direction.
  controller->model().click_column(kJournal);
  EXPECT_EQ(column(kAccount), (std::vector<std::string>{"4000-30", "4000-10", "4000-10", "4000-20", "4000-30"}));

  // Without the unposted transactions; the year before from its history file.
  settings().include_unposted = 0;
  controller->drill(fields("4000-30"));
  EXPECT_EQ(column(kAmount), (std::vector<std::string>{"450.00"}));
  controller->drill(fields("4000-*", "Month 12 Last Year"));
  EXPECT_EQ(column(kAmount), (std::vector<std::string>{"(77.00)"}));
  EXPECT_EQ(column(kDate), (std::vector<std::string>{"15Dec2007"}));
}

TEST_F(DrillControllerTest, TransactionSendsAndTheKindsOfTransactions) {
  settings().tran_status = settings().tran_type = settings().tran_posted = 0;
  settings().tran_create_user = settings().tran_update_user = settings().tran_create_date = 0;
  settings().tran_job_number = settings().tran_cost_type = settings().tran_cost_code = 0;
  settings().tran_fund_source = settings().tran_program_activity = settings().tran_activity = 0;
  settings().tran_document = settings().tran_description = 0;
  controller->select_drill_by(2);
  controller->drill(fields("4000-20"));
  controller->send();
  EXPECT_EQ(controller->clipboard_text().text(),
            "4000-20\r\nStart date:\t\t01May2008\r\nEnd date:\t\t31May2008\r\n\r\n"
            "Account\tDate\tAmount\tJournalID\tBatchID\tGrant\tCOE\r\n"
            "4000-20\t11May2008\t(500.00)\tSJ\t200805\t'G1\t'E1\r\n");

  // Job-cost transactions through their filters, and a double click that
  // takes a row's account and fields.
  controller->select_drill_by(3);
  DrillFields f = fields("4000-*");
  f.filters.job = {"J1*", "", ""};
  controller->drill(f);
  EXPECT_EQ(column(kAccount), (std::vector<std::string>{"4000-20"}));
  controller->row_activated(0);
  EXPECT_EQ(display.account, "4000-20");
  EXPECT_EQ(display.filters.job, (std::array<std::string, 3>{"J100", "3", "CC1"}));
  EXPECT_EQ(display.filters.grant[0], "G1");
  // Explicit dates from the parameters take the place of the period.
  controller->select_drill_by(2);
  apply_settings_text(settings(), "Drill From=1May08,Drill To=15May08");
  controller->drill(fields("4000-*"));
  EXPECT_EQ(column(kAmount), (std::vector<std::string>{"(400.00)", "(500.00)", "450.00"}));
  controller->period_edited();
  controller->drill(fields("4000-*"));
  EXPECT_EQ(controller->model().size(), 5u);
}

TEST_F(DrillControllerTest, HighlightingByTheThreshold) {
  controller->select_drill_by(2);
  controller->drill(fields("4000-*"));
  const auto highlighted = [&] {
    std::vector<std::size_t> places;
    for (std::size_t p = 0; p < controller->model().size(); ++p)
      if (controller->model().highlighted(p)) places.push_back(p);
    return places;
  };
  settings().highlight_amount = 0;
  EXPECT_TRUE(highlighted().empty()) << "a threshold of 0 highlights nothing";
  for (std::size_t p = 0; p < 5; ++p) EXPECT_FALSE(controller->model().emphasised_when_selected(p));
  settings().highlight_amount = 450;
  EXPECT_EQ(highlighted(), (std::vector<std::size_t>{3}));
  EXPECT_TRUE(controller->model().emphasised_when_selected(1)) << "a selected -600 shows its size";
  EXPECT_FALSE(controller->model().emphasised_when_selected(0));
  EXPECT_TRUE(controller->model().alert(0, kAmount)) << "a negative amount";
  EXPECT_FALSE(controller->model().alert(0, kDate));
  EXPECT_FALSE(controller->model().alert(3, kAmount));
}

TEST_F(DrillControllerTest, AFullListAsksAndSendsTheRestToTheClipboard) {
  make_controller(2);
  controller->select_drill_by(2);
  window.question_answer = windows::kAnswerNo;
  controller->drill(fields("4000-*"));
  EXPECT_EQ(controller->model().size(), 2u);
  EXPECT_EQ(display.count, 2u);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].kind, BoxKind::YesNo);

  window.question_answer = windows::kAnswerYes;
  controller->drill(fields("4000-*"));
  EXPECT_EQ(controller->model().size(), 2u);
  EXPECT_EQ(display.count, 5u);
  EXPECT_EQ(display.total, "(1,100.00)");
  const std::string& text = controller->clipboard_text().text();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5 + 5) << text;
  EXPECT_NE(text.find("4000-30\t30May2008\t\t(50.00)\tP\tG\tNo\tGJ\t200806\t"), std::string::npos) << text;

  // Without a user the question counts as Yes, and the text reaches the
  // clipboard before the command returns.
  window.automated = true;
  settings().no_show = 1;
  window.boxes.clear();
  make_controller(2);
  controller->select_drill_by(2);
  controller->drill(fields("4000-*"));
  controller->send();
  EXPECT_TRUE(window.boxes.empty());
  ASSERT_TRUE(window.clipboard);
  EXPECT_EQ(std::count(window.clipboard->begin(), window.clipboard->end(), '\n'), 5 + 5 + 1 + 2);
}

TEST_F(DrillControllerTest, AutomationLeavesNoEarlierTextAndNoBox) {
  window.automated = true;
  settings().no_show = 1;
  controller->drill(fields("4000-*", "Bogus Month"));
  EXPECT_FALSE(window.clipboard) << "the clipboard is emptied first";
  EXPECT_TRUE(window.boxes.empty());
  EXPECT_EQ(std::string(pending_message()), "Kovo [CYMA] The period requested is invalid.");
  clear_message();
  controller->drill(fields("4000-*"));
  controller->send();
  ASSERT_TRUE(window.clipboard);
  EXPECT_EQ(window.clipboard->substr(0, 22), "This Month\r\nA\r\n2008\r\n4");
  controller->quit();
  EXPECT_EQ(window.saves, 1);
  EXPECT_TRUE(window.closed);
}

TEST_F(DrillControllerTest, AStopDuringTheFillKeepsTheRowsSoFar) {
  controller->select_drill_by(2);
  window.stop_after_rows = 3;  // the stop is seen after the fourth row
  controller->drill(fields("4000-*"));
  EXPECT_EQ(controller->model().size(), 4u);
  EXPECT_EQ(display.count, 4u);
  EXPECT_EQ(display.total, "(1,050.00)") << "the total of the rows listed";
}

TEST_F(DrillControllerTest, ButtonsThatHandOffToOtherWindows) {
  DrillFields f = fields("4000-10", "Year to Date", "A");
  f.year = "2008";
  controller->to_chart(f);
  EXPECT_EQ(settings().chart_account, "4000-10");
  EXPECT_EQ(settings().chart_period, "Year to Date");
  EXPECT_EQ(settings().chart_company, "A");
  EXPECT_EQ(settings().chart_year, "2008");
  controller->accounts();
  controller->period_wizard(f);
  controller->advanced();
  EXPECT_EQ(window.opened, (std::vector<windows::Slot>{windows::kSlotChartCopy, windows::kSlotEnquiry,
                                                        windows::kSlotPeriodWizard, windows::kSlotTrxFields}));
  EXPECT_EQ(window.closed_windows, (std::vector<windows::Slot>{windows::kSlotChartCopy, windows::kSlotEnquiry}));
  const auto start = std::any_cast<windows::PeriodWizardStart>(window.start_values[2]);
  EXPECT_EQ(start.specifier, "Year to Date");
  EXPECT_EQ(start.from, "01Jan2008");
  EXPECT_EQ(start.to, "31May2008");

  // The wizard's answers: a period, then an explicit date range.
  controller->wizard_period("Quarter 1");
  EXPECT_EQ(display.period, "Quarter 1");
  controller->wizard_dates("1May08", "11May08");
  EXPECT_EQ(display.period, "");
  controller->select_drill_by(2);
  controller->drill(fields("4000-*", ""));
  EXPECT_EQ(column(kAmount), (std::vector<std::string>{"(400.00)", "(500.00)"}));

  // Quit: the rows sent reach the clipboard, the settings are written (a
  // failure said), and the windows it opened close with it.
  controller->send();
  window.settings_written = false;
  controller->quit();
  EXPECT_EQ(window.clipboard->substr(0, 7), "4000-*\r");
  EXPECT_EQ(window.boxes.back().text, "The .INI file could not be written.");
  EXPECT_TRUE(window.closed);
}

TEST_F(DrillControllerTest, AnotherWindowOpensItOnItsOwnSelection) {
  // An explicit date range of the last drill does not outlive a selection
  // that names its own period.
  controller->wizard_dates("1May08", "11May08");
  ASSERT_TRUE(settings().drill_date_range);
  windows::DrillStart start;
  start.account = "4000-10";
  start.period = "Year to Date";
  start.year = "2008";
  start.company = "A";
  start.type = "Revised Budget";
  const DrillOpening opened = controller->open(&start);
  EXPECT_EQ(opened.account, "4000-10");
  EXPECT_EQ(opened.period, "Year to Date");
  EXPECT_EQ(opened.year, "2008");
  EXPECT_TRUE(opened.revised);
  EXPECT_FALSE(settings().drill_date_range);
  controller->select_drill_by(2);
  controller->drill(fields(opened.account, opened.period, opened.company));
  EXPECT_EQ(controller->record_count(), 3u) << "January to May, not the wizard's days of May";
  EXPECT_EQ(display.total, "(1,100.00)");
}

// Every row of a segment breakdown is the figure a GL request for the
// row's specifier answers, whatever the breakdown is read from: over two
// companies, with several periods at once, both kinds of account behind one
// value, budgets, a value held in one year only, and values of letters.
std::string figures_company(const std::string& id, int scale) {
  const auto amount = [scale](int v) { return std::to_string(v * scale); };
  return two_year_company(id, R"(,
  "accounts":[{"code":"1000-10","description":"Cash","type":"100"},
              {"code":"1000-20","description":"Bank","type":"100"},
              {"code":"4000-10","description":"Sales","type":"400"},
              {"code":"4000-20","description":"Sales two","type":"400"},
              {"code":"5000-30","description":"Old costs","type":"500"},
              {"code":"6000-AB","description":"Lettered","type":"500"}],
  "balances":[
    {"account":"1000-10","year":2008,"opening":)" + amount(900) + R"(,"actual":[1,2,3,4,)" + amount(50) + R"(]},
    {"account":"1000-10","year":2007,"opening":100,"actual":[10,20,30,40,50,60,70,80,90,100,110,)" + amount(7) + R"(]},
    {"account":"1000-20","year":2008,"actual":[5,5,5,5,5],"budget":[7,7,7,7,7]},
    {"account":"4000-10","year":2008,"actual":[-100,-200,-300,-400,)" + amount(-5) + R"(],
     "budget":[-90,-90,-90,-90,-90],"revisedBudget":[-95,-95,-95,-95,-95]},
    {"account":"4000-10","year":2007,"actual":[-1,-2,-3,-4,-5,-6,-7,-8,-9,-10,-11,-12],"budget":[-3,-3,-3,-3,-3]},
    {"account":"4000-20","year":2008,"actual":[0,0,0,0,-500],"revisedBudget":[-1,-1,-1,-1,-1]},
    {"account":"5000-30","year":2007,"actual":[3,3,3,3,)" + amount(3) + R"(,3,3,3,3,3,3,3]},
    {"account":"6000-AB","year":2008,"actual":[1,1,1,1,)" + amount(11) + R"(]}],
  "segments":[{"segment":1,"value":"1000","description":"Assets"},
              {"segment":2,"value":"10","description":"North"}])");
}

class DrillRowFiguresTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    build(description(figures_company("C", 1) + "," + figures_company("D", 3)));
    Settings& s = settings();
    s.company = "C";
    s.drill_company = "C";
    s.na_label = 1;
    controller = std::make_unique<DrillController>(
        s, window, display, [](double v) { return window_amount_text(v, settings(), AmountLocale{}); }, kListCapacity);
    controller->open();
  }
  double figure(const std::string& request) {
    std::string result;
    requests::gl_request(request, result, false);
    char* end = nullptr;
    const double value = std::strtod(result.c_str(), &end);
    EXPECT_NE(end, result.c_str()) << request << " answered " << result;
    return value;
  }

  RecordingWindow window;
  RecordingDisplay display;
  std::unique_ptr<DrillController> controller;
};

TEST_F(DrillRowFiguresTest, EachRowIsTheGlFigureOfItsSpecifier) {
  struct Case {
    const char* account;
    const char* period;
    const char* companies;
    int segment;
    bool revised;
  };
  const Case cases[] = {
      {"*-*", "This Month", "C", 1, false},
      {"*-*", "Year to Date,This Month Last Year", "C,D", 1, false},
      {"*-*", "Year to Date,This Month Last Year", "C,D", 0, false},
      {"?000-*", "Year to Date Last Year,This Month", "D,C", 0, false},
      {"*-*", "This Month Budget,Year to Date Budget", "C,D", 1, false},
      {"*-*", "Year to Date Budget,This Month", "C,D", 1, true},
      {"1000..5000-10..30", "Year to Date,Year to Date Last Year", "C,D", 1, false},
      {"^000-^(1,4,5)(10,20,30)", "Year to Date,This Month Last Year", "C,D", 0, false},
      {"(1000,4000)(*)", "Half Year Last Year,This Month", "C,D", 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.account) + " " + c.period + " " + c.companies);
    controller->select_drill_by(c.segment);
    controller->type_changed(c.revised);
    DrillFields f;
    f.company = c.companies;
    f.period = c.period;
    f.account = c.account;
    controller->drill(f);
    const auto& rows = controller->rows().segments();
    ASSERT_FALSE(rows.empty()) << (window.boxes.empty() ? std::string() : window.boxes.back().text);
    for (const SegmentRow& row : rows) {
      const std::string request = row.account + ";" + c.period + ";" + c.companies + ";;" +
                                  (c.revised ? "Revised Budget" : "Budget");
      EXPECT_DOUBLE_EQ(row.balance, figure(request)) << row.account;
    }
    EXPECT_TRUE(window.boxes.empty()) << window.boxes.front().text;
  }
}

// The descriptions of many segment values read in one walk are those a read
// of each value finds: values held and missing, before the first and past
// the last of the segment, between another segment's, and values the walk
// leaves to the reads of each (letters; the rest once its reads run out).
class SegmentDescriptionsTest : public kovo::testing::LedgerTest {};

TEST_F(SegmentDescriptionsTest, ReadInOneWalkTheyAreThoseOfEachRead) {
  std::string segments;
  for (int v = 20; v < 80; v += 2)
    segments += (segments.empty() ? "" : ",") + std::string(R"({"segment":1,"value":")") + std::to_string(v) +
                R"(","description":"Dept )" + std::to_string(v) + "\"}";
  segments += R"(,{"segment":1,"value":"AB","description":"Lettered"},{"segment":2,"value":"25","description":"Other"})";
  std::string company = two_year_company("E", R"(,"segments":[)" + segments + "]");
  build(description(company));
  data::CompanyContext* c = data::find_or_open_company("E");
  ASSERT_TRUE(c && c->status == 0);
  ASSERT_EQ(data::open_company_file(*c, layout::FileKind::Segments), 0);

  const auto compare = [&](const std::vector<std::string>& values) -> std::size_t {
    const std::vector<requests::SegmentLookup> walked = requests::read_segment_descriptions(*c, 0, values);
    EXPECT_EQ(walked.size(), values.size());
    if (walked.size() != values.size()) return 0;
    std::size_t settled = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
      std::string one;
      const int status = requests::read_segment_description(*c, 0, values[i], one);
      switch (walked[i].state) {
        case requests::SegmentLookup::State::Found:
          EXPECT_EQ(status, 0) << values[i];
          EXPECT_EQ(walked[i].description, one) << values[i];
          ++settled;
          break;
        case requests::SegmentLookup::State::Absent:
          EXPECT_EQ(status, requests::kSegmentAbsent) << values[i];
          ++settled;
          break;
        case requests::SegmentLookup::State::Unknown: break;
      }
    }
    return settled;
  };
  std::vector<std::string> every;  // 10 to 89: held, missing, before and past the segment's values
  for (int v = 10; v < 90; ++v) every.push_back(std::to_string(v));
  every.push_back("AB");
  EXPECT_EQ(compare(every), every.size() - 1) << "all but the letters in one walk";
  EXPECT_EQ(compare({"35", "30", "21", "31"}), 4u) << "in any order";
  // Few values spread over many records: the walk stops, the rest is read one by one.
  std::vector<std::string> sparse = {"20", "78"};
  EXPECT_LT(compare(sparse), 2u);
}

TEST(TrxFieldsController, OptionsOfTheDrillDown) {
  Settings s;
  RecordingWindow window;
  drill::TrxFieldsController options(s, window);
  s.tran_grant_id = 0;
  s.formulas = 1;
  s.highlight_amount = 2500.5;
  const TrxFieldsView view = options.open();
  EXPECT_EQ(view.columns[kGrant], false);
  EXPECT_EQ(view.columns[kStatus], true);
  EXPECT_FALSE(view.columns[kAccount]) << "always shown: no check box";
  EXPECT_EQ(view.formulas_control, 0) << "the older form checks neither button";
  EXPECT_EQ(view.threshold, "2500.5");
  EXPECT_EQ(drill::TrxFieldsController::column_of(IDC_TRX_ACTIVITY), kActivity);
  EXPECT_FALSE(drill::TrxFieldsController::column_of(IDC_TRX_COLUMN_BASE + kAmount));
  options.column_toggled(kActivity, false);
  EXPECT_EQ(s.tran_activity, 0);
  EXPECT_EQ(s.tran_program_activity, 1) << "Program and Activity each have their own flag";
  options.formulas_chosen(IDC_TRX_FORMULAS_EXCEL);
  EXPECT_EQ(s.formulas, 2);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].kind, BoxKind::Information);
  EXPECT_EQ(options.threshold_left("1e3"), "1000");
  EXPECT_EQ(options.threshold_left("abc"), "0");
  options.ok();
  EXPECT_EQ(window.saves, 1);
  EXPECT_EQ(window.commands,
            (std::vector<RecordingWindow::Command>{{windows::kSlotDrill, windows::kDrillTransactionColumns, 0}}));
  EXPECT_TRUE(window.closed);
}

}  // namespace
