// The grid child of the sheet window: draws what a GridState says (headers,
// cells in their number formats, the selection, the entry being typed, the
// active cell's note) and hands it keys, characters, clicks and scrolling.
// Only the rows and columns in view are drawn, so a large sheet scrolls as
// fast as a small one.
#pragma once

#include <windows.h>

#include <functional>

#include "sheethost/grid.h"

namespace kovo::sheet {

// What the grid asks of the window around it.
struct GridEvents {
  std::function<void(const GridOutcome&)> changed;  // after input: cells, selection or entry
  std::function<void(int command)> command;         // a shortcut for a menu command (F9, ctrl+C, ...)
};

class GridWindow {
 public:
  static constexpr int kControlId = 102;

  GridWindow(HWND parent, GridState& state, GridEvents events);
  ~GridWindow();
  GridWindow(const GridWindow&) = delete;
  GridWindow& operator=(const GridWindow&) = delete;

  HWND handle() const { return hwnd_; }
  // Redraws and sets the scroll bars after the state changed.
  void update();

 private:
  static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);
  void paint(HDC dc, const RECT& area);
  void paint_headers(HDC dc, const std::vector<GridState::Line>& rows, const std::vector<GridState::Line>& cols);
  void paint_note(HDC dc, const std::vector<GridState::Line>& rows, const std::vector<GridState::Line>& cols);
  bool key_down(WPARAM key);
  void scroll(int bar, WPARAM request);
  void set_scroll_bars();

  HWND hwnd_ = nullptr;
  GridState& state_;
  GridEvents events_;
  HFONT font_ = nullptr;
  HFONT bold_ = nullptr;
};

// Menu command ids of the host's own items, shared by the grid's shortcuts.
enum HostCommand : int {
  kCmdOpen = 200,
  kCmdSave,
  kCmdSaveAs,
  kCmdImport,
  kCmdExport,
  kCmdExit,
  kCmdCopy,
  kCmdPaste,
  kCmdClear,
  kCmdCalculateNow,
  kCmdAutomatic,
  kCmdManual,
};

}  // namespace kovo::sheet
