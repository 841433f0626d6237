#include "addin/core/conversations_win.h"

#include <windows.h>
#include <ddeml.h>

#include "addin/core/excel_win.h"
#include "addin/core/messages.h"
#include "ddeclient/dde_client_win.h"
#include "ddeclient/server_start_win.h"
#include "server/dde_tables.h"
#include "server/topics.h"

namespace kovo::addin::conversations {

namespace {

struct Entry {
  std::string name;
  HSZ handle = nullptr;
  dde::Conversation conversation;
};

struct State {
  DWORD instance = 0;
  HSZ service = nullptr;
  std::vector<Entry> table;
  unsigned time_out_ms = 300000;
  dde::ServerStart server;
  bool in_flight = false;
  bool evaluating = false;
  std::string last_error;
  Modes modes;
  // Set when the server died under a request: the rest of that calculation
  // fails at once instead of starting a server per cell. The spreadsheet's
  // next turn through its message loop (or the user's next command) clears it.
  bool server_lost = false;
  UINT_PTR lost_timer = 0;
};

State& state() {
  static State s;
  return s;
}

HDDEDATA CALLBACK callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// Notes the latest DDEML error, when there is one; outside a worksheet
// function it is shown.
void note_error() {
  State& s = state();
  const UINT code = s.instance ? DdeGetLastError(s.instance) : DMLERR_DLL_NOT_INITIALIZED;
  const std::optional<std::string> name = dde_error_text(code);
  if (!name) return;
  s.last_error = *name;
  if (!s.evaluating) xl::message_box(s.last_error, addin_message(kMsgClientCaption), MB_OK | MB_ICONWARNING);
}

void disconnect_all() {
  for (auto& e : state().table) e.conversation.disconnect();
}

void stop_lost_timer() {
  State& s = state();
  if (s.lost_timer) KillTimer(nullptr, s.lost_timer);
  s.lost_timer = 0;
}

VOID CALLBACK lost_timer_elapsed(HWND, UINT, UINT_PTR, DWORD) {
  stop_lost_timer();
  state().server_lost = false;
}

// The server died while it answered: every conversation with it is over,
// and the next start may start it again.
void lose_server() {
  State& s = state();
  disconnect_all();
  s.server.state = dde::ServerStart::State::Unknown;
  s.server_lost = true;
  if (!s.lost_timer) s.lost_timer = SetTimer(nullptr, 0, 0, lost_timer_elapsed);
}

// A server that went away while nobody asked it anything: its conversations
// are dropped, and the next connect starts it again.
void drop_gone_server() {
  State& s = state();
  for (const auto& e : s.table)
    if (e.conversation.server_gone()) {
      disconnect_all();
      s.server.state = dde::ServerStart::State::Unknown;
      return;
    }
}

HDDEDATA send_request(Entry& entry, HSZ item) {
  State& s = state();
  DWORD result = 0;
  s.in_flight = true;
  HDDEDATA data = dde::request(entry.conversation.handle(), item, CF_TEXT, s.time_out_ms, &result);
  s.in_flight = false;
  return data;
}

}  // namespace

Modes& modes() { return state().modes; }
void set_server_path(const std::string& path) { state().server.folder = path; }
void set_time_out_ms(unsigned ms) { state().time_out_ms = ms; }
unsigned time_out_ms() { return state().time_out_ms; }
void clear_server_started() { state().server.state = dde::ServerStart::State::Unknown; }
bool started() { return state().instance != 0; }
const std::string& last_error() { return state().last_error; }

void user_turn() {
  stop_lost_timer();
  state().server_lost = false;
}

bool connect(std::size_t index) {
  State& s = state();
  if (!s.instance || index >= s.table.size()) return false;
  Entry& entry = s.table[index];
  const dde::ConnectOutcome outcome = dde::connect_starting_server(
      s.instance, s.service, entry.handle, index == server::kGenericTopic, s.server, entry.conversation);
  if (outcome.launch_failed) {
    const std::string caption = addin_message(kMsgCaption);
    xl::message_box(addin_message(kMsgLaunchFailed), caption, MB_OK | MB_ICONWARNING);
    xl::message_box(addin_message(kMsgReturnCode) + std::to_string(outcome.first_code), caption,
                    MB_OK | MB_ICONWARNING);
    return false;
  }
  if (outcome.unanswered) note_error();
  return outcome.connected;
}

bool start() {
  State& s = state();
  if (!s.instance) {
    if (DdeInitializeA(&s.instance, callback, APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS, 0) != DMLERR_NO_ERROR) {
      s.instance = 0;
      return false;
    }
    s.service = DdeCreateStringHandleA(s.instance, std::string(server::kServiceName).c_str(), CP_WINANSI);
    s.table.clear();
    for (const auto& name : server::topic_names()) {
      Entry e;
      e.name = std::string(name);
      e.handle = DdeCreateStringHandleA(s.instance, e.name.c_str(), CP_WINANSI);
      s.table.push_back(std::move(e));
    }
  }
  if (!connect(server::kGenericTopic)) return false;
  send_command("[SETTOPIC]");
  return true;
}

void end_all() {
  State& s = state();
  stop_lost_timer();
  s.server_lost = false;
  if (!s.instance) return;
  for (auto& e : s.table) {
    if (e.conversation.connected() && !e.conversation.server_gone())
      dde::execute_async(s.instance, e.conversation.handle(), "[CLOSE]", 5000);
    e.conversation.disconnect();
    if (e.handle) DdeFreeStringHandle(s.instance, e.handle);
    e.handle = nullptr;
  }
  if (s.service) DdeFreeStringHandle(s.instance, s.service);
  s.service = nullptr;
  s.table.clear();
  DdeUninitialize(s.instance);
  s.instance = 0;
}

Outcome evaluate(std::string_view item, std::string_view topic_argument, const std::vector<Argument>& arguments,
                 bool value_first) {
  State& s = state();
  Outcome out;
  if (s.modes.migration) {
    out.text = std::string(kMigratedText);
    return out;
  }
  struct Evaluating {
    Evaluating() { state().evaluating = true; }
    ~Evaluating() { state().evaluating = false; }
  } evaluating;
  out.text = std::string(kFailureText);

  const std::string topic = topic_argument.empty() ? std::string(server::kGenericTopicName) : std::string(topic_argument);
  const auto index = server::find_topic(topic);
  if (index && s.server_lost) {
    out.text = addin_message(kMsgNotResponding);
    return out;
  }
  drop_gone_server();
  if (!index || !connect(*index)) {
    out.text = addin_message(kMsgNoConversation) + topic;
    return out;
  }
  const BuiltRequest built = build_request(item, arguments, value_first);
  if (built.uncalculated) {
    out.kind = Outcome::Kind::Uncalculated;
    return out;
  }
  if (!built.ok) {
    out.text = built.text;
    return out;
  }
  if (s.in_flight) {
    out.kind = Outcome::Kind::Nothing;
    return out;
  }
  if (s.modes.capture) {
    out.text = s.modes.capture(built.text);
    return out;
  }
  HSZ item_handle = DdeCreateStringHandleA(s.instance, built.text.c_str(), CP_WINANSI);
  if (!item_handle) {
    note_error();
    out.text = addin_message(kMsgStringTooLong);
    return out;
  }
  Entry& entry = s.table[*index];
  const DWORD began = GetTickCount();
  HDDEDATA data = send_request(entry, item_handle);
  const DWORD elapsed = GetTickCount() - began;
  DdeFreeStringHandle(s.instance, item_handle);
  if (!data) {
    if (entry.conversation.server_gone()) {
      lose_server();
      out.text = addin_message(kMsgNotResponding);
      return out;
    }
    note_error();
    out.text = s.last_error.empty() ? addin_message(kMsgNotResponding) : s.last_error;
    s.last_error.clear();
    return out;
  }
  const std::string answer = dde::take_text(data);
  if (s.modes.timing) {
    out.kind = Outcome::Kind::Number;
    out.number = elapsed / 1000.0;
    return out;
  }
  const Result r = result_of_answer(answer);
  if (r.is_number) {
    out.kind = Outcome::Kind::Number;
    out.number = r.number;
  } else {
    out.text = r.text;
  }
  return out;
}

bool send_command(std::string_view text, std::string* data) {
  State& s = state();
  if (!s.instance || s.table.empty() || s.server_lost) return false;
  drop_gone_server();
  // A server gone since the last request is started again for the command.
  if (!connect(server::kGenericTopic)) return false;
  Entry& generic = s.table[server::kGenericTopic];
  const std::string command(text);
  if (server::sent_as_request(command)) {
    if (s.in_flight) return false;
    HSZ item = DdeCreateStringHandleA(s.instance, command.c_str(), CP_WINANSI);
    if (!item) {
      note_error();
      return false;
    }
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    HDDEDATA answer = send_request(generic, item);
    SetCursor(previous);
    DdeFreeStringHandle(s.instance, item);
    if (!answer) {
      if (generic.conversation.server_gone()) lose_server();
      else note_error();
      return false;
    }
    std::string received = dde::take_text(answer);
    if (data) *data = std::move(received);
    return true;
  }
  if (!dde::execute_async(s.instance, generic.conversation.handle(), command, s.time_out_ms)) {
    if (generic.conversation.server_gone()) lose_server();
    else note_error();
    return false;
  }
  return true;
}

bool ask_supported(std::string_view text) {
  std::string answer;
  return send_command(text, &answer) && answer.rfind("Supp", 0) == 0;
}

void list_with_continuation(std::string_view command, const std::function<bool(const std::string&)>& consumer) {
  std::string answer;
  bool sent = send_command(command, &answer);
  const std::string next = list_continuation(command);
  // A failed request ends the list: asking again would fail the same way.
  while (consumer(sent ? answer : std::string()) && sent) {
    answer.clear();
    sent = send_command(next, &answer);
  }
}

}  // namespace kovo::addin::conversations
