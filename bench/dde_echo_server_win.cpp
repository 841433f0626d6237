// A bare DDEML server for the DDE benchmark: service "KovoEcho", any topic;
// a request is answered with its item name and a line end, and the execute
// "[QUIT]" ends it. It does nothing else, so a round trip to it is the cost
// of DDE alone.
#include <windows.h>
#include <ddeml.h>

#include <cstring>
#include <string>

namespace {

DWORD g_instance = 0;

HDDEDATA CALLBACK echo_callback(UINT type, UINT format, HCONV, HSZ, HSZ item, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
  switch (type) {
    case XTYP_CONNECT:
      return reinterpret_cast<HDDEDATA>(TRUE);
    case XTYP_REQUEST: {
      char text[1024] = {};
      const DWORD length = DdeQueryStringA(g_instance, item, text, sizeof text - 2, CP_WINANSI);
      std::memcpy(text + length, "\r\n", 3);
      return DdeCreateDataHandle(g_instance, reinterpret_cast<LPBYTE>(text), length + 3, 0, item,
                                 format ? format : CF_TEXT, 0);
    }
    case XTYP_EXECUTE: {
      char command[64] = {};
      DdeGetData(data, reinterpret_cast<LPBYTE>(command), sizeof command - 1, 0);
      if (std::strncmp(command, "[QUIT]", 6) == 0) PostQuitMessage(0);
      return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    default:
      return nullptr;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (DdeInitializeA(&g_instance, echo_callback, APPCMD_FILTERINITS, 0) != DMLERR_NO_ERROR) return 1;
  HSZ service = DdeCreateStringHandleA(g_instance, "KovoEcho", CP_WINANSI);
  DdeNameService(g_instance, service, nullptr, DNS_REGISTER);
  // Ends by itself after ten minutes should its client never say "[QUIT]".
  SetTimer(nullptr, 0, 600000, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.hwnd == nullptr) break;
    DispatchMessageA(&message);
  }
  DdeNameService(g_instance, service, nullptr, DNS_UNREGISTER);
  DdeFreeStringHandle(g_instance, service);
  DdeUninitialize(g_instance);
  return 0;
}
