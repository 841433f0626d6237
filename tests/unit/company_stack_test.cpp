// The company specifier of value requests: how it splits, its limits, and
// that a bad specifier fails before any company is opened.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/company_stack.h"
#include "entry/dispatch.h"
#include "ledger_fixture.h"
#include "requests/install.h"

using namespace kovo;
using namespace kovo::data;

namespace {

// The ids of a stack from the top down, i.e. in the order they are evaluated.
std::vector<std::string> evaluation_order(CompanyStack stack) {
  std::vector<std::string> ids;
  for (; !stack.empty(); stack.pop()) ids.push_back(stack.top());
  return ids;
}

TEST(CompanyStackSpecifier, SplitsAtCommasAndBlanksLastNamedOnTop) {
  struct Case {
    const char* specifier;
    std::vector<std::string> top_down;
  };
  const Case cases[] = {
      {"DEMO", {"DEMO"}},
      {"DEMO,ABC", {"ABC", "DEMO"}},
      {"DEMO, ABC", {"ABC", "DEMO"}},
      {"DEMO ABC", {"ABC", "DEMO"}},
      {"A,,  B", {"B", "A"}},
      {" ,A, ", {"A"}},
      {"A,B,C", {"C", "B", "A"}},
      {"ABCDEF,X", {"X", "ABCDEF"}},  // six characters is the longest id
      {"DEMO DEMO", {"DEMO", "DEMO"}},  // named twice, evaluated twice
  };
  for (const Case& c : cases) {
    clear_message();
    auto stack = BuildCompanyStack(c.specifier);
    ASSERT_TRUE(stack) << c.specifier;
    EXPECT_EQ(evaluation_order(*stack), c.top_down) << c.specifier;
    EXPECT_FALSE(message_pending()) << c.specifier;
  }
}

TEST(CompanyStackSpecifier, EmptyOrOverlongSpecifiersFailWithTheirMessage) {
  struct Case {
    const char* specifier;
    const char* message;
  };
  const Case cases[] = {
      {"", "Kovo [CYMA] Special Error - NULL company specifier."},
      {" ,, ", "Kovo [CYMA] Special Error - NULL company specifier."},
      {"ABCDEFG", "Kovo [CYMA] Invalid - company specifier too long"},
      {"A,B,ABCDEFG,C", "Kovo [CYMA] Invalid - company specifier too long"},
  };
  for (const Case& c : cases) {
    clear_message();
    EXPECT_FALSE(BuildCompanyStack(c.specifier)) << c.specifier;
    EXPECT_EQ(pending_message(), c.message) << c.specifier;
  }
  clear_message();
}

class CompanyStackRequestTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    requests::install_requests();
    build(kovo::testing::description(kovo::testing::two_year_company("A", R"(,
      "accounts":[{"code":"4000-10","description":"Sales","type":"400"}],
      "balances":[{"account":"4000-10","year":2008,"actual":[-10,-10,-10,-10,-10]}])")));
  }
  std::string gl(const std::string& args) {
    std::string buffer(4000, '\0');
    connector_interface(100, args.c_str(), buffer.data(), buffer.size());
    std::string answer(buffer.c_str());
    if (answer.size() >= 2 && answer.compare(answer.size() - 2, 2, "\r\n") == 0) answer.resize(answer.size() - 2);
    return answer;
  }
};

TEST_F(CompanyStackRequestTest, OverlongIdFailsBeforeAnyCompanyIsOpened) {
  EXPECT_EQ(gl("4000-10;This Month;A,ABCDEFG"), "Kovo [CYMA] Invalid - company specifier too long");
  EXPECT_EQ(company_count(), 0u);
}

TEST_F(CompanyStackRequestTest, RepeatedAndLowerCaseIdsShareOneOpenCompany) {
  EXPECT_EQ(gl("4000-10;This Month;A,a"), "-20");  // evaluated twice
  EXPECT_EQ(company_count(), 1u);
}

TEST_F(CompanyStackRequestTest, EmptyCompanyArgumentUsesTheSetupCompany) {
  settings().company = "A";
  EXPECT_EQ(gl("4000-10;This Month;"), "-10");
}

}  // namespace
