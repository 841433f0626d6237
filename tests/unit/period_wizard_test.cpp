// The period wizard without a window: its choices from a specifier, the
// specifier composed from its choices, the dates shown, and its answers.
#include <gtest/gtest.h>

#include <string>

#include "entry/settings.h"
#include "ledger_fixture.h"
#include "recording_window.h"
#include "specifier/period.h"
#include "windows/period_wizard.h"
#include "windows/wizard_controller.h"

using namespace kovo;
using namespace kovo::wizard;
using kovo::testing::description;
using kovo::testing::RecordingWindow;
using kovo::testing::two_year_company;

namespace {

WizardState parsed(const std::string& text) {
  specifier::PeriodList list;
  EXPECT_EQ(specifier::parse_period_list(text, list), 0) << text;
  return state_from(list.entries[0]);
}

WizardState with(int duration, int period, bool running = false) {
  WizardState s;
  s.duration = duration;
  s.period = period;
  s.running = running;
  return s;
}

std::size_t items(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), ',')) + 1; }

}  // namespace

TEST(PeriodWizardTest, ComposesTheSpecifierOfItsChoices) {
  EXPECT_EQ(compose(with(kMonth, kThisPeriod)).text, "This Month");
  EXPECT_EQ(compose(with(kMonth, 3)).text, "Month 3");
  EXPECT_EQ(compose(with(kYear, kThisPeriod)).text, "Month Year To Date");
  EXPECT_EQ(compose(with(kQuarter, kThisPeriod, true)).text, "Running Quarter This Month");
  EXPECT_EQ(compose(with(kMonth, kAllPeriods)).text, "1,2,3,4,5,6,7,8,9,10,11,12");
  WizardState change = with(kMonth, kThisPeriod);
  change.value = kChange;
  EXPECT_EQ(compose(change).text, "Change This Month");
  WizardState open = with(kMonth, 3);
  open.value = kOpening;
  open.actual = false;
  EXPECT_EQ(compose(open).text, "Open Month 3 Budget");

  // Quarter 7 without running is quarter 1, and the choice moves there.
  const Composition q = compose(with(kQuarter, 7));
  EXPECT_EQ(q.text, "Quarter 1");
  EXPECT_EQ(q.state.period, 1);
  EXPECT_EQ(compose(with(kQuarter, kAllPeriods)).text, "Quarter 1,Quarter 2,Quarter 3,Quarter 4");
  EXPECT_EQ(items(compose(with(kQuarter, kAllPeriods, true)).text), 12u);
  EXPECT_EQ(items(compose(with(kHalfYear, kAllPeriods)).text), 2u);

  WizardState ago = with(kMonth, 1);
  ago.ago = true;
  EXPECT_EQ(compose(ago).text, "1 Month Ago");
  ago.period = 3;
  ago.actual = false;
  EXPECT_EQ(compose(ago).text, "3 Months Ago Budget");
  ago.this_year = false;
  const Composition cleared = compose(ago);
  EXPECT_FALSE(cleared.state.ago) << "ago together with last year is cleared";
  EXPECT_EQ(cleared.text, "Last Year Month 3 Budget");

  // Last year, period 1: an opening balance or a change has no year to come from.
  WizardState last_year = with(kMonth, 1);
  last_year.this_year = false;
  EXPECT_EQ(compose(last_year).text, "Last Year Month 1");
  for (const int value : {kOpening, kChange}) {
    last_year.value = value;
    EXPECT_EQ(compose(last_year).failure, kMessageInvalidPeriod) << value;
  }
  EXPECT_EQ(clipboard_form("Quarter 1,Quarter 2"), "Quarter 1\tQuarter 2\r\n");
}

TEST(PeriodWizardTest, ReadsItsChoicesFromASpecifierAndComposesItAgain) {
  for (const char* text : {"This Month", "Month 3", "Last Year Month 3", "Open Month 3", "Change This Month",
                           "Quarter 2", "Running Quarter This Month", "Month Year To Date", "3 Months Ago",
                           "Month 5 Budget"})
    EXPECT_EQ(compose(parsed(text)).text, text);
  EXPECT_EQ(parsed("Last Month").period, kLastPeriod);
  EXPECT_EQ(parsed("Year to Date").duration, kYear);
  EXPECT_FALSE(parsed("Last Year Month 3").this_year);
}

TEST(PeriodWizardTest, PeriodsCoveredByTheChoices) {
  auto span = [](const WizardState& s, int current) { return period_span(s, current, 12); };
  const PeriodSpan quarter = span(with(kQuarter, kThisPeriod), 2);
  EXPECT_EQ(quarter.start, 1);
  EXPECT_EQ(quarter.end, 3);
  const PeriodSpan running_year = span(with(kYear, kThisPeriod, true), 5);
  EXPECT_EQ(running_year.start, 6);
  EXPECT_EQ(running_year.start_years_back, 1);
  EXPECT_EQ(running_year.end, 5);
  EXPECT_EQ(running_year.end_years_back, 0);
  WizardState ago = with(kMonth, 3);
  ago.ago = true;
  const PeriodSpan back = span(ago, 2);
  EXPECT_EQ(back.start, 11);
  EXPECT_EQ(back.end_years_back, 1);
  const PeriodSpan last_of_first = span(with(kMonth, kLastPeriod), 1);
  EXPECT_EQ(last_of_first.start, 12) << "the last period before period 1 ends the year before";
  EXPECT_EQ(last_of_first.start_years_back, 1);
  EXPECT_EQ(span(with(kHalfYear, kLastPeriod), 7).start, 1);
  EXPECT_EQ(span(with(kMonth, kAllPeriods), 5).end, 12);
}

namespace {

class Display : public WizardDisplay {
 public:
  WizardState state;
  std::string text, from, to;
  void show_state(const WizardState& s) override { state = s; }
  void show_text(std::string_view t) override { text = t; }
  void show_dates(std::string_view f, std::string_view t) override {
    from = f;
    to = t;
  }
};

class WizardControllerTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    build(description(two_year_company("W", {}, "XXXX-XX", 2008, 2)));
    settings().company = "W";
  }
  RecordingWindow window;
  Display display;
  WizardController controller{settings(), window, display};
};

}  // namespace

TEST_F(WizardControllerTest, ShowsTheDatesAndAnswersTheWindowItReportsTo) {
  windows::PeriodWizardStart start;
  start.specifier = "Quarter";
  controller.open(&start, windows::kSlotEnquiry);
  EXPECT_EQ(display.text, "Quarter");
  EXPECT_EQ(display.from, "01Jan2008") << "current period 2: the quarter of periods 1 to 3";
  EXPECT_EQ(display.to, "31Mar2008");

  WizardState s = controller.state();
  s.this_year = false;
  s.duration = kMonth;
  s.period = 1;
  s.value = kOpening;
  controller.choose(s);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].text, "The period requested is invalid.");
  EXPECT_EQ(controller.text(), "Quarter") << "a refused choice keeps the previous text";
  EXPECT_EQ(display.state, controller.state());

  s.value = kEnding;
  controller.choose(s);
  EXPECT_EQ(display.text, "Last Year Month 1");
  EXPECT_EQ(display.from, "01Jan2007");

  controller.dates_edited("5jan08", "31Dec2008");
  EXPECT_EQ(display.from, "05Jan2008");
  EXPECT_EQ(display.to, "31Dec2008");
  ASSERT_EQ(window.commands.size(), 1u);
  EXPECT_EQ(window.commands[0].command, windows::kWizardDatesChosen);
  controller.dates_edited("31Dec07", "01Jan08");
  EXPECT_EQ(display.from, "31Dec2007");
  controller.dates_edited("01Jan08", "31Dec07");
  EXPECT_EQ(window.boxes.back().text, "Invalid From and To date range");
  EXPECT_EQ(display.from, "31Dec2007") << "the previous range stays";

  controller.to_clipboard();
  EXPECT_EQ(window.clipboard, "Last Year Month 1\r\n");
  window.commands.clear();
  controller.ok();
  EXPECT_TRUE(window.closed);
  ASSERT_EQ(window.commands.size(), 1u);
  EXPECT_EQ(window.commands[0].kind, windows::kSlotEnquiry);
  EXPECT_EQ(window.commands[0].command, windows::kWizardPeriodChosen);
  const auto* result = reinterpret_cast<const windows::PeriodWizardResult*>(window.commands[0].value);
  EXPECT_EQ(result->specifier, "Last Year Month 1");
}
