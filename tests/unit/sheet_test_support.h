// Helpers of the sheet host's unit tests: an application with a workbook,
// cells entered and read by address.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "sheethost/calc.h"
#include "sheethost/edit.h"
#include "sheethost/formula.h"
#include "sheethost/workbook.h"

namespace kovo::sheet::testing {

inline CellPos at(const std::string& a1) {
  ParseOptions o;
  auto parsed = parse_formula("=" + a1, o);
  EXPECT_TRUE(parsed.formula) << a1;
  return parsed.formula ? parsed.formula->root->ref.area.top_left() : CellPos{};
}

struct SheetFixture : ::testing::Test {
  Application app;
  Workbook* book = nullptr;
  Sheet* sheet = nullptr;

  void SetUp() override {
    book = &app.new_workbook();
    sheet = &book->active_sheet();
  }
  void put(const std::string& cell, const std::string& entry, Sheet* on = nullptr) {
    const CellPos p = at(cell);
    auto error = enter(on ? *on : *sheet, p.row, p.col, entry);
    ASSERT_FALSE(error) << cell << " " << entry << ": " << *error;
  }
  Value get(const std::string& cell, Sheet* on = nullptr) const {
    const CellPos p = at(cell);
    const Cell* c = (on ? on : sheet)->find(p.row, p.col);
    return c ? c->value : Value{};
  }
  double num(const std::string& cell, Sheet* on = nullptr) const {
    const Value v = get(cell, on);
    EXPECT_TRUE(v.is_number()) << cell << " holds " << value_to_text(v);
    return v.number;
  }
  std::string text(const std::string& cell, Sheet* on = nullptr) const { return value_to_text(get(cell, on)); }
  std::string formula(const std::string& cell, RefStyle style = RefStyle::A1) const {
    const CellPos p = at(cell);
    return cell_formula_text(*sheet, p.row, p.col, style);
  }
  void calc() { app.calculator().recalculate(); }
};

}  // namespace kovo::sheet::testing
