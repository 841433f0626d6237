#include "dde_mode.h"

#include <algorithm>
#include <cctype>

#include "server/dde_tables.h"
#include "server/topics.h"

namespace kovo::cli {
namespace {

constexpr int kStartAttempts = 100;
constexpr DWORD kStartPollMs = 100;

bool ends_with(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Starts the server detached from the console's standard streams, so that
// whoever reads the console's output is not kept waiting by the server.
bool start_server(const std::string& program) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINNOACTIVE;
  PROCESS_INFORMATION process{};
  std::string line = "\"" + program + "\"";
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                      &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

bool sent_as_request(const std::string& command) {
  std::string upper = command;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper.find("NOSHOW") != std::string::npos;
}

bool DdeSession::connect_generic() {
  return client_.connect(server::kServiceName, server::kGenericTopicName);
}

bool DdeSession::open(const std::string& program_folder) {
  if (!client_.ready()) {
    error_ = "DDE could not be initialised";
    return false;
  }
  if (!connect_generic()) {
    const std::string server = program_folder + "Kovo.exe";
    if (!start_server(server)) {
      error_ = "the server " + server + " could not be started";
      return false;
    }
    bool connected = false;
    for (int attempt = 0; attempt < kStartAttempts && !connected; ++attempt) {
      Sleep(kStartPollMs);
      connected = connect_generic();
    }
    if (!connected) {
      error_ = "the server does not answer on the topic Kovo (" + client_.last_error_name() + ")";
      return false;
    }
  }
  if (!server::equal_nocase(topic_, server::kGenericTopicName) && !client_.connect(server::kServiceName, topic_)) {
    error_ = "the server does not offer the topic " + topic_ + " (" + client_.last_error_name() + ")";
    return false;
  }
  return true;
}

Answer DdeSession::send(const std::string& text) {
  const bool command = !text.empty() && text.front() == '[';
  if (command && !server::find_command(text)) return {1, "The command sent is unknown to kovo - " + text};
  if (command && !sent_as_request(text)) return {client_.execute(text, timeout_ms_) ? 0 : 1, {}};
  const auto answer = client_.request_text(text, timeout_ms_);
  if (!answer) return {1, "DDE request failed: " + client_.last_error_name()};
  // The server appends the item name to an answer the connector did not process.
  const std::string_view name = server::split_item(text).name;
  const bool item = !command && server::find_item(name).has_value();
  const bool refused = item ? !ends_with(*answer, "\r\n") && answer->size() > name.size() && ends_with(*answer, name)
                            : !command && !server::find_command(text);
  return {refused ? 1 : 0, *answer};
}

}  // namespace kovo::cli
