// The client side of DDE shared by every client program of the system (the
// add-in, the console, the benchmarks): the one place where requests are
// sent and where a conversation learns that its server is gone.
//
// Under Wine the server's DDEML follows each request's data with an
// acknowledgement that the client must take off its queue, or its next
// request takes that acknowledgement for its answer and fails; request()
// does that, under Wine only.
//
// A synchronous request waits on DDE messages alone, so a server that dies
// while it answers would keep its client waiting for the whole time-out. A
// Conversation therefore watches its server's process: when the process
// ends, a request waiting on it ends at once and server_gone() says why.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kovo::dde {

// True when the process runs under Wine (ntdll exports wine_get_version).
bool running_under_wine();

// Sends one synchronous XTYP_REQUEST and returns what DdeClientTransaction
// returns (the data handle, or null on failure; *result as it sets it).
// Under Wine, after a request that brought data, the trailing WM_DDE_ACK is
// taken off this thread's queue, waiting for it at most about one second,
// and the block the answer arrived in (which Wine's library keeps) is freed.
HDDEDATA request(HCONV conversation, HSZ item, UINT format, DWORD timeout_ms, DWORD* result);

// Sends a command as an asynchronous XTYP_EXECUTE (its text with the
// terminating zero as data, TIMEOUT_ASYNC) and abandons the transaction at
// once: the sender does not wait for the server. False when it could not be
// sent. Under Wine an asynchronous execute leaves the conversation unable to
// take the answer of its next synchronous request (the data arrives and is
// dropped, and the request waits for ever), so there the execute is sent
// synchronously, waiting at most wine_wait_ms for the server's acknowledgement.
bool execute_async(DWORD instance, HCONV conversation, std::string_view command, DWORD wine_wait_ms);

// The text of a data handle up to its first zero; the handle is freed.
std::string take_text(HDDEDATA data);

// The DDEML name of an error code ("DMLERR_NOTPROCESSED"), or null for a
// code outside 0x4000 to 0x4011.
const char* error_name(UINT code);

// One conversation with the server, and a watch on the server's process.
class Conversation {
 public:
  Conversation();
  ~Conversation();
  Conversation(Conversation&& other) noexcept;
  Conversation& operator=(Conversation&& other) noexcept;
  Conversation(const Conversation&) = delete;
  Conversation& operator=(const Conversation&) = delete;

  // DdeConnect with the service and topic; an open conversation is closed
  // first. True when connected.
  bool connect(DWORD instance, HSZ service, HSZ topic);
  // DdeDisconnect, unless the server is gone (nothing would answer).
  void disconnect();
  HCONV handle() const { return handle_; }
  bool connected() const { return handle_ != nullptr; }
  // True once the server's process has ended.
  bool server_gone() const;

 private:
  struct Watch;
  HCONV handle_ = nullptr;
  std::unique_ptr<Watch> watch_;
};

// A client instance with one conversation, for programs that need no more.
class Client {
 public:
  Client();
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool ready() const { return instance_ != 0; }
  DWORD instance() const { return instance_; }
  HCONV conversation() const { return conversation_.handle(); }
  bool server_gone() const { return conversation_.server_gone(); }

  // Opens a conversation with the service on the topic (closing any open one).
  bool connect(std::string_view service, std::string_view topic);
  Conversation& connection() { return conversation_; }
  void disconnect();
  // A synchronous CF_TEXT request; nothing when no data came.
  std::optional<std::string> request_text(std::string_view item, DWORD timeout_ms);
  // A synchronous execute; true when the server acknowledged it.
  bool execute(std::string_view command, DWORD timeout_ms);
  // DdeGetLastError of the instance, and its name.
  UINT last_error() const;
  std::string last_error_name() const;

 private:
  DWORD instance_ = 0;
  Conversation conversation_;
};

// A string handle released when it goes out of scope.
class StringHandle {
 public:
  StringHandle(DWORD instance, std::string_view text);
  ~StringHandle();
  StringHandle(const StringHandle&) = delete;
  StringHandle& operator=(const StringHandle&) = delete;
  HSZ get() const { return handle_; }

 private:
  DWORD instance_;
  HSZ handle_ = nullptr;
};

}  // namespace kovo::dde
