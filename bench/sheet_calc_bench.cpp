// Recalculation of 100,000 formulas (arithmetic chains and SUMs over
// ranges) against a plain C++ loop doing the same arithmetic, with the share
// of the time spent evaluating formulas and the share spent ordering them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "sheethost/calc.h"
#include "sheethost/edit.h"

using namespace kovo::sheet;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRows = 10000;

std::string a1(int col, int row) { return column_name(col) + std::to_string(row + 1); }

// Columns B to F: arithmetic, D a chain down its column. G to K: SUMs.
void build(Sheet& sheet, bool arithmetic, bool sums) {
  for (int r = 0; r < kRows; ++r) {
    set_value(sheet, r, 0, Value::num(r % 97 + 1));
    if (arithmetic) {
      enter(sheet, r, 1, "=" + a1(0, r) + "*2+1");
      enter(sheet, r, 2, "=" + a1(1, r) + "-" + a1(0, r) + "/4");
      enter(sheet, r, 3, r == 0 ? "=" + a1(1, r) : "=" + a1(3, r - 1) + "+" + a1(1, r) + "*0.5");
      enter(sheet, r, 4, "=" + a1(3, r) + "*1.0001-" + a1(2, r));
      enter(sheet, r, 5, "=(" + a1(4, r) + "+" + a1(0, r) + ")/2");
    }
    if (sums) {
      const int last = std::min(r + 9, kRows - 1);
      enter(sheet, r, 6, "=SUM(" + a1(0, r) + ":" + a1(5, r) + ")");
      enter(sheet, r, 7, "=SUM(" + a1(0, r) + ":" + a1(0, last) + ")");
      enter(sheet, r, 8, "=SUM(" + a1(1, r) + ":" + a1(2, std::min(r + 4, kRows - 1)) + ")");
      enter(sheet, r, 9, "=SUM(" + a1(6, r) + "," + a1(7, r) + ")");
      enter(sheet, r, 10, "=SUM(" + a1(3, std::max(0, r - 9)) + ":" + a1(3, r) + ")");
    }
  }
}

// The same arithmetic over plain arrays.
double baseline(bool arithmetic, bool sums) {
  static std::vector<double> a(kRows), b(kRows), c(kRows), d(kRows), e(kRows), f(kRows), g(kRows), h(kRows),
      i(kRows), j(kRows), k(kRows);
  for (int r = 0; r < kRows; ++r) a[r] = r % 97 + 1;
  if (arithmetic)
    for (int r = 0; r < kRows; ++r) {
      b[r] = a[r] * 2 + 1;
      c[r] = b[r] - a[r] / 4;
      d[r] = r == 0 ? b[r] : d[r - 1] + b[r] * 0.5;
      e[r] = d[r] * 1.0001 - c[r];
      f[r] = (e[r] + a[r]) / 2;
    }
  if (sums)
    for (int r = 0; r < kRows; ++r) {
      g[r] = a[r] + b[r] + c[r] + d[r] + e[r] + f[r];
      double s = 0;
      for (int x = r; x <= std::min(r + 9, kRows - 1); ++x) s += a[x];
      h[r] = s;
      s = 0;
      for (int x = r; x <= std::min(r + 4, kRows - 1); ++x) s += b[x] + c[x];
      i[r] = s;
      j[r] = g[r] + h[r];
      s = 0;
      for (int x = std::max(0, r - 9); x <= r; ++x) s += d[x];
      k[r] = s;
    }
  return f[kRows - 1] + k[kRows - 1];
}

template <typename F>
double best_seconds(int rounds, F&& f) {
  double best = 1e9;
  for (int n = 0; n < rounds; ++n) {
    const auto start = Clock::now();
    f();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

void measure(const char* title, bool arithmetic, bool sums) {
  Application app;
  Sheet& sheet = app.new_workbook().active_sheet();
  build(sheet, arithmetic, sums);
  Calculator& calc = app.calculator();
  const auto first_start = Clock::now();
  calc.recalculate_all();
  const double first = std::chrono::duration<double>(Clock::now() - first_start).count();
  const std::size_t formulas = calc.formula_count();
  const double host = best_seconds(5, [&] { calc.recalculate_all(); });
  // The evaluator alone: every formula evaluated once, in row order, with
  // nothing to decide about order or dirtiness.
  std::vector<Cell*> cells;
  sheet.for_each_cell([&](Cell& c) {
    if (c.formula) cells.push_back(&c);
  });
  std::sort(cells.begin(), cells.end(), [](Cell* x, Cell* y) { return x->row != y->row ? x->row < y->row : x->col < y->col; });
  const double evaluator = best_seconds(5, [&] {
    for (Cell* c : cells) c->value = evaluate(*c->formula, sheet, {c->row, c->col}, calc);
  });
  volatile double sink = 0;
  const double plain = best_seconds(20, [&] { sink = sink + baseline(arithmetic, sums); });
  const double per = (host - plain) / static_cast<double>(formulas) * 1e6;
  std::printf("%-34s %7zu formulas  recalc %7.2f ms (first %7.2f ms)  plain loop %6.3f ms  "
              "host adds %.3f us a formula  (evaluating %.0f%%, ordering and bookkeeping %.0f%%)\n",
              title, formulas, host * 1e3, first * 1e3, plain * 1e3, per, 100 * evaluator / host,
              100 * (host - evaluator) / host);
}

}  // namespace

int main() {
  std::printf("Recalculation of every formula, best of 5 rounds; the plain loop does the same arithmetic.\n");
  measure("arithmetic chains (B:F)", true, false);
  measure("SUMs over ranges (G:K)", false, true);
  measure("both (B:K)", true, true);
  return 0;
}
