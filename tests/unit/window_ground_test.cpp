// The rules every connector window shares: which boxes show and what an
// unshown box answers, the pace of a long fill, the window table, the
// clean-up list and the busy state.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "entry/command_codes.h"
#include "entry/dispatch.h"
#include "entry/lifecycle.h"
#include "resources/resource_ids.h"
#include "windows/box_rules.h"
#include "windows/fill_pacer.h"
#include "windows/window_table.h"

using namespace kovo;
using namespace kovo::windows;

namespace {

TEST(BoxRules, NoBoxOfAnyKindWhileNoShowIsSet) {
  for (const int no_show : {1, 2, -1}) {
    for (const BoxKind kind : {BoxKind::Error, BoxKind::Information, BoxKind::YesNo, BoxKind::OkCancel})
      EXPECT_FALSE(decide_box(kind, no_show, true).show) << no_show;
  }
  EXPECT_TRUE(decide_box(BoxKind::Error, 0, true).show);
  EXPECT_FALSE(decide_box(BoxKind::Information, 0, false).show) << "a box without an owner is never shown";
}

TEST(BoxRules, UnaskedQuestionsAnswerNeitherYesNorOk) {
  EXPECT_EQ(decide_box(BoxKind::YesNo, 1, true).answer, kAnswerNo);
  EXPECT_EQ(decide_box(BoxKind::OkCancel, 1, true).answer, kAnswerCancel);
  // the drill-down's full-list question counts as Yes in automation
  EXPECT_EQ(decide_box(BoxKind::YesNo, 1, true, kAnswerYes).answer, kAnswerYes);
  // ... but that answer is for automation only: a box without owner asks nobody
  EXPECT_EQ(decide_box(BoxKind::YesNo, 0, false, kAnswerYes).answer, kAnswerNo);
}

TEST(BoxRules, AnUnshownErrorStillReachesTheResult) {
  EXPECT_TRUE(decide_box(BoxKind::Error, 1, true).report_failure);
  EXPECT_FALSE(decide_box(BoxKind::Error, 0, true).report_failure);
  EXPECT_FALSE(decide_box(BoxKind::Information, 1, true).report_failure);
}

// A clock the test moves by hand.
struct ManualClock {
  static inline std::uint64_t now = 0;
  static std::uint64_t read() { return now; }
};

TEST(FillPacer, LooksAtTheQueueByTimeAndStopsAtOnceWhenAsked) {
  ManualClock::now = 1000;
  std::vector<std::size_t> progress;
  int pumps = 0;
  bool stop_at_next_look = false;
  FillPacer* self = nullptr;
  FillPacer pacer(false,
                  {[&](std::size_t rows) { progress.push_back(rows); },
                   [&] {
                     ++pumps;
                     if (stop_at_next_look) self->request_stop();  // Quit or Stop waited in the queue
                   }},
                  ManualClock::read, 15);
  self = &pacer;
  EXPECT_TRUE(pacer.row()) << "the first row looks";
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(pacer.row()) << "cheap rows within the interval do not look";
  EXPECT_EQ(pumps, 1);
  ManualClock::now += 15;
  EXPECT_TRUE(pacer.row());
  EXPECT_EQ(pumps, 2);
  EXPECT_EQ(progress, (std::vector<std::size_t>{1})) << "progress shows less often than the queue is looked at";
  ManualClock::now += FillPacer::kShowInterval;
  EXPECT_TRUE(pacer.row());
  EXPECT_EQ(progress, (std::vector<std::size_t>{1, 1003}));
  // One slow row is enough to look again: the stop is seen after that row.
  stop_at_next_look = true;
  ManualClock::now += 400;
  EXPECT_FALSE(pacer.row());
  EXPECT_FALSE(pacer.row()) << "a stopped fill stays stopped";
  EXPECT_EQ(pumps, 4);
}

TEST(FillPacer, AutomationNeverLooksAtTheQueue) {
  int pumps = 0, shown = 0;
  FillPacer pacer(true, {[&](std::size_t) { ++shown; }, [&] { ++pumps; }}, ManualClock::read, 0);
  for (int i = 0; i < 100; ++i) {
    ++ManualClock::now;
    ASSERT_TRUE(pacer.row());
  }
  EXPECT_EQ(pumps + shown, 0);
  pacer.request_stop();
  EXPECT_FALSE(pacer.row());
}

TEST(WindowTable, EveryWindowCommandHasOneRowAndEveryRowItsSlot) {
  std::set<int> menus, codes_seen;
  for (std::size_t i = 0; i < window_kinds().size(); ++i) {
    const WindowKind& kind = window_kinds()[i];
    EXPECT_EQ(static_cast<std::size_t>(kind.slot), i) << "rows stand in slot order, the order ModelessFix offers";
    if (kind.menu_command) EXPECT_TRUE(menus.insert(kind.menu_command).second) << kind.name;
    if (kind.command_code) EXPECT_TRUE(codes_seen.insert(kind.command_code).second) << kind.name;
    EXPECT_EQ(kind.automation == Automation::Presses, !kind.automation_presses().empty()) << kind.name;
    if (kind.automation == Automation::Presses) {
      EXPECT_EQ(kind.automation_presses().back().command, 2) << kind.name << ": the last press is Quit";
      EXPECT_NE(kind.name, nullptr);
    }
  }
  // Every window command of the dispatch is a row of the window table or a
  // command of the main window, never both.
  for (int code = 0; code < 200; ++code) {
    const CommandCode* entry = find_command_code(code);
    if (!entry || entry->kind != CodeKind::Window) {
      EXPECT_EQ(kind_for_code(code), nullptr) << code;
      continue;
    }
    EXPECT_NE((kind_for_code(code) != nullptr), (main_window_command(code) != nullptr)) << code;
  }
}

TEST(WindowTable, AutomationSequencesAndTheDrillsAlternative) {
  const auto drill = kind_for_code(codes::kDrillDown)->automation_presses();
  ASSERT_EQ(drill.size(), 3u);
  EXPECT_EQ(drill[0].command, IDC_DRILL_DRILL);
  EXPECT_EQ(drill[1].command, IDC_DRILL_SEND);
  EXPECT_EQ(drill[1].with_unnamed_key, IDC_DRILL_TO_CHART);
  EXPECT_EQ(kind_for_code(codes::kList)->help_topic, 15);
  EXPECT_EQ(kind_for_code(codes::kSetup)->automation, Automation::Direct) << "settings written, no window";
  EXPECT_EQ(kind_for_code(codes::kPeriodWizard)->automation, Automation::None);
  EXPECT_EQ(main_window_command(codes::kDllHelp)->automation, Automation::Help);
  EXPECT_EQ(kind_for_menu(IDM_PERIOD_WIZARD)->owner, Owner::Opener);
  EXPECT_EQ(kind_for_menu(IDM_LISTS)->slot, kSlotList);
  EXPECT_EQ(kind_for_menu(IDM_QUIT), nullptr);
}

// HTML Help finds a context only through the help project's map: every Help
// button and the main window's help must name a context mapped there to a
// page the help file holds.
TEST(WindowTable, EveryHelpTopicOpensAPageOfTheHelpFile) {
  const std::filesystem::path folder = std::filesystem::path(KOVO_SOURCE_ROOT) / "docs" / "help";
  std::ifstream project(folder / "Ledra5.hhp");
  ASSERT_TRUE(project) << folder;
  std::string section, line;
  std::map<std::string, int> contexts;
  std::map<std::string, std::string> pages;
  std::set<std::string> files;
  while (std::getline(project, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.front() == '[') {
      section = line;
      continue;
    }
    if (section == "[FILES]") files.insert(line);
    if (section == "[ALIAS]") pages[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    if (section == "[MAP]") {
      char name[64] = {};
      int context = 0;
      ASSERT_EQ(std::sscanf(line.c_str(), "#define %63s %d", name, &context), 2) << line;
      contexts[name] = context;
    }
  }
  std::map<int, std::string> page_of;
  for (const auto& [name, context] : contexts) {
    ASSERT_TRUE(pages.count(name)) << name << " has no page";
    EXPECT_TRUE(page_of.emplace(context, pages[name]).second) << "context " << context << " mapped twice";
    EXPECT_TRUE(files.count(pages[name])) << pages[name] << " is not compiled in";
    EXPECT_TRUE(std::filesystem::exists(folder / pages[name])) << pages[name];
  }
  std::set<int> topics{1};  // the main window's help and the opening topic
  for (const WindowKind& kind : window_kinds())
    if (kind.name && kind.help_topic != 0) topics.insert(kind.help_topic);
  EXPECT_GE(topics.size(), 8u);
  for (const int topic : topics) EXPECT_TRUE(page_of.count(topic)) << "context " << topic << " is not mapped";
}

std::vector<std::string> g_ran;

TEST(Cleanup, StepsRunInStageOrderOnceEachAndAgainAtTheNextUnload) {
  g_ran.clear();
  on_cleanup(CleanupStage::kRecordManager, [] { g_ran.push_back("record manager"); });
  on_cleanup(CleanupStage::kLists, [] { g_ran.push_back("lists"); });
  on_cleanup(CleanupStage::kCloseFiles, [] { g_ran.push_back("files"); });
  static void (*const companies)() = [] { g_ran.push_back("companies"); };
  on_cleanup(CleanupStage::kCompanies, companies);
  on_cleanup(CleanupStage::kCompanies, companies);
  run_cleanup();
  EXPECT_EQ(g_ran, (std::vector<std::string>{"files", "companies", "lists", "record manager"}));
  g_ran.clear();
  run_cleanup();
  EXPECT_EQ(g_ran.size(), 4u);
}

TEST(BusyState, ARequestDuringWorkAnswersBusyAndReadsNothing) {
  static int handled = 0;
  register_value_handler(codes::kCodata, [](int, std::string_view, std::string& out) {
    ++handled;
    out = "DEMO";
    return 0;
  });
  char result[16000];
  {
    const BusyScope fill(Work::kFill);
    EXPECT_TRUE(connector_busy());
    EXPECT_EQ(connector_interface(codes::kCodata, "NAME;DEMO", result, sizeof result), kStatusBusy);
    EXPECT_STREQ(result, "Kovo [CYMA] Busy with other work, please try again when it has finished\r\n");
    EXPECT_EQ(connector_interface(codes::kList, "NoShow=1,NoClipboard=1", result, sizeof result), kStatusBusy);
    EXPECT_EQ(connector_interface(codes::kSetup, "NoShow=1", nullptr, 0), kStatusBusy);
    {
      const BusyScope write(Work::kBudgetWrite);
      EXPECT_TRUE(busy_with(Work::kBudgetWrite));
    }
    EXPECT_FALSE(busy_with(Work::kBudgetWrite));
  }
  EXPECT_EQ(handled, 0) << "no handler ran while busy";
  EXPECT_FALSE(connector_busy());
  EXPECT_EQ(connector_interface(codes::kCodata, "NAME;DEMO", result, sizeof result), 0);
  EXPECT_STREQ(result, "DEMO\r\n");
  EXPECT_FALSE(connector_busy()) << "a call is busy only while it runs";
}

TEST(BusyState, AWriteTellsEveryHolderOfFigures) {
  static std::vector<std::string> heard;
  heard.clear();
  static const BalancesChanged cache = [](std::string_view company) { heard.emplace_back(company); };
  on_balances_changed(cache);
  on_balances_changed(cache);
  on_balances_changed([](std::string_view company) { heard.push_back("second " + std::string(company)); });
  balances_changed("DEMO");
  EXPECT_EQ(heard, (std::vector<std::string>{"DEMO", "second DEMO"}));
}

}  // namespace
