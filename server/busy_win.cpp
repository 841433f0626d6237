// Transactions that find a connector busy. The DDE library can hold a
// transaction back (CBR_BLOCK) and deliver it again once the server enables
// its callbacks; then the client's request simply waits for the connector.
// Under Wine a blocked transaction is lost instead, so there a request is
// answered at once with a text that says the connector is busy, and an
// execute as busy: a cell never shows a DDE error for it.
#include <windows.h>
#include <ddeml.h>

#include "server/messages.h"
#include "server/server_win.h"

namespace kovo::server {
namespace {

constexpr UINT kRetryMilliseconds = 250;
UINT_PTR g_retry_timer = 0;

bool running_under_wine() {
  static const bool wine = [] {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return wine;
}

// Lets the held transactions come again once no connector call is under
// way; one still finding the connector busy is held back again.
void CALLBACK retry_held(HWND, UINT, UINT_PTR, DWORD) {
  ServerApp& a = app();
  if (a.connector_depth > 0) return;
  KillTimer(nullptr, g_retry_timer);
  g_retry_timer = 0;
  if (a.dde_instance) DdeEnableCallback(a.dde_instance, nullptr, EC_ENABLEALL);
}

}  // namespace

bool can_hold_transactions() { return !running_under_wine(); }

HDDEDATA busy_transaction(UINT type, HSZ item, UINT format, std::string_view text) {
  ServerApp& a = app();
  switch (busy_reply(type == XTYP_REQUEST, can_hold_transactions())) {
    case BusyReply::kBlock:
      if (!g_retry_timer) g_retry_timer = SetTimer(nullptr, 0, kRetryMilliseconds, retry_held);
      return CBR_BLOCK;
    case BusyReply::kAnswerText: {
      const std::string answer = std::string(text) + "\r\n";
      return DdeCreateDataHandle(a.dde_instance, reinterpret_cast<LPBYTE>(const_cast<char*>(answer.c_str())),
                                 static_cast<DWORD>(answer.size() + 1), 0, item, format ? format : CF_TEXT, 0);
    }
    case BusyReply::kAnswerBusy:
      break;
  }
  return reinterpret_cast<HDDEDATA>(DDE_FBUSY);
}

std::string connector_busy_text() { return server_message(kMsgConnectorBusy); }

}  // namespace kovo::server
