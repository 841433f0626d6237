#include "ddeclient/dde_client_win.h"

#include <dde.h>

#include <cstring>
#include <vector>

#include "ddeclient/dde_errors.h"

namespace kovo::dde {
namespace {

constexpr DWORD kAckWaitMs = 1000;

HDDEDATA CALLBACK ignore_all(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

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

// The handle the next moveable memory block of this process will get: the
// allocator hands out the handle freed last first.
HGLOBAL next_moveable_handle() {
  HGLOBAL probe = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, 1);
  if (probe) GlobalFree(probe);
  return probe;
}

// The header Wine's DDEML puts before the data of a WM_DDE_DATA (the DDEDATA
// flags word and the clipboard format).
struct PostedHeader {
  unsigned short flags;
  short format;
};
constexpr unsigned short kResponseFlag = 0x1000;  // fResponse: answers a request
constexpr unsigned short kReleaseFlag = 0x2000;   // fRelease: the receiver frees it

// Under Wine the block a request's answer arrived in stays in the client for
// ever: the message brings a block of this process's own, the library copies
// it into the data handle it returns, and frees the block only when the
// server set fRelease, which Wine's server never does. Some 32,000 requests
// later the process has no moveable handle left. The block is the first one
// taken after the request was sent (the probe before it names it); it is
// freed only when it holds exactly the answer the data handle holds, as an
// answer without fRelease.
void free_arrived_block(HGLOBAL block, HDDEDATA data, UINT format) {
  if (!block || !data) return;
  DWORD size = 0;
  const BYTE* answer = DdeAccessData(data, &size);
  if (!answer) return;
  bool same = GlobalSize(block) == sizeof(PostedHeader) + size;
  if (same) {
    const auto* bytes = static_cast<const unsigned char*>(GlobalLock(block));
    if (bytes) {
      PostedHeader header{};
      std::memcpy(&header, bytes, sizeof header);
      same = (header.flags & (kResponseFlag | kReleaseFlag)) == kResponseFlag &&
             static_cast<unsigned short>(header.format) == static_cast<unsigned short>(format) &&
             std::memcmp(bytes + sizeof header, answer, size) == 0;
      GlobalUnlock(block);
    } else {
      same = false;
    }
  }
  DdeUnaccessData(data);
  if (same) GlobalFree(block);
}

}  // namespace

// The watch on the server's process. When the process ends, a thread of the
// system's pool notes it and posts the server's WM_DDE_TERMINATE to the
// client's conversation window: a synchronous transaction waiting on that
// window takes it as the end of the conversation and returns at once.
struct Conversation::Watch {
  HANDLE process = nullptr;
  HANDLE wait = nullptr;
  HWND client = nullptr;
  HWND server = nullptr;
  std::atomic<bool> gone{false};

  static VOID CALLBACK on_exit(PVOID context, BOOLEAN) {
    auto* watch = static_cast<Watch*>(context);
    watch->gone = true;
    PostMessageA(watch->client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(watch->server), 0);
  }

  // Starts watching the partner of a conversation; false when its process
  // cannot be found or waited on (the conversation then works unwatched).
  bool start(HCONV conversation) {
    CONVINFO info{};
    info.cb = sizeof info;
    if (!DdeQueryConvInfo(conversation, QID_SYNC, &info) || !info.hwndPartner) return false;
    client = info.hwnd;
    server = info.hwndPartner;
    DWORD process_id = 0;
    GetWindowThreadProcessId(server, &process_id);
    if (process_id == 0 || process_id == GetCurrentProcessId()) return false;
    process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
    if (!process) return false;
    if (!RegisterWaitForSingleObject(&wait, process, on_exit, this, INFINITE, WT_EXECUTEONLYONCE)) {
      wait = nullptr;
      return false;
    }
    return true;
  }

  ~Watch() {
    // Waits for a callback already running, so that none outlives the watch.
    if (wait) UnregisterWaitEx(wait, INVALID_HANDLE_VALUE);
    if (process) CloseHandle(process);
  }
};

bool running_under_wine() {
  static const bool wine = [] {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return wine;
}

HDDEDATA request(HCONV conversation, HSZ item, UINT format, DWORD timeout_ms, DWORD* result) {
  const HGLOBAL arriving = running_under_wine() ? next_moveable_handle() : nullptr;
  HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation, item, format, XTYP_REQUEST, timeout_ms, result);
  if (data && running_under_wine()) {
    take_trailing_ack();
    free_arrived_block(arriving, data, format ? format : CF_TEXT);
  }
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
  const std::string_view name = error_name_of(code);
  return name.empty() ? nullptr : name.data();
}

// ------------------------------------------------------------ Conversation

Conversation::Conversation() = default;

Conversation::~Conversation() { disconnect(); }

Conversation::Conversation(Conversation&& other) noexcept
    : handle_(other.handle_), watch_(std::move(other.watch_)) {
  other.handle_ = nullptr;
}

Conversation& Conversation::operator=(Conversation&& other) noexcept {
  if (this != &other) {
    disconnect();
    handle_ = other.handle_;
    watch_ = std::move(other.watch_);
    other.handle_ = nullptr;
  }
  return *this;
}

bool Conversation::connect(DWORD instance, HSZ service, HSZ topic) {
  disconnect();
  handle_ = DdeConnect(instance, service, topic, nullptr);
  if (!handle_) return false;
  auto watch = std::make_unique<Watch>();
  if (watch->start(handle_)) watch_ = std::move(watch);
  return true;
}

void Conversation::disconnect() {
  // The watch goes first: its callback must not post to a window that
  // DdeDisconnect destroys.
  watch_.reset();
  if (handle_) DdeDisconnect(handle_);
  handle_ = nullptr;
}

bool Conversation::server_gone() const { return watch_ && watch_->gone; }

// ------------------------------------------------------------ StringHandle

StringHandle::StringHandle(DWORD instance, std::string_view text) : instance_(instance) {
  const std::string copy(text);
  handle_ = DdeCreateStringHandleA(instance, copy.c_str(), CP_WINANSI);
}

StringHandle::~StringHandle() {
  if (handle_) DdeFreeStringHandle(instance_, handle_);
}

// ------------------------------------------------------------------ Client

Client::Client() {
  if (DdeInitializeA(&instance_, ignore_all, APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS, 0) != DMLERR_NO_ERROR)
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
  return conversation_.connect(instance_, service_handle.get(), topic_handle.get());
}

void Client::disconnect() { conversation_.disconnect(); }

std::optional<std::string> Client::request_text(std::string_view item, DWORD timeout_ms) {
  if (!conversation_.connected()) return std::nullopt;
  const StringHandle item_handle(instance_, item);
  if (!item_handle.get()) return std::nullopt;
  DWORD result = 0;
  HDDEDATA data = request(conversation_.handle(), item_handle.get(), CF_TEXT, timeout_ms, &result);
  if (!data) return std::nullopt;
  return take_text(data);
}

bool Client::execute(std::string_view command, DWORD timeout_ms) {
  if (!conversation_.connected()) return false;
  std::string text(command);
  DWORD result = 0;
  HDDEDATA ok = DdeClientTransaction(reinterpret_cast<LPBYTE>(text.data()), static_cast<DWORD>(text.size() + 1),
                                     conversation_.handle(), nullptr, CF_TEXT, XTYP_EXECUTE, timeout_ms, &result);
  return ok != nullptr;
}

UINT Client::last_error() const { return instance_ ? DdeGetLastError(instance_) : DMLERR_DLL_NOT_INITIALIZED; }

std::string Client::last_error_name() const {
  const UINT code = last_error();
  const char* name = error_name(code);
  return name ? name : "DDE error " + std::to_string(code);
}

}  // namespace kovo::dde
