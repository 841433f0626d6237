// Changes to cells and sheets that keep formulas and the calculator right:
// entries and formulas, clearing, number formats and notes, inserting rows
// and columns, moving and copying cells.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sheethost/formula.h"
#include "sheethost/workbook.h"

namespace kovo::sheet {

// Parse options for a formula of the given cell: sheet prefixes resolve
// against the open workbooks (the cell's own first), the list separator is
// the application's.
ParseOptions parse_options_for(const Sheet& sheet, CellPos owner, RefStyle style = RefStyle::A1);
PrintOptions print_options_for(const Sheet& sheet, CellPos owner, RefStyle style = RefStyle::A1);

// The cell's formula text in the given notation ("=A1*2"), or its constant
// as entered ("12", "TRUE", "abc"), or "" for an empty cell.
std::string cell_formula_text(const Sheet& sheet, int row, int col, RefStyle style);

void set_value(Sheet& sheet, int row, int col, Value value);
void set_formula(Sheet& sheet, int row, int col, std::unique_ptr<Formula> formula);
// An entry as typed: "=..." is a formula (A1, or R1C1 when A1 does not fit),
// anything else a constant (entry_to_value). A formula that does not parse
// is refused with the parser's message; nothing changes then.
std::optional<std::string> enter(Sheet& sheet, int row, int col, std::string_view text);
// Removes value and formula but keeps format and note.
void clear_contents(Sheet& sheet, const Area& area);
void set_number_format(Sheet& sheet, const Area& area, const std::string& format);
void set_note(Sheet& sheet, int row, int col, std::string note);

// Whole rows or columns inserted before "at"; refused (with a message) when
// cells would be pushed off the sheet. References follow the cells.
std::optional<std::string> insert_rows(Sheet& sheet, int at, int count);
std::optional<std::string> insert_cols(Sheet& sheet, int at, int count);

// Moves the cells of an area so that its top-left lands on "to" (same
// sheet). References to the moved cells follow them; references to cells
// that the move overwrites become #REF!.
std::optional<std::string> move_cells(Sheet& sheet, const Area& from, CellPos to);
// Copies cells (values, formulas with relative references shifted, formats,
// notes) so that the area's top-left lands on "to" of the target sheet.
std::optional<std::string> copy_cells(const Sheet& from_sheet, const Area& from, Sheet& to_sheet, CellPos to);

// A defined name (sheet-level when scope is set), replacing one of the same name and scope.
void define_name(Workbook& book, std::string name, Sheet* scope, std::unique_ptr<Formula> refers_to, bool hidden);
bool delete_name(Workbook& book, std::string_view name, Sheet* scope);
// Whether a text may name a range: letters, digits, "_", "." and "\",
// starting with a letter, "_" or "\", and not readable as a reference.
bool valid_defined_name(std::string_view name);

// A reference written as text ("B2:C4", "R1C1", "Sheet2!A1", several areas
// joined by ","), relative to the sheet's active cell.
bool parse_reference_text(Sheet& base, const std::string& text, Sheet*& sheet, std::vector<Area>& areas);

// A formula referring to an area of a sheet with absolute references
// ("=Sheet1!$A$1:$B$2"), for names defined from references.
std::unique_ptr<Formula> reference_formula(Sheet& sheet, const std::vector<Area>& areas);

}  // namespace kovo::sheet
