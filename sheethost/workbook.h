// The workbook model: the application's open workbooks of named sheets of
// cells, defined names, selection, hidden rows and columns and the
// application-wide state (calculation mode, screen updating, status bar).
// Content changes go through the editing functions of edit.h so that the
// calculator hears of them.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "sheethost/address.h"
#include "sheethost/value.h"

namespace kovo::sheet {

struct Formula;
class Sheet;
class Workbook;
class Application;
class Calculator;

// Calculation bookkeeping of a formula cell within one pass.
enum class CalcState : std::uint8_t { Clean, Pending, Active, Done };

struct Cell {
  Cell();
  ~Cell();
  Cell(const Cell&) = delete;
  Cell& operator=(const Cell&) = delete;

  Value value;                       // the constant, or the formula's last value
  std::unique_ptr<Formula> formula;  // null for a constant
  std::string format;                // number format; empty = General
  std::string note;

  // Where the cell is; kept current by its sheet.
  Sheet* sheet = nullptr;
  int row = 0;
  int col = 0;

  // Calculator state.
  bool dirty = false;             // needs calculation at the next recalculation
  std::uint32_t pass = 0;         // pass in which state was last set
  CalcState state = CalcState::Clean;
  Cell* waiter = nullptr;         // the cell that waits for this one in this pass
  int slot = -1;                  // place in the calculator's formula list

  bool has_content() const { return formula || !value.is_empty() || !format.empty() || !note.empty(); }
};

class Sheet {
 public:
  Sheet(Workbook& book, std::uint64_t id, std::string name);
  ~Sheet();

  std::uint64_t id() const { return id_; }
  const std::string& name() const { return name_; }
  void rename(std::string name) { name_ = std::move(name); }
  Workbook& book() const { return *book_; }

  Cell* find(int row, int col) const;
  Cell& ensure(int row, int col);
  // Takes the cell out of the sheet (nothing when there is none).
  std::unique_ptr<Cell> take(int row, int col);
  // Places a cell, replacing what is there; the cell's position is updated.
  void put(int row, int col, std::unique_ptr<Cell> cell);

  // Calls f(Cell&) for every cell, column by column, each column from the
  // top. f must not add or remove cells of this sheet.
  template <typename F>
  void for_each_cell(F&& f) const {
    for (const auto& column : columns_)
      for (const auto& block : column.blocks)
        if (block)
          for (const auto& cell : *block)
            if (cell) f(*cell);
  }
  // First to last used row and column (cells with any content), if any.
  std::optional<Area> used_range() const;

  // Shifts storage: cells, positions, hidden flags and sizes. Cells pushed
  // past the sheet's end are handed back so the caller can refuse or drop them.
  std::vector<std::unique_ptr<Cell>> shift_rows(int at, int count);
  std::vector<std::unique_ptr<Cell>> shift_cols(int at, int count);

  bool row_hidden(int row) const { return hidden_rows_.count(row) != 0; }
  bool col_hidden(int col) const { return hidden_cols_.count(col) != 0; }
  void set_row_hidden(int row, bool hidden);
  void set_col_hidden(int col, bool hidden);
  const std::set<int>& hidden_rows() const { return hidden_rows_; }
  const std::set<int>& hidden_cols() const { return hidden_cols_; }
  std::optional<double> row_height(int row) const;
  std::optional<double> col_width(int col) const;
  void set_row_height(int row, std::optional<double> height);
  void set_col_width(int col, std::optional<double> width);
  const std::map<int, double>& row_heights() const { return row_heights_; }
  const std::map<int, double>& col_widths() const { return col_widths_; }

  // Selection: one or more areas and the active cell inside them.
  std::vector<Area> selection{Area{}};
  CellPos active_cell{};
  bool protected_contents = false;

 private:
  // Cells are kept per column in blocks of rows, made when a cell first
  // lands in them: finding a cell costs two index steps, and a sparse sheet
  // (a few cells far down many columns) costs a block per cell, not a
  // column of 65536 slots.
  static constexpr int kBlockRows = 64;
  using Block = std::array<std::unique_ptr<Cell>, kBlockRows>;
  struct Column {
    std::vector<std::unique_ptr<Block>> blocks;  // [row / kBlockRows]
  };
  std::unique_ptr<Cell>* slot(int row, int col);

  Workbook* book_;
  std::uint64_t id_;
  std::string name_;
  std::vector<Column> columns_;  // [col]
  std::set<int> hidden_rows_, hidden_cols_;
  std::map<int, double> row_heights_, col_widths_;
};

// Names defined through other names are followed this many levels deep;
// a deeper chain (or a circle of names) reads as #REF!.
constexpr int kMaxNameDepth = 16;

struct DefinedName {
  DefinedName();
  ~DefinedName();
  DefinedName(DefinedName&&) noexcept;
  DefinedName& operator=(DefinedName&&) noexcept;

  std::string name;
  Sheet* scope = nullptr;  // nullptr: the whole workbook
  std::unique_ptr<Formula> refers_to;
  bool hidden = false;
};

class Workbook {
 public:
  Workbook(Application& app, std::string name);
  ~Workbook();

  Application& app() const { return *app_; }
  const std::string& name() const { return name_; }
  void rename(std::string name) { name_ = std::move(name); }
  const std::string& path() const { return path_; }
  void set_path(std::string path) { path_ = std::move(path); }

  // A new sheet at position (clamped), named as given.
  Sheet& add_sheet(std::string name, int position = -1);
  // "Sheet1", "Sheet2", ...: the first not taken.
  std::string free_sheet_name() const;
  Sheet* find_sheet(std::string_view name) const;  // case-insensitive
  const std::vector<std::unique_ptr<Sheet>>& sheets() const { return sheets_; }
  int sheet_index(const Sheet* sheet) const;
  Sheet& active_sheet() const { return *sheets_[active_sheet_]; }
  void activate(const Sheet& sheet);

  std::vector<DefinedName>& names() { return names_; }
  const std::vector<DefinedName>& names() const { return names_; }
  // The name visible from a sheet: sheet-level first, then workbook-level.
  const DefinedName* find_name(std::string_view name, const Sheet* from) const;

  bool changed = false;

 private:
  Application* app_;
  std::string name_;
  std::string path_;
  std::vector<std::unique_ptr<Sheet>> sheets_;
  int active_sheet_ = 0;
  std::vector<DefinedName> names_;
};

enum class CalcMode { Automatic = 1, SemiAutomatic = 2, Manual = 3 };

class Application {
 public:
  Application();
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // A workbook not yet open: loaders fill it and then open it, or drop it.
  std::unique_ptr<Workbook> make_workbook(std::string name);
  Workbook& open(std::unique_ptr<Workbook> book);
  // A new open workbook "BookN" with one sheet "Sheet1", made active.
  Workbook& new_workbook();
  std::uint64_t next_sheet_id() { return next_sheet_id_++; }

  const std::vector<std::unique_ptr<Workbook>>& books() const { return books_; }
  Workbook* find_book(std::string_view name) const;  // case-insensitive
  Workbook* active_book() const { return active_; }
  Sheet* active_sheet() const { return active_ ? &active_->active_sheet() : nullptr; }
  void activate(Workbook& book) { active_ = &book; }
  Sheet* find_sheet(std::uint64_t id) const;
  // "[Book]Sheet" or "Sheet" (in the given workbook, else the active one).
  Sheet* resolve_sheet(std::string_view book, std::string_view sheet, const Workbook* home = nullptr) const;
  // "[Book1]Sheet1" as the C API names sheets.
  static std::string full_name(const Sheet& sheet);

  Calculator& calculator() { return *calculator_; }

  CalcMode calc_mode = CalcMode::Automatic;
  bool screen_updating = true;
  std::string status_bar;  // empty: the default status bar
  char list_separator = ',';

 private:
  std::vector<std::unique_ptr<Workbook>> books_;
  Workbook* active_ = nullptr;
  std::uint64_t next_sheet_id_ = 1;
  int next_book_number_ = 1;
  std::unique_ptr<Calculator> calculator_;
};

}  // namespace kovo::sheet
