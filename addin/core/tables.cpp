#include "addin/core/tables.h"

#include <cstring>

#include "server/topics.h"

namespace kovo::addin {

namespace {

// The texts of the registration table. The spreadsheet's type letters: "R"
// a value or reference, first letter the result, "A" a logical, "!" volatile.
struct Row {
  const char* procedure;
  const char* type;
  const char* function;
  const char* arguments;
  const char* macro_type;
};

const std::string kOdType = "R" + std::string(28, 'R') + "!";
const std::string kBspecType = "R" + std::string(16, 'R') + "!";

const Row kRows[kRegistrationRows] = {
    {"GL", "RRRRRRRR!", "GL", "AccountSpec,Period,Company,Year,Type,Currency,Topic", "1"},
    {"NGL", "RRRRRRRR!", "NGL", "AccountSpec,Period,Company,Year,Type,Currency,Topic", "1"},
    {"Desc", "RRRRRRR!", "DESC", "AccountSpec,Company,Year,Type,Currency,Topic", "1"},
    {"SDesc", "RRRRRR!", "SDESC", "AccountSpec,Section,Company,Type,Topic", "1"},
    {"CoData", "RRRR!", "CODATA", "Data,Company,Topic", "1"},
    {"AcctData", "RRRRRR!", "ACCTDATA", "Data,Account,Company,Year,Topic", "1"},
    {"OD", kOdType.c_str(), "OD", "Parm,Parm,...", "1"},
    {"BSpec", kBspecType.c_str(), "BSPEC", "Spec,List,List,...", "1"},
    {"GLTran", "RRRRRRRR!", "GLTRAN", "AccountSpec,FromDate,ToDate,Company,Type,Currency,Topic", "1"},
    {"GTTran", "RRRRRRRRRRRR!", "GTTran", "AccountSpec,FromDate,ToDate,Company,Type,Grant,COE,FundSource,Program,Activity,Topic", "1"},
    {"JCTran", "RRRRRRRRRR!", "JCTran", "AccountSpec,FromDate,ToDate,Company,Type,JobCost,CostType,CostCode,Topic", "1"},
    {"DrillDown", "AR", "DrillDown", "CommandList", "2"},
    {"KovoServer", "A", "KovoServer", "", "2"},
    {"Setup", "AR", "Setup", "CommandList", "2"},
    {"Chart", "AR", "Chart", "CommandList", "2"},
    {"Passwords", "AR", "Passwords", "CommandList", "2"},
    {"XLLInitKovo", "A", "XLLInitKovo", "", "2"},
    {"ServerHelp", "A", "ServerHelp", "", "2"},
    {"DLLHelp", "A", "DLLHelp", "", "2"},
    {"SetTopic", "A", "SetTopic", "", "2"},
    {"VersionKovo", "A", "VersionKovo", "", "2"},
    {"PeriodW", "AR", "PeriodW", "CommandList", "2"},
    {"ReportW", "AR", "ReportW", "", "2"},
    {"Budget", "AR", "Budget", "CommandList", "2"},
    {"KovoCom1", "AR", "KovoCom1", "CommandList", "2"},
    {"KovoCom2", "AR", "KovoCom2", "CommandList", "2"},
    {"KovoCom3", "AR", "KovoCom3", "CommandList", "2"},
    {"KovoList", "AR", "KovoList", "ValuesToList", "2"},
    {"KovoReset", "AR", "KovoReset", "", "2"},
    {"KovoDPL", "AR", "KovoDPL", "CommandList", "2"},
    {"ZeroSuppress", "AR", "ZeroSuppress", "Range", "2"},
    {"Analyze", "AR", "Analyze", "", "2"},
    {"Inquire", "AR", "Inquire", "", "2"},
    {"GLPaste", "AR", "GLPaste", "", "2"},
    {"WGL", "RRRRRRRRR", "WGL", "Value,AccountSpec,Period,Company,Year,Type,Currency", "1"},
    {"WDESC", "RRRRRRRR", "WDESC", "Value,AccountSpec,Company,Year,Type,Currency", "1"},
    {"ToViewer", "AR", "ToViewer", "Range", "2"},
    {"ExitKovo", "A", "ExitKovo", "", "2"},
    {"KovoData", "RRRRRRRR!", "KovoData", "Codes,Columns,DataMart,Year,Type,Currency,Topic", "1"},
    {"GLGroup", "RRRRRRRR!", "GLGROUP", "AccountSpec,Period,Company,Year,Type,Currency,Topic", "1"},
    {"Migrate", "AR", "Migrate", "", "2"},
};

const std::array<MenuRow, kMenuRows> kMenu = {{
    {"Kov&o", "", "", "The Kovo XLL Add-In", ""},
    {"&Kovo Server", "KovoServer", "", "Invoke the Kovo server", ""},
    {"&Drill Down", "DrillDown", "", "Drill through the active GL function", ""},
    {"&Setup", "Setup", "", "Set defaults for the current accounting system DLL", ""},
    {"&Chart", "Chart", "", "View your Chart of Accounts and paste data into the sheet", ""},
    {"&Passwords", "Passwords", "", "Enter passwords for the current GL", ""},
    {"&Options", "XLLInitKovo", "", "Set various add-in options", ""},
    {"DLL &Help", "DLLHelp", "", "View help on the default topic", ""},
    {"S&erver Help", "ServerHelp", "", "View help on the Kovo Server", ""},
    {"Set &Topic", "SetTopic", "", "Change the client default topic", ""},
    {"&Version", "VersionKovo", "", "Display Kovo Client version", ""},
    {"Period &Wizard", "PeriodW", "", "Invoke the Period Wizard", ""},
    {"&Report Wizard", "ReportW", "", "Invoke the Report Wizard", ""},
    {"&Budget Write Back", "Budget", "", "Invoke Budget Write-back", ""},
    {"&Zero Suppress", "ZeroSuppress", "", "Hide rows containing only zeros", ""},
    {"&Analyze", "Analyze", "", "Analyze this spreadsheet", ""},
    {"&Enquire", "Inquire", "", "Enquire about account balances", ""},
    {"&Migrate Kovo V5", "Migrate", "", "Migrate Kovo V5 formulas to V4.x", ""},
    {"To Viewer/EMail", "ToViewer", "", "Remove Kovo formulas for EMail or Viewer access", ""},
}};

const FunctionItem kItems[] = {
    {"GL", "GL", 6, 7, false},           {"NGL", "NGL", 6, 7, false},
    {"GLGroup", "GLGROUP", 6, 7, false}, {"KovoData", "GL", 6, 7, false},
    {"Desc", "DESC", 5, 6, false},       {"SDesc", "SDESC", 4, 5, false},
    {"CoData", "CODATA", 2, 3, false},   {"AcctData", "ACCTDATA", 4, 5, false},
    {"GLTran", "GLTRAN", 6, 7, false},   {"GTTran", "GTTRAN", 10, 11, false},
    {"JCTran", "JCTRAN", 8, 9, false},   {"WGL", "WGL", 7, 8, true},
    {"WDESC", "WDESC", 6, 7, true},      {"OD", "OD", 28, 0, false},
};

}  // namespace

void CountedText::set(std::string_view text) {
  bytes.fill(0);
  bytes[0] = ' ';  // the place of the length byte
  const std::size_t n = text.size() < 255 ? text.size() : 255;
  std::memcpy(bytes.data() + 1, text.data(), n);
}

void CountedText::recount() {
  const std::size_t n = std::strlen(bytes.data() + 1);
  bytes[0] = static_cast<char>(n < 255 ? n : 255);
}

RegistrationTable::RegistrationTable() {
  for (int r = 0; r < kRegistrationRows; ++r) {
    const Row& row = kRows[r];
    const char* texts[kRegistrationColumns] = {row.procedure, row.type, row.function, row.arguments, row.macro_type,
                                               "Kovo", "", "", ""};
    for (int c = 0; c < kRegistrationColumns; ++c) cells_[r][c].set(texts[c]);
  }
}

void RegistrationTable::recompute_lengths(bool volatile_functions) {
  for (auto& row : cells_)
    for (auto& cell : row) cell.recount();
  if (volatile_functions) return;
  for (auto& row : cells_) {
    const std::string_view type = row[kTypeText].text();
    const std::size_t bang = type.find('!');
    if (bang != std::string_view::npos) row[kTypeText].bytes[0] = static_cast<char>(bang);
  }
}

std::optional<int> RegistrationTable::find_procedure(std::string_view name) const {
  for (int r = 0; r < kRegistrationRows; ++r)
    if (server::equal_nocase(text(r, kProcedure), name)) return r;
  return std::nullopt;
}

std::vector<std::string_view> worksheet_function_names() {
  std::vector<std::string_view> names;
  for (const Row& row : kRows)
    if (std::string_view(row.macro_type) == "1") names.emplace_back(row.function);
  return names;
}

const std::array<MenuRow, kMenuRows>& menu_table() { return kMenu; }

const FunctionItem* function_item(std::string_view procedure) {
  for (const auto& item : kItems)
    if (server::equal_nocase(item.procedure, procedure)) return &item;
  return nullptr;
}

}  // namespace kovo::addin
