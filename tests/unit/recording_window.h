// A window for the controllers' tests: it records what a window's controller
// asks of it (boxes, clipboard texts, settings saved, texts handed back,
// other windows opened, closed and sent commands, help, closing) and plays
// the user where one is asked (the answer to a question, a stop during a
// fill).
#pragma once

#include <any>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "entry/messages.h"
#include "windows/box_rules.h"
#include "windows/window_services.h"

namespace kovo::testing {

class RecordingWindow : public windows::WindowServices {
 public:
  struct Box {
    windows::BoxKind kind;
    std::string text;
    bool operator==(const Box&) const = default;
  };
  struct Command {
    windows::Slot kind;
    int command;
    std::intptr_t value;
    bool operator==(const Command&) const = default;
  };
  bool automated = false;
  bool clipboard_opens = true;
  bool settings_written = true;
  int question_answer = windows::kAnswerYes;  // what the user answers a question shown
  int stop_after_rows = -1;                   // the user stops a fill after so many rows
  std::optional<std::string> clipboard = "earlier text";
  std::vector<Box> boxes;
  std::vector<std::string> handed_back;
  std::vector<windows::Slot> opened, closed_windows;
  std::vector<std::any> start_values;
  std::vector<Command> commands;
  std::vector<int> help_topics;
  int saves = 0, fills = 0;
  bool closed = false;

  bool automation() const override { return automated; }
  int box(windows::BoxKind kind, int number, std::string_view detail, int automation_answer) override {
    const auto decision = windows::decide_box(kind, automated ? 1 : 0, true, automation_answer);
    if (decision.report_failure) report(number, detail);
    if (!decision.show) return decision.answer;
    boxes.push_back({kind, box_text(number, detail)});
    const bool question = kind == windows::BoxKind::YesNo || kind == windows::BoxKind::OkCancel;
    return question ? question_answer : windows::kAnswerOk;
  }
  bool put_clipboard(std::string_view text) override {
    if (!clipboard_opens) return false;
    clipboard = std::string(text);
    return true;
  }
  void empty_clipboard() override { clipboard.reset(); }
  bool save_settings() override {
    ++saves;
    return settings_written;
  }
  void hand_back(std::string text) override { handed_back.push_back(std::move(text)); }
  void open_window(windows::Slot kind, std::any start) override {
    opened.push_back(kind);
    start_values.push_back(std::move(start));
  }
  void close_window(windows::Slot kind) override { closed_windows.push_back(kind); }
  void send_command(windows::Slot kind, int command, std::intptr_t value) override { commands.push_back({kind, command, value}); }
  void close() override { closed = true; }
  void open_help(int topic) override { help_topics.push_back(topic); }
  std::unique_ptr<windows::FillWork> fill(std::string, int) override {
    ++fills;
    struct Work : windows::FillWork {
      int left;
      bool halted = false;
      explicit Work(int stop_after) : left(stop_after) {}
      windows::RowCheck check() override {
        return [this] {
          if (left == 0) halted = true;
          if (left > 0) --left;
          return !halted;
        };
      }
      bool stopped() const override { return halted; }
    };
    return std::make_unique<Work>(stop_after_rows);
  }
};

}  // namespace kovo::testing
