#include "addin/core/conversations_win.h"

#include <windows.h>
#include <ddeml.h>

#include "addin/core/excel_win.h"
#include "addin/core/messages.h"
#include "server/dde_client_win.h"
#include "server/topics.h"

namespace kovo::addin::conversations {

namespace {

struct Entry {
  std::string name;
  HSZ handle = nullptr;
  HCONV conversation = nullptr;
};

struct State {
  DWORD instance = 0;
  HSZ service = nullptr;
  std::vector<Entry> table;
  unsigned time_out_ms = 300000;
  std::string server_path = "c:\\kovo\\";
  bool server_started = false;
  bool in_flight = false;
  bool evaluating = false;
  std::string last_error;
  Modes modes;
};

State& state() {
  static State s;
  return s;
}

HDDEDATA CALLBACK callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// Notes the latest DDEML error; outside a worksheet function it is shown.
void note_error() {
  State& s = state();
  const UINT code = s.instance ? DdeGetLastError(s.instance) : DMLERR_DLL_NOT_INITIALIZED;
  s.last_error = dde_error_name(code);
  if (!s.evaluating) xl::message_box(s.last_error, addin_message(kMsgClientCaption), MB_OK | MB_ICONWARNING);
}

// Waits a moment while handling the messages other programs send to this
// thread (a starting server announces itself to every window).
void pause_ms(DWORD ms) {
  const DWORD until = GetTickCount() + ms;
  for (;;) {
    const DWORD now = GetTickCount();
    if (static_cast<LONG>(until - now) <= 0) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, until - now, QS_SENDMESSAGE);
    MSG m;
    PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

bool launch_server() {
  State& s = state();
  const std::string program = s.server_path + std::string(kServerProgram);
  const UINT first = WinExec(program.c_str(), SW_SHOWMINNOACTIVE);
  if (first >= 32) return true;
  if (WinExec(std::string(kServerProgram).c_str(), SW_SHOWMINIMIZED) >= 32) return true;
  const std::string caption = addin_message(kMsgCaption);
  xl::message_box(addin_message(kMsgLaunchFailed), caption, MB_OK | MB_ICONWARNING);
  xl::message_box(addin_message(kMsgReturnCode) + std::to_string(first), caption, MB_OK | MB_ICONWARNING);
  return false;
}

HDDEDATA send_request(Entry& entry, HSZ item) {
  State& s = state();
  HCONV conversation = entry.conversation;
  DWORD result = 0;
  s.in_flight = true;
  HDDEDATA data = dde::request(s.instance, conversation, item, CF_TEXT, s.time_out_ms, &result);
  s.in_flight = false;
  return data;
}

}  // namespace

Modes& modes() { return state().modes; }
void set_server_path(const std::string& path) { state().server_path = path; }
void set_time_out_ms(unsigned ms) { state().time_out_ms = ms; }
unsigned time_out_ms() { return state().time_out_ms; }
void clear_server_started() { state().server_started = false; }
bool server_started() { return state().server_started; }
bool started() { return state().instance != 0; }
const std::string& last_error() { return state().last_error; }

bool connect(std::size_t index) {
  State& s = state();
  if (!s.instance || index >= s.table.size()) return false;
  Entry& entry = s.table[index];
  if (entry.conversation) return true;
  for (int pass = 0; pass < 2; ++pass) {
    // Once the server has been started it may take a moment to serve:
    // up to 50 tries, a tenth of a second apart.
    const int tries = s.server_started ? 50 : 1;
    for (int t = 0; t < tries && !entry.conversation; ++t) {
      if (t > 0) pause_ms(100);
      entry.conversation = DdeConnect(s.instance, s.service, entry.handle, nullptr);
    }
    if (entry.conversation) {
      s.server_started = true;
      return true;
    }
    if (pass == 1) {
      if (!s.server_started) note_error();
      break;
    }
    if (!s.server_started && index == server::kGenericTopic) {
      if (!launch_server()) return false;
      s.server_started = true;
    }
  }
  return false;
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
  if (!s.instance) return;
  for (auto& e : s.table) {
    if (e.conversation) {
      dde::execute_async(s.instance, e.conversation, "[CLOSE]", 5000);
      DdeDisconnect(e.conversation);
      e.conversation = nullptr;
    }
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
  const DWORD began = GetTickCount();
  HDDEDATA data = send_request(s.table[*index], item_handle);
  const DWORD elapsed = GetTickCount() - began;
  DdeFreeStringHandle(s.instance, item_handle);
  if (!data) {
    note_error();
    if (!s.last_error.empty()) {
      out.text = s.last_error;
      s.last_error.clear();
    } else {
      out.text = addin_message(kMsgNotResponding);
    }
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
  if (!s.instance || s.table.empty()) return false;
  Entry& generic = s.table[server::kGenericTopic];
  if (!generic.conversation) return false;
  const std::string command(text);
  if (is_noshow(command)) {
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
      note_error();
      return false;
    }
    std::string received = dde::take_text(answer);
    if (data) *data = std::move(received);
    return true;
  }
  if (!dde::execute_async(s.instance, generic.conversation, command, s.time_out_ms)) {
    note_error();
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
