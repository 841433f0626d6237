// The report wizard's build plan: where labels, headers and names go, the
// formulas of every kind of body cell, and reading a built report back.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "addin/tools/report_layout.h"

namespace {

using namespace kovo::addin::tools;

std::vector<Axis> demo_axes() {
  return {{"Companies", 3}, {"Periods", 2}, {"Budgets", 5}, {"Years", 4}, {"Account", -1}, {"Dept", -2}};
}

ReportChoices accounts_by_period(std::vector<std::string> rows, std::vector<std::string> columns) {
  ReportChoices c;
  c.model_company = "DEMO";
  c.axes = demo_axes();
  c.vertical_axis = "Account";
  c.horizontal_axis = "Periods";
  c.vertical = std::move(rows);
  c.horizontal = std::move(columns);
  c.remaining = {"DEMO", "Budget", "0", "*"};
  c.title = "Sales";
  return c;
}

// The plan's entries by 1-based address, "R5C3".
std::map<std::string, std::string> cells_of(const ReportPlan& plan) {
  std::map<std::string, std::string> cells;
  for (const auto& c : plan.cells)
    cells["R" + std::to_string(c.row + 1) + "C" + std::to_string(c.col + 1)] = c.entry;
  return cells;
}

const NameWrite* name_of(const ReportPlan& plan, std::string_view name) {
  for (const auto& n : plan.names)
    if (n.name == name) return &n;
  return nullptr;
}

ReportPlan plan_of(const ReportChoices& c, const FormulaStyle& style = {}, int row = 1, int col = 2) {
  PlanResult r = plan_report(c, style, row, col);
  EXPECT_TRUE(r.plan) << r.error;
  return r.plan ? *r.plan : ReportPlan{};
}

TEST(ReportElements, KindsOverridesAndSubElements) {
  EXPECT_EQ(parse_element("4000").kind, ElementKind::Value);
  EXPECT_EQ(parse_element("").kind, ElementKind::BlankLine);
  EXPECT_EQ(parse_element("Blank Line").kind, ElementKind::BlankLine);
  EXPECT_EQ(parse_element("Percent Variance").kind, ElementKind::PercentVariance);
  const Element e = parse_element("(Dept) 10\tProduction floor");
  EXPECT_TRUE(e.is_sub());
  EXPECT_EQ(e.axis, "Dept");
  EXPECT_EQ(e.value, "10");
  EXPECT_EQ(e.description, "Production floor");
  EXPECT_EQ(element_text(e), "(Dept) 10\tProduction floor");
  EXPECT_EQ(parse_element("Total\tNet income").description, "Net income");
  EXPECT_TRUE(parse_element("(4000,5000)").is_plain_value()) << "a group specifier is not a sub-row";
}

TEST(ReportAxes, PairedFromTheTwoListsAndCounted) {
  const auto axes = pair_axes({"Companies", "Periods", "Account"}, {"3", "2", "-1"});
  ASSERT_TRUE(axes);
  EXPECT_TRUE((*axes)[2].is_segment());
  EXPECT_EQ((*axes)[2].segment(), 1);
  EXPECT_FALSE(pair_axes({"Companies", "Periods"}, {"3"}));
  EXPECT_FALSE(pair_axes({"Companies"}, {"x"}));
  EXPECT_FALSE(axis_count_allowed(2));
  EXPECT_TRUE(axis_count_allowed(3));
  EXPECT_TRUE(axis_count_allowed(20));
  EXPECT_FALSE(axis_count_allowed(21));
}

TEST(ReportPlan, BlocksAndNamesAroundTheActiveCell) {
  // Anchor B3 (row 2, column 1): six axes, so the vertical headers start at
  // row 2 + 5 + 6 = 13 (0-based), the body in column 1 + 5 = 6.
  const ReportPlan plan = plan_of(accounts_by_period({"4000", "Blank Line", "(Dept) 10"}, {"This Month"}), {}, 2, 1);
  const auto cells = cells_of(plan);
  EXPECT_EQ(cells.at("R3C2"), "'Company:");
  EXPECT_EQ(cells.at("R3C3"), "'DEMO");
  EXPECT_EQ(cells.at("R5C1"), "'Companies");
  EXPECT_EQ(cells.at("R5C2"), "'DEMO");
  EXPECT_EQ(cells.at("R6C2"), "'Horizontal");
  EXPECT_EQ(cells.at("R9C1"), "'Account");
  EXPECT_EQ(cells.at("R9C2"), "'Vertical");
  EXPECT_EQ(cells.at("R10C2"), "'*");
  EXPECT_EQ(cells.at("R14C4"), "'4000");
  EXPECT_EQ(cells.count("R15C4"), 0u) << "a blank line leaves its header empty";
  EXPECT_EQ(cells.at("R16C4"), "'10");
  EXPECT_EQ(cells.at("R16C5"), "'Dept");
  EXPECT_EQ(cells.at("R13C7"), "'This Month");
  EXPECT_EQ(cells.at("R11C7"), "'Sales");
  const auto area = [&](std::string_view name) {
    const NameWrite* n = name_of(plan, name);
    return n ? n->area : CellArea{-1, -1, -1, -1};
  };
  EXPECT_EQ(area(kNameModelCompany), (CellArea{2, 2, 2, 2}));
  EXPECT_EQ(area(kNameOtherAxes), (CellArea{4, 0, 9, 1}));
  EXPECT_EQ(area(kNameVerticalAxis), (CellArea{13, 3, 15, 4}));
  EXPECT_EQ(area(kNameHorizontalAxis), (CellArea{12, 6, 12, 6}));
  EXPECT_EQ(area(kNameReportTitle), (CellArea{10, 6, 10, 6}));
  EXPECT_EQ(area(kNameReportBody), (CellArea{13, 6, 15, 6}));
  EXPECT_EQ(plan.body, area(kNameReportBody));
}

TEST(ReportPlan, AtTheFirstColumnTheBlocksMoveTwoColumnsRight) {
  const ReportPlan plan = plan_of(accounts_by_period({"4000"}, {"This Month"}), {}, 0, 0);
  const auto cells = cells_of(plan);
  EXPECT_EQ(cells.at("R1C1"), "'Company:");
  EXPECT_EQ(cells.at("R3C2"), "'Companies") << "parameter block from column c-1+2";
  EXPECT_EQ(cells.at("R12C5"), "'4000");
  EXPECT_EQ(cells.at("R11C8"), "'This Month");
}

TEST(ReportPlan, GlFormulasReferToHeadersAndParameters) {
  // Vertical headers in column 4 (1-based), horizontal headers in row 13,
  // parameters in column 2 from row 5.
  FormulaStyle ngl;
  const ReportPlan plan = plan_of(accounts_by_period({"4000"}, {"This Month", "Year to Date"}), ngl, 2, 1);
  const auto cells = cells_of(plan);
  EXPECT_EQ(cells.at("R14C7"), "=NGL(BSPEC(RC4,R10C2),R13C,R5C2,R8C2,R7C2)");
  FormulaStyle gl;
  gl.ngl = false;
  EXPECT_EQ(cells_of(plan_of(accounts_by_period({"4000"}, {"This Month"}), gl, 2, 1)).at("R14C7"),
            "=GL(BSPEC(RC4,R10C2),R13C,R5C2,R8C2,R7C2)");
  // An axis left without a value is no argument: the connector's default holds.
  ReportChoices c = accounts_by_period({"4000"}, {"This Month"});
  c.remaining = {"DEMO", "", "", "*"};
  const auto defaults = cells_of(plan_of(c, ngl, 2, 1));
  EXPECT_EQ(defaults.at("R14C7"), "=NGL(BSPEC(RC4,R10C2),R13C,R5C2,,)");
  EXPECT_EQ(defaults.count("R7C2"), 0u);
}

TEST(ReportPlan, SubRowsTakeTheParentsValueAndStayOutOfTotals) {
  const ReportPlan plan =
      plan_of(accounts_by_period({"4000", "(Dept) 10", "(Dept) 20", "5000", "Sub Total", "Total"}, {"This Month"}), {}, 2, 1);
  const auto cells = cells_of(plan);
  EXPECT_EQ(cells.at("R15C7"), "=NGL(BSPEC(R[-1]C4,RC4),R13C,R5C2,R8C2,R7C2)");
  EXPECT_EQ(cells.at("R16C7"), "=NGL(BSPEC(R[-2]C4,RC4),R13C,R5C2,R8C2,R7C2)");
  EXPECT_EQ(cells.at("R18C7"), "=SUM(R14C:R14C,R17C:R17C)") << "the breakdown is not counted twice";
  EXPECT_EQ(cells.at("R19C7"), "=SUM(R14C:R14C,R17C:R17C)");
}

TEST(ReportPlan, SubTotalSumsItsGroupAndTotalTheRunsOfValues) {
  FormulaStyle style;
  const ReportPlan plan =
      plan_of(accounts_by_period({"1000", "2000", "Sub Total", "3000", "Total"}, {"This Month", "Description"}), style, 2, 1);
  const auto cells = cells_of(plan);
  EXPECT_EQ(cells.at("R16C7"), "=SUM(R14C:R15C)");
  EXPECT_EQ(cells.at("R18C7"), "=SUM(R14C:R15C,R17C:R17C)");
  EXPECT_EQ(cells.at("R16C8"), "'Sub Total");
  EXPECT_EQ(cells.at("R18C8"), "'Total");
  EXPECT_EQ(cells.at("R14C8"), "=SDESC(RC4,1,R3C3)");

  // A group starts after the last layout line other than a blank line and
  // ends at the last line before the subtotal that is not blank.
  const auto c2 = cells_of(plan_of(
      accounts_by_period({"1000", "Variance", "2000", "Blank Line", "3000", "Blank Line", "Sub Total"}, {"This Month"}), style,
      2, 1));
  EXPECT_EQ(c2.at("R20C7"), "=SUM(R16C:R18C)");
  // A subtotal with nothing above it sums nothing.
  EXPECT_EQ(cells_of(plan_of(accounts_by_period({"Total", "Sub Total"}, {"This Month"}), style, 2, 1)).count("R15C7"), 0u);
}

TEST(ReportPlan, ColumnsTotalVarianceAndPercent) {
  const ReportPlan plan = plan_of(accounts_by_period({"4000", "Variance", "Percent Variance"},
                                                     {"This Month", "Last Month", "Variance", "Percent Variance", "Total",
                                                      "Blank Line", "Sub Total"}),
                                  {}, 2, 1);
  const auto cells = cells_of(plan);
  EXPECT_EQ(cells.at("R14C9"), "=(RC[-2]-RC[-1])");
  EXPECT_EQ(cells.at("R14C10"), "=(if(RC[-1]<>0,(RC[-2]-RC[-1])/RC[-1],0))");
  EXPECT_EQ(cells.at("R14C11"), "=SUM(RC7:RC8)");
  EXPECT_EQ(cells.count("R14C12"), 0u);
  EXPECT_EQ(cells.count("R14C13"), 0u) << "a layout column before it starts an empty group";
  EXPECT_EQ(cells.at("R15C7"), "=((R[-2]C)-(R[-1]C))");
  EXPECT_EQ(cells.at("R16C7"), "=(if(R[-1]C<>0,(R[-2]C-R[-1]C)/R[-1]C,0))");
  EXPECT_EQ(cells.count("R15C9"), 0u) << "a variance row leaves layout columns empty";
  std::vector<std::string> percent;
  for (const auto& f : plan.formats) {
    EXPECT_EQ(f.format, "0.00%");
    percent.push_back("R" + std::to_string(f.row + 1) + "C" + std::to_string(f.col + 1));
  }
  EXPECT_EQ(percent, (std::vector<std::string>{"R14C10", "R16C7", "R16C8"}));
}

TEST(ReportPlan, TheLocaleSeparatorAndTheSettingsLettersAreUsed) {
  FormulaStyle style;
  style.list_separator = ';';
  style.row_symbol = "Z";
  style.column_symbol = "S";
  style.sum_function = "SUMME";
  const auto cells = cells_of(plan_of(accounts_by_period({"1000", "2000", "Total"}, {"This Month", "Percent Variance"}), style, 2, 1));
  EXPECT_EQ(cells.at("R14C7"), "=NGL(BSPEC(ZS4;Z10S2);Z13S;Z5S2;Z8S2;Z7S2)");
  EXPECT_EQ(cells.at("R16C7"), "=SUMME(Z14S:Z15S)");
  EXPECT_EQ(cells.at("R14C8"), "=(if(ZS[-1]<>0;(ZS[-2]-ZS[-1])/ZS[-1];0))");
}

TEST(ReportPlan, DescriptionsComeFromOverridesOrTheLedger) {
  ReportChoices c = accounts_by_period({"4000\tProduct sales", "(Dept) 10", "Description", "Total\tNet"},
                                       {"This Month\tCurrent", "Description"});
  const ReportPlan plan = plan_of(c, {}, 2, 1);
  const auto cells = cells_of(plan);
  EXPECT_EQ(cells.at("R14C8"), "'Product sales");
  EXPECT_EQ(cells.at("R15C8"), "=SDESC(RC4,2,R3C3)") << "a sub-row describes its own axis";
  EXPECT_EQ(cells.at("R16C7"), "'Current") << "a description row shows the column's override";
  EXPECT_EQ(cells.at("R17C8"), "'Net");
  // The company axis across: its name.
  c.horizontal_axis = "Companies";
  c.horizontal = {"DEMO"};
  c.vertical = {"Description"};
  c.remaining = {"This Month", "Budget", "0", "*"};
  EXPECT_EQ(cells_of(plan_of(c, {}, 2, 1)).at("R14C7"), "=CODATA(\"Name\",R13C)");
  // One column is inserted right of each description column; the
  // descriptions of sub-rows move into it.
  ASSERT_EQ(plan.description_columns.size(), 1u);
  EXPECT_EQ(plan.description_columns[0].column, 7);
  EXPECT_EQ(plan.description_columns[0].header_row, 12);
  EXPECT_EQ(plan.description_columns[0].sub_rows, std::vector<int>{14});
}

TEST(ReportPlan, SubColumnsNameTheirAxisAboveTheHeader) {
  ReportChoices c = accounts_by_period({"4000"}, {"This Month", "(Dept) 10"});
  const auto cells = cells_of(plan_of(c, {}, 2, 1));
  EXPECT_EQ(cells.at("R13C8"), "'10");
  EXPECT_EQ(cells.at("R12C8"), "'Dept");
  EXPECT_EQ(cells.at("R14C8"), "=NGL(BSPEC(RC4,R13C),R13C[-1],R5C2,R8C2,R7C2)");
}

TEST(ReportPlan, AReportThatDoesNotFitIsRefused) {
  std::vector<std::string> rows(20, "4000");
  const PlanResult r = plan_report(accounts_by_period(rows, {"This Month"}), {}, kSheetRows - 10, 1);
  EXPECT_FALSE(r.plan);
  EXPECT_NE(r.error.find("does not fit"), std::string::npos);
  std::vector<std::string> columns(260, "This Month");
  EXPECT_FALSE(plan_report(accounts_by_period({"4000"}, columns), {}, 0, 0).plan);
  EXPECT_FALSE(plan_report(accounts_by_period({}, {"This Month"}), {}, 0, 0).plan);
}

// The names of a built report read back give the same elements again.
TEST(ReportSeed, ABuiltReportReadBackGivesItsChoices) {
  const std::vector<std::string> rows{"4000\tSales", "(Dept) 10", "Blank Line", "Sub Total", "Total\tNet"};
  const std::vector<std::string> columns{"This Month", "Description", "Blank Line", "(Dept) 20"};
  const ReportChoices c = accounts_by_period(rows, columns);
  const ReportPlan plan = plan_of(c, {}, 2, 1);
  const auto cells = cells_of(plan);
  const auto at = [&](int row, int col) {
    const auto it = cells.find("R" + std::to_string(row + 1) + "C" + std::to_string(col + 1));
    if (it == cells.end()) return std::string();
    return it->second[0] == '\'' ? it->second.substr(1) : it->second;
  };
  SheetSeed seed;
  seed.model_company = at(2, 2);
  for (int r = 4; r < 10; ++r) seed.other_axes.push_back({at(r, 0), at(r, 1)});
  // The sheet after the build: a column inserted right of "Description".
  const int d = plan.description_columns.at(0).column;
  for (int r = 13; r < 18; ++r) {
    seed.vertical.push_back({at(r, 3), at(r, 4)});
    const Element e = parse_element(rows[static_cast<std::size_t>(r - 13)]);
    seed.vertical_descriptions.push_back(description_in_cell(at(r, d), e.kind));
  }
  for (int col = 6; col < 10; ++col) {
    seed.horizontal.push_back(at(12, col));
    seed.horizontal_axes.push_back(at(11, col));
    if (col == d) seed.horizontal.push_back(""), seed.horizontal_axes.push_back("");
  }
  seed.title = at(10, 6);
  EXPECT_EQ(seeded_axis(seed, true), "Account");
  EXPECT_EQ(seeded_axis(seed, false), "Periods");
  EXPECT_EQ(seeded_value(seed, "Budgets"), "Budget");
  EXPECT_EQ(seeded_vertical(seed), rows);
  EXPECT_EQ(seeded_horizontal(seed), columns);
  EXPECT_EQ(seed.model_company, "DEMO");
}

TEST(ReportSeed, DescriptionCellsHoldOverridesOnlyAsConstants) {
  EXPECT_EQ(description_in_cell("=SDESC(RC4,1,R3C3)", ElementKind::Value), "");
  EXPECT_EQ(description_in_cell("'Sales", ElementKind::Value), "Sales");
  EXPECT_EQ(description_in_cell("Total", ElementKind::Total), "") << "the default text is no override";
  EXPECT_EQ(description_in_cell("Net", ElementKind::Total), "Net");
}

}  // namespace
