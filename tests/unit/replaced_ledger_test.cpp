// A ledger rebuilt or restored while the connector holds its files open: the
// connector notices by the files' identities and answers from what the paths
// name now, never from the files moved aside.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "data/companies.h"
#include "data/file_identity.h"
#include "entry/dispatch.h"
#include "ledger_fixture.h"
#include "requests/install.h"

using namespace kovo;
using kovo::testing::description;
using kovo::testing::two_year_company;

namespace {

namespace fs = std::filesystem;

// The identity the platform layer gives the connector, read here the way each
// platform tells files apart.
std::optional<data::FileIdentity> identity_of(const std::string& path) {
#ifdef _WIN32
  HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const BOOL ok = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!ok) return std::nullopt;
  return data::FileIdentity{info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
                            (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime};
#else
  std::string native = path;
  for (char& c : native)
    if (c == '\\') c = '/';
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0) return std::nullopt;
  return data::FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                            static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                                static_cast<std::uint64_t>(st.st_mtim.tv_nsec)};
#endif
}

std::string company(const std::string& name, int this_month) {
  std::string c = two_year_company("CO", R"(,
    "accounts":[{"code":"4000-10","description":"Sales","type":"400"}],
    "balances":[{"account":"4000-10","year":2008,"actual":[0,0,0,0,)" + std::to_string(this_month) + R"(]}])");
  return c.replace(c.find("Company CO"), 10, name);
}

class ReplacedLedger : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    requests::install_requests();
    data::set_file_identity_reader(&identity_of);
    data::set_replacement_check_interval(std::chrono::milliseconds(0));
    build(description(company("Before", -10)));
  }
  void TearDown() override {
    data::set_replacement_check_interval(std::chrono::milliseconds(1000));
    data::set_file_identity_reader(nullptr);
    LedgerTest::TearDown();
  }
  std::string ask(int code, const std::string& args) {
    std::string buffer(16000, '\0');
    connector_interface(code, args.c_str(), buffer.data(), buffer.size());
    std::string answer(buffer.c_str());
    if (answer.size() >= 2 && answer.compare(answer.size() - 2, 2, "\r\n") == 0) answer.resize(answer.size() - 2);
    return answer;
  }
};

TEST_F(ReplacedLedger, ARebuiltLedgerIsReadAgainInPlace) {
  EXPECT_EQ(ask(100, "4000-10;This Month;CO"), "-10");
  EXPECT_EQ(ask(115, "NAME;CO"), "Before");
  data::CompanyContext* held = data::find_or_open_company("CO");
  const auto generation = data::ledger_generation();
  // Rebuilt while the balances file is held open: the old files go aside.
  build(description(company("After", -25)));
  EXPECT_EQ(ask(100, "4000-10;This Month;CO"), "-25") << "never the figures of the files moved aside";
  EXPECT_EQ(ask(115, "NAME;CO"), "After") << "the company record is read again too";
  EXPECT_EQ(data::find_or_open_company("CO"), held) << "reopened in place: holders of the record keep it";
  EXPECT_GT(data::ledger_generation(), generation);
  EXPECT_EQ(data::company_count(), 1u);
}

TEST_F(ReplacedLedger, TheFilesAreLookedAtNoMoreOftenThanTheInterval) {
  data::set_replacement_check_interval(std::chrono::hours(1));
  EXPECT_EQ(ask(100, "4000-10;This Month;CO"), "-10");
  build(description(company("After", -25)));
  EXPECT_EQ(ask(115, "NAME;CO"), "Before") << "within the interval the record is not looked at";
  data::set_replacement_check_interval(std::chrono::milliseconds(0));
  EXPECT_EQ(ask(115, "NAME;CO"), "After");
}

TEST_F(ReplacedLedger, ALedgerCaughtHalfWayIsTriedAgainUntilItIsBack) {
  EXPECT_EQ(ask(100, "4000-10;This Month;CO"), "-10");
  const fs::path system = system_dir();
  const fs::path away = system.string() + ".away";
  fs::rename(system, away);
  // Gone: an error, never the old figure.
  EXPECT_EQ(ask(100, "4000-10;This Month;CO").rfind("Kovo [CYMA] Btrieve error", 0), 0u);
  fs::rename(away, system);
  EXPECT_EQ(ask(100, "4000-10;This Month;CO"), "-10") << "back in place, it is opened again";
}

TEST_F(ReplacedLedger, WithoutIdentitiesNothingIsTakenForReplaced) {
  data::set_file_identity_reader(nullptr);
  EXPECT_EQ(ask(115, "NAME;CO"), "Before");
  const auto generation = data::ledger_generation();
  EXPECT_EQ(ask(115, "NAME;CO"), "Before");
  EXPECT_EQ(data::ledger_generation(), generation);
}

}  // namespace
