// Excel workbooks (.xlsx) written with libxlsxwriter: every sheet's cells
// (formulas as Excel stores them, with their last values cached so that
// Excel shows the figures before it recalculates), number formats, notes,
// hidden rows and columns with their sizes, the selection, defined names and
// the active sheet.
#include <xlsxwriter.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "sheethost/edit.h"
#include "sheethost/files.h"
#include "sheethost/formula.h"

namespace kovo::sheet {

namespace {

namespace fs = std::filesystem;

// Formulas as Excel stores them: A1 references and "," between arguments,
// whatever the list separator of this machine.
PrintOptions excel_print_options(const Sheet& sheet, CellPos owner) {
  PrintOptions o = print_options_for(sheet, owner, RefStyle::A1);
  o.list_separator = ',';
  return o;
}

class XlsxWriter {
 public:
  XlsxWriter(const Workbook& book, lxw_workbook* out) : book_(book), out_(out) {}

  std::optional<std::string> write() {
    for (const auto& sheet : book_.sheets())
      if (auto error = write_sheet(*sheet)) return error;
    return write_names();
  }

 private:
  lxw_format* format_for(const std::string& number_format) {
    if (number_format.empty() || number_format == "General") return nullptr;
    auto found = formats_.find(number_format);
    if (found != formats_.end()) return found->second;
    lxw_format* format = workbook_add_format(out_);
    format_set_num_format(format, number_format.c_str());
    formats_.emplace(number_format, format);
    return format;
  }

  std::optional<std::string> write_sheet(const Sheet& sheet) {
    lxw_worksheet* ws = workbook_add_worksheet(out_, sheet.name().c_str());
    if (!ws) return "the sheet name \"" + sheet.name() + "\" cannot be used in an Excel workbook";
    std::optional<std::string> failure;
    sheet.for_each_cell([&](const Cell& cell) {
      if (failure) return;
      if (auto error = write_cell(sheet, ws, cell))
        failure = Application::full_name(sheet) + "!" + column_name(cell.col) + std::to_string(cell.row + 1) + ": " +
                  *error;
    });
    if (failure) return failure;
    write_lines(sheet, ws);
    if (!sheet.selection.empty()) {
      const Area& a = sheet.selection.front();
      if (a.valid())
        worksheet_set_selection(ws, static_cast<lxw_row_t>(a.row1), static_cast<lxw_col_t>(a.col1),
                                static_cast<lxw_row_t>(a.row2), static_cast<lxw_col_t>(a.col2));
    }
    if (&book_.active_sheet() == &sheet) worksheet_activate(ws);
    if (sheet.protected_contents) worksheet_protect(ws, nullptr, nullptr);
    return std::nullopt;
  }

  std::optional<std::string> write_cell(const Sheet& sheet, lxw_worksheet* ws, const Cell& cell) {
    const auto row = static_cast<lxw_row_t>(cell.row);
    const auto col = static_cast<lxw_col_t>(cell.col);
    lxw_format* format = format_for(cell.format);
    const Value& v = cell.value;
    lxw_error result = LXW_NO_ERROR;
    if (cell.formula) {
      const std::string text = print_formula(*cell.formula, excel_print_options(sheet, {cell.row, cell.col}));
      // The last value goes with the formula, so the figures show before Excel recalculates.
      if (v.is_number())
        result = worksheet_write_formula_num(ws, row, col, text.c_str(), format, v.number);
      else
        result = worksheet_write_formula_str(ws, row, col, text.c_str(), format, value_to_text(v).c_str());
    } else {
      switch (v.kind) {
        case ValueKind::Number: result = worksheet_write_number(ws, row, col, v.number, format); break;
        case ValueKind::Text: result = worksheet_write_string(ws, row, col, v.text.c_str(), format); break;
        case ValueKind::Bool: result = worksheet_write_boolean(ws, row, col, v.boolean ? 1 : 0, format); break;
        case ValueKind::Error: {
          // An error constant is kept as the formula of that error, which Excel reads back as the same value.
          const std::string text = "=" + std::string(error_text(v.error));
          result = worksheet_write_formula_str(ws, row, col, text.c_str(), format, text.c_str() + 1);
          break;
        }
        case ValueKind::Empty:
          if (format) result = worksheet_write_blank(ws, row, col, format);
          break;
      }
    }
    if (result == LXW_NO_ERROR && !cell.note.empty()) result = worksheet_write_comment(ws, row, col, cell.note.c_str());
    if (result != LXW_NO_ERROR) return std::string(lxw_strerror(result));
    return std::nullopt;
  }

  // Hidden rows and columns and those of their own size.
  static void write_lines(const Sheet& sheet, lxw_worksheet* ws) {
    std::set<int> rows(sheet.hidden_rows().begin(), sheet.hidden_rows().end());
    for (const auto& [row, height] : sheet.row_heights()) rows.insert(row);
    for (int row : rows) {
      lxw_row_col_options options{};
      options.hidden = sheet.row_hidden(row) ? 1 : 0;
      worksheet_set_row_opt(ws, static_cast<lxw_row_t>(row), sheet.row_height(row).value_or(LXW_DEF_ROW_HEIGHT),
                            nullptr, &options);
    }
    std::set<int> cols(sheet.hidden_cols().begin(), sheet.hidden_cols().end());
    for (const auto& [col, width] : sheet.col_widths()) cols.insert(col);
    for (int col : cols) {
      lxw_row_col_options options{};
      options.hidden = sheet.col_hidden(col) ? 1 : 0;
      worksheet_set_column_opt(ws, static_cast<lxw_col_t>(col), static_cast<lxw_col_t>(col),
                               sheet.col_width(col).value_or(LXW_DEF_COL_WIDTH), nullptr, &options);
    }
  }

  std::optional<std::string> write_names() {
    for (const auto& n : book_.names()) {
      const Sheet& owner = n.scope ? *n.scope : *book_.sheets().front();
      const std::string refers_to =
          n.refers_to ? print_formula(*n.refers_to, excel_print_options(owner, {})) : std::string("=#REF!");
      const std::string name = n.scope ? quote_sheet_name(n.scope->name()) + "!" + n.name : n.name;
      const lxw_error result = workbook_define_name(out_, name.c_str(), refers_to.c_str());
      if (result != LXW_NO_ERROR) return "the name \"" + n.name + "\" cannot be written: " + lxw_strerror(result);
    }
    return std::nullopt;
  }

  const Workbook& book_;
  lxw_workbook* out_;
  std::map<std::string, lxw_format*> formats_;
};

std::string random_name() {
  static std::mt19937_64 generator{std::random_device{}()};
  return std::to_string(generator());
}

}  // namespace

std::optional<std::string> save_xlsx_file(const Workbook& book, const std::string& path) {
  if (book.sheets().empty()) return path + ": a workbook without sheets cannot be saved";
  // The library writes a file of its own; it is made in a folder of the
  // system's temporary files and then moved beside the target and over it
  // like every file the host writes, so a failure leaves the target whole.
  std::error_code ec;
  const fs::path scratch = fs::temp_directory_path(ec) / ("kovo-sheet-" + random_name() + ".xlsx");
  if (ec) return path + ": there is no folder for temporary files (" + ec.message() + ")";
  lxw_workbook_options options{};
  options.constant_memory = LXW_FALSE;
  options.use_zip64 = LXW_FALSE;
  lxw_workbook* out = workbook_new_opt(scratch.string().c_str(), &options);
  if (!out) return path + ": the Excel workbook cannot be started (out of memory)";
  std::optional<std::string> error = XlsxWriter(book, out).write();
  const lxw_error closed = workbook_close(out);  // writes the file, frees the workbook
  if (!error && closed != LXW_NO_ERROR) error = std::string(lxw_strerror(closed));
  std::string bytes;
  if (!error) error = read_text_file(scratch.string(), bytes);
  fs::remove(scratch, ec);
  if (error) return path + ": " + *error;
  return write_file_replacing(path, bytes);
}

}  // namespace kovo::sheet
