// The connector settings store under Wine: registry over profile, writes to
// the registry only, and the window commands that set and save settings.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "connector_fixture.h"
#include "entry/command_codes.h"

namespace {

constexpr char kSection[] = "Kovo for LEDRA5";
constexpr char kProfile[] = "Kovo.INI";
constexpr char kKey[] = "SOFTWARE\\Talvik Systems Corporation\\Kovo\\4.0\\Kovo for LEDRA5";

std::string registry_text(const char* name) {
  char value[1024] = {};
  DWORD size = sizeof value;
  DWORD type = 0;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
  const LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return "<missing>";
  return type == REG_SZ ? value : "<not text>";
}

void set_registry_text(const char* name, const char* text) {
  HKEY key;
  RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD(strlen(text) + 1));
  RegCloseKey(key);
}

std::string profile_path() {
  char folder[MAX_PATH];
  GetWindowsDirectoryA(folder, MAX_PATH);
  return std::string(folder) + "\\" + kProfile;
}

std::string file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class SettingsStore : public kovo::testing::ConnectorInProcess {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    DeleteFileA(profile_path().c_str());
    WritePrivateProfileStringA(kSection, "Zero Label", "-", kProfile);
    WritePrivateProfileStringA(kSection, "Rounding", "5", kProfile);
    WritePrivateProfileStringA(kSection, "Type", "Actual", kProfile);
    WritePrivateProfileStringA(kSection, "Chart Type", "revised budget", kProfile);
    WritePrivateProfileStringA(kSection, "Company", "ACME", kProfile);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, kProfile);  // flush
    set_registry_text("Rounding", "3");
    set_registry_text("System", "C:\\Ledger");
    profile_before_ = file_bytes(profile_path());
    ConnectorInProcess::SetUp();
  }
  void TearDown() override {
    ConnectorInProcess::TearDown();
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    DeleteFileA(profile_path().c_str());
  }
  std::string profile_before_;
};

TEST_F(SettingsStore, ReadAtInitialisationAndWrittenBackWhole) {
  call(kovo::codes::kSetup, "NoShow=1");  // saves the settings as read
  EXPECT_EQ(registry_text("Rounding"), "3") << "the registry wins over the profile";
  EXPECT_EQ(registry_text("Zero Label"), "-") << "the profile fills what the registry lacks";
  EXPECT_EQ(registry_text("System"), "C:\\Ledger");
  EXPECT_EQ(registry_text("Company"), "ACME");
  EXPECT_EQ(registry_text("DPL Company"), "ACME") << "defaults to the company";
  EXPECT_EQ(registry_text("Type"), "Budget") << "an unknown budget type becomes Budget";
  EXPECT_EQ(registry_text("Chart Type"), "revised budget");
  EXPECT_EQ(registry_text("NA Label"), "1");
  EXPECT_EQ(registry_text("List Segment Where"), "(None)");
  EXPECT_EQ(registry_text("Highlight Amounts Greater Than"), "0");
  EXPECT_NE(registry_text("LastRead").find(" on "), std::string::npos);
  EXPECT_NE(registry_text("LastUpdate").find(", 20"), std::string::npos);
  EXPECT_EQ(registry_text("NoShow"), "<missing>") << "command-only keys are not stored";
  EXPECT_EQ(file_bytes(profile_path()), profile_before_) << "the profile file is never written";

  // Window command parameters go into the record and a NoShow setup saves them.
  // (One test: the store is machine-wide state that parallel tests would share.)
  call(kovo::codes::kSetup, "NoShow=1,Company='XYZ',Scaling=3,Zero Label=\"n/a\"");
  EXPECT_EQ(registry_text("Company"), "XYZ");
  EXPECT_EQ(registry_text("Scaling"), "3");
  EXPECT_EQ(registry_text("Zero Label"), "n/a");
  EXPECT_EQ(file_bytes(profile_path()), profile_before_);
}

}  // namespace
