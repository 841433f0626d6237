// The add-in's registration and menu tables and its settings store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <type_traits>

#include "addin/core/addin_settings.h"
#include "addin/core/procedures.h"
#include "addin/core/tables.h"

using namespace kovo::addin;

TEST(AddinTables, RegistrationRowsCarryCountedTextsAndVolatility) {
  RegistrationTable table;
  table.recompute_lengths();
  int functions = 0, volatile_rows = 0;
  for (int r = 0; r < kRegistrationRows; ++r) {
    for (int c = 0; c < kRegistrationColumns; ++c) {
      const CountedText& t = table.cell(r, c);
      EXPECT_EQ(static_cast<unsigned char>(t.counted()[0]), std::strlen(t.counted() + 1)) << r << "," << c;
    }
    EXPECT_EQ(table.text(r, kCategory), "Kovo");
    if (!table.is_command(r)) ++functions;
    if (table.text(r, kTypeText).find('!') != std::string_view::npos) ++volatile_rows;
  }
  EXPECT_EQ(functions, 15);
  EXPECT_EQ(volatile_rows, 13) << "every function but WGL and WDESC";
  EXPECT_EQ(table.text(6, kTypeText), std::string(29, 'R') + "!");
  EXPECT_EQ(table.text(7, kTypeText), std::string(17, 'R') + "!");
  EXPECT_EQ(table.text(34, kTypeText), "RRRRRRRRR");

  table.recompute_lengths(false);
  EXPECT_EQ(table.text(0, kTypeText), "RRRRRRRR");
  EXPECT_EQ(table.text(34, kTypeText), "RRRRRRRRR");
  table.recompute_lengths(true);
  EXPECT_EQ(table.text(0, kTypeText), "RRRRRRRR!") << "the next opening restores the marker";

  EXPECT_EQ(table.find_procedure("glgroup"), 39);
  EXPECT_EQ(table.find_procedure("EXITKOVO"), 37);
  EXPECT_FALSE(table.find_procedure("GLX"));
  EXPECT_FALSE(table.find_procedure(""));
}

namespace {

// What a procedure's declaration takes and gives.
template <typename>
struct Declared;
template <typename R, typename... Parameters>
struct Declared<R(Parameters...)> {
  static constexpr std::size_t parameters = sizeof...(Parameters);
  static constexpr bool all_values = (std::is_same_v<Parameters, LPXLOPER> && ...);
  static constexpr char result = std::is_same_v<R, LPXLOPER> ? 'R' : std::is_same_v<R, int> ? 'A' : '?';
};

struct Declaration {
  std::size_t parameters;
  bool all_values;
  char result;
};

const std::map<std::string, Declaration>& declarations() {
#define KOVO_DECLARED(name) \
  {#name, {Declared<decltype(name)>::parameters, Declared<decltype(name)>::all_values, Declared<decltype(name)>::result}},
  static const std::map<std::string, Declaration> all = {KOVO_ADDIN_PROCEDURES(KOVO_DECLARED)};
#undef KOVO_DECLARED
  return all;
}

}  // namespace

// The spreadsheet passes each procedure exactly the arguments its type text
// names (one value per letter after the first, "!" aside): a procedure that
// takes one more reads a stack slot nobody filled.
TEST(AddinTables, EveryProcedureTakesExactlyItsRegisteredArguments) {
  RegistrationTable table;
  table.recompute_lengths();
  ASSERT_EQ(declarations().size(), static_cast<std::size_t>(kRegistrationRows));
  for (int r = 0; r < kRegistrationRows; ++r) {
    const std::string procedure(table.text(r, kProcedure));
    std::string type(table.text(r, kTypeText));
    if (!type.empty() && type.back() == '!') type.pop_back();
    const auto found = declarations().find(procedure);
    ASSERT_NE(found, declarations().end()) << procedure << " is registered but not declared";
    const Declaration& d = found->second;
    ASSERT_FALSE(type.empty()) << procedure;
    EXPECT_EQ(d.parameters, type.size() - 1) << procedure << " registered as " << table.text(r, kTypeText);
    EXPECT_EQ(d.result, type[0]) << procedure;
    EXPECT_EQ(type.find_first_not_of('R', 1), std::string::npos) << procedure << ": every argument a value";
    EXPECT_TRUE(d.all_values) << procedure;
  }
}

// Registering a procedure that the library does not export fails in the
// spreadsheet: every row's procedure is in the export list.
TEST(AddinTables, EveryProcedureIsExported) {
  const char* root = std::getenv("KOVO_SOURCE_DIR");
  if (!root) root = KOVO_SOURCE_ROOT;
  std::ifstream def(std::string(root) + "/addin/resources/kovo_xll.def");
  ASSERT_TRUE(def) << root;
  std::set<std::string> exported;
  for (std::string line; std::getline(def, line);) {
    std::istringstream words(line);
    std::string word;
    if (words >> word && word[0] != ';') exported.insert(word);
  }
  RegistrationTable table;
  table.recompute_lengths();
  for (int r = 0; r < kRegistrationRows; ++r)
    EXPECT_TRUE(exported.count(std::string(table.text(r, kProcedure)))) << table.text(r, kProcedure);
}

TEST(AddinTables, MenuAndFunctionItems) {
  const auto& menu = menu_table();
  EXPECT_STREQ(menu[0].text, "Kov&o");
  EXPECT_STREQ(menu[0].command, "");
  EXPECT_STREQ(menu[6].command, "XLLInitKovo");
  EXPECT_STREQ(menu[18].status, "Remove Kovo formulas for EMail or Viewer access");
  RegistrationTable table;
  table.recompute_lengths();
  for (std::size_t i = 1; i < menu.size(); ++i) EXPECT_TRUE(table.find_procedure(menu[i].command)) << menu[i].command;
  EXPECT_STREQ(function_item("KovoData")->item, "GL");
  EXPECT_EQ(function_item("WGL")->topic, 8);
  EXPECT_TRUE(function_item("WDESC")->value_first);
  EXPECT_EQ(function_item("OD")->topic, 0);
  EXPECT_EQ(function_item("BSpec"), nullptr) << "computed without the server";
}

namespace {
struct MapProfile : Profile {
  std::map<std::string, std::string> values;
  bool read(std::string_view s, std::string_view k, std::string& v) override {
    auto it = values.find(std::string(s) + "/" + std::string(k));
    if (it == values.end()) return false;
    v = it->second;
    return true;
  }
  void write(std::string_view s, std::string_view k, std::string_view v) override {
    values[std::string(s) + "/" + std::string(k)] = std::string(v);
  }
};
}  // namespace

TEST(AddinSettingsStore, OpeningWritesEveryKeyBackAndTakesTheLocaleSeparator) {
  MapProfile profile;
  profile.values["Kovo Excel/List Separator"] = "|";
  profile.values["Kovo Excel/Functions Dirty"] = "no";
  profile.values["Kovo Excel/DDE Time Out"] = "12";
  profile.values["Kovo Server/Path"] = "Z:\\srv\\";
  const AddinSettings s = open_settings(profile, ";");
  EXPECT_FALSE(s.volatile_functions());
  EXPECT_EQ(s.dde_time_out_ms(), 12000u);
  EXPECT_EQ(s.server_path, "Z:\\srv\\");
  const std::map<std::string, std::string> expected = {
      {"Kovo Excel/Functions Dirty", "no"},       {"Kovo Excel/Column Wise Zero Suppress", "1"},
      {"Kovo Excel/Row Symbol", "R"},             {"Kovo Excel/Column Symbol", "C"},
      {"Kovo Excel/Sum Function Text", "SUM"},    {"Kovo Excel/Help Menu Text", "Help"},
      {"Kovo Excel/List Separator", ";"},         {"Kovo Excel/BuildToolBar", "Y"},
      {"Kovo Excel/Save ToolBar", "0"},           {"Kovo Excel/DDE Time Out", "12"},
      {"Kovo Excel/Create NGL Functions", "1"},   {"Kovo Excel/Create New Workbook", "1"},
      {"Kovo Excel/Auto-Attaching", "0"},         {"Kovo Server/Path", "Z:\\srv\\"},
      {"Kovo Server/Viewer", "0"}};
  EXPECT_EQ(profile.values, expected);

  MapProfile empty;
  const AddinSettings d = open_settings(empty, "");
  EXPECT_TRUE(d.volatile_functions());
  EXPECT_TRUE(d.toolbar_wanted());
  EXPECT_EQ(d.dde_time_out_ms(), 300000u);
  EXPECT_EQ(empty.values["Kovo Excel/List Separator"], ",");
  EXPECT_EQ(empty.values["Kovo Server/Path"], "c:\\kovo\\");
  EXPECT_EQ(empty.values.size(), expected.size());
}

TEST(AddinSettingsStore, OddValuesReadAsTheProfileFunctionsDo) {
  MapProfile profile;
  profile.values["Kovo Excel/Save ToolBar"] = "99999999999";
  profile.values["Kovo Excel/BuildToolBar"] = "yes";
  const AddinSettings s = read_settings(profile);
  EXPECT_EQ(s.save_toolbar, 0x7FFFFFFF);
  EXPECT_FALSE(s.toolbar_wanted()) << "only Y itself asks for the toolbar";
}

// A time-out of 0 would fail every request at once, a negative or huge one
// wraps into another: the file's value obeys the Options dialog's rule, and
// anything else keeps the default.
TEST(AddinSettingsStore, TimeOutFromTheFileIsAWholeNumberOfSecondsThatFits) {
  const std::pair<const char*, unsigned> cases[] = {
      {"45", 45000u},  {" 60 ", 60000u}, {"0", 300000u},  {"-1", 300000u},  {"abc", 300000u},
      {"12x", 300000u}, {"", 300000u},    {"4294967", 4294967000u}, {"4294968", 300000u},
      {"99999999999999999999", 300000u},
  };
  for (const auto& [text, ms] : cases) {
    MapProfile profile;
    profile.values["Kovo Excel/DDE Time Out"] = text;
    const AddinSettings s = open_settings(profile, ",");
    EXPECT_EQ(s.dde_time_out_ms(), ms) << "\"" << text << "\"";
    EXPECT_EQ(profile.values["Kovo Excel/DDE Time Out"], std::to_string(ms / 1000)) << "written back as taken";
  }
}
