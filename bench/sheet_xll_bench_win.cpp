// 10,000 calls of an add-in function that returns its argument, made by the
// sheet host's calculation of 10,000 formulas, against 10,000 calls through
// the function pointer in a plain loop; and the same formulas without the
// add-in (=A1*1) to show what the formula itself costs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "bench/bench_paths_win.h"
#include "sheethost/calc.h"
#include "sheethost/edit.h"
#include "sheethost/host_services_win.h"
#include "sheethost/xll_host_win.h"

using namespace kovo::sheet;

namespace {

constexpr int kCalls = 10000;

double now() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

template <typename F>
double best_seconds(int rounds, F&& f) {
  double best = 1e9;
  for (int n = 0; n < rounds; ++n) {
    const double start = now();
    f();
    best = std::min(best, now() - start);
  }
  return best;
}

// Best recalculation time of 10,000 formulas of one kind in a host of their own.
double recalc_seconds(const char* pattern, const std::string& xll) {
  Application app;
  WindowsServices services(false, std::cerr);  // no window is needed to calculate
  CApi api(app, services);
  XllHost host(api);
  app.calculator().set_function_host(&host);
  std::string error;
  if (!host.open_addin(xll, false, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(1);
  }
  Sheet& sheet = app.new_workbook().active_sheet();
  char formula[64];
  for (int r = 0; r < kCalls; ++r) {
    set_value(sheet, r, 0, Value::num(r % 97));
    std::snprintf(formula, sizeof formula, pattern, r + 1);
    enter(sheet, r, 1, formula);
  }
  app.calculator().recalculate_all();
  const double seconds = best_seconds(7, [&] { app.calculator().recalculate_all(); });
  host.close_all();
  return seconds;
}

}  // namespace

int main() {
  const std::string xll = kovo::bench::program_folder() + "KovoTest.xll";
  HMODULE module = LoadLibraryA(xll.c_str());
  auto* direct = reinterpret_cast<double (*)(double)>(reinterpret_cast<void*>(GetProcAddress(module, "TxSame")));
  if (!direct) return 1;
  volatile double sink = 0;
  const double plain = best_seconds(20, [&] {
    double s = 0;
    for (int i = 0; i < kCalls; ++i) s += direct(static_cast<double>(i % 97));
    sink = sink + s;
  });
  std::printf("%d calls through the function pointer: %.3f ms (%.4f us a call)\n", kCalls, plain * 1e3,
              plain / kCalls * 1e6);
  const double without_addin = recalc_seconds("=A%d*1", xll);
  std::printf("%-44s recalc of %d formulas %7.3f ms (%.3f us a formula)\n", "=A1*1 (no add-in: the formula's own cost)",
              kCalls, without_addin * 1e3, without_addin / kCalls * 1e6);
  const struct {
    const char* title;
    const char* pattern;
  } cases[] = {
      {"=TXSAME(A1) (double in, double out)", "=TXSAME(A%d)"},
      {"=TXECHO(A1) (XLOPER reference in and out)", "=TXECHO(A%d)"},
  };
  for (const auto& c : cases) {
    const double host_time = recalc_seconds(c.pattern, xll);
    std::printf("%-44s recalc of %d formulas %7.3f ms: host adds %.3f us a call over the plain loop "
                "(%.3f us beyond the formula's own cost)\n",
                c.title, kCalls, host_time * 1e3, (host_time - plain) / kCalls * 1e6,
                (host_time - without_addin) / kCalls * 1e6);
  }
  FreeLibrary(module);
  return 0;
}
