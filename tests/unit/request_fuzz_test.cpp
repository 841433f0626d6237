// Fuzzing of the request arguments and what the connector and the ledger
// builder read from text: each test states what must hold for any input.
#include <gtest/gtest.h>

#include "fuzz_support.h"

#include <cmath>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "data/company_stack.h"
#include "entry/messages.h"
#include "entry/request_text.h"
#include "entry/settings.h"
#include "recman/btrcall.h"
#include "requests/tran_args.h"
#include "specifier/calendar.h"
#include "specifier/period.h"
#include "specifier/period_range.h"
#include "tools/ledger/builder/ledger_builder.h"

using namespace kovo;
using kovo::testing::fuzz_rounds;
using kovo::testing::fuzz_seed;
using kovo::testing::report_fuzz_executions;

namespace {

std::string random_text(std::mt19937& random, std::size_t max_length, std::string_view alphabet) {
  std::string text(random() % (max_length + 1), '\0');
  for (char& c : text)
    c = random() % 6 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
  return text;
}

std::string mutated(std::mt19937& random, std::string text, std::string_view alphabet, int max_edits) {
  const int edits = static_cast<int>(random() % (max_edits + 1));
  for (int e = 0; e < edits; ++e) {
    const std::size_t at = random() % (text.size() + 1);
    if (random() % 3 == 0 && at < text.size()) text.erase(at, 1 + random() % 3);
    else if (random() % 8 == 0) text.insert(at, 1, static_cast<char>(random() % 256));
    else text.insert(at, 1, alphabet[random() % alphabet.size()]);
  }
  return text;
}

// Fields split at ";" join back to the text (less a closing ";", or a prefix
// of it when the field count ran out); a refusal always carries its message.
TEST(RequestArgumentsFuzz, FieldsJoinBackToTheText) {
  std::mt19937 random(fuzz_seed(101));
  const long long rounds = fuzz_rounds(30000);
  for (long long round = 0; round < rounds; ++round) {
    const std::size_t longest = round % 50 == 0 ? 3000 : 80;
    const std::string text = random_text(random, longest, ";;;ab 1-,");
    const std::size_t min = random() % 4, max = 1 + random() % 12;
    clear_message();
    RequestFields f;
    const int status = split_arguments(text, min, max, f);
    if (status != kOk) {
      ASSERT_TRUE(status == kTooFewArguments || status == kArgumentTooLong) << status;
      ASSERT_TRUE(message_pending());
      continue;
    }
    ASSERT_LE(f.count, std::min(max, kMaxFields));
    ASSERT_GE(f.count, min);
    std::string joined;
    for (std::size_t i = 0; i < f.count; ++i) {
      ASSERT_EQ(f[i].find(';'), std::string::npos);
      ASSERT_LT(f[i].size(), i == 0 ? kAccountFieldSize : kFieldSize);
      joined += (i ? ";" : "") + f[i];
    }
    if (f.count < std::min(max, kMaxFields))
      ASSERT_TRUE(joined == text || joined + ";" == text) << text;
    else
      ASSERT_EQ(text.compare(0, joined.size(), joined), 0) << text;
  }
  report_fuzz_executions(rounds);
}

// Settings texts made of the key names, quotes, "=" and ",": every text
// setting stays within its limit and nothing else is touched.
TEST(SettingsTextFuzz, TextSettingsStayWithinTheirLimits) {
  std::mt19937 random(fuzz_seed(202));
  const long long rounds = fuzz_rounds(20000);
  std::size_t key_count = 0;
  const SettingKey* keys = setting_keys(&key_count);
  for (long long round = 0; round < rounds; ++round) {
    std::string text;
    const int pairs = 1 + static_cast<int>(random() % 4);
    for (int p = 0; p < pairs; ++p) {
      if (p) text += random() % 5 ? "," : " ,";
      text += random() % 4 ? std::string(keys[random() % key_count].name) : random_text(random, 12, "abc =");
      text += random() % 8 ? "=" : "";
      const std::string value = random_text(random, 40, "'\"01 ,=aZ-");
      switch (random() % 3) {
        case 0: text += value; break;
        case 1: text += "'" + value + "'"; break;
        default: text += "\"" + value + "\""; break;
      }
    }
    Settings s;
    apply_settings_text(s, mutated(random, text, "'\",=", 2));
#define KOVO_TEXT(member, id, name, limit, def, flags) ASSERT_LE(s.member.size(), std::size_t{limit}) << text;
#define KOVO_NUMBER(member, id, name, def, flags)
#include "entry/settings_keys.def"
#undef KOVO_TEXT
#undef KOVO_NUMBER
  }
  report_fuzz_executions(rounds);
}

// Any finite double reads back from its text; the answer of any amount under
// any rounding and scaling choice is a number or the zero label, never "-0".
TEST(NumberTextFuzz, AnswersReadBackAsNumbers) {
  std::mt19937_64 random(fuzz_seed(303));
  const long long rounds = fuzz_rounds(50000);
  for (long long round = 0; round < rounds; ++round) {
    double value;
    if (round % 2 == 0) {
      const std::uint64_t bits = random();
      std::memcpy(&value, &bits, sizeof value);
    } else {
      value = static_cast<double>(static_cast<std::int64_t>(random() % 2000000000000LL) - 1000000000000LL) / 100.0;
    }
    if (std::isfinite(value)) {
      const std::string text = general_number(value);
      ASSERT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    }
    if (!std::isfinite(value)) continue;
    Settings s;
    s.rounding = static_cast<int>(random() % 13) - 2;
    s.scaling = static_cast<int>(random() % 11) - 2;
    std::string answer;
    write_number(value, s, answer);
    ASSERT_FALSE(answer.empty());
    ASSERT_NE(answer, "-0") << value;
    char* end = nullptr;
    std::strtod(answer.c_str(), &end);
    ASSERT_TRUE(answer == s.zero_label || answer == "0.0" || (end && *end == '\0')) << answer;
  }
  report_fuzz_executions(rounds);
}

// Dates, filter lists and the Currency field of the transaction requests.
TEST(TransactionArgsFuzz, DatesListsAndCurrencyFields) {
  std::mt19937 random(fuzz_seed(404));
  const long long rounds = fuzz_rounds(40000);
  const std::vector<std::string> dates = {"1Jan07", "31dec2007", "29Feb2008", "39448", "15Mar99", "0", "1January2008"};
  for (long long round = 0; round < rounds; ++round) {
    const std::string from = mutated(random, dates[random() % dates.size()], "0123456789JanFebDec ", 3);
    const std::string to = mutated(random, dates[random() % dates.size()], "0123456789JanFebDec ", 3);
    clear_message();
    requests::CalendarDate a, b;
    const int status = requests::parse_date_range(from, to, a, b);
    if (status != 0) {
      ASSERT_TRUE(message_pending()) << from << " " << to;
    } else {
      for (const auto& d : {a, b})
        if (!d.empty()) {
          ASSERT_TRUE(d.month >= 1 && d.month <= 12) << from << " " << to;
          // a written date's day is only held to 1 to 31 (31Feb08 bounds a window as well)
          ASSERT_TRUE(d.day >= 1 && d.day <= 31) << from << " " << to;
          ASSERT_TRUE(d.year >= 1 && d.year <= 2999) << from << " " << to;
        }
    }
    const std::string field = random_text(random, 120, "a, 1()");
    const auto values = requests::value_list(field);
    ASSERT_LE(values.size(), requests::kMaxListValues);
    for (const auto& v : values) {
      ASSERT_EQ(v.find(','), std::string::npos);
      ASSERT_EQ(v.find(' '), std::string::npos);
    }
    clear_message();
    requests::CurrencyParts parts;
    const int currency = requests::currency_parts(mutated(random, "(USD)(10)", "(),a1 ", 4), parts);
    if (currency != 0) {
      ASSERT_EQ(currency, requests::kInvalidArgument);
      ASSERT_TRUE(message_pending());
    }
  }
  report_fuzz_executions(rounds);
}

// Company specifiers: refused with a message, or ids of 1 to 6 characters
// without separators.
TEST(CompanyListFuzz, StacksHoldOnlyWholeIds) {
  std::mt19937 random(fuzz_seed(505));
  const long long rounds = fuzz_rounds(40000);
  for (long long round = 0; round < rounds; ++round) {
    const std::string text = random_text(random, 60, "DEMO,ab \t1234567");
    clear_message();
    const auto stack = data::BuildCompanyStack(text);
    if (!stack) {
      ASSERT_TRUE(message_pending()) << text;
      continue;
    }
    ASSERT_FALSE(stack->empty()) << text;
    for (auto copy = *stack; !copy.empty(); copy.pop()) {
      const std::string& id = copy.top();
      ASSERT_TRUE(id.size() >= 1 && id.size() <= data::kCompanyIdLength) << text;
      ASSERT_EQ(id.find_first_of(", "), std::string::npos) << text;
    }
  }
  report_fuzz_executions(rounds);
}

// Period lists against random calendars and current periods: every
// descriptor gives a finite figure or a message number, never a read outside
// the amount table.
TEST(PeriodCalendarFuzz, ListsResolveAgainstAnyCalendar) {
  std::mt19937 random(fuzz_seed(606));
  const long long rounds = fuzz_rounds(30000);
  const std::vector<std::string> seeds = {
      "Month", "Year to Date Last Year", "Running 12 Months", "Quarter 3 Budget", "Period 13",
      "Opening Balance", "This Month,Last Month,2 Months Ago", "Half Year 2 Last Year", "January", "Year"};
  specifier::AmountTable table;
  for (auto& set : table.amount)
    for (auto& year : set)
      for (auto& period : year) period = static_cast<double>(random() % 1000);
  table.opening_balance = 17;
  for (long long round = 0; round < rounds; ++round) {
    const std::string text = mutated(random, seeds[random() % seeds.size()], "abcdefghijklmnopqrstuvwxyz 0123,", 3);
    clear_message();
    specifier::PeriodList list;
    if (specifier::parse_period_list(text, list) != 0) continue;
    specifier::PeriodCalendar cal;
    cal.periods_per_year = 1 + static_cast<int>(random() % 13);
    cal.current_period = static_cast<int>(random() % 16);
    cal.is_current_year = random() % 2 == 0;
    for (auto& month : cal.period_month) month = static_cast<std::uint8_t>(random() % 14);
    for (std::size_t i = 0; i < list.count; ++i) {
      specifier::PeriodDescriptor d = list.entries[i];
      specifier::map_month_name(d, cal);
      for (const auto kind : {specifier::AccountKind::Balance, specifier::AccountKind::Other}) {
        const specifier::Valued v = specifier::evaluate(d, cal, kind, table);
        if (const double* figure = std::get_if<double>(&v)) {
          ASSERT_TRUE(std::isfinite(*figure)) << text;
        } else {
          ASSERT_GT(std::get<int>(v), 0) << text;
        }
      }
    }
  }
  report_fuzz_executions(rounds);
}

// The record manager as the builder sees it, writing nothing: every call succeeds.
short accepting_call(std::uint16_t, void*, void*, std::uint32_t*, void*, std::uint8_t, std::int8_t) { return 0; }

// Mutated ledger descriptions: a refusal names what it refuses, and nothing is
// ever written outside the target or left beside it.
TEST(LedgerDescriptionFuzz, RefusedOrBuiltInsideTheTargetOnly) {
  namespace fs = std::filesystem;
  std::mt19937 random(fuzz_seed(707));
  const long long rounds = fuzz_rounds(400);
  const fs::path root = fs::temp_directory_path() / ("kovo-ledger-fuzz-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "area");
  const std::string system_dir = (root / "area" / "Cyma4").string();
  const std::string seed = R"({"companyFile":"sm_cmpny.dat","companies":[{"id":"DEMO","name":"Demo",)"
                           R"("dataDirectory":".\\DEMO","accountStructure":"XXXX-XX","segmentNames":["A","B"],)"
                           R"("currentYear":2008,"currentPeriod":5,"mainSegment":1,"dataVersion":8,)"
                           R"("transactionFiles":"gl_trx","calendar":[{"year":2008,"periods":1,)"
                           R"("periodEnds":["2008-12-31"]}],"accounts":[{"code":"1000-10","type":"100"}],)"
                           R"("segments":[{"segment":1,"value":"1000","description":"Cash"}]}]})";
  for (long long round = 0; round < rounds; ++round) {
    const std::string text = mutated(random, seed, "\\./:;,\"{}[]0-9aDEMO\\u0000 ", 4);
    const auto result = ledger::build_ledger(text, system_dir, &accepting_call);
    if (!result.ok) {
      ASSERT_FALSE(result.error.empty()) << text;
    }
    for (const auto& entry : fs::directory_iterator(root / "area"))
      ASSERT_EQ(entry.path().filename().string(), "Cyma4") << text;
    for (const auto& entry : fs::directory_iterator(root))
      ASSERT_EQ(entry.path().filename().string(), "area") << text;
  }
  fs::remove_all(root);
  report_fuzz_executions(rounds);
}

}  // namespace
