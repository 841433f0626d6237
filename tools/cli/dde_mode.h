// The console as a DDE client of the running server: it connects as the
// add-in does (the client library's connect, starting Kovo.exe from the
// console's folder when the generic topic does not answer), and sends each
// line as the add-in would.
#pragma once

#include <memory>
#include <string>

#include "ddeclient/dde_client_win.h"

namespace kovo::cli {

struct Answer {
  int status = 0;
  std::string text;
};

class DdeSession {
 public:
  DdeSession(std::string topic, DWORD timeout_ms) : topic_(std::move(topic)), timeout_ms_(timeout_ms) {}
  // Connects to the topic, starting the server first when needed; on failure
  // error() tells why.
  bool open(const std::string& program_folder);
  // A request item, or a bracketed command: with NOSHOW as a request whose
  // item is the command, else as an execute.
  Answer send(const std::string& text);
  const std::string& error() const { return error_; }

 private:
  std::string topic_;
  DWORD timeout_ms_;
  dde::Client client_;
  std::string error_;
};

}  // namespace kovo::cli
