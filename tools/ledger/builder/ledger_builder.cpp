#include "tools/ledger/builder/ledger_builder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <map>
#include <set>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "data/entities_file.h"
#include "data/layouts.h"
#include "recman/file_spec.h"

namespace kovo::ledger {
namespace {

using json = nlohmann::json;
using layout::Date;

// A refusal: where it happened and why.
struct Refusal : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void refuse(const std::string& where, const std::string& why) { throw Refusal(where + ": " + why); }

void only_members(const json& object, const std::string& where, std::initializer_list<const char*> allowed) {
  if (!object.is_object()) refuse(where, "must be an object");
  for (auto it = object.begin(); it != object.end(); ++it)
    if (std::find_if(allowed.begin(), allowed.end(), [&](const char* a) { return it.key() == a; }) == allowed.end())
      refuse(where, "unknown member \"" + it.key() + "\"");
}

const json& required(const json& o, const char* name, const std::string& where) {
  if (!o.contains(name)) refuse(where, "member \"" + std::string(name) + "\" is missing");
  return o.at(name);
}

std::string text(const json& o, const char* name, const std::string& where, std::size_t max,
                 std::optional<std::string> fallback = std::nullopt) {
  if (!o.contains(name)) {
    if (fallback) return *fallback;
    required(o, name, where);
  }
  const json& v = o.at(name);
  if (!v.is_string()) refuse(where, "member \"" + std::string(name) + "\" must be text");
  std::string s = v.get<std::string>();
  if (s.size() > max) refuse(where, "member \"" + std::string(name) + "\" is longer than " + std::to_string(max) + " characters");
  // the record fields end at a zero byte, and the connector's lists and
  // answers use tabs and line ends as separators
  for (const char ch : s)
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F)
      refuse(where, "member \"" + std::string(name) + "\" holds the control character " +
                        std::to_string(static_cast<unsigned char>(ch)) + (ch == 0 ? " (NUL)" : ""));
  return s;
}

// Characters an account code or segment value may not hold: the specifier
// language's own and the request separator.
constexpr const char* kSpecifierCharacters = " *?~.,()^;-";

// A company id names a folder of the system directory, a key of the company
// file and a member of company specifiers: letters, digits and a few marks.
bool valid_id(const std::string& id) {
  if (id.empty() || id.size() > 6) return false;
  return std::all_of(id.begin(), id.end(), [](char ch) {
    const unsigned char u = static_cast<unsigned char>(ch);
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
           std::string_view("_-&#$!@%").find(ch) != std::string_view::npos;
  });
}

// The data directory as stored: ".\NAME" (or ".\A\B"), relative to the
// system directory; every part a plain folder name.
void check_data_directory(const std::string& dir, const std::string& where) {
  const auto bad = [&](const std::string& why) {
    refuse(where, "member \"dataDirectory\" \"" + dir + "\" " + why);
  };
  if (dir.empty()) refuse(where, "member \"dataDirectory\" is empty; give a folder such as \".\\NAME\"");
  if (dir.front() != '.')
    bad("must lie inside the system directory, written from \".\\\" (for instance \".\\NAME\")");
  const std::size_t rest = dir.find_first_not_of(".\\");
  if (rest == std::string::npos) bad("names the system directory itself");
  if (dir.compare(0, 2, ".\\") != 0) bad("must begin with \".\\\" and a folder name");
  std::size_t start = 2;
  for (;;) {
    const std::size_t cut = dir.find('\\', start);
    const std::string part = dir.substr(start, cut == std::string::npos ? std::string::npos : cut - start);
    if (cut == std::string::npos && part.empty() && start > 2) break;  // a trailing backslash
    if (part.empty() || part.front() == '.' || part.back() == '.' ||
        part.find_first_of("<>:\"/|?* ") != std::string::npos)
      bad("holds the folder name \"" + part + "\", which is not a plain folder name");
    if (cut == std::string::npos) break;
    start = cut + 1;
  }
}

long long integer(const json& o, const char* name, const std::string& where, long long lo, long long hi,
                  std::optional<long long> fallback = std::nullopt) {
  if (!o.contains(name)) {
    if (fallback) return *fallback;
    required(o, name, where);
  }
  const json& v = o.at(name);
  if (!v.is_number_integer()) refuse(where, "member \"" + std::string(name) + "\" must be a whole number");
  const long long n = v.get<long long>();
  if (n < lo || n > hi) refuse(where, "member \"" + std::string(name) + "\" must lie from " + std::to_string(lo) + " to " + std::to_string(hi));
  return n;
}

double amount(const json& v, const std::string& where, const char* name) {
  if (!v.is_number()) refuse(where, "member \"" + std::string(name) + "\" must hold numbers");
  const double d = v.get<double>();
  if (!(std::fabs(d) < 1e13)) refuse(where, "member \"" + std::string(name) + "\" holds an amount out of range");
  return d;
}

bool flag(const json& o, const char* name, const std::string& where, bool fallback) {
  if (!o.contains(name)) return fallback;
  if (!o.at(name).is_boolean()) refuse(where, "member \"" + std::string(name) + "\" must be true or false");
  return o.at(name).get<bool>();
}

Date date(const json& o, const char* name, const std::string& where, bool optional_member = false) {
  if (optional_member && !o.contains(name)) return {};
  const std::string s = text(o, name, where, 10);
  const auto bad = [&] { refuse(where, "member \"" + std::string(name) + "\" is not a date YYYY-MM-DD: \"" + s + "\""); };
  if (s.empty() && optional_member) return {};
  if (s.size() != 10 || s[4] != '-' || s[7] != '-') bad();
  for (const int i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (s[i] < '0' || s[i] > '9') bad();
  const Date d{std::stoi(s.substr(8, 2)), std::stoi(s.substr(5, 2)), std::stoi(s.substr(0, 4))};
  if (d.year < 1900 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > layout::days_in_month(d.month, d.year)) bad();
  return d;
}

// ---------------------------------------------------------------- the model

struct Company {
  layout::CompanyRecord master;
  std::string data_directory_path;  // where the files go
  int data_version = 8;
  std::string transaction_base = "gl_trx";
  std::string accounts_file = "glacct.dat";
  std::string balances_file = "glperiod.dat";
  bool calendar_in_system = false;
  std::vector<int> widths;
  std::vector<layout::CalendarRecord> calendar;
  std::vector<layout::AccountRecord> accounts;
  std::vector<layout::BalanceRecord> balances;
  std::vector<layout::TransactionRecord> current, history;
  std::vector<layout::SegmentRecord> segments;
  // The company's financial entities file, written into its data directory
  // when the description gives one.
  bool has_entities = false;
  std::vector<entities::Record> entities;
};

std::vector<int> structure_widths(const std::string& structure, const std::string& where) {
  std::vector<int> widths;
  std::size_t start = 0;
  for (;;) {
    const std::size_t sep = structure.find_first_of("-./", start);
    const std::size_t w = (sep == std::string::npos ? structure.size() : sep) - start;
    if (w == 0) refuse(where, "member \"accountStructure\" has an empty segment");
    widths.push_back(static_cast<int>(w));
    if (sep == std::string::npos) break;
    start = sep + 1;
  }
  if (widths.size() > 10) refuse(where, "member \"accountStructure\" has more than 10 segments");
  int total = 0;
  for (const int w : widths) total += w;
  if (total > layout::kAccountCodeWidth) refuse(where, "member \"accountStructure\" is longer than 25 characters");
  return widths;
}

// "1000-10" in the structure's widths, run together.
std::string account_code(const std::string& written, const std::vector<int>& widths, const std::string& where,
                         const char* member) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t sep = written.find('-', start);
    parts.push_back(written.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
    if (sep == std::string::npos) break;
    start = sep + 1;
  }
  if (parts.size() != widths.size())
    refuse(where, "member \"" + std::string(member) + "\" \"" + written + "\" does not have the " +
                      std::to_string(widths.size()) + " segments of the account structure");
  std::string code;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (static_cast<int>(parts[i].size()) != widths[i] || parts[i].find_first_of(kSpecifierCharacters) != std::string::npos)
      refuse(where, "member \"" + std::string(member) + "\" \"" + written + "\": segment " + std::to_string(i + 1) +
                        " must be " + std::to_string(widths[i]) + " characters");
    code += parts[i];
  }
  return code;
}

std::array<double, layout::kPeriods> amounts(const json& o, const char* name, const std::string& where) {
  std::array<double, layout::kPeriods> a{};
  if (!o.contains(name)) return a;
  const json& list = o.at(name);
  if (!list.is_array() || list.size() > layout::kPeriods)
    refuse(where, "member \"" + std::string(name) + "\" must be a list of at most 13 amounts");
  for (std::size_t i = 0; i < list.size(); ++i) a[i] = amount(list[i], where, name);
  return a;
}

char one_char(const json& o, const char* name, const std::string& where, char fallback) {
  const std::string s = text(o, name, where, 1, std::string(1, fallback));
  return s.empty() ? ' ' : s[0];
}

Company read_company(const json& c, std::size_t index, const std::string& system_dir) {
  const std::string at = "companies[" + std::to_string(index) + "]";
  only_members(c, at, {"id", "name", "dataDirectory", "accountStructure", "segmentNames", "currentYear",
                       "currentPeriod", "mainSegment", "dataVersion", "transactionFiles", "accountsFile",
                       "balancesFile", "calendarIn", "calendar", "accounts", "balances", "transactions",
                       "segments", "entities"});
  Company co;
  co.master.id = text(c, "id", at, 6);
  if (!valid_id(co.master.id))
    refuse(at, "member \"id\" \"" + co.master.id + "\" must be 1 to 6 letters, digits or the marks _-&#$!@%");
  const std::string where = "company " + co.master.id;
  co.master.name = text(c, "name", where, 71);
  co.master.data_directory = text(c, "dataDirectory", where, 260);
  check_data_directory(co.master.data_directory, where);
  co.master.account_structure = text(c, "accountStructure", where, 55);
  co.widths = structure_widths(co.master.account_structure, where);
  const json& names = required(c, "segmentNames", where);
  if (!names.is_array() || names.size() > 10) refuse(where, "member \"segmentNames\" must be a list of at most 10 names");
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!names[i].is_string() || names[i].get<std::string>().size() > 12)
      refuse(where, "member \"segmentNames\" holds a name that is not text of at most 12 characters");
    json holder = {{"segmentNames", names[i]}};
    co.master.segment_names[i] = text(holder, "segmentNames", where, 12);
  }
  co.master.current_year = static_cast<int>(integer(c, "currentYear", where, 0, 2999));
  co.master.current_period = static_cast<int>(integer(c, "currentPeriod", where, 0, 13));
  co.master.main_segment =
      static_cast<int>(integer(c, "mainSegment", where, 1, static_cast<long long>(co.widths.size()))) - 1;
  co.data_version = static_cast<int>(integer(c, "dataVersion", where, 7, 8));
  co.transaction_base = text(c, "transactionFiles", where, 8);
  if (co.transaction_base != "gl_trx" && co.transaction_base != "gl_trx2" && co.transaction_base != "gl_trx3")
    refuse(where, "member \"transactionFiles\" must be \"gl_trx\", \"gl_trx2\" or \"gl_trx3\"");
  co.accounts_file = text(c, "accountsFile", where, 12, std::string("glacct.dat"));
  if (co.accounts_file != "glacct.dat" && co.accounts_file != "gl_acct.dat")
    refuse(where, "member \"accountsFile\" must be \"glacct.dat\" or \"gl_acct.dat\"");
  co.balances_file = text(c, "balancesFile", where, 12, std::string("glperiod.dat"));
  if (co.balances_file != "glperiod.dat" && co.balances_file != "gl_prd.dat")
    refuse(where, "member \"balancesFile\" must be \"glperiod.dat\" or \"gl_prd.dat\"");
  const std::string calendar_in = text(c, "calendarIn", where, 6, std::string("data"));
  if (calendar_in != "data" && calendar_in != "system") refuse(where, "member \"calendarIn\" must be \"data\" or \"system\"");
  co.calendar_in_system = calendar_in == "system";

  co.data_directory_path = layout::resolve_data_directory(co.master.data_directory, system_dir);

  std::set<int> years;
  const json& calendar = required(c, "calendar", where);
  if (!calendar.is_array()) refuse(where, "member \"calendar\" must be a list");
  for (std::size_t i = 0; i < calendar.size(); ++i) {
    const std::string w = where + ", calendar[" + std::to_string(i) + "]";
    const json& y = calendar[i];
    only_members(y, w, {"year", "periods", "periodEnds", "flag", "originalBudgetLocked", "budgetTransactions"});
    layout::CalendarRecord r;
    r.year = static_cast<int>(integer(y, "year", w, 1900, 2999));
    if (!years.insert(r.year).second) refuse(w, "member \"year\" " + std::to_string(r.year) + " is given twice");
    r.periods = static_cast<int>(integer(y, "periods", w, 1, 13));
    const json& ends = required(y, "periodEnds", w);
    if (!ends.is_array() || static_cast<int>(ends.size()) != r.periods)
      refuse(w, "member \"periodEnds\" must hold one date for each of the " + std::to_string(r.periods) + " periods");
    for (int p = 0; p < r.periods; ++p) {
      json holder = {{"periodEnds", ends[p]}};
      r.period_end[p] = date(holder, "periodEnds", w);
      if (p > 0 && r.period_end[p].number() <= r.period_end[p - 1].number())
        refuse(w, "member \"periodEnds\" must rise from period to period");
    }
    r.flag = static_cast<std::uint8_t>(integer(y, "flag", w, 0, 255, 1));
    r.original_budget_locked = flag(y, "originalBudgetLocked", w, false);
    r.budget_transactions = flag(y, "budgetTransactions", w, false);
    co.calendar.push_back(r);
  }

  std::map<std::string, std::string> account_types;
  if (c.contains("accounts")) {
    const json& list = c.at("accounts");
    if (!list.is_array()) refuse(where, "member \"accounts\" must be a list");
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string w = where + ", accounts[" + std::to_string(i) + "]";
      only_members(list[i], w, {"code", "description", "type"});
      layout::AccountRecord a;
      const std::string written = text(list[i], "code", w, 40);
      a.code = account_code(written, co.widths, w, "code");
      a.description = text(list[i], "description", w, 60, std::string());
      a.type = text(list[i], "type", w, 3);
      if (a.type.size() != 3 || !std::all_of(a.type.begin(), a.type.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
        refuse(w, "member \"type\" must be three digits");
      if (!account_types.emplace(a.code, a.type).second) refuse(w, "account " + written + " is given twice");
      co.accounts.push_back(a);
    }
  }

  std::set<std::pair<std::string, int>> balance_keys;
  if (c.contains("balances")) {
    const json& list = c.at("balances");
    if (!list.is_array()) refuse(where, "member \"balances\" must be a list");
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string w = where + ", balances[" + std::to_string(i) + "]";
      const json& b = list[i];
      only_members(b, w, {"account", "year", "opening", "actual", "budget", "revisedBudget"});
      layout::BalanceRecord r;
      const std::string written = text(b, "account", w, 40);
      r.code = account_code(written, co.widths, w, "account");
      if (!account_types.count(r.code)) refuse(w, "member \"account\" " + written + " is not in the accounts");
      r.year = static_cast<int>(integer(b, "year", w, 1900, 2999));
      if (!balance_keys.emplace(r.code, r.year).second)
        refuse(w, "a balance of " + written + " for " + std::to_string(r.year) + " is given twice");
      r.opening = b.contains("opening") ? amount(b.at("opening"), w, "opening") : 0.0;
      const auto actual = amounts(b, "actual", w);
      const auto budget = amounts(b, "budget", w);
      const auto revised = amounts(b, "revisedBudget", w);
      double running = r.opening, budget_to_date = 0, revised_to_date = 0;
      for (int p = 0; p < layout::kPeriods; ++p) {
        running += actual[p];
        budget_to_date += budget[p];
        revised_to_date += revised[p];
        r.actual[p] = {actual[p], running};
        r.budget[p] = {budget[p], budget_to_date};
        r.revised[p] = {revised[p], revised_to_date};
      }
      r.budget_total = budget_to_date;
      r.revised_total = revised_to_date;
      co.balances.push_back(r);
    }
  }

  if (c.contains("transactions")) {
    const json& list = c.at("transactions");
    if (!list.is_array()) refuse(where, "member \"transactions\" must be a list");
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string w = where + ", transactions[" + std::to_string(i) + "]";
      const json& t = list[i];
      only_members(t, w, {"account", "date", "amount", "posted", "status", "type", "journal", "batch", "document",
                          "description", "createUser", "updateUser", "createDate", "job", "costType", "costCode",
                          "grant", "coe", "fundSource", "program", "activity", "history"});
      layout::TransactionRecord r;
      const std::string written = text(t, "account", w, 40);
      r.account = account_code(written, co.widths, w, "account");
      if (!account_types.count(r.account)) refuse(w, "member \"account\" " + written + " is not in the accounts");
      r.date = date(t, "date", w);
      r.amount = amount(required(t, "amount", w), w, "amount");
      r.posted = flag(t, "posted", w, true);
      r.status = one_char(t, "status", w, 'P');
      r.type = one_char(t, "type", w, 'G');
      r.journal = text(t, "journal", w, 7, std::string("GJ"));
      r.batch = static_cast<std::int32_t>(integer(t, "batch", w, 0, 2147483647, 0));
      r.document = text(t, "document", w, 20, std::string());
      r.description = text(t, "description", w, 30, std::string());
      r.create_user = text(t, "createUser", w, 3, std::string());
      r.update_user = text(t, "updateUser", w, 3, std::string());
      r.create_date = t.contains("createDate") ? date(t, "createDate", w) : r.date;
      r.job = text(t, "job", w, 11, std::string());
      r.cost_type = static_cast<int>(integer(t, "costType", w, 0, 32767, 0));
      r.cost_code = text(t, "costCode", w, 11, std::string());
      r.grant = text(t, "grant", w, 7, std::string());
      r.coe = text(t, "coe", w, 3, std::string());
      r.fund_source = text(t, "fundSource", w, 7, std::string());
      r.program = text(t, "program", w, 7, std::string());
      r.activity = text(t, "activity", w, 7, std::string());
      auto& target = flag(t, "history", w, false) ? co.history : co.current;
      r.sequence = static_cast<std::uint32_t>(target.size() + 1);
      target.push_back(r);
    }
  }

  std::set<std::pair<int, std::string>> segment_keys;
  if (c.contains("segments")) {
    const json& list = c.at("segments");
    if (!list.is_array()) refuse(where, "member \"segments\" must be a list");
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string w = where + ", segments[" + std::to_string(i) + "]";
      only_members(list[i], w, {"segment", "value", "description"});
      layout::SegmentRecord r;
      r.segment = static_cast<int>(integer(list[i], "segment", w, 1, static_cast<long long>(co.widths.size()))) - 1;
      r.value = text(list[i], "value", w, static_cast<std::size_t>(co.widths[r.segment]));
      if (r.value.empty() || r.value.find_first_of(kSpecifierCharacters) != std::string::npos)
        refuse(w, "member \"value\" \"" + r.value + "\" must be a segment value without blanks or the marks " +
                      std::string(kSpecifierCharacters + 1));
      r.description = text(list[i], "description", w, 31, std::string());
      if (!segment_keys.emplace(r.segment, r.value).second) refuse(w, "segment value " + r.value + " is given twice");
      co.segments.push_back(r);
    }
  }
  if (c.contains("entities")) {
    const json& list = c.at("entities");
    if (!list.is_array()) refuse(where, "member \"entities\" must be a list");
    co.has_entities = true;
    std::set<std::pair<int, std::string>> names;
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string w = where + ", entities[" + std::to_string(i) + "]";
      const json& e = list[i];
      const int segment =
          static_cast<int>(integer(e, "segment", w, 1, static_cast<long long>(co.widths.size())));
      if (e.contains("entity")) {
        only_members(e, w, {"segment", "entity", "specifier"});
        const std::string name = text(e, "entity", w, entities::kNameLimit);
        const std::string spec = text(e, "specifier", w, entities::kSpecifierLimit);
        if (name.empty() || spec.empty()) refuse(w, "an entity needs a name and a specifier");
        std::string folded = name;
        for (char& ch : folded) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (!names.emplace(segment, folded).second) refuse(w, "entity " + name + " is given twice");
        co.entities.push_back(entities::entity_record(segment, name, spec));
      } else {
        only_members(e, w, {"segment", "value", "description"});
        const std::string value = text(e, "value", w, static_cast<std::size_t>(co.widths[segment - 1]));
        if (value.empty()) refuse(w, "member \"value\" must not be empty");
        co.entities.push_back(entities::value_record(segment, value, text(e, "description", w, entities::kNameLimit,
                                                                            std::string())));
      }
    }
  }
  return co;
}

// ---------------------------------------------------------------- writing

class Writer {
 public:
  Writer(recman::BtrCallFn call, BuildResult& result, FolderForm folder_form)
      : call_(call), result_(result), folder_form_(folder_form) {}

  void write_file(const std::string& given_path, const recman::FileSpec& file, const std::vector<layout::Bytes>& records) {
    const std::size_t slash = given_path.find_last_of('\\');
    const std::string folder = given_path.substr(0, slash);
    std::filesystem::create_directories(native_path(folder));
    written.push_back(given_path);
    const std::string path = folder_form_ ? folder_form_(folder) + given_path.substr(slash) : given_path;
    if (path.find(' ') != std::string::npos) throw Refusal("the path " + given_path + " holds a blank");
    std::vector<std::uint8_t> spec_bytes = recman::encode_file_spec(file, 0);
    char key[256] = {};
    std::copy_n(path.c_str(), std::min<std::size_t>(path.size(), sizeof key - 1), key);
    std::uint32_t length = static_cast<std::uint32_t>(spec_bytes.size());
    unsigned char block[recman::kPositionBlockSize] = {};
    check(call_(recman::kCreate, block, spec_bytes.data(), &length, key, 255, 0), "create", path);
    check(call_(recman::kOpen, block, nullptr, &(length = 0), key, 255, 0), "open", path);
    for (const auto& r : records) {
      layout::Bytes data = r;
      std::uint32_t size = static_cast<std::uint32_t>(data.size());
      unsigned char key_buffer[256] = {};
      const short status = call_(recman::kInsert, block, data.data(), &size, key_buffer, 255, 0);
      if (status != 0) {
        call_(recman::kClose, block, nullptr, &(length = 0), nullptr, 0, 0);
        check(status, "insert", path);
      }
      ++result_.records;
    }
    check(call_(recman::kClose, block, nullptr, &(length = 0), nullptr, 0, 0), "close", path);
    ++result_.files;
  }

  // A folder that holds no file of the ledger, listed with its closing backslash.
  void make_folder(const std::string& folder) {
    std::filesystem::create_directories(native_path(folder));
    written.push_back(folder.back() == '\\' ? folder : folder + "\\");
  }

  // Every file written or begun, and every folder made without a file, as
  // given (under the staging folder).
  std::vector<std::string> written;

 private:
  static void check(short status, const char* what, const std::string& path) {
    if (status != 0)
      throw Refusal("record manager status " + std::to_string(status) + " on " + what + " of " + path);
  }
  recman::BtrCallFn call_;
  BuildResult& result_;
  FolderForm folder_form_;
};

template <typename T, typename Encode>
std::vector<layout::Bytes> encoded(const std::vector<T>& records, Encode encode) {
  std::vector<layout::Bytes> out;
  out.reserve(records.size());
  for (const auto& r : records) out.push_back(encode(r));
  return out;
}

void write_company(Writer& w, const Company& co, const std::string& system_dir) {
  const std::string data = co.data_directory_path + (co.data_directory_path.empty() || co.data_directory_path.back() == '\\' ? "" : "\\");
  const std::string company_folder = system_dir + "\\" + co.master.id + "\\";
  w.write_file((co.calendar_in_system ? company_folder : data) + "smperiod.dat", layout::calendar_spec(),
               encoded(co.calendar, layout::encode_calendar));
  w.write_file(data + co.accounts_file, layout::account_spec(), encoded(co.accounts, layout::encode_account));
  w.write_file(data + co.balances_file, layout::balance_spec(), encoded(co.balances, layout::encode_balance));
  const bool v3 = co.transaction_base == "gl_trx3";
  const auto encode_tx = [v3](const layout::TransactionRecord& r) { return layout::encode_transaction(r, v3); };
  w.write_file(data + co.transaction_base + ".dat", layout::transaction_spec(v3), encoded(co.current, encode_tx));
  w.write_file(data + co.transaction_base + "h.dat", layout::transaction_spec(v3), encoded(co.history, encode_tx));
  w.write_file(data + "gl_seg.dat", layout::segment_spec(), encoded(co.segments, layout::encode_segment));
  if (co.has_entities)
    w.write_file(data + co.master.id + ".sad", entities::file_spec(), encoded(co.entities, [](const entities::Record& r) {
                   const entities::RecordBytes bytes = entities::encode(r);
                   return layout::Bytes(bytes.begin(), bytes.end());
                 }));
  if (co.data_version == 8)
    w.write_file(company_folder + "gl_cfg135.dat", layout::version_probe_spec(), {layout::encode_version_probe()});
  else
    w.make_folder(company_folder);
}

std::string trimmed_folder(std::string dir) {
  while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
}

namespace fs = std::filesystem;

bool standard_link_test(const std::string& path) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(native_path(path), ec));
}

// Whether a path or any folder between root and it is a link.
bool through_link(const std::string& root, const std::string& relative, LinkTest is_link) {
  if (is_link(root)) return true;
  std::string path = root;
  std::size_t start = 0;
  for (;;) {
    const std::size_t cut = relative.find('\\', start);
    path += "\\" + relative.substr(start, cut == std::string::npos ? std::string::npos : cut - start);
    if (is_link(path)) return true;
    if (cut == std::string::npos) return false;
    start = cut + 1;
  }
}

// Removes the files of a ledger (paths relative to root) with the record
// manager's side files, then the folders they leave empty; never through a
// link, and nothing else. True when root is gone afterwards.
bool remove_ledger_files(const std::string& root, const std::vector<std::string>& files, LinkTest is_link) {
  std::error_code ec;
  std::set<std::string, std::greater<>> folders;  // deepest first
  for (const auto& relative : files) {
    if (relative.empty() || relative.find("..") != std::string::npos || through_link(root, relative, is_link))
      continue;
    if (relative.back() == '\\') {
      folders.insert(relative.substr(0, relative.size() - 1));
      continue;
    }
    for (const char* suffix : {"", "-wal", "-shm", "-journal", ".~new"})
      fs::remove(native_path(root + "\\" + relative + suffix), ec);
    for (std::size_t cut = relative.rfind('\\'); cut != std::string::npos && cut > 0; cut = relative.rfind('\\', cut - 1))
      folders.insert(relative.substr(0, cut));
  }
  for (const auto& folder : folders) fs::remove(native_path(root + "\\" + folder), ec);  // only when empty
  fs::remove(native_path(root + "\\" + kLedgerMarker), ec);
  fs::remove(native_path(root), ec);
  return !fs::exists(native_path(root), ec);
}

// The files a ledger folder's marker lists, or nothing when it has none.
std::optional<std::vector<std::string>> marker_files(const std::string& folder, LinkTest is_link) {
  const std::string marker = folder + "\\" + kLedgerMarker;
  if (is_link(marker)) return std::nullopt;
  std::ifstream in(native_path(marker), std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line) || line != "kovo-ledger") return std::nullopt;
  std::vector<std::string> files;
  while (std::getline(in, line))
    if (!line.empty()) files.push_back(line);
  return files;
}

void write_marker(const std::string& staging, const std::vector<std::string>& written) {
  std::ofstream out(native_path(staging + "\\" + kLedgerMarker), std::ios::binary);
  out << "kovo-ledger\n";
  for (const auto& path : written) out << path.substr(staging.size() + 1) << "\n";
  if (!out.flush()) throw Refusal("could not write " + staging + "\\" + kLedgerMarker);
}

// A sibling of path that does not exist yet, claimed by creating it as a
// folder when create is set.
std::string fresh_sibling(const std::string& path, const std::string& suffix, bool create) {
  for (int n = 1; n < 1000; ++n) {
    const std::string candidate = path + suffix + (n == 1 ? std::string() : std::to_string(n));
    std::error_code ec;
    if (create) {
      if (fs::create_directory(native_path(candidate), ec)) return candidate;
    } else if (!fs::exists(native_path(candidate), ec) && !fs::is_symlink(fs::symlink_status(native_path(candidate), ec))) {
      return candidate;
    }
  }
  throw Refusal("no free folder name beside " + path);
}

// The files a target holds that are to be moved aside: those its marker
// lists (with the record manager's side files) for a ledger of the builder's
// own, every file for a foreign folder, never through a link.
std::vector<std::string> files_to_move(const std::string& system_dir, bool own, LinkTest is_link) {
  std::vector<std::string> paths;
  if (own) {
    for (const auto& relative : marker_files(system_dir, is_link).value_or(std::vector<std::string>{})) {
      if (relative.empty() || relative.back() == '\\' || relative.find("..") != std::string::npos ||
          through_link(system_dir, relative, is_link))
        continue;
      for (const char* suffix : {"", "-wal", "-shm"}) paths.push_back(system_dir + "\\" + relative + suffix);
    }
    return paths;
  }
  std::error_code ec;
  fs::recursive_directory_iterator walk(native_path(system_dir), fs::directory_options::none, ec);
  for (; !ec && walk != fs::recursive_directory_iterator(); walk.increment(ec)) {
    if (paths.size() >= kMaxFilesExamined)
      throw Refusal("the target " + system_dir + " holds more than " + std::to_string(kMaxFilesExamined) +
                    " files; it is left as it is");
    const auto status = walk->symlink_status(ec);
    if (fs::is_symlink(status) || is_link(walk->path().string())) {
      walk.disable_recursion_pending();
      continue;
    }
    if (fs::is_regular_file(status)) paths.push_back(walk->path().string());
  }
  return paths;
}

// Refuses to move a target aside while another program reads it.
void refuse_when_in_use(const std::string& system_dir, bool own, LinkTest is_link, InUseTest in_use) {
  if (!in_use) return;
  for (const auto& path : files_to_move(system_dir, own, is_link)) {
    std::error_code ec;
    if (!fs::exists(native_path(path), ec) || !in_use(path)) continue;
    throw Refusal("the ledger in " + system_dir + " is in use: " + path +
                  " is held open by another program (a running Kovo server, for one); close that program and "
                  "build again. Nothing was changed");
  }
}

enum class Target { Absent, Empty, OwnLedger, Foreign };

Target examine_target(const std::string& system_dir, LinkTest is_link, std::string& what) {
  std::error_code ec;
  const fs::path native = native_path(system_dir);
  if (is_link(system_dir)) {
    what = "is a link";
    return Target::Foreign;
  }
  const auto status = fs::symlink_status(native, ec);
  if (!fs::exists(status)) return Target::Absent;
  if (!fs::is_directory(status)) {
    what = "is a file, not a folder";
    return Target::Foreign;
  }
  if (fs::is_empty(native, ec) && !ec) return Target::Empty;
  if (marker_files(system_dir, is_link)) return Target::OwnLedger;
  what = "is a folder that holds other files than a ledger this tool built";
  return Target::Foreign;
}

}  // namespace

std::string native_path(std::string path) {
#ifndef _WIN32
  std::replace(path.begin(), path.end(), '\\', '/');
#endif
  return path;
}

BuildResult build_ledger(std::string_view description_json, const std::string& system_dir_given,
                         recman::BtrCallFn call, FolderForm folder_form, BuildOptions options) {
  BuildResult result;
  const LinkTest is_link = options.is_link ? options.is_link : &standard_link_test;
  const std::string system_dir = trimmed_folder(system_dir_given);
  std::string staging;
  std::vector<std::string> written;
  const auto stop_files = [&] {
    std::uint32_t none = 0;
    call(recman::kStop, nullptr, nullptr, &none, nullptr, 0, 0);
  };
  const auto drop_staging = [&] {
    if (staging.empty()) return;
    std::vector<std::string> relative;
    for (const auto& path : written) relative.push_back(path.substr(staging.size() + 1));
    remove_ledger_files(staging, relative, is_link);
    // the staging folder was made by this build and holds only what it wrote
    std::error_code ec;
    if (!is_link(staging)) fs::remove_all(native_path(staging), ec);
  };
  try {
    if (system_dir.empty()) throw Refusal("the system directory is not named");
    json description;
    try {
      description = json::parse(description_json);
    } catch (const json::parse_error& e) {
      throw Refusal(std::string("description: not valid JSON: ") + e.what());
    }
    only_members(description, "description", {"companyFile", "companies"});
    const std::string company_file = text(description, "companyFile", "description", 12);
    const auto names = layout::file_names(layout::FileKind::CompanyMaster);
    if (std::find(names.begin(), names.end(), company_file) == names.end())
      refuse("description", "member \"companyFile\" must be \"sm_cmpny.dat\", \"sm_cmpy2.dat\" or \"sm_cmpy6.dat\"");
    const json& list = required(description, "companies", "description");
    if (!list.is_array() || list.empty()) refuse("description", "member \"companies\" must be a list of companies");

    // the staging name is only a placeholder while the description is read
    const std::string placeholder = system_dir + ".~building";
    std::vector<Company> companies;
    std::set<std::string> ids;
    for (std::size_t i = 0; i < list.size(); ++i) {
      companies.push_back(read_company(list[i], i, placeholder));
      std::string folded = companies.back().master.id;
      for (char& ch : folded) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (!ids.insert(folded).second) refuse("company " + companies.back().master.id, "the id is given twice");
      companies.back().master.sequence = static_cast<std::uint32_t>(i + 1);
    }

    std::string what;
    const Target target = examine_target(system_dir, is_link, what);
    if (target == Target::Foreign && !options.replace)
      throw Refusal("the target " + system_dir + " " + what +
                    "; it is left as it is (build with --replace to build there anyway: the old contents are "
                    "then moved aside, not deleted)");

    const bool moves_aside = target == Target::OwnLedger || target == Target::Foreign;
    if (moves_aside) refuse_when_in_use(system_dir, target == Target::OwnLedger, is_link, options.in_use);

    // a target in a place that does not exist yet gets the folders above it
    {
      std::error_code ec;
      const fs::path parent = fs::path(native_path(system_dir)).parent_path();
      if (!parent.empty() && !fs::exists(parent, ec)) fs::create_directories(parent, ec);
    }
    staging = fresh_sibling(system_dir, ".~building", true);
    for (auto& co : companies)
      co.data_directory_path = layout::resolve_data_directory(co.master.data_directory, staging);
    Writer writer(call, result, folder_form);
    const auto layout_kind = layout::company_layout_of(company_file);
    std::vector<layout::Bytes> masters;
    for (const auto& co : companies) masters.push_back(layout::encode_company(co.master, layout_kind));
    try {
      writer.write_file(staging + "\\" + company_file, layout::company_spec(layout_kind), masters);
      for (const auto& co : companies) write_company(writer, co, staging);
    } catch (...) {
      written = writer.written;
      throw;
    }
    written = writer.written;
    for (const auto& path : written)
      if (path.compare(0, staging.size() + 1, staging + "\\") != 0 || path.find("\\..") != std::string::npos)
        throw Refusal("the path " + path + " lies outside the system directory");
    stop_files();
    write_marker(staging, written);

    // the swap: the old target moves aside, the new ledger takes its name;
    // once more not while another program took to reading it meanwhile
    if (moves_aside) refuse_when_in_use(system_dir, target == Target::OwnLedger, is_link, options.in_use);
    std::error_code ec;
    std::string aside;
    if (target != Target::Absent) {
      aside = fresh_sibling(system_dir, target == Target::Foreign ? ".~replaced" : ".~previous", false);
      fs::rename(native_path(system_dir), native_path(aside), ec);
      if (ec) throw Refusal("could not move " + system_dir + " aside: " + ec.message());
    }
    fs::rename(native_path(staging), native_path(system_dir), ec);
    if (ec) {
      std::error_code ignored;
      if (!aside.empty()) fs::rename(native_path(aside), native_path(system_dir), ignored);
      throw Refusal("could not move the built directory into place: " + ec.message());
    }
    staging.clear();
    result.ok = true;
    if (target == Target::Empty) {
      fs::remove(native_path(aside), ec);
    } else if (target == Target::OwnLedger) {
      const auto old_files = marker_files(aside, is_link);
      if (!old_files || !remove_ledger_files(aside, *old_files, is_link))
        result.note = "files not written by this tool were kept in " + aside;
    } else if (target == Target::Foreign) {
      result.note = "the previous " + system_dir + " was moved to " + aside;
    }
  } catch (const Refusal& r) {
    result.error = r.what();
    stop_files();
    drop_staging();
  } catch (const std::exception& e) {
    result.error = std::string("building failed: ") + e.what();
    stop_files();
    drop_staging();
  }
  return result;
}

}  // namespace kovo::ledger
