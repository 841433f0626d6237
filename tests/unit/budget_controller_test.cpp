// What the budget window decides, without a window: the boxes it shows for a
// user, the account it hands back without one, and its refusals, over a
// small ledger.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "ledger_fixture.h"
#include "resources/resource_ids.h"
#include "windows/box_rules.h"
#include "windows/budget_controller.h"

using namespace kovo;
using namespace kovo::windows;
using kovo::testing::description;
using kovo::testing::two_year_company;

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class BudgetWindowStub : public WindowServices {
 public:
  bool automated = false;
  ClipboardText clipboard{0, {}};
  std::vector<std::string> boxes;
  std::vector<std::string> handed_back;
  std::vector<int> counts;
  int saves = 0;

  bool automation() const override { return automated; }
  int box(BoxKind kind, int number, std::string_view detail, int automation_answer) override {
    const auto decision = decide_box(kind, automated ? 1 : 0, true, automation_answer);
    if (decision.report_failure) report(number, detail);
    if (decision.show) boxes.push_back(std::to_string(number) + ": " + box_text(number, detail));
    return decision.answer;
  }
  bool put_clipboard(std::string_view) override { return true; }
  void empty_clipboard() override {}
  ClipboardText clipboard_text() override { return clipboard; }
  bool save_settings() override {
    ++saves;
    return true;
  }
  void hand_back(std::string text) override { handed_back.push_back(std::move(text)); }
  void open_window(Slot, std::any) override {}
  void close_window(Slot) override {}
  void send_command(Slot, int, std::intptr_t) override {}
  void close() override {}
  void open_help(int) override {}
  std::unique_ptr<FillWork> fill(std::string, int) override {
    struct Work : FillWork {
      RowCheck check() override {
        return [] { return true; };
      }
      bool stopped() const override { return false; }
    };
    return std::make_unique<Work>();
  }
};

std::vector<std::string> changed_companies;

class BudgetControllerTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    build(description(two_year_company("A", R"(,
      "accounts":[{"code":"4000-10","description":"Sales","type":"400"}],
      "balances":[{"account":"4000-10","year":2008,"budget":[5,5,5,5,5,5,5,5,5,5,5,5]}])")));
    settings().company = "A";
    settings().budget_company.clear();
    changed_companies.clear();
    on_balances_changed([](std::string_view id) { changed_companies.emplace_back(id); });
  }
  budget::BudgetController controller() {
    return budget::BudgetController(settings(), window_, AmountLocale{}, [this](int n) { window_.counts.push_back(n); });
  }
  BudgetWindowStub window_;
};

TEST_F(BudgetControllerTest, OpensWithTheSettingsAndWritesTheChosenBudget) {
  auto c = controller();
  const budget::BudgetView view = c.open();
  EXPECT_EQ(view.company, "A");
  EXPECT_EQ(view.year, "2008");  // the year a Write changes, shown
  EXPECT_EQ(view.years, (std::vector<std::string>{"2008", "2007"}));
  EXPECT_EQ(view.checked_control, IDC_BUDGET_ORIGINAL);
  ASSERT_TRUE(c.choose(IDC_BUDGET_REVISED));
  EXPECT_EQ(settings().budget_type, "Revised Budget");

  window_.clipboard.text = "Account\t2\r\n4000-10\t(3.00)\r\n";
  c.write("A", "");
  EXPECT_EQ(window_.counts, (std::vector<int>{0, 1}));
  EXPECT_EQ(window_.saves, 1);
  ASSERT_EQ(window_.boxes.size(), 1u);
  EXPECT_PRED2(contains, window_.boxes[0], "100: Budget write completed - 1 account written");
  EXPECT_EQ(changed_companies, std::vector<std::string>{"A"});
  EXPECT_EQ(settings().budget_company, "A");
}

TEST_F(BudgetControllerTest, FailuresAreShownToAUserAndHandedBackWithout) {
  auto c = controller();
  c.open();
  window_.clipboard = {windows::kClipboardEmpty, {}};
  c.write("A", "2008");
  EXPECT_EQ(window_.boxes, std::vector<std::string>{"50: No Clipboard data found"});

  window_.boxes.clear();
  window_.clipboard = {0, "ACCOUNT\tTotal\n4000-10\t1\n"};
  c.write("A", "2008");
  ASSERT_EQ(window_.boxes.size(), 2u);
  EXPECT_PRED2(contains, window_.boxes[0], "104: Budget Write-back failed. - Total not recognized.");
  EXPECT_PRED2(contains, window_.boxes[1], "53: Could not find required Budget headings");

  // Without a user no box shows; the command's caller gets every message.
  window_.boxes.clear();
  window_.automated = true;
  window_.clipboard = {0, "ACCOUNT\t1\n4000-10\t9\n4000-1?\t9\n"};
  c.write("A", "2008");
  EXPECT_TRUE(window_.boxes.empty());
  ASSERT_EQ(window_.handed_back.size(), 1u);
  EXPECT_PRED2(contains, window_.handed_back[0], "Kovo [CYMA] Invalid account code found: - 4000-1?");
  EXPECT_PRED2(contains, window_.handed_back[0], "Kovo [CYMA] Budget write stopped - at row 3 (4000-1?): 1 account written");
  EXPECT_EQ(changed_companies, std::vector<std::string>{"A"});

  window_.automated = false;
  window_.boxes.clear();
  c.write("A", "20x8");
  EXPECT_EQ(window_.boxes.size(), 1u) << "a year not written as a year is refused";
  c.write("NONE", "2008");
  EXPECT_PRED2(contains, window_.boxes.back(), "No such company");
}

}  // namespace
