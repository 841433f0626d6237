// Workbook files: the JSON workbook format (every sheet's cells with formula
// text, last value, number format and note; defined names; hidden rows and
// columns; the active sheet and selection), CSV import and export, and the
// printed table of a sheet. A file that does not parse or breaks the format
// is refused with a message that names the place; nothing is half-loaded.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sheethost/workbook.h"

namespace kovo::sheet {

struct LoadResult {
  std::unique_ptr<Workbook> book;  // not yet open; null on failure
  std::string error;
};

// The workbook described by JSON text; the book is named "name".
LoadResult workbook_from_json(Application& app, const std::string& text, const std::string& name);
std::string workbook_to_json(const Workbook& book);

LoadResult load_workbook_file(Application& app, const std::string& path);
// Written whole to a temporary file beside the target, then moved over it.
std::optional<std::string> save_workbook_file(Workbook& book, const std::string& path);

// A new workbook of one sheet named after the file, from CSV text: fields
// separated by "," with quotes as usual, cells beginning with "=" entered as
// formulas, others as typed entries. A formula that does not parse is
// refused with its row and column.
LoadResult workbook_from_csv(Application& app, const std::string& text, const std::string& name);
LoadResult import_csv_file(Application& app, const std::string& path);
// The sheet's values from A1 to the last used cell, as CSV.
std::string sheet_to_csv(const Sheet& sheet);
std::optional<std::string> export_csv_file(const Sheet& sheet, const std::string& path);

// The used range as an aligned text table of formatted values: a header of
// column letters, one line per row with its number; numbers right-aligned,
// other values left-aligned; hidden rows and columns left out.
std::string print_sheet(const Sheet& sheet);

// Whole files, read and written as bytes (paths in UTF-8).
std::optional<std::string> read_text_file(const std::string& path, std::string& text);
std::optional<std::string> write_text_file_atomically(const std::string& path, const std::string& text);
// "Report.json" of "C:\dir\Report.json".
std::string file_name_of(const std::string& path);

}  // namespace kovo::sheet
