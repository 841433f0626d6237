// The report wizard's steps without windows: what they ask the connector,
// what they check, and the choices they hand to the build; and the lists as
// they come back from the connector.
#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "addin/core/addin_settings.h"
#include "addin/core/clipboard_text.h"
#include "addin/tools/report_wizard.h"
#include "addin/tools/wizard_lists.h"

namespace {

using namespace kovo::addin;
using namespace kovo::addin::tools;

// A connector with the demo ledger's lists; every call is recorded.
class FakeLink : public WizardLink {
 public:
  std::map<std::string, std::vector<std::string>> lists{
      {"Companies", {"DEMO", "MFG2"}},
      {"Lists", {"Companies", "Periods", "Budgets", "Years", "Account", "Dept"}},
      {"AxisData", {"3", "2", "5", "4", "-1", "-2"}},
      {"Periods", {"This Month", "Year to Date"}},
      {"Budgets", {"Budget", "Revised Budget"}},
      {"Years", {"0", "2008"}},
      {"Account", {"4000\tProduct Sales", "4100\tService Revenue", "5000\tCost"}},
      {"Dept", {"10\tProduction", "20\tSales", "30\tAdministration"}},
      {"Dept;Account;4000", {"10\tProduction", "20\tSales"}},
  };
  std::vector<std::string> calls;
  bool as_text = true;
  std::optional<ReportOptions> saved;

  std::optional<std::vector<std::string>> list(const std::string& request) override {
    calls.push_back("list " + request);
    const auto it = lists.find(request);
    if (it == lists.end()) return std::nullopt;
    return it->second;
  }
  void setting(std::string_view name, std::string_view value) override {
    calls.push_back("set " + std::string(name) + "=" + std::string(value));
  }
  void reset_lists() override { calls.push_back("RESET"); }
  bool lists_as_text() const override { return as_text; }
  void save_options(const ReportOptions& o) override { saved = o; }

  int count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }
};

// The user: records what is told, answers questions and dialogs as queued.
class FakeUi : public WizardUi {
 public:
  std::vector<int> told;
  std::deque<bool> answers;
  std::optional<Edited> edit_answer;
  Edited edit_shown;
  std::vector<RemainingAxis> remaining_shown;
  std::map<std::string, std::string> remaining_answers;
  bool remaining_ok = true;
  bool creation_ok = true;
  std::string title;

  void tell(int message, std::string_view) override { told.push_back(message); }
  bool ask(int message) override {
    told.push_back(message);
    if (answers.empty()) return true;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<Edited> edit_specifier(const Edited& shown) override {
    edit_shown = shown;
    return edit_answer;
  }
  bool remaining_axes(std::vector<RemainingAxis>& axes,
                      const std::function<std::vector<std::string>(const RemainingAxis&)>& fetch) override {
    remaining_shown = axes;
    for (auto& a : axes) {
      if (a.is_segment_axis()) a.items = fetch(a);
      if (const auto it = remaining_answers.find(a.name); it != remaining_answers.end()) a.value = it->second;
    }
    return remaining_ok;
  }
  bool report_creation(ReportOptions& options) override {
    if (!title.empty()) options.title = title;
    return creation_ok;
  }
};

std::size_t index_of(const std::vector<std::string>& lines, const std::string& line) {
  const auto it = std::find(lines.begin(), lines.end(), line);
  EXPECT_NE(it, lines.end()) << line;
  return static_cast<std::size_t>(it - lines.begin());
}

// Steps the wizard as its window does: Next, then the new step's set-up.
ReportWizard::Outcome next(ReportWizard& w) {
  const int step = w.step();
  const auto outcome = w.next();
  if (outcome == ReportWizard::Outcome::Stay && w.step() != step) return w.enter_step();
  return outcome;
}

// Company DEMO, accounts 4000 and 5000 down, two periods across.
void choose_axes(ReportWizard& w) {
  w.enter_step();
  w.choose(index_of(w.choices(), "DEMO"));
  next(w);
  w.choose(index_of(w.choices(), "Account"));
  w.add({}, {0, 2});
  next(w);
  w.choose(index_of(w.choices(), "Periods"));
  w.add({}, {0, 1});
}

TEST(ReportWizardSteps, ThroughEveryStepToTheChoicesOfTheBuild) {
  FakeLink link;
  FakeUi ui;
  ui.remaining_answers["Years"] = "2008";
  ui.title = "Sales report";
  ReportWizard w(link, ui, {}, {});
  w.enter_step();
  EXPECT_EQ(w.step_message(), 1);
  EXPECT_EQ(link.calls.front(), "set NA Label=1");
  EXPECT_EQ(link.count("set List Transpose=0"), 1);
  EXPECT_EQ(link.count("set List Generate Descriptions=1"), 1);
  choose_axes(w);
  EXPECT_EQ(w.elements(), (std::vector<std::string>{"This Month", "Year to Date"}));
  EXPECT_EQ(next(w), ReportWizard::Outcome::Stay);
  EXPECT_EQ(w.step(), 3);
  // Company preselected with the model company, segments with "*", year and
  // budget with the heads of their lists (the current year, the first
  // budget); over DDE a segment's list waits for its box to open.
  ASSERT_EQ(ui.remaining_shown.size(), 4u);
  EXPECT_EQ(ui.remaining_shown[0].name, "Companies");
  EXPECT_EQ(ui.remaining_shown[0].value, "DEMO");
  EXPECT_EQ(ui.remaining_shown[0].items, (std::vector<std::string>{"DEMO", "MFG2"}));
  EXPECT_EQ(ui.remaining_shown[3].name, "Dept");
  EXPECT_EQ(ui.remaining_shown[3].value, "*");
  EXPECT_EQ(ui.remaining_shown[3].items, std::vector<std::string>{"*"});
  EXPECT_EQ(ui.remaining_shown[1].value, "Budget");
  EXPECT_EQ(ui.remaining_shown[2].value, "0");
  EXPECT_EQ(next(w), ReportWizard::Outcome::Finished);
  EXPECT_TRUE(ui.told.empty());
  ASSERT_TRUE(link.saved);
  EXPECT_EQ(link.saved->title, "Sales report");

  const ReportChoices c = w.report();
  EXPECT_EQ(c.model_company, "DEMO");
  EXPECT_EQ(c.vertical_axis, "Account");
  EXPECT_EQ(c.horizontal_axis, "Periods");
  EXPECT_EQ(c.vertical, (std::vector<std::string>{"4000", "5000"})) << "codes, without their descriptions";
  EXPECT_EQ(c.remaining, (std::vector<std::string>{"DEMO", "Budget", "2008", "*"}));
  EXPECT_EQ(c.axes.size(), 6u);
  EXPECT_EQ(c.title, "Sales report");
}

TEST(ReportWizardSteps, EachStepChecksItsChoicesBeforeTheNext) {
  FakeLink link;
  FakeUi ui;
  ReportWizard w(link, ui, {}, {});
  w.enter_step();
  next(w);
  EXPECT_EQ(ui.told, std::vector<int>{kMsgSelectCompany});
  w.choose(0);
  next(w);
  next(w);
  EXPECT_EQ(ui.told.back(), kMsgSelectVertical);
  w.choose(index_of(w.choices(), "Account"));
  w.add({}, {0});
  next(w);
  next(w);
  EXPECT_EQ(ui.told.back(), kMsgSelectHorizontal);
  w.choose(index_of(w.choices(), "Account"));
  w.add({}, {1});
  next(w);
  EXPECT_EQ(ui.told.back(), kMsgSameAxes) << "one axis cannot run both ways";
  EXPECT_EQ(w.step(), 2);
  ui.answers = {true};
  w.reset();
  EXPECT_EQ(ui.told.back(), kMsgAbandonAxis);
  EXPECT_TRUE(w.elements().empty());
  w.choose(index_of(w.choices(), "Periods"));
  w.add({}, {0});
  ui.remaining_ok = false;
  next(w);
  EXPECT_EQ(w.step(), 3);
  next(w);
  EXPECT_EQ(ui.told.back(), kMsgSelectRemaining) << "the remaining axes were cancelled";
  EXPECT_EQ(w.step(), 3);
}

TEST(ReportWizardSteps, FewerThanThreeOrMoreThanTwentyAxesCannotFinish) {
  for (std::size_t count : {2u, 21u}) {
    FakeLink link;
    std::vector<std::string> names, codes;
    for (std::size_t k = 0; k < count; ++k) {
      names.push_back("S" + std::to_string(k + 1));
      codes.push_back("-" + std::to_string(k + 1));
    }
    names[0] = "Account";
    names[1] = "Periods";
    codes[1] = "2";
    link.lists["Lists"] = names;
    link.lists["AxisData"] = codes;
    FakeUi ui;
    ReportWizard w(link, ui, {}, {});
    choose_axes(w);
    next(w);
    EXPECT_EQ(w.step(), 3);
    EXPECT_EQ(ui.told, std::vector<int>{kMsgAxisCount});
    EXPECT_TRUE(ui.remaining_shown.empty());
    EXPECT_EQ(next(w), ReportWizard::Outcome::Stay);
    EXPECT_EQ(ui.told.back(), kMsgSelectRemaining);
    EXPECT_EQ(w.step(), 3);
  }
}

TEST(ReportWizardSteps, AModelCompanyChangeResetsTheListsOnce) {
  SheetSeed seed;
  seed.model_company = "DEMO";
  FakeLink link;
  FakeUi ui;
  ReportWizard w(link, ui, seed, {});
  w.enter_step();
  EXPECT_EQ(w.choices()[*w.chosen()], "DEMO") << "the sheet's model company is preselected";
  next(w);
  EXPECT_EQ(link.count("RESET"), 0) << "the same company keeps the lists";
  EXPECT_EQ(link.count("set Company=DEMO"), 1);
  w.previous();
  w.enter_step();
  w.choose(index_of(w.choices(), "MFG2"));
  next(w);
  EXPECT_EQ(link.count("set Company=MFG2"), 1);
  EXPECT_EQ(link.count("RESET"), 1);
  w.previous();
  w.enter_step();
  next(w);
  EXPECT_EQ(link.count("RESET"), 1) << "no change, no second reset";
}

TEST(ReportWizardSteps, ValuesOfAnotherAxisBecomeSubRowsFilteredByTheirParent) {
  FakeLink link;
  FakeUi ui;
  ReportWizard w(link, ui, {}, {});
  w.enter_step();
  w.choose(0);
  next(w);
  w.choose(index_of(w.choices(), "Account"));
  w.add({}, {0, 2});  // 4000, 5000
  w.select_elements({0});
  w.choose(index_of(w.choices(), "Dept"));
  EXPECT_EQ(w.axis(), "Account") << "the elements keep their axis";
  EXPECT_EQ(link.calls.back(), "list Dept;Account;4000") << "the departments that account 4000 uses";
  EXPECT_EQ(w.values().size(), 2u);
  w.add({}, {1});
  EXPECT_EQ(w.elements(), (std::vector<std::string>{"4000", "(Dept) 20", "5000"}));
  EXPECT_EQ(w.selected_elements(), std::vector<std::size_t>{1});
  w.add({0, 1}, {});
  EXPECT_EQ(w.elements(), (std::vector<std::string>{"4000", "(Dept) 20", "Total", "Sub Total", "5000"}));
  w.select_elements({2, 3});
  w.remove();
  w.select_elements({});
  w.add({5}, {});
  EXPECT_EQ(w.elements(), (std::vector<std::string>{"4000", "(Dept) 20", "5000", "Blank Line"}));
}

TEST(ReportWizardSteps, EditMakesRangesOrEditsTheSpecifier) {
  FakeLink link;
  FakeUi ui;
  ReportWizard w(link, ui, {}, {});
  w.enter_step();
  w.choose(0);
  next(w);
  w.choose(index_of(w.choices(), "Account"));
  w.edit();
  EXPECT_EQ(ui.told.back(), kMsgSelectToEdit);
  w.add({}, {0, 1, 2});
  w.select_elements({0, 1});
  ui.answers = {true};
  w.edit();
  EXPECT_EQ(ui.told.back(), kMsgMakeRange);
  EXPECT_EQ(w.elements(), (std::vector<std::string>{"4000..4100", "5000"}));
  // Not a range: the selection joined, and edited with an override.
  w.select_elements({0, 1});
  ui.answers = {false};
  ui.edit_answer = WizardUi::Edited{"4000..4100,5000", "Sales and cost"};
  w.edit();
  EXPECT_EQ(ui.edit_shown.specifier, "4000..4100,5000");
  EXPECT_EQ(w.elements(), std::vector<std::string>{"4000..4100,5000\tSales and cost"});
  w.select_elements({0});
  ui.edit_answer.reset();
  w.edit();
  EXPECT_EQ(ui.edit_shown.description, "Sales and cost");
  EXPECT_EQ(w.elements().size(), 1u) << "cancel keeps the element";
  EXPECT_EQ(range_element("4000-10", "4999-10"), "4000..4999-10");
  EXPECT_EQ(range_element("4000-10", "4999-30"), "4000..4999-10..30");
}

TEST(ReportWizardSteps, ASecondRunStartsFromTheSheet) {
  SheetSeed seed;
  seed.model_company = "DEMO";
  seed.other_axes = {{"Companies", "DEMO"}, {"Periods", "Horizontal"}, {"Budgets", "Revised Budget"},
                     {"Years", "2008"},     {"Account", "Vertical"},   {"Dept", "20"}};
  seed.vertical = {{"4000", ""}, {"10", "Dept"}, {"", ""}, {"Total", ""}};
  seed.vertical_descriptions = {"Sales", "", "", ""};
  seed.horizontal = {"This Month", "Description", "", "Year to Date"};
  seed.title = "Last report";
  FakeLink link;
  FakeUi ui;
  ReportWizard w(link, ui, seed, {});
  w.enter_step();
  next(w);
  EXPECT_EQ(w.axis(), "Account");
  EXPECT_EQ(w.choices()[*w.chosen()], "Account");
  EXPECT_EQ(w.elements(), (std::vector<std::string>{"4000\tSales", "(Dept) 10", "Blank Line", "Total"}));
  next(w);
  EXPECT_EQ(w.axis(), "Periods");
  EXPECT_EQ(w.elements(), (std::vector<std::string>{"This Month", "Description", "Year to Date"}));
  next(w);
  ASSERT_EQ(ui.remaining_shown.size(), 4u);
  EXPECT_EQ(ui.remaining_shown[1].value, "Revised Budget");
  EXPECT_EQ(ui.remaining_shown[3].value, "20");
  EXPECT_EQ(next(w), ReportWizard::Outcome::Finished);
  EXPECT_EQ(w.report().title, "Last report");
  // A reset on the first step forgets the sheet too.
  ReportWizard fresh(link, ui, seed, {});
  fresh.enter_step();
  fresh.reset();
  fresh.choose(0);
  next(fresh);
  EXPECT_TRUE(fresh.elements().empty());
}

TEST(WizardLists, RequestsAndSettingsCommands) {
  EXPECT_EQ(list_command("Companies", true), "[KovoLIST(NOSHOW=1,NoClipboard=1, MOREDATA=0, List=Companies)]");
  EXPECT_EQ(list_command("Dept;Account;4000", false), "[KovoLIST(NOSHOW=1,List=Dept;Account;4000)]");
  EXPECT_EQ(setting_command("NA Label", "1"), "[Setup(NOSHOW=1,NA Label=1)]");
  EXPECT_EQ(item_code("10\tProduction"), "10");
}

TEST(WizardLists, AnswersReadLineByLineAcrossContinuations) {
  ListReader reader;
  const std::string long_item(230, 'x');
  EXPECT_TRUE(reader.take("'10\tProduction\r\n'20\tSales\r\n"));
  EXPECT_TRUE(reader.take("'20\tSales\r\n'" + long_item + "\r\nKovoListDone\r\n")) << "one more to release the list";
  EXPECT_FALSE(reader.take("KovoListDone\r\n"));
  EXPECT_FALSE(reader.failed());
  ASSERT_EQ(reader.items().size(), 3u);
  EXPECT_EQ(reader.items()[1], "20\tSales") << "the repeated boundary item once";
  EXPECT_EQ(reader.items()[2].size(), 200u);

  ListReader empty;
  EXPECT_FALSE(empty.take("KovoListDone\r\n"));
  EXPECT_TRUE(empty.items().empty());
  ListReader failed;
  EXPECT_FALSE(failed.take(""));
  EXPECT_TRUE(failed.failed());
  EXPECT_EQ(clipboard_list("'DEMO\r\n'MFG2\r\n\r\n"), (std::vector<std::string>{"DEMO", "MFG2"}));
  EXPECT_EQ(table_lines("a\r\n'b\nc"), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(WizardOptions, ReadWithDefaultsAndWrittenBack) {
  struct MapProfile : Profile {
    std::map<std::string, std::string> values;
    bool read(std::string_view s, std::string_view k, std::string& v) override {
      const auto it = values.find(std::string(s) + "/" + std::string(k));
      if (it == values.end()) return false;
      v = it->second;
      return true;
    }
    void write(std::string_view s, std::string_view k, std::string_view v) override {
      values[std::string(s) + "/" + std::string(k)] = std::string(v);
    }
  } profile;
  profile.values["Kovo Excel/Do Zero Suppress"] = "1";
  const WizardSettings s = read_wizard_settings(profile);
  EXPECT_EQ(s.report_title, "Report Title");
  EXPECT_EQ(s.formatting_macro, "KovoClassic1");
  EXPECT_EQ(s.do_zero_suppress, 1);
  EXPECT_EQ(profile.values.size(), 4u) << "every key written back";
  EXPECT_EQ(profile.values["Kovo Excel/Run Macro"], "0");
}

}  // namespace
