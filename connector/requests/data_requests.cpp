#include "requests/data_requests.h"

#include <cstdlib>

#include "data/btrieve.h"
#include "data/btrieve_ops.h"
#include "data/companies.h"
#include "data/entities_file.h"
#include "entry/messages.h"
#include "entry/request_text.h"
#include "entry/settings.h"
#include "requests/field_names.h"
#include "requests/record_sources.h"
#include "specifier/account_code.h"
#include "specifier/account_walk.h"
#include "specifier/text_util.h"

namespace kovo::requests {
namespace {

constexpr int kInvalid = 4;
constexpr int kNotSupported = 32;
constexpr int kNoAccountsFound = 15;

// The failure answer of a text request: the pending message, else "ERR".
void failure_answer(std::string& result) {
  char text[kMessageBufferSize];
  result = take_message(text, sizeof text) ? text : "ERR";
}

std::string trimmed(std::string_view s) { return std::string(specifier::trim_right(s)); }

// The first account of the accounts file that the specifier matches.
int first_account(data::CompanyContext& c, const std::string& specifier, layout::AccountRecord& out) {
  if (const int status = data::open_company_file(c, layout::FileKind::Accounts); status != 0) return status;
  std::vector<std::string> list;
  if (specifier::expand_specifier(specifier, c.structure.segment_count, list, entities::lookup_for(c)) != 0) return 1;
  AccountSource source(c);
  specifier::WalkOptions options;
  options.by_year = false;
  specifier::AccountWalk walk(source, c.structure, options);
  const int status = walk.first(std::move(list), 0);
  if (status == specifier::kFound) {
    if (const auto a = layout::decode_account(source.record())) {
      out = *a;
      return 0;
    }
  }
  if (status == specifier::kFound || status == specifier::kNoMore || status == kNoAccountsFound) {
    clear_message();
    report(kNoAccountsFound, specifier);
    return kNoAccountsFound;
  }
  return status;
}

int account_field(std::string_view company_id, const std::string& specifier, int code, std::string& answer) {
  data::CompanyContext* c = data::find_or_open_company(company_id);
  if (const int status = data::company_error_check(c); status != 0) return status;
  layout::AccountRecord account;
  if (const int status = first_account(*c, specifier, account); status != 0) return status;
  switch (code) {
    case kAccountDescription: answer = trimmed(account.description); return 0;
    case kAccountType: answer = trimmed(account.type); return 0;
    case kAccountOrigin: answer = account.type.compare("300") < 0 ? "Balance Sheet" : "P/L"; return 0;
    default: report(kNotSupported); return kNotSupported;
  }
}

// The segment number of a request field, read as atoi reads it (leading
// blanks, a sign, digits); a number beyond the segments' range -- however
// large, or beyond an int of either sign -- answers as an absent segment
// does. 0 and other negatives read as 1.
int segment_number(const std::string& field) {
  std::size_t at = field.find_first_not_of(" \t\n\v\f\r");
  if (at == std::string::npos) return 1;
  bool negative = false;
  if (field[at] == '+' || field[at] == '-') negative = field[at++] == '-';
  long long value = 0;
  for (; at < field.size() && field[at] >= '0' && field[at] <= '9'; ++at) {
    value = value * 10 + (field[at] - '0');
    if (value > 2147483647LL) return specifier::kMaxSegments + 1;  // beyond any int: no segment
  }
  if (negative || value < 1) return 1;
  return value > specifier::kMaxSegments ? specifier::kMaxSegments + 1 : static_cast<int>(value);
}

std::vector<std::string> parts_of(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dash = text.find('-', start);
    parts.push_back(text.substr(start, dash == std::string::npos ? std::string::npos : dash - start));
    if (dash == std::string::npos) return parts;
    start = dash + 1;
  }
}

}  // namespace

std::string single_company(std::string_view field) {
  std::string id(field.empty() ? std::string_view(settings().company) : field);
  if (const std::size_t comma = id.find(','); comma != std::string::npos) id.resize(comma);
  if (id.empty()) {
    report(kInvalid, "The company specifier is NULL");
    return {};
  }
  if (id.size() > 6) {
    report(kInvalid, "company specifier too long");
    return {};
  }
  return id;
}

int desc_request(std::string_view arguments, std::string& result) {
  RequestFields f;
  if (split_arguments(arguments, 1, 5, f) != kOk) return failure_answer(result), 0;
  const std::string company = single_company(f[1]);
  if (company.empty()) return failure_answer(result), 0;
  std::string answer;
  if (account_field(company, f[0], kAccountDescription, answer) != 0) return failure_answer(result), 0;
  result = answer;
  return 0;
}

int acctdata_request(std::string_view arguments, std::string& result) {
  RequestFields f;
  if (const int status = split_arguments(arguments, 2, 3, f); status != kOk) return failure_answer(result), status;
  const auto code = account_field_code(f[0]);
  if (!code) {
    report(kNotSupported, f[0]);
    failure_answer(result);
    return kNotSupported;
  }
  const std::string company = single_company(f[2]);
  if (company.empty()) return failure_answer(result), kInvalid;
  std::string answer;
  if (const int status = account_field(company, f[1], *code, answer); status != 0) {
    failure_answer(result);
    return status;
  }
  result = answer;
  return 0;
}

int codata_request(std::string_view arguments, std::string& result) {
  RequestFields f;
  if (const int status = split_arguments(arguments, 1, 2, f); status != kOk) return failure_answer(result), status;
  const auto code = company_field_code(f[0]);
  if (!code) {
    report(kNotSupported, f[0]);
    failure_answer(result);
    return kNotSupported;
  }
  const std::string company = single_company(f[1]);
  if (company.empty()) return failure_answer(result), kInvalid;
  std::string answer;
  if (const int status = data::company_data_field(company, *code, answer); status != 0) {
    failure_answer(result);
    return status;
  }
  result = answer;
  return 0;
}

int sdesc_request(std::string_view arguments, std::string& result) {
  RequestFields f;
  if (const int status = split_arguments(arguments, 1, 3, f); status != kOk) return failure_answer(result), status;
  const int segment = segment_number(f[1]);
  const std::string company_id = single_company(f[2]);
  if (company_id.empty()) return failure_answer(result), kInvalid;
  data::CompanyContext* c = data::find_or_open_company(company_id);
  if (const int status = data::company_error_check(c); status != 0) return failure_answer(result), status;
  if (f[0].empty()) {
    result = segment <= specifier::kMaxSegments ? c->segment_names[segment - 1] : "NA";
    return 0;
  }
  result = "NA";
  if (segment > c->structure.segment_count) return 0;
  if (const int status = data::open_company_file(*c, layout::FileKind::Periods); status != 0)
    return failure_answer(result), status;
  std::string account_text = f[0];
  if (account_text.find_first_of("(^") != std::string::npos) {
    std::vector<std::string> list;
    if (specifier::expand_specifier(account_text, c->structure.segment_count, list, entities::lookup_for(*c)) != 0) return failure_answer(result), 1;
    std::string year_text = settings().setup_year;
    const int year = year_text.empty() || year_text == "0" ? c->current_year_number() : std::atoi(year_text.c_str());
    BalanceSource source(*c);
    specifier::WalkOptions options;
    options.na_label = 1;
    specifier::AccountWalk walk(source, c->structure, options);
    const int status = walk.first(std::move(list), year);
    if (status == specifier::kNoMore) return 0;
    if (status != specifier::kFound) return failure_answer(result), status;
    account_text = specifier::hyphenated_code(source.code(), c->structure);
  }
  const auto parts = parts_of(account_text);
  const std::string value = account_text.find('-') != std::string::npos &&
                                    static_cast<int>(parts.size()) == c->structure.segment_count
                                ? parts[static_cast<std::size_t>(segment - 1)]
                                : account_text;
  if (const int status = data::open_company_file(*c, layout::FileKind::Segments); status != 0)
    return failure_answer(result), status;
  layout::Bytes key = layout::segment_key(segment - 1, value);
  key.resize(btrv::kKeyBufferSize, 0);
  unsigned char* data = nullptr;
  data::FileSlot& segments = c->slot(data::Slot::Segments);
  if (btrv::BtrvGetEqual(&segments.block, &data, key.data(), layout::kSegmentKey) != 0 || !data) {
    clear_message();
    const int status = btrv::ran_out(btrv::last_status()) ? (report(30, value), 30) : data::report_read_failure(segments.name);
    failure_answer(result);
    return status;
  }
  const auto record = layout::decode_segment({data, btrv::last_record_length()});
  if (!record) {
    clear_message();
    const int status = data::report_short_record(segments.name, btrv::last_record_length(), layout::kSegmentNeededLength);
    failure_answer(result);
    return status;
  }
  result = record->description.substr(0, 31);
  return 0;
}

}  // namespace kovo::requests
