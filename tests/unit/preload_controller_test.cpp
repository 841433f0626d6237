// The preload window's decisions against a recording window: the question
// before caching again, the actual and budget preloads, the automatic
// preload switch and choices, the command without a user, and the
// automatic preload at start-up.
#include <gtest/gtest.h>

#include <map>

#include "entry/messages.h"
#include "ledger_fixture.h"
#include "requests/install.h"
#include "requests/preload.h"
#include "windows/preload_controller.h"

using namespace kovo;
using namespace kovo::windows;

namespace {

class RecordingWindow : public WindowServices {
 public:
  bool automated = false;
  int answer = kAnswerYes;          // to questions
  std::size_t stop_at = 0;          // the user cancels when a fill reaches this count (0: never)
  std::vector<std::string> boxes;
  std::vector<std::string> fills;
  std::vector<std::size_t> counts;
  int saves = 0;
  bool closed = false;

  bool automation() const override { return automated; }
  int box(BoxKind kind, int number, std::string_view detail, int automation_answer) override {
    const auto decision = decide_box(kind, automated ? 1 : 0, true, automation_answer);
    if (decision.report_failure) report(number, detail);
    if (!decision.show) return decision.answer;
    boxes.push_back(box_text(number, detail));
    return kind == BoxKind::YesNo ? answer : kAnswerOk;
  }
  bool put_clipboard(std::string_view) override { return true; }
  void empty_clipboard() override {}
  bool save_settings() override { return ++saves > 0; }
  void hand_back(std::string) override {}
  void open_window(Slot, std::any) override {}
  void close_window(Slot) override {}
  void send_command(Slot, int, std::intptr_t) override {}
  void close() override { closed = true; }
  void open_help(int) override {}
  std::unique_ptr<FillWork> fill(std::string label, int) override {
    fills.push_back(label);
    struct Work : FillWork {
      RecordingWindow& w;
      bool halted = false;
      explicit Work(RecordingWindow& window) : w(window) {}
      RowCheck check() override {
        return [] { return true; };
      }
      bool reached(std::size_t count) override {
        w.counts.push_back(count);
        if (w.stop_at != 0 && count >= w.stop_at) halted = true;
        return !halted;
      }
      bool stopped() const override { return halted; }
    };
    return std::make_unique<Work>(*this);
  }
};

class MapStore : public preload::AutoStore {
 public:
  std::map<std::string, std::string> values;
  std::string read(const std::string& key, const std::string& fallback) override {
    const auto found = values.find(key);
    return found == values.end() ? fallback : found->second;
  }
  void write(const std::string& key, const std::string& value) override { values[key] = value; }
};

std::string many_accounts(const std::string& id, int count) {
  std::string accounts, balances;
  for (int i = 0; i < count; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, "%04d-10", 4000 + i);
    accounts += std::string(i ? "," : "") + R"({"code":")" + code + R"(","description":"S","type":"400"})";
    balances += std::string(i ? "," : "") + R"({"account":")" + code + R"(","year":2008,"actual":[-1,-2],)" +
                R"("budget":[-5,-5,-5,-5,-5,-5,-5,-5,-5,-5,-5,-5]})";
  }
  return kovo::testing::two_year_company(id, ",\"accounts\":[" + accounts + "],\"balances\":[" + balances + "]");
}

class PreloadControllerTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    requests::install_requests();
    build(kovo::testing::description(many_accounts("DEMO", 120) + "," + many_accounts("B", 3)));
  }
  data::CompanyContext& company(const char* id = "DEMO") { return *data::find_or_open_company(id); }
  preload::PreloadFields fields(const std::string& account = "4*-*") {
    preload::PreloadFields f;
    f.company = "DEMO";
    f.account = account;
    return f;
  }
  RecordingWindow window;
  MapStore store;
  preload::PreloadController controller{settings(), window, store, {"DEMO\tDemo company", "B\tB company"}};
};

TEST_F(PreloadControllerTest, OpensWithTheDplSettings) {
  settings().dpl_company = "B";
  settings().dpl_account = "4*";
  settings().dpl_budget = "revised budget";
  settings().dpl_include_last_year = 1;
  store.values["ADPL Company On B"] = "1";
  const preload::PreloadView view = controller.open();
  EXPECT_EQ(view.companies, (std::vector<std::string>{"DEMO", "B"}));
  EXPECT_EQ(view.fields.company, "B");
  EXPECT_EQ(view.fields.account, "4*");
  EXPECT_EQ(view.fields.budget_type, "revised budget");
  EXPECT_TRUE(view.fields.this_year && view.fields.last_year && !view.fields.budget);
  EXPECT_EQ(view.auto_label, "ADPL On");
}

TEST_F(PreloadControllerTest, PreloadsActualAndBudgetShowingProgressAndSavesTheChoices) {
  preload::PreloadFields f = fields();
  f.budget = true;
  f.budget_type = "Revised Budget";
  const auto outcome = controller.preload(f);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.accounts, 240u);  // the actual set and the budget set
  EXPECT_EQ(company().balance_cache.sets().size(), 2u);
  EXPECT_EQ(company().balance_cache.sets().front().key().mode, data::CacheMode::Budget);
  // reading thinned (every one below 50, then every 50th), then sorting: for each preload
  EXPECT_EQ(window.fills, (std::vector<std::string>{"Reading balances", "Sorting accounts", "Reading balances",
                                                    "Sorting accounts"}));
  EXPECT_EQ(std::count(window.counts.begin(), window.counts.end(), 100u), 2);
  EXPECT_EQ(std::count(window.counts.begin(), window.counts.end(), 51u), 0);
  EXPECT_EQ(settings().dpl_account, "4*-*");
  EXPECT_EQ(settings().dpl_include_budget, 1);
  EXPECT_EQ(store.values["ADPL Account DEMO"], "4*-*");
  EXPECT_EQ(store.values["ADPL Budget On DEMO"], "1");
  EXPECT_EQ(store.values["ADPL Budget DEMO"], "Revised Budget");
  EXPECT_EQ(store.values.count("ADPL Company On DEMO"), 0u) << "only the button switches it";
  EXPECT_EQ(window.saves, 1);
  EXPECT_TRUE(window.boxes.empty());

  // cached already: the question; No leaves the cache as it was
  window.answer = kAnswerNo;
  EXPECT_EQ(controller.preload(fields("7*-*")).status, 1);
  EXPECT_EQ(window.boxes, std::vector<std::string>{"This company is already cached. Cache again?"});
  EXPECT_EQ(company().balance_cache.sets().size(), 2u);
  window.answer = kAnswerYes;
  EXPECT_EQ(controller.preload(fields("7*-*")).status, -2);
  EXPECT_EQ(window.boxes.back(), "DataPreLoad did not find any records for the current key.");
  EXPECT_EQ(company().balance_cache.sets().size(), 2u);

  controller.clear("DEMO");
  EXPECT_FALSE(company().balance_cache.valid);
  EXPECT_TRUE(company().balance_cache.sets().empty());
}

TEST_F(PreloadControllerTest, CancelInTheMiddleLeavesNoSet) {
  window.stop_at = 60;
  EXPECT_EQ(controller.preload(fields()).status, -2);
  EXPECT_TRUE(company().balance_cache.sets().empty());
  EXPECT_FALSE(company().balance_cache.valid);
  EXPECT_EQ(window.counts.back(), 100u);  // the first report at or past 60
  // nothing cached: no question the next time
  window.stop_at = 0;
  window.answer = kAnswerNo;
  EXPECT_EQ(controller.preload(fields()).status, 0);
  EXPECT_TRUE(window.boxes.empty());
}

TEST_F(PreloadControllerTest, TheAutomaticPreloadButtonAndStartUp) {
  EXPECT_EQ(controller.toggle_auto(fields()), "ADPL On");
  EXPECT_EQ(store.values["ADPL Company On DEMO"], "1");
  EXPECT_EQ(settings().adpl_enabled, 1);
  EXPECT_EQ(controller.toggle_auto(fields()), "ADPL Off");
  EXPECT_EQ(store.values["ADPL Company On DEMO"], "0");
  EXPECT_EQ(controller.toggle_auto(fields()), "ADPL On");

  store.values["ADPL Account DEMO"] = "4000..4009-*";
  store.values["ADPL Budget On DEMO"] = "0";
  store.values["ADPL Company On B"] = "0";
  store.values["ADPL Company On NOPE"] = "1";  // does not open: passed over
  Settings s = settings();
  s.adpl_enabled = 0;
  EXPECT_EQ(preload::automatic_preload({"DEMO\tDemo", "B\tB", "NOPE\tGone"}, store, s), 0);
  s.adpl_enabled = 1;
  EXPECT_EQ(preload::automatic_preload({"DEMO\tDemo", "B\tB", "NOPE\tGone"}, store, s), 1);
  ASSERT_EQ(company().balance_cache.sets().size(), 1u);
  EXPECT_EQ(company().balance_cache.sets().front().entry_count(), 10u);
  EXPECT_TRUE(company("B").balance_cache.sets().empty());
  EXPECT_FALSE(message_pending());
}

TEST_F(PreloadControllerTest, TheCommandWithoutAUserUsesTheDplSettings) {
  window.automated = true;
  settings().dpl_company = "B";
  settings().dpl_include_last_year = 1;
  settings().dpl_include_budget = 1;
  EXPECT_TRUE(controller.run_automated());
  EXPECT_EQ(company("B").balance_cache.sets().size(), 2u);
  EXPECT_EQ(company("B").balance_cache.sets().back().key().account_spec, "*-*");
  // cached already: no question without a user; a failure stays pending for the result
  settings().dpl_account = "7*-*";
  EXPECT_FALSE(controller.run_automated());
  EXPECT_TRUE(window.boxes.empty());
  EXPECT_EQ(pending_number(), requests::kPreloadNothingFound);
  clear_message();
  settings().dpl_company = "NOPE";
  EXPECT_FALSE(controller.run_automated());
  EXPECT_TRUE(message_pending());
}

}  // namespace
