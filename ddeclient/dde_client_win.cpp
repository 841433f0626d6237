#include "server/dde_client_win.h"

#include <dde.h>

#include <vector>

namespace kovo::dde {
namespace {

constexpr DWORD kAckWaitMs = 1000;

constexpr const char* kErrorNames[] = {
    "DMLERR_ADVACKTIMEOUT",       "DMLERR_BUSY",           "DMLERR_DATAACKTIMEOUT",
    "DMLERR_DLL_NOT_INITIALIZED", "DMLERR_DLL_USAGE",      "DMLERR_EXECACKTIMEOUT",
    "DMLERR_INVALIDPARAMETER",    "DMLERR_LOW_MEMORY",     "DMLERR_MEMORY_ERROR",
    "DMLERR_NOTPROCESSED",        "DMLERR_NO_CONV_ESTABLISHED", "DMLERR_POKEACKTIMEOUT",
    "DMLERR_POSTMSG_FAILED",      "DMLERR_REENTRANCY",     "DMLERR_SERVER_DIED",
    "DMLERR_SYS_ERROR",           "DMLERR_UNADVACKTIMEOUT", "DMLERR_UNFOUND_QUEUE_ID",
};

HDDEDATA CALLBACK ignore_all(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;
}

// Takes the acknowledgement that follows a request's data off the queue,
// dispatching it so that DDEML sees it; waits for it a bounded time.
void take_trailing_ack() {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    if (PeekMessageA(&message, nullptr, WM_DDE_ACK, WM_DDE_ACK, PM_REMOVE)) {
      DispatchMessageA(&message);
      return;
    }
    const DWORD waited = GetTickCount() - start;
    if (waited >= kAckWaitMs) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kAckWaitMs - waited, QS_POSTMESSAGE);
  }
}

// A string handle released when it goes out of scope.
class StringHandle {
 public:
  StringHandle(DWORD instance, std::string_view text) : instance_(instance) {
    const std::string copy(text);
    handle_ = DdeCreateStringHandleA(instance, copy.c_str(), CP_WINANSI);
  }
  ~StringHandle() {
    if (handle_) DdeFreeStringHandle(instance_, handle_);
  }
  StringHandle(const StringHandle&) = delete;
  StringHandle& operator=(const StringHandle&) = delete;
  HSZ get() const { return handle_; }

 private:
  DWORD instance_;
  HSZ handle_ = nullptr;
};

}  // namespace

bool running_under_wine() {
  static const bool wine = [] {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return wine;
}

HDDEDATA request(DWORD instance, HCONV conversation, HSZ item, UINT format, DWORD timeout_ms,
                 DWORD* result) {
  HDDEDATA data =
      DdeClientTransaction(nullptr, 0, conversation, item, format, XTYP_REQUEST, timeout_ms, result);
  (void)instance;
  if (data && running_under_wine()) take_trailing_ack();
  return data;
}

bool execute_async(DWORD instance, HCONV conversation, std::string_view command, DWORD wine_wait_ms) {
  std::string text(command);
  const auto data = reinterpret_cast<LPBYTE>(text.data());
  const auto size = static_cast<DWORD>(text.size() + 1);
  if (running_under_wine()) {
    DWORD result = 0;
    if (DdeClientTransaction(data, size, conversation, nullptr, CF_TEXT, XTYP_EXECUTE, wine_wait_ms, &result))
      return true;
    // The server took the command and refused it, or is still busy with it:
    // the command was delivered all the same.
    const UINT error = DdeGetLastError(instance);
    return error == DMLERR_NOTPROCESSED || error == DMLERR_EXECACKTIMEOUT || error == DMLERR_BUSY;
  }
  DWORD id = 0;
  if (!DdeClientTransaction(data, size, conversation, nullptr, CF_TEXT, XTYP_EXECUTE, TIMEOUT_ASYNC, &id)) return false;
  DdeAbandonTransaction(instance, conversation, id);
  return true;
}

std::string take_text(HDDEDATA data) {
  if (!data) return {};
  const DWORD size = DdeGetData(data, nullptr, 0, 0);
  std::vector<char> bytes(size + 1, '\0');
  if (size > 0) DdeGetData(data, reinterpret_cast<LPBYTE>(bytes.data()), size, 0);
  DdeFreeDataHandle(data);
  return std::string(bytes.data(), strnlen(bytes.data(), bytes.size()));
}

const char* error_name(UINT code) {
  if (code < DMLERR_FIRST || code > DMLERR_FIRST + 0x11) return nullptr;
  return kErrorNames[code - DMLERR_FIRST];
}

Client::Client() {
  if (DdeInitializeA(&instance_, ignore_all, APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS, 0) !=
      DMLERR_NO_ERROR)
    instance_ = 0;
}

Client::~Client() {
  disconnect();
  if (instance_) DdeUninitialize(instance_);
}

bool Client::connect(std::string_view service, std::string_view topic) {
  disconnect();
  if (!instance_) return false;
  const StringHandle service_handle(instance_, service);
  const StringHandle topic_handle(instance_, topic);
  conversation_ = DdeConnect(instance_, service_handle.get(), topic_handle.get(), nullptr);
  return conversation_ != nullptr;
}

void Client::disconnect() {
  if (conversation_) DdeDisconnect(conversation_);
  conversation_ = nullptr;
}

std::optional<std::string> Client::request_text(std::string_view item, DWORD timeout_ms) {
  if (!conversation_) return std::nullopt;
  const StringHandle item_handle(instance_, item);
  if (!item_handle.get()) return std::nullopt;
  DWORD result = 0;
  HDDEDATA data = request(instance_, conversation_, item_handle.get(), CF_TEXT, timeout_ms, &result);
  if (!data) return std::nullopt;
  return take_text(data);
}

bool Client::execute(std::string_view command, DWORD timeout_ms) {
  if (!conversation_) return false;
  std::string text(command);
  DWORD result = 0;
  HDDEDATA ok = DdeClientTransaction(reinterpret_cast<LPBYTE>(text.data()), static_cast<DWORD>(text.size() + 1),
                                     conversation_, nullptr, CF_TEXT, XTYP_EXECUTE, timeout_ms, &result);
  return ok != nullptr;
}

UINT Client::last_error() const { return instance_ ? DdeGetLastError(instance_) : DMLERR_DLL_NOT_INITIALIZED; }

std::string Client::last_error_name() const {
  const UINT code = last_error();
  const char* name = error_name(code);
  return name ? name : "DDE error " + std::to_string(code);
}

}  // namespace kovo::dde
