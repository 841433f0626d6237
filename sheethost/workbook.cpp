#include "sheethost/workbook.h"

#include <algorithm>
#include <cctype>

#include "sheethost/calc.h"
#include "sheethost/formula.h"

namespace kovo::sheet {

Cell::Cell() = default;
Cell::~Cell() = default;

DefinedName::DefinedName() = default;
DefinedName::~DefinedName() = default;
DefinedName::DefinedName(DefinedName&&) noexcept = default;
DefinedName& DefinedName::operator=(DefinedName&&) noexcept = default;

// ---------------------------------------------------------------------- Sheet

Sheet::Sheet(Workbook& book, std::uint64_t id, std::string name) : book_(&book), id_(id), name_(std::move(name)) {}
Sheet::~Sheet() = default;

Cell* Sheet::find(int row, int col) const {
  if (col < 0 || row < 0 || static_cast<std::size_t>(col) >= columns_.size()) return nullptr;
  const auto& blocks = columns_[static_cast<std::size_t>(col)].blocks;
  const auto b = static_cast<std::size_t>(row / kBlockRows);
  if (b >= blocks.size() || !blocks[b]) return nullptr;
  return (*blocks[b])[static_cast<std::size_t>(row % kBlockRows)].get();
}

std::unique_ptr<Cell>* Sheet::slot(int row, int col) {
  if (!valid_pos(row, col)) return nullptr;
  if (static_cast<std::size_t>(col) >= columns_.size()) columns_.resize(static_cast<std::size_t>(col) + 1);
  auto& blocks = columns_[static_cast<std::size_t>(col)].blocks;
  const auto b = static_cast<std::size_t>(row / kBlockRows);
  if (b >= blocks.size()) blocks.resize(b + 1);
  if (!blocks[b]) blocks[b] = std::make_unique<Block>();
  return &(*blocks[b])[static_cast<std::size_t>(row % kBlockRows)];
}

Cell& Sheet::ensure(int row, int col) {
  if (Cell* c = find(row, col)) return *c;
  auto cell = std::make_unique<Cell>();
  Cell& ref = *cell;
  put(row, col, std::move(cell));
  return ref;
}

std::unique_ptr<Cell> Sheet::take(int row, int col) {
  if (!find(row, col)) return nullptr;
  return std::move(*slot(row, col));
}

void Sheet::put(int row, int col, std::unique_ptr<Cell> cell) {
  if (!valid_pos(row, col)) return;
  if (!cell) {
    if (find(row, col)) slot(row, col)->reset();
    return;
  }
  cell->sheet = this;
  cell->row = row;
  cell->col = col;
  *slot(row, col) = std::move(cell);
}

std::optional<Area> Sheet::used_range() const {
  std::optional<Area> used;
  for_each_cell([&](const Cell& c) {
    if (!c.has_content()) return;
    if (!used) {
      used = Area::cell(c.row, c.col);
      return;
    }
    used->row1 = std::min(used->row1, c.row);
    used->row2 = std::max(used->row2, c.row);
    used->col1 = std::min(used->col1, c.col);
    used->col2 = std::max(used->col2, c.col);
  });
  return used;
}

namespace {

// Moves keys at or past "at" by count in a set or map, dropping those pushed
// past the limit.
template <typename Container>
Container shift_keys(const Container& in, int at, int count, int limit) {
  Container out;
  for (const auto& item : in) {
    int key;
    if constexpr (std::is_same_v<Container, std::set<int>>) key = item;
    else key = item.first;
    const int moved = key >= at ? key + count : key;
    if (moved >= limit) continue;
    if constexpr (std::is_same_v<Container, std::set<int>>) out.insert(moved);
    else out.emplace(moved, item.second);
  }
  return out;
}

}  // namespace

std::vector<std::unique_ptr<Cell>> Sheet::shift_rows(int at, int count) {
  std::vector<std::unique_ptr<Cell>> dropped;
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    // The column's cells from "at" down, taken out and put back lower.
    std::vector<std::unique_ptr<Cell>> moving;
    auto& blocks = columns_[c].blocks;
    for (std::size_t b = static_cast<std::size_t>(at / kBlockRows); b < blocks.size(); ++b)
      if (blocks[b])
        for (auto& cell : *blocks[b])
          if (cell && cell->row >= at) moving.push_back(std::move(cell));
    for (auto& cell : moving) {
      const int row = cell->row + count;
      if (row >= kMaxRows) dropped.push_back(std::move(cell));
      else put(row, static_cast<int>(c), std::move(cell));
    }
  }
  hidden_rows_ = shift_keys(hidden_rows_, at, count, kMaxRows);
  row_heights_ = shift_keys(row_heights_, at, count, kMaxRows);
  return dropped;
}

std::vector<std::unique_ptr<Cell>> Sheet::shift_cols(int at, int count) {
  std::vector<std::unique_ptr<Cell>> dropped;
  if (static_cast<std::size_t>(at) < columns_.size()) {
    for (int i = 0; i < count; ++i) columns_.emplace(columns_.begin() + at);
    while (columns_.size() > static_cast<std::size_t>(kMaxCols)) {
      for (auto& block : columns_.back().blocks)
        if (block)
          for (auto& cell : *block)
            if (cell) dropped.push_back(std::move(cell));
      columns_.pop_back();
    }
    for (std::size_t c = static_cast<std::size_t>(at); c < columns_.size(); ++c)
      for (auto& block : columns_[c].blocks)
        if (block)
          for (auto& cell : *block)
            if (cell) cell->col = static_cast<int>(c);
  }
  hidden_cols_ = shift_keys(hidden_cols_, at, count, kMaxCols);
  col_widths_ = shift_keys(col_widths_, at, count, kMaxCols);
  return dropped;
}

void Sheet::set_row_hidden(int row, bool hidden) {
  if (row < 0 || row >= kMaxRows) return;
  if (hidden) hidden_rows_.insert(row);
  else hidden_rows_.erase(row);
}

void Sheet::set_col_hidden(int col, bool hidden) {
  if (col < 0 || col >= kMaxCols) return;
  if (hidden) hidden_cols_.insert(col);
  else hidden_cols_.erase(col);
}

std::optional<double> Sheet::row_height(int row) const {
  auto it = row_heights_.find(row);
  if (it == row_heights_.end()) return std::nullopt;
  return it->second;
}

std::optional<double> Sheet::col_width(int col) const {
  auto it = col_widths_.find(col);
  if (it == col_widths_.end()) return std::nullopt;
  return it->second;
}

void Sheet::set_row_height(int row, std::optional<double> height) {
  if (row < 0 || row >= kMaxRows) return;
  if (height) row_heights_[row] = *height;
  else row_heights_.erase(row);
}

void Sheet::set_col_width(int col, std::optional<double> width) {
  if (col < 0 || col >= kMaxCols) return;
  if (width) col_widths_[col] = *width;
  else col_widths_.erase(col);
}

// ------------------------------------------------------------------- Workbook

Workbook::Workbook(Application& app, std::string name) : app_(&app), name_(std::move(name)) {}
Workbook::~Workbook() = default;

Sheet& Workbook::add_sheet(std::string name, int position) {
  auto sheet = std::make_unique<Sheet>(*this, app_->next_sheet_id(), std::move(name));
  Sheet& ref = *sheet;
  const int count = static_cast<int>(sheets_.size());
  if (position < 0 || position > count) position = count;
  const Sheet* active = sheets_.empty() ? nullptr : sheets_[static_cast<std::size_t>(active_sheet_)].get();
  sheets_.insert(sheets_.begin() + position, std::move(sheet));
  if (active) active_sheet_ = sheet_index(active);
  return ref;
}

std::string Workbook::free_sheet_name() const {
  for (int n = 1;; ++n) {
    std::string name = "Sheet" + std::to_string(n);
    if (!find_sheet(name)) return name;
  }
}

Sheet* Workbook::find_sheet(std::string_view name) const {
  for (const auto& s : sheets_)
    if (same_text_no_case(s->name(), name)) return s.get();
  return nullptr;
}

int Workbook::sheet_index(const Sheet* sheet) const {
  for (std::size_t i = 0; i < sheets_.size(); ++i)
    if (sheets_[i].get() == sheet) return static_cast<int>(i);
  return -1;
}

void Workbook::activate(const Sheet& sheet) {
  const int index = sheet_index(&sheet);
  if (index >= 0) active_sheet_ = index;
}

const DefinedName* Workbook::find_name(std::string_view name, const Sheet* from) const {
  const DefinedName* global = nullptr;
  for (const auto& n : names_) {
    if (!same_text_no_case(n.name, name)) continue;
    if (n.scope && n.scope == from) return &n;
    if (!n.scope) global = &n;
  }
  return global;
}

// ---------------------------------------------------------------- Application

Application::Application() : calculator_(std::make_unique<Calculator>(*this)) {}
Application::~Application() {
  // Cells go before the calculator that lists them.
  books_.clear();
}

std::unique_ptr<Workbook> Application::make_workbook(std::string name) {
  return std::make_unique<Workbook>(*this, std::move(name));
}

Workbook& Application::open(std::unique_ptr<Workbook> book) {
  Workbook& ref = *book;
  books_.push_back(std::move(book));
  active_ = &ref;
  calculator_->adopt(ref);
  return ref;
}

Workbook& Application::new_workbook() {
  std::string name;
  do {
    name = "Book" + std::to_string(next_book_number_++);
  } while (find_book(name));
  auto book = make_workbook(name);
  book->add_sheet("Sheet1");
  return open(std::move(book));
}

Workbook* Application::find_book(std::string_view name) const {
  for (const auto& b : books_)
    if (same_text_no_case(b->name(), name)) return b.get();
  return nullptr;
}

Sheet* Application::find_sheet(std::uint64_t id) const {
  for (const auto& b : books_)
    for (const auto& s : b->sheets())
      if (s->id() == id) return s.get();
  return nullptr;
}

Sheet* Application::resolve_sheet(std::string_view book, std::string_view sheet, const Workbook* home) const {
  const Workbook* in = nullptr;
  if (!book.empty()) in = find_book(book);
  else in = home ? home : active_;
  if (!in) return nullptr;
  return in->find_sheet(sheet);
}

std::string Application::full_name(const Sheet& sheet) { return "[" + sheet.book().name() + "]" + sheet.name(); }

}  // namespace kovo::sheet
