#include <algorithm>

#include "sheethost/edit.h"
#include "sheethost/files.h"
#include "sheethost/number_format.h"

namespace kovo::sheet {

namespace {

struct CsvRow {
  std::vector<std::string> fields;
};

// Splits CSV text into rows of fields; nothing when a quote is not closed
// (the row where it opened is reported).
std::optional<std::string> split_csv(const std::string& text, std::vector<CsvRow>& rows) {
  std::size_t i = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
  CsvRow row;
  std::string field;
  bool any = false;
  int line = 1;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"' && field.empty()) {
      const int opened = line;
      ++i;
      for (;;) {
        if (i >= text.size()) return "row " + std::to_string(opened) + ": a quoted field is not closed";
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        if (text[i] == '\n') ++line;
        field += text[i++];
      }
      any = true;
      continue;
    }
    if (c == ',') {
      row.fields.push_back(std::move(field));
      field.clear();
      any = true;
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      ++i;
      row.fields.push_back(std::move(field));
      field.clear();
      rows.push_back(std::move(row));
      row = CsvRow{};
      any = false;
      ++line;
      continue;
    }
    field += c;
    any = true;
    ++i;
  }
  if (any || !field.empty()) {
    row.fields.push_back(std::move(field));
    rows.push_back(std::move(row));
  }
  return std::nullopt;
}

std::string csv_field(const std::string& text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string sheet_name_from_file(const std::string& file) {
  std::string base = file;
  const auto dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base = base.substr(0, dot);
  for (char& c : base)
    if (std::string("[]:*?/\\'").find(c) != std::string::npos) c = '_';
  if (base.size() > 31) base.resize(31);
  return base.empty() ? "Sheet1" : base;
}

// Display width of UTF-8 text: one per character.
std::size_t width_of(const std::string& text) {
  std::size_t n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string one_line(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return text;
}

}  // namespace

LoadResult workbook_from_csv(Application& app, const std::string& text, const std::string& name) {
  LoadResult result;
  std::vector<CsvRow> rows;
  if (auto error = split_csv(text, rows)) {
    result.error = *error;
    return result;
  }
  if (rows.size() > static_cast<std::size_t>(kMaxRows)) {
    result.error = "more than " + std::to_string(kMaxRows) + " rows";
    return result;
  }
  auto book = app.make_workbook(name);
  Sheet& sheet = book->add_sheet(sheet_name_from_file(name));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const auto& fields = rows[r].fields;
    if (fields.size() > static_cast<std::size_t>(kMaxCols)) {
      result.error = "row " + std::to_string(r + 1) + ": more than " + std::to_string(kMaxCols) + " fields";
      return result;
    }
    for (std::size_t c = 0; c < fields.size(); ++c) {
      const std::string& field = fields[c];
      if (field.empty()) continue;
      const int row = static_cast<int>(r), col = static_cast<int>(c);
      if (field.front() == '=') {
        ParseOptions o = parse_options_for(sheet, {row, col});
        const Workbook* home = book.get();
        o.resolve_sheet = [home, &app](std::string_view b, std::string_view s) -> Sheet* {
          if (b.empty() || same_text_no_case(b, home->name())) return home->find_sheet(s);
          return app.resolve_sheet(b, s);
        };
        auto parsed = parse_formula_any(field, o);
        if (!parsed.formula) {
          result.error = "row " + std::to_string(r + 1) + ", column " + column_name(col) + " (" +
                         area_a1(Area::cell(row, col), false) + "): \"" + field + "\" does not parse: " + parsed.error;
          return result;
        }
        Cell& cell = sheet.ensure(row, col);
        cell.formula = std::move(parsed.formula);
        cell.dirty = true;
      } else {
        sheet.ensure(row, col).value = entry_to_value(field);
      }
    }
  }
  result.book = std::move(book);
  return result;
}

std::string sheet_to_csv(const Sheet& sheet) {
  const auto used = sheet.used_range();
  if (!used) return {};
  std::string out;
  for (int r = 0; r <= used->row2; ++r) {
    for (int c = 0; c <= used->col2; ++c) {
      if (c) out += ',';
      if (const Cell* cell = sheet.find(r, c)) out += csv_field(value_to_text(cell->value));
    }
    out += "\r\n";
  }
  return out;
}

std::string print_sheet(const Sheet& sheet) {
  const auto used = sheet.used_range();
  if (!used) return {};
  std::vector<int> rows, cols;
  for (int r = used->row1; r <= used->row2; ++r)
    if (!sheet.row_hidden(r)) rows.push_back(r);
  for (int c = used->col1; c <= used->col2; ++c)
    if (!sheet.col_hidden(c)) cols.push_back(c);
  struct Shown {
    std::string text;
    bool right = false;
  };
  std::vector<std::vector<Shown>> grid(rows.size(), std::vector<Shown>(cols.size()));
  std::vector<std::size_t> widths(cols.size());
  std::size_t row_label_width = 0;
  for (std::size_t j = 0; j < cols.size(); ++j) widths[j] = width_of(column_name(cols[j]));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    row_label_width = std::max(row_label_width, std::to_string(rows[i] + 1).size());
    for (std::size_t j = 0; j < cols.size(); ++j) {
      const Cell* cell = sheet.find(rows[i], cols[j]);
      if (!cell) continue;
      grid[i][j].text = one_line(format_value(cell->value, cell->format));
      grid[i][j].right = cell->value.is_number() || cell->value.is_error() || cell->value.is_bool();
      widths[j] = std::max(widths[j], width_of(grid[i][j].text));
    }
  }
  auto pad = [](const std::string& text, std::size_t width, bool right) {
    const std::size_t fill = width > width_of(text) ? width - width_of(text) : 0;
    return right ? std::string(fill, ' ') + text : text + std::string(fill, ' ');
  };
  auto finish = [](std::string line) {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line + "\n";
  };
  std::string out;
  std::string header = std::string(row_label_width, ' ');
  for (std::size_t j = 0; j < cols.size(); ++j) header += "  " + pad(column_name(cols[j]), widths[j], false);
  out += finish(header);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::string line = pad(std::to_string(rows[i] + 1), row_label_width, true);
    for (std::size_t j = 0; j < cols.size(); ++j) line += "  " + pad(grid[i][j].text, widths[j], grid[i][j].right);
    out += finish(line);
  }
  return out;
}

}  // namespace kovo::sheet
