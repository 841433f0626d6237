#include "ddeclient/server_start_win.h"

namespace kovo::dde {
namespace {

constexpr int kTriesWhileStarting = 50;
constexpr DWORD kTryPauseMs = 100;
constexpr DWORD kInputIdleWaitMs = 30000;
constexpr UINT kStarted = 33;
constexpr UINT kBadFormat = 11;

}  // namespace

void pause_handling_sent_messages(DWORD ms) {
  const DWORD until = GetTickCount() + ms;
  for (;;) {
    const DWORD now = GetTickCount();
    if (static_cast<LONG>(until - now) <= 0) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, until - now, QS_SENDMESSAGE);
    MSG m;
    PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

UINT start_program(const std::string& command_line, int show) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION process{};
  std::string line = command_line;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                      &process)) {
    const DWORD error = GetLastError();
    return error < 32 ? static_cast<UINT>(error) : kBadFormat;
  }
  WaitForInputIdle(process.hProcess, kInputIdleWaitMs);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return kStarted;
}

ConnectOutcome connect_starting_server(DWORD instance, HSZ service, HSZ topic, bool generic_topic, ServerStart& start,
                                       Conversation& conversation) {
  ConnectOutcome outcome;
  if (conversation.connected()) {
    outcome.connected = true;
    return outcome;
  }
  for (int pass = 0; pass < 2; ++pass) {
    const int tries = start.state == ServerStart::State::Starting ? kTriesWhileStarting : 1;
    for (int t = 0; t < tries && !conversation.connected(); ++t) {
      if (t > 0) pause_handling_sent_messages(kTryPauseMs);
      conversation.connect(instance, service, topic);
    }
    if (conversation.connected()) {
      start.state = ServerStart::State::Running;
      outcome.connected = true;
      return outcome;
    }
    if (pass == 1 || start.state != ServerStart::State::Unknown || !generic_topic) break;
    const std::string program(kServerProgram);
    outcome.first_code = start_program("\"" + start.folder + program + "\"", SW_SHOWMINNOACTIVE);
    if (outcome.first_code < 32 && start_program(program, SW_SHOWMINIMIZED) < 32) {
      outcome.launch_failed = true;
      return outcome;
    }
    start.state = ServerStart::State::Starting;
  }
  outcome.unanswered = start.state == ServerStart::State::Unknown;
  return outcome;
}

}  // namespace kovo::dde
