#include "dde_mode.h"

#include "ddeclient/server_start_win.h"
#include "server/dde_tables.h"
#include "server/topics.h"

namespace kovo::cli {
namespace {

bool ends_with(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool DdeSession::open(const std::string& program_folder) {
  if (!client_.ready()) {
    error_ = "DDE could not be initialised";
    return false;
  }
  const dde::StringHandle service(client_.instance(), server::kServiceName);
  const dde::StringHandle generic(client_.instance(), server::kGenericTopicName);
  dde::ServerStart start;
  start.folder = program_folder;
  const dde::ConnectOutcome outcome =
      dde::connect_starting_server(client_.instance(), service.get(), generic.get(), true, start, client_.connection());
  if (outcome.launch_failed) {
    error_ = "the server " + program_folder + dde::kServerProgram + " could not be started (code " +
             std::to_string(outcome.first_code) + ")";
    return false;
  }
  if (!outcome.connected) {
    error_ = "the server does not answer on the topic Kovo (" + client_.last_error_name() + ")";
    return false;
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
  if (command && !server::sent_as_request(text)) return {client_.execute(text, timeout_ms_) ? 0 : 1, {}};
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
