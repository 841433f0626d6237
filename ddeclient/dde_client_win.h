// The DDE client side shared by every client program of the system (the
// console, the add-in, the benchmark): the one place where synchronous
// requests are sent. Under Wine the server's DDEML follows each request's
// data with an acknowledgement that the client must take off its queue, or
// its next request takes that acknowledgement for its answer and fails;
// request() does that, under Wine only. No process-wide state lives here.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <optional>
#include <string>
#include <string_view>

namespace kovo::dde {

// True when the process runs under Wine (ntdll exports wine_get_version).
bool running_under_wine();

// Sends one synchronous XTYP_REQUEST and returns what DdeClientTransaction
// returns (the data handle, or null on failure; *result as it sets it).
// Under Wine, after a request that brought data, the trailing WM_DDE_ACK is
// taken off this thread's queue, waiting for it at most about one second.
HDDEDATA request(DWORD instance, HCONV conversation, HSZ item, UINT format, DWORD timeout_ms,
                 DWORD* result);

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

// A client instance with one conversation, for programs that need no more.
class Client {
 public:
  Client();
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool ready() const { return instance_ != 0; }
  DWORD instance() const { return instance_; }
  HCONV conversation() const { return conversation_; }

  // Opens a conversation with the service on the topic (closing any open one).
  bool connect(std::string_view service, std::string_view topic);
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
  HCONV conversation_ = nullptr;
};

}  // namespace kovo::dde
