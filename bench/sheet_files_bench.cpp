// Opening and saving workbook files of 1,000,000 cells against importing the
// same cells from CSV, the baseline measured in the same run: a sheet of
// 4,000 rows by 250 columns (a text label, 247 numbers and two formulas a
// row), written once as a workbook file and once as CSV, then each read
// back and the workbook saved again, best of three rounds each. The same at
// 500,000 cells shows whether the time grows with the cells or faster.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "sheethost/calc.h"
#include "sheethost/edit.h"
#include "sheethost/files.h"

using namespace kovo::sheet;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr int kCols = 250;
constexpr int kRounds = 3;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The sheet's cells as CSV, formulas as their text.
std::string csv_of(const Sheet& sheet, int rows) {
  std::string out;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < kCols; ++c) {
      if (c) out += ',';
      out += cell_formula_text(sheet, r, c, RefStyle::A1);
    }
    out += "\r\n";
  }
  return out;
}

void fill(Sheet& sheet, int rows) {
  for (int r = 0; r < rows; ++r) {
    set_value(sheet, r, 0, Value::str("Account " + std::to_string(4000 + r)));
    for (int c = 1; c < kCols - 2; ++c) set_value(sheet, r, c, Value::num((r * 31 + c * 7) % 100000 / 100.0));
    const std::string row = std::to_string(r + 1);
    enter(sheet, r, kCols - 2, "=B" + row + "*2+C" + row);
    enter(sheet, r, kCols - 1, "=SUM(B" + row + ":F" + row + ")");
  }
}

template <typename F>
double best_of(F&& f) {
  double best = 1e30;
  for (int i = 0; i < kRounds; ++i) {
    const auto start = Clock::now();
    f();
    best = std::min(best, seconds_since(start));
  }
  return best;
}

struct Times {
  long long cells;
  double csv_import, open, save;
};

Times measure(int rows, const fs::path& dir) {
  Application app;
  Workbook& book = app.new_workbook();
  fill(book.active_sheet(), rows);
  app.calculator().recalculate_all();
  const std::string csv_path = (dir / "cells.csv").string();
  const std::string json_path = (dir / "cells.json").string();
  if (auto error = write_file_replacing(csv_path, csv_of(book.active_sheet(), rows))) std::fprintf(stderr, "%s\n", error->c_str());
  if (auto error = save_document(book, json_path)) std::fprintf(stderr, "%s\n", error->c_str());
  Times t{static_cast<long long>(rows) * kCols, 0, 0, 0};
  t.csv_import = best_of([&] {
    Application reader;
    auto loaded = load_document(reader, csv_path);
    if (!loaded.book) std::fprintf(stderr, "%s\n", loaded.error.c_str());
    else reader.open(std::move(loaded.book));
  });
  t.open = best_of([&] {
    Application reader;
    auto loaded = load_document(reader, json_path);
    if (!loaded.book) std::fprintf(stderr, "%s\n", loaded.error.c_str());
    else reader.open(std::move(loaded.book));
  });
  t.save = best_of([&] {
    if (auto error = save_document(book, json_path)) std::fprintf(stderr, "%s\n", error->c_str());
  });
  return t;
}

void print(const Times& t) {
  std::printf("%9lld cells: CSV import %6.2f s | workbook open %6.2f s (%.2f x the import) | save %6.2f s (%.2f x)"
              " | %.2f / %.2f / %.2f us a cell\n",
              t.cells, t.csv_import, t.open, t.open / t.csv_import, t.save, t.save / t.csv_import,
              t.csv_import / t.cells * 1e6, t.open / t.cells * 1e6, t.save / t.cells * 1e6);
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("kovo-files-bench-" + std::to_string(Clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  const Times half = measure(2000, dir);
  const Times full = measure(4000, dir);
  print(half);
  print(full);
  std::printf("time a cell at 1,000,000 cells against 500,000: import %.2f x, open %.2f x, save %.2f x "
              "(1.00 is linear)\n",
              (full.csv_import / full.cells) / (half.csv_import / half.cells), (full.open / full.cells) / (half.open / half.cells),
              (full.save / full.cells) / (half.save / half.cells));
  fs::remove_all(dir);
  return 0;
}
