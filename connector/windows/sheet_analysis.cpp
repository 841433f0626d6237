#include "windows/sheet_analysis.h"

#include <algorithm>

#include "data/companies.h"
#include "entry/messages.h"
#include "requests/record_sources.h"
#include "specifier/account_code.h"
#include "specifier/text_util.h"

namespace kovo::analysis {
namespace {

constexpr char kEnd[] = "\r\n";
constexpr std::size_t kCodeLimit = 92;
constexpr std::size_t kDescriptionLimit = 40;

bool used(const std::vector<std::string>& used_stored, std::string_view code) {
  return std::any_of(used_stored.begin(), used_stored.end(),
                     [&](const std::string& u) { return specifier::equal_folded(u, code); });
}

}  // namespace

std::string company_analysis(std::string_view name, const std::vector<std::string>& chart,
                             const std::vector<std::string>& chart_stored,
                             const std::vector<std::string>& used_stored, const std::vector<UsedLine>& used_lines) {
  std::string text = std::string(name) + "\t" + kEnd;
  text += "The current sheet does not use the following accounts:";
  text += kEnd;
  // The maximal runs of the chart that no request read.
  std::size_t i = 0;
  while (i < chart.size()) {
    if (used(used_stored, chart_stored[i])) {
      ++i;
      continue;
    }
    const std::size_t first = i;
    while (i + 1 < chart.size() && !used(used_stored, chart_stored[i + 1])) ++i;
    text += kEnd;
    text += "From\t'" + chart[first] + "\tTo\t'" + chart[i] + kEnd;
    ++i;
  }
  text += kEnd;
  text += "The current sheet uses the following accounts:";
  text += kEnd;
  text += kEnd;
  for (const auto& line : used_lines)
    text += "'" + line.code + "\t" + line.description + "\t" + std::to_string(line.count) + kEnd;
  return text;
}

namespace {

// The chart of a company in account order: codes as shown and as stored;
// false when it could not be read.
bool read_chart(data::CompanyContext& c, std::vector<std::string>& shown, std::vector<std::string>& stored) {
  if (c.status != 0 || data::open_company_file(c, layout::FileKind::Accounts) != 0) return false;
  requests::AccountSource source(c);
  for (bool more = source.seek(0, ""); more; more = source.next()) {
    if (const auto a = layout::decode_account(source.record())) {
      stored.push_back(a->code);
      shown.push_back(specifier::hyphenated_code(a->code, c.structure).substr(0, kCodeLimit));
    }
  }
  return source.failure() == 0;
}

}  // namespace

std::string finish_analysis() {
  std::string text;
  for (data::CompanyContext* c : data::loaded_companies()) {
    if (c->used_accounts.empty()) continue;
    std::vector<data::UsedAccount> accounts = std::move(c->used_accounts);
    c->used_accounts.clear();
    std::vector<std::string> chart, chart_stored;
    if (!read_chart(*c, chart, chart_stored)) {
      clear_message();
      continue;
    }
    std::vector<std::string> used_stored;
    std::vector<UsedLine> lines;
    for (const auto& a : accounts) {
      used_stored.push_back(a.code);
      layout::AccountRecord record;
      std::string description;
      if (requests::read_account(*c, a.code, record) == 0)
        description = std::string(specifier::trim_right(record.description)).substr(0, kDescriptionLimit);
      clear_message();
      lines.push_back({specifier::hyphenated_code(a.code, c->structure).substr(0, kCodeLimit), description, a.count});
    }
    if (!text.empty()) text += kEnd;
    text += company_analysis(c->name, chart, chart_stored, used_stored, lines);
  }
  return text;
}

}  // namespace kovo::analysis
