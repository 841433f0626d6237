// Small ledgers for the tests: a JSON description built into a fresh system
// directory through the stand-in's engine, which the connector code then
// reads natively.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "data/btrieve_ops.h"
#include "data/companies.h"
#include "entry/messages.h"
#include "entry/settings.h"
#include "recman/btrcall.h"
#include "tools/ledger/builder/ledger_builder.h"

namespace kovo::testing {

class LedgerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    btrv::set_record_manager_call(&recman::btrcall);
    root_ = std::filesystem::temp_directory_path() /
            ("kovo-ledger-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    settings() = Settings{};
    settings().system = system_dir();
    clear_message();
  }
  void TearDown() override {
    data::close_all_companies();
    std::uint32_t none = 0;
    recman::btrcall(recman::kStop, nullptr, nullptr, &none, nullptr, 0, 0);
    clear_message();
    std::filesystem::remove_all(root_);
  }
  std::string system_dir() const { return (root_ / "Cyma4").string(); }
  void build(const std::string& json) {
    const auto result = ledger::build_ledger(json, system_dir(), &recman::btrcall);
    ASSERT_TRUE(result.ok) << result.error;
  }

  std::filesystem::path root_;
};

// A company of two segments (XXXX-XX) with a 12-period calendar for 2007 and
// 2008 and a few accounts; "extra" is spliced into the company object.
inline std::string two_year_company(const std::string& id, const std::string& extra = {},
                                    const std::string& structure = "XXXX-XX", int current_year = 2008,
                                    int current_period = 5) {
  auto ends = [](int year) {
    std::string s;
    const int days[12] = {31, year % 4 == 0 ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m) {
      char d[16];
      std::snprintf(d, sizeof d, "\"%04d-%02d-%02d\"", year, m, days[m - 1]);
      s += (m > 1 ? "," : "") + std::string(d);
    }
    return s;
  };
  return R"({"id":")" + id + R"(","name":"Company )" + id + R"(","dataDirectory":".\\)" + id +
         R"(","accountStructure":")" + structure + R"(","segmentNames":["Account","Dept","Region"],)" +
         R"("currentYear":)" + std::to_string(current_year) + R"(,"currentPeriod":)" +
         std::to_string(current_period) + R"(,"mainSegment":1,"dataVersion":8,"transactionFiles":"gl_trx",)" +
         R"("calendar":[{"year":2007,"periods":12,"periodEnds":[)" + ends(2007) + R"(],"flag":1},)" +
         R"({"year":2008,"periods":12,"periodEnds":[)" + ends(2008) + R"(],"flag":0}])" + extra + "}";
}

inline std::string description(const std::string& companies, const std::string& company_file = "sm_cmpny.dat") {
  return R"({"companyFile":")" + company_file + R"(","companies":[)" + companies + "]}";
}

}  // namespace kovo::testing
