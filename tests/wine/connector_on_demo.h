// The connector loaded into the test process over the demo ledger, with the
// connector's settings starting from their defaults and removed afterwards
// (a window's Quit writes them).
#pragma once

#include <windows.h>

#include <string>

#include "connector_fixture.h"
#include "demo_ledger.h"

namespace kovo::testing {

class ConnectorOnDemoLedger : public ConnectorInProcess {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ledger_.built()) << ledger_.errors();
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    ConnectorInProcess::SetUp();
  }
  void TearDown() override {
    ConnectorInProcess::TearDown();
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
  }
  // The parameter naming the demo ledger, to append to a command's own.
  std::string system() const { return ",System=" + ledger_.system(); }

  DemoLedger ledger_;
};

}  // namespace kovo::testing
