// Workbook files: the JSON workbook format (every sheet's cells with formula
// text, last value, number format and note; defined names; hidden rows and
// columns; the active sheet and selection), CSV import and export, the
// printed table of a sheet, and the one place that picks a format by the
// file's extension. A file that does not parse or breaks the format is
// refused with a message that names the place; nothing is half-loaded.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "sheethost/workbook.h"
#include "sheethost/xlsx_zip.h"
#include "sheethost/xml_tree.h"

namespace kovo::sheet {

struct LoadResult {
  std::unique_ptr<Workbook> book;  // not yet open; null on failure
  std::string error;
  // What was left out of a workbook that opened (one message for the user), or "".
  std::string warning;
  // Formulas without their last values were read: the book wants calculating once open.
  bool calculate = false;
};

// ------------------------------------------------------------ formats

// The workbook described by JSON text; the book is named "name".
LoadResult workbook_from_json(Application& app, const std::string& text, const std::string& name);
std::string workbook_to_json(const Workbook& book);

// A new workbook of one sheet named after the file, from CSV text: fields
// separated by "," with quotes as usual, cells beginning with "=" entered as
// formulas, others as typed entries. A formula that does not parse is
// refused with its row and column.
LoadResult workbook_from_csv(Application& app, const std::string& text, const std::string& name);
// Limits that keep a hostile Excel workbook from taking the host's memory
// or time; each refusal names the limit.
struct XlsxLimits {
  ZipLimits zip;
  XmlLimits xml;
  std::size_t max_shared_strings = 2'000'000;
  std::size_t max_cells = 4'000'000;
};

// An Excel workbook from the bytes of its file: sheets, cells with formulas
// (in the model's language, with their last values), number formats, notes,
// hidden rows and columns and their sizes, selections, defined names and the
// active sheet. Content the model does not hold is left out and listed in
// the warning; a damaged or hostile file is refused with a message.
LoadResult workbook_from_xlsx(Application& app, std::string_view bytes, const std::string& name,
                              const XlsxLimits& limits = {});

// The sheet's values from A1 to the last used cell, as CSV.
std::string sheet_to_csv(const Sheet& sheet);

// The used range as an aligned text table of formatted values: a header of
// column letters, one line per row with its number; numbers right-aligned,
// other values left-aligned; hidden rows and columns left out.
std::string print_sheet(const Sheet& sheet);

// ------------------------------------------------ files by their extension

// What a file holds, as its extension says (case does not count).
enum class FileKind {
  Workbook,  // .json: a workbook in the host's own format
  Csv,       // .csv: one sheet of values and formulas
  Xlsx,      // .xlsx: an Excel workbook
  Toolbars,  // .xlb: toolbars
  Addin,     // .xll: an add-in
  Unknown,
};
FileKind file_kind(std::string_view path);
// "a workbook (.json)", for messages; the list of every kind for a refusal.
std::string file_kinds_text();

// Opens a workbook, an Excel workbook or a CSV sheet (calculating it once
// it is open is the caller's part); other kinds are refused with a message.
LoadResult load_document(Application& app, const std::string& path);
// Saves the workbook as its extension says: a workbook file (the book takes
// that path), an Excel workbook, or the active sheet's values as CSV.
std::optional<std::string> save_document(Workbook& book, const std::string& path);
// The workbook as an Excel workbook (.xlsx): every sheet's cells with
// formulas and their last values, number formats, notes, hidden rows and
// columns and their sizes, the selection, defined names, the active sheet.
std::optional<std::string> save_xlsx_file(const Workbook& book, const std::string& path);
// The sheet's values as CSV, whatever the file's name.
std::optional<std::string> export_csv_file(const Sheet& sheet, const std::string& path);

// ------------------------------------------------------------ whole files

// Largest file read: a workbook of every cell of a sheet stays well below.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 30;

// A whole file as bytes (paths in UTF-8), refused beyond the limit.
std::optional<std::string> read_text_file(const std::string& path, std::string& text,
                                          std::size_t limit = kMaxFileBytes);
// Writes the bytes to a new file of its own beside the target (created
// exclusively, never through a link), flushes it to disk and moves it over
// the target; a read-only target, a failed write or a failed move leave the
// target as it was and no new file behind.
std::optional<std::string> write_file_replacing(const std::string& path, const std::string& bytes);
// "Report.json" of "C:\dir\Report.json".
std::string file_name_of(const std::string& path);

}  // namespace kovo::sheet
