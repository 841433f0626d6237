// kovo-cli: sends requests and window commands to a connector library the
// way the server does, and prints each answer with its status.
//
//   kovo-cli [--library PATH | --dde [TOPIC]] [--timeout SECONDS] [--value] [--time] [--clipboard FILE]
//            [REQUEST ...]
//
// Requests are written as the add-in sends them ("GL;1000-?;This Month;DEMO",
// "[SETUP(NoShow=1,Company=DEMO)]"); without any on the command line they are
// read one per line from standard input. Each answer prints as the status, a
// tab and the text with carriage returns, line feeds and tabs shown as \r, \n
// and \t; with --value only the text is printed, less its final line end.
// --time puts the request's time in microseconds and a tab before each answer.
// With --dde the lines go to the running server (started when needed) on the
// topic (LEDRA5 unless named; Kovo for the generic topic) instead of a
// library loaded here; bracketed commands carrying NOSHOW travel as requests
// in both modes, as the add-in sends them. --clipboard puts the file's text
// on the clipboard first, as a user copies a block of cells for the budget
// write-back.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <iostream>
#include <string>
#include <vector>

#include "connector_library.h"
#include "dde_mode.h"
#include "entry/request_text.h"
#include "server/dde_tables.h"
#include "server/topics.h"

namespace {

using kovo::cli::Answer;
using kovo::cli::ConnectorLibrary;
namespace srv = kovo::server;

std::string program_folder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length < MAX_PATH ? length : 0);
  const auto slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

// A command, as the server handles it: sent as a request it gets a result
// buffer, as an execute only the list command does.
Answer execute(const ConnectorLibrary& library, const std::string& command, bool as_request) {
  const auto code = srv::find_command(command);
  if (!code) return {1, "The command sent is unknown to kovo - " + command};
  if (*code == kovo::codes::kClipToDde) return {0, library.has_clip_to_dde() ? "Supported" : "NotSupported"};
  if (srv::handled_by_server(*code)) return {0, "(handled by the server; not sent to the connector)"};
  const std::string arguments(srv::command_arguments(command));
  std::vector<char> result(kovo::kResultCapacity, '\0');
  Answer answer;
  answer.status =
      library.call(*code, arguments.c_str(), srv::command_gets_result(*code, as_request) ? result.data() : nullptr);
  answer.text = result.data();
  return answer;
}

Answer request(const ConnectorLibrary& library, const std::string& text) {
  if (!text.empty() && text.front() == '[' && !kovo::server::sent_as_request(text))
    return execute(library, text, false);
  const auto [name, arguments] = srv::split_item(text);
  const auto code = srv::find_item(name);
  if (!code) {
    // The server answers an unknown item with an error text naming the item.
    if (!srv::find_command(text)) return {1, "The command sent is unknown to kovo - " + std::string(name) + "\r\n"};
    Answer answer = execute(library, text, true);
    if (answer.text.empty()) answer.text = "KovoListDone\r\n";
    return answer;
  }
  std::vector<char> result(kovo::kResultCapacity, '\0');
  const std::string args(arguments);
  Answer answer;
  answer.status = library.call(*code, args.c_str(), result.data());
  answer.text = result.data();
  if (answer.status == kovo::kStatusNotProcessed && !answer.text.empty()) answer.text += std::string(name);
  return answer;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}

void print(const Answer& answer, bool value_only) {
  if (value_only) {
    std::string text = answer.text;
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
  } else {
    std::printf("%d\t%s\n", answer.status, escaped(answer.text).c_str());
  }
  std::fflush(stdout);
}

// The file's bytes as the clipboard's plain text.
bool put_on_clipboard(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::string text;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
  std::fclose(file);
  if (text.find('\0') != std::string::npos) return false;
  // Data set while the clipboard has no owner window may be refused.
  HWND owner = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (!OpenClipboard(owner)) {
    if (owner) DestroyWindow(owner);
    return false;
  }
  EmptyClipboard();
  bool put = false;
  if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
    if (void* bytes = GlobalLock(block)) {
      std::memcpy(bytes, text.c_str(), text.size() + 1);
      GlobalUnlock(block);
      put = SetClipboardData(CF_TEXT, block) != nullptr;
    }
    if (!put) GlobalFree(block);
  }
  CloseClipboard();
  if (owner) DestroyWindow(owner);
  return put;
}

void print_time(std::chrono::steady_clock::time_point begin, bool timed) {
  if (!timed) return;
  const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count();
  std::printf("%.1f\t", us);
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // answers carry their own line ends
  _setmode(_fileno(stdin), _O_BINARY);   // requests are bytes: a 0x1A is no end of input
  std::string library_path = program_folder() + "Ledra5.dll";
  bool value_only = false;
  bool timed = false;
  bool over_dde = false;
  std::string topic = "LEDRA5";
  DWORD timeout_ms = 60000;
  std::vector<std::string> requests;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--library" && i + 1 < argc) library_path = argv[++i];
    else if (arg == "--value") value_only = true;
    else if (arg == "--clipboard" && i + 1 < argc) {
      if (!put_on_clipboard(argv[++i])) {
        std::fprintf(stderr, "kovo-cli: cannot put %s on the clipboard\n", argv[i]);
        return 2;
      }
    }
    else if (arg == "--time") timed = true;
    else if (arg == "--timeout" && i + 1 < argc) timeout_ms = static_cast<DWORD>(std::max(1, std::atoi(argv[++i]))) * 1000;
    else if (arg == "--dde") {
      over_dde = true;
      if (i + 1 < argc && srv::find_topic(argv[i + 1])) topic = argv[++i];
    } else if (arg == "--help") {
      std::puts("usage: kovo-cli [--library PATH | --dde [TOPIC]] [--timeout SECONDS] [--value] [--time] "
                "[--clipboard FILE] [REQUEST ...]");
      return 0;
    } else requests.push_back(arg);
  }
  auto for_each_request = [&](auto&& run) {
    if (!requests.empty()) {
      for (const auto& text : requests) run(text);
      return;
    }
    std::string line;
    while (std::getline(std::cin, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) run(line);
    }
  };
  if (over_dde) {
    kovo::cli::DdeSession session(topic, timeout_ms);
    if (!session.open(program_folder())) {
      std::fprintf(stderr, "kovo-cli: %s\n", session.error().c_str());
      return 2;
    }
    for_each_request([&](const std::string& text) {
      const auto begin = std::chrono::steady_clock::now();
      const Answer answer = session.send(text);
      print_time(begin, timed);
      print(answer, value_only);
    });
    return 0;
  }
  ConnectorLibrary library;
  if (!library.load(library_path)) {
    std::fprintf(stderr, "kovo-cli: %s\n", library.error().c_str());
    return 2;
  }
  for_each_request([&](const std::string& text) {
    const auto begin = std::chrono::steady_clock::now();
    const Answer answer = request(library, text);
    print_time(begin, timed);
    print(answer, value_only);
    library.pump_messages();
  });
  if (library.unload() != 0) std::fprintf(stderr, "kovo-cli: the connector is busy and stays loaded\n");
  return 0;
}
