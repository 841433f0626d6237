// The financial entities file over a ledger that carries one: the record
// layout (a long specifier across texts A and C), entity names and value
// descriptions in GL requests, the lists' source, and the maintenance
// window's updates, deletions and rebuild.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/entities_file.h"
#include "entry/messages.h"
#include "ledger_fixture.h"
#include "recording_window.h"
#include "requests/gl_request.h"
#include "windows/entities_hook.h"
#include "windows/sad_controller.h"

using namespace kovo;
using namespace kovo::entities;
using kovo::testing::description;
using kovo::testing::RecordingWindow;
using kovo::testing::two_year_company;

namespace {

const std::string kLongSpecifier = "1000..1099,1100,1200,1300,1400,1500,1600,1700";  // 45 characters

std::string company(const std::string& entities) {
  return two_year_company("A", R"(,
  "accounts":[{"code":"1000-10","description":"Cash","type":"100"},
              {"code":"1100-10","description":"Receivables","type":"110"},
              {"code":"4000-10","description":"Sales","type":"400"},
              {"code":"4100-10","description":"Services","type":"410"},
              {"code":"4100-20","description":"Services East","type":"410"}],
  "balances":[{"account":"1000-10","year":2008,"actual":[100]},
              {"account":"1100-10","year":2008,"actual":[20]},
              {"account":"4000-10","year":2008,"actual":[-300]},
              {"account":"4100-10","year":2008,"actual":[-40]},
              {"account":"4100-20","year":2008,"actual":[-5]}],
  "segments":[{"segment":2,"value":"10","description":"Production"},
              {"segment":2,"value":"20","description":"East"}])" +
                                  entities);
}

class EntitiesTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    install_entities();
    settings().fe_file_in_gl_path = 1;
    settings().company = "A";
  }
  void build_with(const std::string& entities) { build(description(company(entities))); }
  double gl(const std::string& account) {
    double value = 0;
    EXPECT_EQ(requests::evaluate_gl({account, "Month 1", "A", "2008", "Budget"}, value), 0) << pending_message();
    return value;
  }
  data::CompanyContext& company_a() { return *data::find_or_open_company("A"); }

  RecordingWindow window_;
};

const std::string kEntities = R"(,
  "entities":[{"segment":1,"entity":"Revenue","specifier":"4000,4100"},
              {"segment":1,"entity":"Long","specifier":")" + kLongSpecifier + R"("},
              {"segment":1,"value":"1000","description":"Cash"},
              {"segment":2,"entity":"All","specifier":"*"}])";

TEST(EntitiesRecord, ALongSpecifierIsSplitAcrossTextsAAndC) {
  const std::string& specifier = kLongSpecifier;
  ASSERT_EQ(specifier.size(), 45u);
  const Record r = entity_record(1, "Long", specifier);
  EXPECT_EQ(r.text_a, specifier.substr(0, 30));
  EXPECT_EQ(r.text_c, specifier.substr(30));
  EXPECT_EQ(r.segment, 101);
  const RecordBytes bytes = encode(r);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 30), specifier.substr(0, 30));
  const auto back = decode(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->specifier(), specifier);
  EXPECT_EQ(back->text_b, "Long");
  EXPECT_FALSE(decode(std::span<const std::uint8_t>(bytes.data(), 183))) << "a short record is refused";

  // A value shorter than text A is blank-padded there and comes back trimmed.
  const RecordBytes value = encode(value_record(2, "10", "Production"));
  EXPECT_EQ(value[2], ' ');
  EXPECT_EQ(decode(value)->text_a, "10");
  EXPECT_EQ(entry_value("100; Cash"), "100");
  EXPECT_TRUE(looks_like_entity("1*"));
  EXPECT_FALSE(looks_like_entity("1000"));
}

TEST_F(EntitiesTest, NamesAndDescriptionsStandForTheirValuesInRequests) {
  build_with(kEntities);
  EXPECT_EQ(gl("Revenue-10"), gl("(4000,4100)(10)"));
  EXPECT_EQ(gl("Revenue-10"), -340);
  EXPECT_EQ(gl("revenue-All"), -345) << "names are matched without regard to case";
  EXPECT_EQ(gl("Cash-10"), gl("1000-10")) << "a value's description stands for the value";
  EXPECT_EQ(gl("Long-10"), 120) << "the 45-character specifier is read back whole";
  EXPECT_EQ(translate(company_a(), 1, "LONG"), kLongSpecifier);
  EXPECT_FALSE(translate(company_a(), 2, "Revenue")) << "an entity belongs to its segment";
  EXPECT_FALSE(translate(company_a(), 1, " "));

  // Without the file nothing is translated and the name is an error.
  settings().fe_file_in_gl_path = 0;
  settings().fe_file_path = (root_ / "nowhere").string();
  data::close_all_companies();
  double value = 0;
  EXPECT_NE(requests::evaluate_gl({"Revenue-10", "Month 1", "A", "2008", "Budget"}, value), 0);
  clear_message();
}

TEST_F(EntitiesTest, ListsTakeTheFilesEntriesInKeyOrder) {
  build_with(kEntities);
  EXPECT_EQ(list_segment(company_a(), 1, ListMode::EntitiesThenValues),
            (std::vector<std::string>{"Long", "Revenue", "1000; Cash"}));
  EXPECT_EQ(list_segment(company_a(), 1, ListMode::Entities, "R*"), (std::vector<std::string>{"Revenue"}));
  EXPECT_EQ(list_segment(company_a(), 1, ListMode::Values), (std::vector<std::string>{"1000; Cash"}));
  const auto& hook = windows::entities_hook();
  ASSERT_TRUE(hook.choices && hook.translate);
  EXPECT_EQ(hook.translate(company_a(), 1, "Revenue"), std::optional<std::string>("4000,4100"));
  EXPECT_EQ(hook.choices(company_a(), 2), (std::vector<std::string>{"All;*"}));
}

TEST_F(EntitiesTest, TheMaintenanceWindowUpdatesOneRecordAtATime) {
  build_with(kEntities);
  SadController sad(settings(), window_);
  SadView view = sad.open();
  EXPECT_EQ(view.segments, (std::vector<std::string>{"Account", "Dept"}));
  EXPECT_EQ(view.items, (std::vector<std::string>{"1000; Cash"}));
  EXPECT_EQ(sad.item_text("1000; Cash"), "Cash");

  view = sad.add_update("100; Cash", "Petty cash");
  EXPECT_EQ(view.items, (std::vector<std::string>{"100; Petty cash", "1000; Cash"})) << "stored under 100";

  // A pattern offered as a value asks to become an entity.
  window_.question_answer = windows::kAnswerNo;
  view = sad.add_update("1*", "Assets");
  EXPECT_FALSE(view.entity_mode);
  EXPECT_EQ(window_.boxes.back().kind, windows::BoxKind::YesNo);
  EXPECT_EQ(view.items.size(), 2u);
  window_.question_answer = windows::kAnswerYes;
  view = sad.add_update("1*", "Assets");
  EXPECT_TRUE(view.entity_mode);
  EXPECT_EQ(view.item_label, "Financial Entity:");
  EXPECT_FALSE(view.rebuild_enabled);
  EXPECT_EQ(view.items, (std::vector<std::string>{"Assets", "Long", "Revenue"}));
  EXPECT_EQ(gl("Assets-10"), 120);

  // An entity replaced keeps one record of its name; Delete removes it.
  view = sad.add_update("Revenue", "4000");
  EXPECT_EQ(view.items.size(), 3u);
  EXPECT_EQ(gl("Revenue-10"), -300);
  EXPECT_TRUE(sad.remove("Revenue"));
  EXPECT_EQ(sad.view().items, (std::vector<std::string>{"Assets", "Long"}));
}

TEST_F(EntitiesTest, RebuildRefreshesValuesAndKeepsEveryEntity) {
  build_with(R"(,"entities":[{"segment":1,"entity":"Revenue","specifier":"4*"},
                             {"segment":2,"value":"10","description":"Old name"},
                             {"segment":2,"value":"99","description":"Kept"}])");
  SadController sad(settings(), window_);
  sad.open();
  SadView view = sad.select_segment(1);
  EXPECT_EQ(view.items, (std::vector<std::string>{"10; Old name", "99; Kept"}));
  view = sad.rebuild();
  EXPECT_EQ(window_.boxes.back().text, "Financial Entities File updated.");
  EXPECT_EQ(view.items, (std::vector<std::string>{"10; Production", "20; East", "99; Kept"}));
  EXPECT_EQ(sad.select_segment(0).items.size(), 4u) << "1000, 1100, 4000 and 4100";
  EXPECT_EQ(sad.set_mode(true).items, (std::vector<std::string>{"Revenue"}));
  EXPECT_EQ(gl("Revenue-10"), -340);
}

TEST_F(EntitiesTest, ACompanyWithoutAFileIsToldSoAndRebuildCreatesOne) {
  build_with("");
  SadController sad(settings(), window_);
  sad.open();
  EXPECT_EQ(window_.boxes.back().text,
            "There is no Financial Entities file for this company. Use the Maintain Financial Entities File "
            "Utility to create one. - A");
  const SadView view = sad.rebuild();
  EXPECT_EQ(view.items, (std::vector<std::string>{"1000; ", "1100; ", "4000; ", "4100; "}));
  EXPECT_TRUE(company_a().has_entities_file);

  FeSetupController setup(settings(), window_);
  EXPECT_NE(setup.confirmation_text().find("for: \r\r   A\r   Company A\r   Budget\r\r(based"), std::string::npos);
  window_.question_answer = windows::kAnswerOk;
  sad.set_mode(true);
  sad.add_update("Revenue", "4*");
  setup.create_new();
  EXPECT_EQ(window_.boxes.back().text, "Financial Entities File updated.");
  EXPECT_EQ(sad.set_mode(true).items, std::vector<std::string>{}) << "a new file holds the ledger's values only";
}

}  // namespace
