// What the setup window decides over small ledgers in two data
// directories: the list choices as they are stored, a changed directory,
// the company profile, OK and Cancel.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/companies.h"
#include "ledger_fixture.h"
#include "recording_window.h"
#include "windows/setup_controller.h"

using namespace kovo;
using namespace kovo::setup;
using kovo::testing::description;
using kovo::testing::RecordingWindow;
using kovo::testing::two_year_company;

namespace {

int index_of(const std::vector<std::string>& entries, const std::string& entry) {
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i] == entry) return static_cast<int>(i);
  return -1;
}

class SetupControllerTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    build(description(two_year_company("A", R"(,"accounts":[{"code":"1000-10","description":"Cash","type":"100"}])") +
                      "," + two_year_company("B")));
    const auto other = ledger::build_ledger(description(two_year_company("C")), other_dir(), &recman::btrcall);
    ASSERT_TRUE(other.ok) << other.error;
    settings().company = "A";
  }
  std::string other_dir() const { return (root_ / "Other").string(); }
  SetupController controller() {
    return SetupController(settings(), window_, [this] { ++reloads_; });
  }

  RecordingWindow window_;
  int reloads_ = 0;
};

TEST_F(SetupControllerTest, ListChoicesAreStoredAsTheirNumbers) {
  auto c = controller();
  settings().current_period = 0;
  settings().type.clear();
  const SetupView view = c.open();
  EXPECT_EQ(period_entries()[static_cast<std::size_t>(view.period_index)], "Off");
  EXPECT_EQ(settings().current_period, 0) << "loading the company keeps Off";
  EXPECT_EQ(settings().type, "Budget") << "an empty budget kind becomes Budget";
  EXPECT_EQ(view.companies, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(view.years, (std::vector<std::string>{"2008", "2007"}));

  c.choose(SetupChoice::Period, index_of(period_entries(), "13"));
  EXPECT_EQ(settings().current_period, 13);
  c.choose(SetupChoice::Period, index_of(period_entries(), "Off"));
  EXPECT_EQ(settings().current_period, 0);
  c.choose(SetupChoice::Scaling, index_of(scaling_entries(), "1,000"));
  EXPECT_EQ(settings().scaling, 3);
  c.choose(SetupChoice::Rounding, index_of(rounding_entries(), ".01"));
  EXPECT_EQ(settings().rounding, 1);
  c.choose(SetupChoice::Rounding, 99);
  EXPECT_EQ(settings().rounding, 9) << "an index beyond the list is held to it";
  c.choose(SetupChoice::Revised, 1);
  EXPECT_EQ(settings().type, "Revised Budget");
  c.choose(SetupChoice::ReturnZero, 0);
  c.choose(SetupChoice::Preload, 1);
  EXPECT_EQ(settings().na_label, 0);
  EXPECT_EQ(settings().adpl_enabled, 1);
  EXPECT_EQ(period_index(13), 12);
  EXPECT_EQ(period_index(0), 13);
}

TEST_F(SetupControllerTest, AChangedDirectoryDropsEveryLoadedCompany) {
  auto c = controller();
  c.open();
  ASSERT_NE(data::find_company("A"), nullptr);
  EXPECT_FALSE(c.directory_changed(system_dir() + "\\")) << "the same directory changes nothing";
  EXPECT_NE(data::find_company("A"), nullptr);

  const auto companies = c.directory_changed(other_dir());
  ASSERT_TRUE(companies);
  EXPECT_EQ(*companies, (std::vector<std::string>{"C"}));
  EXPECT_EQ(data::company_count(), 0u);
  EXPECT_EQ(settings().system, other_dir());
  EXPECT_FALSE(c.company_changed("A")) << "A is not in the new directory";
  EXPECT_EQ(window_.boxes.size(), 1u);
  const auto years = c.company_changed("c");
  ASSERT_TRUE(years);
  EXPECT_EQ(settings().company, "c");
}

TEST_F(SetupControllerTest, TheCompanyProfile) {
  auto c = controller();
  const std::string text = c.profile("A");
  EXPECT_EQ(window_.clipboard, text);
  EXPECT_EQ(text.substr(0, 16), "Data Directory: ");
  EXPECT_NE(text.find("A\\\r\n\r\nName: Company A\r\nKovo Setup Company Current Period: 5\r\n"
                      "Company Current Period: 5\r\nPeriods Per Year: 12\r\nYear: 2008\r\n"
                      "Account Code Structure: XXXX-XX\r\nMain Segment Number: 1"),
            std::string::npos)
      << text;
  ASSERT_EQ(window_.boxes.size(), 1u);
  EXPECT_EQ(window_.boxes[0].text, text);
}

TEST_F(SetupControllerTest, OkSavesAndCancelReloads) {
  auto c = controller();
  c.open();
  c.ok({system_dir(), " b ", "2007", "nil"});
  EXPECT_EQ(settings().company, "b");
  EXPECT_EQ(settings().zero_label, "nil");
  EXPECT_EQ(settings().setup_year, "2007");
  EXPECT_EQ(settings().chart_year, "2007") << "the windows open on the new year";
  EXPECT_EQ(window_.saves, 1);
  EXPECT_TRUE(window_.closed);

  window_.settings_written = false;
  c.ok({system_dir(), "A", "2007", "0"});
  EXPECT_EQ(window_.boxes.back().text, "The .INI file could not be written.");
  c.cancel();
  EXPECT_EQ(reloads_, 1);
}

}  // namespace
