// How a list request names its list, what the lists window composes, and
// the period phrases the period list offers.
#include <gtest/gtest.h>

#include <random>

#include "entry/messages.h"
#include "specifier/period.h"
#include "specifier/period_range.h"
#include "windows/list_catalog.h"
#include "windows/list_contents.h"

using namespace kovo;
using namespace kovo::lists;

namespace {

const std::vector<std::string> kNames = {"Account", "Dept", ""};

TEST(ListNames, FixedNamesSegmentNamesLabelsAndNumbers) {
  EXPECT_EQ(fixed_list_number("BWB Headers"), kBwbHeaders);
  EXPECT_EQ(fixed_list_number("bwb headers"), kBwbHeaders);
  EXPECT_EQ(fixed_list_number("SEGDEFS"), kSegDefs);
  EXPECT_EQ(fixed_list_number("Segment"), std::nullopt);

  EXPECT_EQ(find_segment("natural", kNames, 1), 0) << "Natural in lower case";
  EXPECT_EQ(find_segment("NATURAL", kNames, 2), 1);
  EXPECT_EQ(find_segment("Natural", kNames, 4), std::nullopt) << "beyond the segments";
  EXPECT_EQ(find_segment(" dept ", kNames, 1), 1);
  EXPECT_EQ(find_segment("2", kNames, 1), 1);
  EXPECT_EQ(find_segment("Segment 3", kNames, 1), 2) << "an unnamed segment answers to its label";
  EXPECT_EQ(find_segment("3", kNames, 1), 2);
  for (const char* nothing : {"4", "0", "", "Region", "-1"}) EXPECT_EQ(find_segment(nothing, kNames, 1), std::nullopt) << nothing;
  EXPECT_EQ(segment_label(kNames, 1), "Dept");
  EXPECT_EQ(segment_label(kNames, 2), "Segment 3");
}

TEST(ListNames, RequestsWithAndWithoutWhereParts) {
  auto request = [](std::string_view text) { return parse_list_request(text, kNames, 1); };
  EXPECT_EQ(request("accounts")->number, kAccounts);
  EXPECT_EQ(request("2")->number, kFirstSegment + 1) << "a list parameter of 2 is the second segment";
  EXPECT_EQ(request("natural")->segment(), 0);

  const auto selected = request("Natural;Dept;10+20");
  ASSERT_TRUE(selected);
  EXPECT_EQ(selected->segment(), 0);
  EXPECT_EQ(selected->where_segment, 1);
  EXPECT_EQ(selected->is_text, "10+20");
  EXPECT_EQ(request("NATURAL;natural;4*")->where_segment, 0) << "Natural stands for the where segment too";

  EXPECT_EQ(request("Dept;(none);10")->where_segment, -1);
  EXPECT_EQ(request("Dept;;10")->where_segment, -1);
  EXPECT_EQ(request("Dept;Account;")->where_segment, -1) << "nothing to select by";
  EXPECT_EQ(request("Dept;Region;10"), std::nullopt) << "an unknown where segment gives no list";
  EXPECT_EQ(request("Bogus"), std::nullopt);
  EXPECT_EQ(request(""), std::nullopt);
  EXPECT_TRUE(is_reset_request("reset"));
  EXPECT_FALSE(is_reset_request("RESETS"));
}

std::optional<std::string> sales_entity(std::string_view where, std::string_view is) {
  if (where == "Account" && is == "Sales") return "4000,4100";
  return std::nullopt;
}

TEST(ListNames, TheWindowComposesItsRequest) {
  ListWindowFields fields;
  fields.selected_value = 9;
  EXPECT_EQ(compose_list_request(fields), "Accounts");
  fields.selected_value = 10;
  EXPECT_EQ(compose_list_request(fields), "BWB Headers");
  fields = {0, "Dept", "(NONE)", "10"};
  EXPECT_EQ(compose_list_request(fields), "Dept;");
  fields = {0, "Dept", "Account", "4*+#Other#+5*"};
  EXPECT_EQ(compose_list_request(fields), "Dept;Account;4*+#Other#+5*");
  fields = {0, "Dept", "Account", "Sales;Product sales"};
  EXPECT_EQ(compose_list_request(fields, sales_entity), "Dept;Account;4000,4100")
      << "with the entities file only the name before the ; is translated";
  fields.is = "Other;x";
  EXPECT_EQ(compose_list_request(fields, sales_entity), "Dept;Account;Other");
  fields = {0, std::string(60, 'S'), "", ""};
  EXPECT_EQ(compose_list_request(fields).size(), kSegmentFieldLimit + 1) << "fields hold 50 characters";
  ASSERT_NE(choice_by_value(0), nullptr);
  EXPECT_EQ(choice_by_value(0)->list_name, nullptr);
  EXPECT_EQ(choice_by_value(3), nullptr);
}

TEST(ListNames, CriteriaHeadingsGroupsAndAlternatives) {
  const auto criteria = parse_criteria("#East#+10+(20+30)+ 4* , 5* ++#");
  ASSERT_EQ(criteria.size(), 5u);
  EXPECT_TRUE(criteria[0].heading);
  EXPECT_EQ(criteria[0].heading_text, "East");
  EXPECT_EQ(criteria[1].alternatives, (std::vector<std::string>{"10"}));
  EXPECT_EQ(criteria[2].alternatives, (std::vector<std::string>{"20", "30"})) << "a + inside parentheses joins";
  EXPECT_EQ(criteria[3].alternatives, (std::vector<std::string>{"4*", "5*"}));
  EXPECT_EQ(criteria[4].alternatives, (std::vector<std::string>{"#"})) << "a lone # is no heading";
}

// Mutated list requests: every request resolves to a list within the
// segments or to none, and criteria never carry an empty alternative.
TEST(ListNames, MutatedRequestsResolveWithinTheSegments) {
  std::mt19937 random(14022026);
  const std::vector<std::string> seeds = {"Natural;Dept;#Sales#+4*+(10+20)", "2;1;10..20", "Accounts",
                                          "Dept;(None);x", "Segment 3;Account;1*,2*"};
  const std::string alphabet = "abcdeNSt 0123;+#(),*?.-";
  for (int round = 0; round < 20000; ++round) {
    std::string text = seeds[random() % seeds.size()];
    for (int e = 1 + static_cast<int>(random() % 6); e > 0; --e) {
      const std::size_t at = random() % (text.size() + 1);
      const char c = random() % 6 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
      if (random() % 3 == 0 && at < text.size()) text.erase(at, 1);
      else text.insert(at, 1, c);
    }
    const auto request = parse_list_request(text, kNames, 1 + static_cast<int>(random() % 4));
    if (request && request->is_segment_list()) {
      EXPECT_LT(request->segment(), 3) << text;
      EXPECT_LT(request->where_segment, 3) << text;
    }
    for (const auto& criterion : parse_criteria(text)) {
      EXPECT_NE(criterion.heading, !criterion.alternatives.empty()) << text;
      for (const auto& alternative : criterion.alternatives) {
        EXPECT_FALSE(alternative.empty()) << text;
        EXPECT_EQ(alternative.find_first_of(",+"), std::string::npos) << text;
      }
    }
  }
}

TEST(ListNames, EveryOfferedPeriodPhraseAnswers) {
  specifier::PeriodCalendar calendar;
  calendar.periods_per_year = 12;
  calendar.current_period = 5;
  for (int p = 0; p < 12; ++p) calendar.period_month[p] = static_cast<std::uint8_t>(p + 1);
  std::vector<std::string> phrases;
  for (int id = kFirstPeriodString; id <= kLastPeriodString; ++id)
    if (const std::string phrase = builtin_message_string(id); !phrase.empty()) phrases.push_back(phrase);
  ASSERT_GT(phrases.size(), 50u);
  EXPECT_EQ(phrases.front(), "January");
  EXPECT_EQ(phrases.back(), "YTD 12 Budget");
  int unanswerable = 0;
  for (const auto& phrase : phrases) {
    specifier::PeriodList list;
    ASSERT_EQ(specifier::parse_period_list(phrase, list), 0) << phrase;
    ASSERT_EQ(list.count, 1u) << phrase;
    specifier::PeriodDescriptor d = list.entries[0];
    specifier::map_month_name(d, calendar);
    const auto resolved = specifier::resolve(d, calendar);
    if (is_unanswerable_period(phrase)) {
      ++unanswerable;
      EXPECT_EQ(std::get<int>(resolved), 11) << phrase;
    } else {
      EXPECT_TRUE(std::holds_alternative<specifier::PeriodRange>(resolved)) << phrase;
    }
  }
  EXPECT_EQ(unanswerable, 2);
  clear_message();
}

}  // namespace
