// The add-in's command table, command strings, formula rewriting for viewer
// copies and migration, and the models of its dialogs and version box.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "addin/core/addin_settings.h"
#include "addin/core/messages.h"
#include "addin/core/tables.h"
#include "addin/tools/command_table.h"
#include "addin/tools/dialog_models.h"
#include "addin/tools/formula_rewrite.h"

namespace {

using namespace kovo::addin::tools;

TEST(AddinCommands, WordsAndFixedStrings) {
  struct Case {
    const char* procedure;
    const char* packed;
    const char* sent;
  };
  const Case cases[] = {
      {"Setup", "", "[SETUP]"},
      {"Passwords", "", "[PASSWORD]"},
      {"Budget", "", "[BUDGET]"},
      {"KovoCom2", "x", "[KovoCOM2(x)]"},
      {"KovoList", "a,b,c", "[KovoLIST(a,b,c)]"},
      {"DrillDown", "NoShow=1", "[DRILLDOWN(NoShow=1)]"},
      {"inquire", "", "[INQUIRE]"},
      {"KovoReset", "ignored", "[KovoReset]"},
      {"KovoServer", "ignored", "[KovoSERVER]"},
      {"SetTopic", "", "[SETTOPIC]"},
  };
  for (const auto& c : cases) {
    const CommandInfo* command = find_command(c.procedure);
    ASSERT_NE(command, nullptr) << c.procedure;
    EXPECT_EQ(command_text(*command, c.packed), std::optional<std::string>(c.sent)) << c.procedure;
  }
  EXPECT_EQ(find_command("Budget")->prelude, CommandPrelude::CopySelection);
  EXPECT_EQ(find_command("Inquire")->prelude, CommandPrelude::ReenterActiveFormula);
  EXPECT_FALSE(command_text(*find_command("XLLInitKovo")));
  EXPECT_FALSE(command_text(*find_command("VersionKovo"))) << "the version is a request, not a command";
  EXPECT_EQ(find_command("nothing"), nullptr);

  std::set<std::string> names;
  for (const auto& c : command_table()) names.insert(std::string(c.procedure));
  EXPECT_EQ(names.size(), command_table().size()) << "each procedure once";
}

TEST(AddinFormulas, ProductFormulasAreCallsOfProductNames) {
  EXPECT_TRUE(is_product_formula("=GL(\"1000\",\"Year to Date\")"));
  EXPECT_TRUE(is_product_formula("=A1+ngl(B1,C1)*2"));
  EXPECT_TRUE(is_product_formula("=ROUND(GTTran(A1),2)"));
  EXPECT_TRUE(is_product_formula("=OD (A1)"));
  EXPECT_TRUE(is_product_formula("=IF(A1,\"x\",KovoVERSION())"));
  EXPECT_FALSE(is_product_formula("=SUM(A1:A3)"));
  EXPECT_FALSE(is_product_formula("=MOD(A1,2)")) << "OD inside another name";
  EXPECT_FALSE(is_product_formula("=GL1+2")) << "a reference, not a call";
  EXPECT_FALSE(is_product_formula("=\"GL(1)\"")) << "inside a text";
  EXPECT_FALSE(is_product_formula("=KovoV5.CONNECT.GL(A1)")) << "the older generation's call is migrated, not copied";
  EXPECT_FALSE(is_product_formula(""));
}

// A viewer copy goes to someone without the product: a formula calling any
// of the product's worksheet functions must not stay behind.
TEST(AddinFormulas, EveryRegisteredFunctionMakesAProductFormula) {
  kovo::addin::RegistrationTable table;
  table.recompute_lengths();
  for (int r = 0; r < kovo::addin::kRegistrationRows; ++r) {
    if (table.is_command(r)) continue;
    const std::string name(table.text(r, kovo::addin::kFunctionText));
    EXPECT_TRUE(is_product_formula("=" + name + "(\"4000\")")) << name;
    EXPECT_TRUE(is_product_formula("=1+" + name + "(A1)*2")) << name;
  }
}

TEST(AddinCommands, EveryRegisteredCommandHasItsRow) {
  kovo::addin::RegistrationTable table;
  table.recompute_lengths();
  std::size_t commands = 0;
  for (int r = 0; r < kovo::addin::kRegistrationRows; ++r) {
    if (!table.is_command(r)) continue;
    ++commands;
    const std::string procedure(table.text(r, kovo::addin::kProcedure));
    const CommandInfo* command = find_command(procedure);
    ASSERT_NE(command, nullptr) << procedure << " is registered but has no row";
    EXPECT_EQ(command->procedure, procedure);
    // Only a command registered with an argument can pack one.
    if (command->takes_argument) EXPECT_EQ(table.text(r, kovo::addin::kTypeText), "AR") << procedure;
  }
  EXPECT_EQ(command_table().size(), commands) << "no row for a procedure that is not registered";
}

TEST(AddinFormulas, MigrationRemovesEveryPrefixFromTheLast) {
  EXPECT_EQ(migrate_formula("=KovoV5.CONNECT.GL(A1,B1)"), "=GL(A1,B1)");
  EXPECT_EQ(migrate_formula("=KovoV5.CONNECT.GL(A1)+kovov5.connect.GL(A2)"), "=GL(A1)+GL(A2)");
  EXPECT_EQ(migrate_formula("KOVOV5.CONNECT.DESC(A1)"), "=DESC(A1)");
  // Removing the inner prefix forms a new one across the join: only the
  // prefixes of the original text go.
  EXPECT_EQ(migrate_formula("=KovoV5.CONNKovoV5.CONNECT.ECT.GL(1)"), "=KovoV5.CONNECT.GL(1)");
  EXPECT_EQ(migrate_formula("=SUM(A1)"), "=SUM(A1)");
  EXPECT_TRUE(needs_migration("=kovov5.Connect.GL(A1)"));
  EXPECT_FALSE(needs_migration("=GL(A1)"));
  EXPECT_FALSE(needs_migration(std::string(250, ' ') + "=KovoV5.CONNECT.GL(A1)")) << "only the first 255 characters";
}

TEST(AddinFormulas, QuestionSkippedByNoShowAtTheStart) {
  EXPECT_TRUE(skips_question("NoShow=1"));
  EXPECT_TRUE(skips_question("NOSHOW=1,Other=2"));
  EXPECT_FALSE(skips_question("NoShow=0"));
  EXPECT_FALSE(skips_question(" NoShow=1"));
  EXPECT_FALSE(skips_question(""));
}

TEST(AddinFormulas, CaptureKeepsOnlyTheCellsOwnRequests) {
  RequestCapture capture;
  capture.record("GL;ignored");
  capture.begin();
  capture.record("GL;1000;12");
  EXPECT_EQ(capture.end(), std::optional<std::string>("GL;1000;12"));
  capture.begin();
  EXPECT_EQ(capture.end(), std::nullopt) << "nothing recorded: no stale note";
  capture.begin();
  capture.record("GL;1000");
  capture.record("GL;2000");
  EXPECT_EQ(capture.end(), std::optional<std::string>("GL;1000\nGL;2000"));
  EXPECT_FALSE(capture.active());
}

TEST(AddinOptions, ControlsFromSettingsAndBack) {
  OptionSettings s;
  s.functions_dirty = "N";
  s.column_wise = 0;
  s.build_toolbar = "y";
  s.save_toolbar = 1;
  s.timeout_seconds = 45;
  s.create_ngl = 0;
  s.create_new_workbook = 7;
  const OptionControls c = controls_from_settings(s);
  EXPECT_FALSE(c.always_calculate);
  EXPECT_FALSE(c.column_wise);
  EXPECT_TRUE(c.toolbar);
  EXPECT_TRUE(c.toolbar_choice_enabled);
  EXPECT_TRUE(c.save_toolbar);
  EXPECT_EQ(c.timeout_text, "45");
  EXPECT_FALSE(c.create_ngl);
  EXPECT_TRUE(c.new_workbook);
  EXPECT_FALSE(controls_from_settings(OptionSettings{.build_toolbar = "Yes"}).toolbar_choice_enabled);

  const auto writes = option_writes(c, 45);
  ASSERT_EQ(writes.size(), 7u);
  const std::pair<std::string_view, std::string> expected[] = {
      {"Functions Dirty", "N"},  {"Column Wise Zero Suppress", "0"}, {"BuildToolBar", "Y"},
      {"Save ToolBar", "1"},     {"DDE Time Out", "45"},              {"Create NGL Functions", "0"},
      {"Create New Workbook", "1"}};
  for (std::size_t i = 0; i < writes.size(); ++i) EXPECT_EQ(writes[i], expected[i]);
  const OptionSettings back = settings_from_controls(c, s);
  EXPECT_EQ(back.functions_dirty, "N");
  EXPECT_EQ(back.build_toolbar, "Y");
  EXPECT_EQ(back.create_new_workbook, 1);
}

TEST(AddinOptions, TimeOutFieldKeepsTheOldValueUnlessAWholePositiveNumber) {
  using kovo::addin::timeout_from_text;
  EXPECT_EQ(timeout_from_text(" 60 ", 300), 60);
  EXPECT_EQ(timeout_from_text("0", 300), 300);
  EXPECT_EQ(timeout_from_text("-5", 300), 300);
  EXPECT_EQ(timeout_from_text("1e3", 300), 300);
  EXPECT_EQ(timeout_from_text("", 300), 300);
  EXPECT_EQ(timeout_from_text("4294967", 300), 4294967) << "the largest whose milliseconds fit";
  EXPECT_EQ(timeout_from_text("4294968", 300), 300);
  EXPECT_EQ(timeout_from_text("99999999999999999999999", 300), 300);
}

TEST(AddinMessages, TheToolsTextsAsWritten) {
  EXPECT_EQ(kovo::addin::addin_message(11), "Warning: only \"dirty\" functions will be analyzed.");
  EXPECT_EQ(kovo::addin::addin_message(6), "Select a smaller area.");
  EXPECT_EQ(kovo::addin::addin_message(8), "Why would you try to do zero-suppress on over 4 million cells?");
}

TEST(AddinAnalyze, StepsOfOk) {
  using S = AnalyzeStep;
  EXPECT_EQ(analyze_steps({}, true),
            (std::vector<S>{S::StartCalc, S::CalculateDocument, S::FinishCalc, S::Command302, S::Paste}));
  EXPECT_EQ(analyze_steps({.whole_workbook = true, .timing = true}, true),
            (std::vector<S>{S::TimingOn, S::CalculateNow, S::TimingOff}));
  EXPECT_EQ(analyze_steps({.whole_workbook = true}, false).front(), S::WarnNotDirty);
}

TEST(AddinVersion, ThreeLinesFromTheServersTabs) {
  EXPECT_EQ(version_box_text("4.0.1", std::string("Ledra5 4.0.2\tKovo Server 4.0.3")),
            "Excel Kovo Client Version 4.0.1\nLedra5 4.0.2\nKovo Server 4.0.3");
  EXPECT_EQ(version_box_text("4.0.1", std::nullopt), "Excel Kovo Client Version 4.0.1");
}

}  // namespace
