// Excel workbooks (.xlsx) read into the model: the package's parts found
// through their relationships (never by the names writers usually give
// them), sheets with their cells, formulas brought into the model's formula
// language with their last values, number formats, notes, hidden rows and
// columns and their sizes, selections, defined names and the active sheet.
// What the model cannot hold (charts, pictures, pivot tables, macros,
// external links, array formulas) is left out and listed in one warning.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <new>

#include "sheethost/edit.h"
#include "sheethost/files.h"
#include "sheethost/formula.h"

namespace kovo::sheet {

namespace {

struct Refusal {
  std::string message;
};

[[noreturn]] void refuse(std::string message) { throw Refusal{std::move(message)}; }

// ------------------------------------------------------------ package paths

// The folder of a part ("xl/" of "xl/workbook.xml").
std::string folder_of(const std::string& part) {
  const auto slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// "xl/_rels/workbook.xml.rels" of "xl/workbook.xml".
std::string rels_part_of(const std::string& part) {
  const auto slash = part.rfind('/');
  const std::string name = slash == std::string::npos ? part : part.substr(slash + 1);
  return folder_of(part) + "_rels/" + name + ".rels";
}

// A relationship's target as a part name: relative to the source's folder,
// or from the package's root when it begins with "/"; "." and ".." steps
// resolved, never above the root.
std::optional<std::string> resolve_target(const std::string& source_folder, std::string_view target) {
  std::string path = !target.empty() && target.front() == '/' ? std::string(target.substr(1))
                                                               : source_folder + std::string(target);
  std::vector<std::string> steps;
  std::size_t at = 0;
  while (at <= path.size()) {
    const auto slash = std::min(path.find('/', at), path.size());
    const std::string step = path.substr(at, slash - at);
    if (step == "..") {
      if (steps.empty()) return std::nullopt;
      steps.pop_back();
    } else if (!step.empty() && step != ".") {
      steps.push_back(step);
    }
    at = slash + 1;
  }
  std::string out;
  for (const auto& s : steps) out += (out.empty() ? "" : "/") + s;
  if (out.empty()) return std::nullopt;
  return out;
}

struct Relationship {
  std::string id, type, target;  // target resolved to a part name; empty when external
};

// The last step of a relationship type ("worksheet" of ".../relationships/worksheet").
std::string_view type_name(std::string_view type) {
  const auto slash = type.rfind('/');
  return slash == std::string_view::npos ? type : type.substr(slash + 1);
}

// ------------------------------------------------------------ numbers and cells

std::optional<double> parse_double(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\n' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  if (text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<long long> parse_integer(std::string_view text) {
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

bool flag(std::string_view text) { return text == "1" || text == "true"; }

// Number formats Excel knows by their number alone, as it shows them in an
// English installation (and as the writer's library numbers them).
std::string builtin_number_format(long long id) {
  static const std::map<long long, const char*> kBuiltin = {
      {0, "General"}, {1, "0"}, {2, "0.00"}, {3, "#,##0"}, {4, "#,##0.00"},
      {5, "($#,##0_);($#,##0)"}, {6, "($#,##0_);[Red]($#,##0)"}, {7, "($#,##0.00_);($#,##0.00)"},
      {8, "($#,##0.00_);[Red]($#,##0.00)"}, {9, "0%"}, {10, "0.00%"}, {11, "0.00E+00"}, {12, "# ?/?"},
      {13, "# ?\?/?\?"}, {14, "m/d/yy"}, {15, "d-mmm-yy"}, {16, "d-mmm"}, {17, "mmm-yy"}, {18, "h:mm AM/PM"},
      {19, "h:mm:ss AM/PM"}, {20, "h:mm"}, {21, "h:mm:ss"}, {22, "m/d/yy h:mm"}, {37, "(#,##0_);(#,##0)"},
      {38, "(#,##0_);[Red](#,##0)"}, {39, "(#,##0.00_);(#,##0.00)"}, {40, "(#,##0.00_);[Red](#,##0.00)"},
      {41, "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)"}, {42, "_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)"},
      {43, "_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)"},
      {44, "_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"??_);_(@_)"}, {45, "mm:ss"}, {46, "[h]:mm:ss"},
      {47, "mm:ss.0"}, {48, "##0.0E+0"}, {49, "@"}};
  const auto found = kBuiltin.find(id);
  return found == kBuiltin.end() ? std::string("General") : found->second;
}

// Column letters and row number of an "r" attribute ("AB12").
std::optional<CellPos> cell_reference(std::string_view text) { return parse_cell_address(text); }

// ------------------------------------------------------------ formulas

// Excel's stored formula text ("SUM('Sheet 1'!A1:A3)", functions of later
// versions as "_xlfn.NAME", those of add-ins possibly as "_xll.NAME") as
// the model's formula text: a leading "=", those prefixes dropped, line
// breaks outside texts read as spaces.
std::string model_formula_text(std::string_view stored) {
  static constexpr std::string_view kPrefixes[] = {"_xlfn.", "_xll.", "_xlws."};
  std::string out = "=";
  out.reserve(stored.size() + 1);
  char quote = 0;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const char c = stored[i];
    if (quote) {
      out += c;
      if (c == quote) quote = 0;  // a doubled quote closes and reopens: same result
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      out += c;
      continue;
    }
    const bool word_start = out.size() == 1 || !(std::isalnum(static_cast<unsigned char>(out.back())) ||
                                                 out.back() == '_' || out.back() == '.');
    if (c == '_' && word_start) {
      bool dropped = false;
      for (const auto prefix : kPrefixes)
        if (stored.size() - i >= prefix.size() &&
            same_text_no_case(stored.substr(i, prefix.size()), prefix)) {
          i += prefix.size() - 1;
          dropped = true;
          break;
        }
      if (dropped) continue;
    }
    out += c == '\r' || c == '\n' ? ' ' : c;
  }
  return out;
}

struct SharedFormula {
  std::string text;  // the model's text at the first cell
  CellPos owner;
};

// ------------------------------------------------------------ the reader

class XlsxReader {
 public:
  XlsxReader(Application& app, Workbook& book, ZipPackage& zip, const XlsxLimits& limits)
      : app_(app), book_(book), zip_(zip), limits_(limits) {}

  void read() {
    const auto root = relationships("");
    const Relationship* office = find_type(root, "officeDocument");
    if (!office) refuse("the package names no workbook part (it is not an Excel workbook)");
    workbook_part_ = office->target;
    const XmlElement workbook = part(workbook_part_);
    if (workbook.name != "workbook") refuse(workbook_part_ + " is not a workbook part");
    workbook_rels_ = relationships(workbook_part_);
    for (const auto& r : workbook_rels_) note_dropped(r);
    if (const Relationship* strings = find_type(workbook_rels_, "sharedStrings")) read_shared_strings(strings->target);
    if (const Relationship* styles = find_type(workbook_rels_, "styles")) read_styles(styles->target);
    read_sheets(workbook);
    read_names(workbook);
  }

  bool needs_calculation() const { return needs_calculation_; }

  // One message listing what was left out, or "" when nothing was.
  std::string warning() const {
    std::string text;
    if (!dropped_.empty()) {
      text = "left out (the sheet host does not hold them): ";
      bool first = true;
      for (const auto& [what, count] : dropped_) {
        text += (first ? "" : ", ") + what + ": " + std::to_string(count);
        first = false;
      }
    }
    if (!kept_as_values_.empty()) {
      if (!text.empty()) text += "; ";
      text += "formulas kept as their last values: ";
      for (std::size_t i = 0; i < kept_as_values_.size(); ++i) text += (i ? ", " : "") + kept_as_values_[i];
      if (kept_as_values_count_ > kept_as_values_.size())
        text += " and " + std::to_string(kept_as_values_count_ - kept_as_values_.size()) + " more";
    }
    if (!names_dropped_.empty()) {
      if (!text.empty()) text += "; ";
      text += "names left out: ";
      for (std::size_t i = 0; i < names_dropped_.size(); ++i) text += (i ? ", " : "") + names_dropped_[i];
    }
    return text;
  }

 private:
  // ------------------------------------------------ parts and relationships

  XmlElement part(const std::string& name) {
    std::string bytes;
    if (auto error = zip_.read(name, bytes)) refuse(*error);
    XmlElement root;
    if (auto error = parse_xml(bytes, root, limits_.xml)) refuse(name + ": " + *error);
    return root;
  }

  // The relationships of a part ("" for the package's own); none when the
  // part has no relationship part.
  std::vector<Relationship> relationships(const std::string& source) {
    const std::string rels = source.empty() ? "_rels/.rels" : rels_part_of(source);
    std::vector<Relationship> out;
    if (!zip_.has(rels)) return out;
    const XmlElement root = part(rels);
    root.each("Relationship", [&](const XmlElement& r) {
      Relationship rel{std::string(r.attr("Id")), std::string(r.attr("Type")), {}};
      if (r.attr("TargetMode") != "External") {
        auto target = resolve_target(folder_of(source), r.attr("Target"));
        if (!target) refuse(rels + ": the target \"" + std::string(r.attr("Target")) + "\" leads out of the package");
        rel.target = *target;
      }
      out.push_back(std::move(rel));
    });
    return out;
  }

  static const Relationship* find_type(const std::vector<Relationship>& rels, std::string_view type) {
    for (const auto& r : rels)
      if (type_name(r.type) == type) return &r;
    return nullptr;
  }

  static const Relationship* find_id(const std::vector<Relationship>& rels, std::string_view id) {
    for (const auto& r : rels)
      if (r.id == id) return &r;
    return nullptr;
  }

  // Content the model has no place for, counted by kind for the warning.
  void note_dropped(const Relationship& r) {
    static const std::map<std::string_view, std::string_view> kDropped = {
        {"chartsheet", "chart sheets"},  {"dialogsheet", "dialog sheets"}, {"macrosheet", "macro sheets"},
        {"xlMacrosheet", "macro sheets"}, {"xlIntlMacrosheet", "macro sheets"},
        {"externalLink", "external links"}, {"pivotCacheDefinition", "pivot caches"},
        {"pivotTable", "pivot tables"}, {"vbaProject", "macro projects (vbaProject)"},
        {"chart", "charts"}, {"image", "pictures"}, {"table", "tables (their cells are kept)"},
        {"oleObject", "embedded objects"}, {"control", "controls"}, {"slicer", "slicers"},
        {"queryTable", "queries"}, {"connections", "data connections"}, {"hyperlink", "hyperlinks"}};
    const auto found = kDropped.find(type_name(r.type));
    if (found != kDropped.end()) ++dropped_[std::string(found->second)];
  }

  // ------------------------------------------------ shared parts

  // Plain text of a string item: its own <t>, or the runs' <t> in order.
  static std::string string_item_text(const XmlElement& si) {
    if (const XmlElement* t = si.child("t")) return t->text;
    std::string text;
    si.each("r", [&](const XmlElement& run) {
      if (const XmlElement* t = run.child("t")) text += t->text;
    });
    return text;
  }

  void read_shared_strings(const std::string& name) {
    const XmlElement root = part(name);
    root.each("si", [&](const XmlElement& si) {
      if (strings_.size() >= limits_.max_shared_strings)
        refuse(name + ": more than " + std::to_string(limits_.max_shared_strings) + " shared strings");
      strings_.push_back(string_item_text(si));
    });
  }

  void read_styles(const std::string& name) {
    const XmlElement root = part(name);
    std::map<long long, std::string> custom;
    if (const XmlElement* formats = root.child("numFmts"))
      formats->each("numFmt", [&](const XmlElement& f) {
        if (auto id = parse_integer(f.attr("numFmtId"))) custom[*id] = std::string(f.attr("formatCode"));
      });
    if (const XmlElement* xfs = root.child("cellXfs"))
      xfs->each("xf", [&](const XmlElement& xf) {
        const long long id = parse_integer(xf.attr("numFmtId")).value_or(0);
        const auto found = custom.find(id);
        std::string format = found != custom.end() ? found->second : builtin_number_format(id);
        if (format == "General") format.clear();
        style_formats_.push_back(std::move(format));
      });
  }

  // ------------------------------------------------ sheets

  struct SheetPart {
    Sheet* sheet;
    std::string part;
  };

  void read_sheets(const XmlElement& workbook) {
    const XmlElement* sheets = workbook.child("sheets");
    if (!sheets) refuse(workbook_part_ + ": the workbook lists no sheets");
    std::vector<SheetPart> parts;
    std::vector<Sheet*>& by_position = positions_;
    sheets->each("sheet", [&](const XmlElement& s) {
      const std::string name(s.attr("name"));
      const Relationship* rel = find_id(workbook_rels_, s.attr("id"));
      if (!rel || rel->target.empty())
        refuse(workbook_part_ + ": the sheet \"" + name + "\" has no part of its own");
      if (type_name(rel->type) != "worksheet") {  // a chart or dialog sheet, counted among the dropped
        by_position.push_back(nullptr);
        return;
      }
      if (name.empty() || name.size() > 31 || name.find_first_of("[]:*?/\\") != std::string::npos)
        refuse(workbook_part_ + ": \"" + name + "\" is not a valid sheet name");
      if (book_.find_sheet(name)) refuse(workbook_part_ + ": a second sheet is named \"" + name + "\"");
      Sheet& sheet = book_.add_sheet(name);
      parts.push_back({&sheet, rel->target});
      by_position.push_back(&sheet);
    });
    if (parts.empty()) refuse(workbook_part_ + ": the workbook has no worksheet");
    // Every sheet exists before any formula is read, so references between sheets resolve.
    for (const auto& p : parts) read_sheet(*p.sheet, p.part);
    if (const XmlElement* views = workbook.child("bookViews"))
      if (const XmlElement* view = views->child("workbookView"))
        if (auto tab = parse_integer(view->attr("activeTab"));
            tab && *tab >= 0 && static_cast<std::size_t>(*tab) < by_position.size() && by_position[*tab])
          book_.activate(*by_position[*tab]);
  }

  ParseOptions options(CellPos owner, RefStyle style = RefStyle::A1) const {
    ParseOptions o;
    o.style = style;
    o.owner = owner;
    o.list_separator = ',';
    const Workbook* book = &book_;
    const Application* app = &app_;
    o.resolve_sheet = [book, app](std::string_view book_name, std::string_view sheet_name) -> Sheet* {
      if (book_name.empty() || same_text_no_case(book_name, book->name())) return book->find_sheet(sheet_name);
      return app->resolve_sheet(book_name, sheet_name);
    };
    return o;
  }

  void read_sheet(Sheet& sheet, const std::string& name) {
    const XmlElement root = part(name);
    if (root.name != "worksheet") refuse(name + " is not a worksheet part");
    const auto rels = relationships(name);
    for (const auto& r : rels) {
      note_dropped(r);
      if (type_name(r.type) == "drawing" && !r.target.empty())
        for (const auto& inner : relationships(r.target)) note_dropped(inner);
    }
    note_dropped_sheet_content(root);
    shared_.clear();
    if (const XmlElement* data = root.child("sheetData")) read_cells(sheet, *data, name);
    read_columns(sheet, root);
    read_view(sheet, root);
    if (const XmlElement* protection = root.child("sheetProtection"))
      sheet.protected_contents = flag(protection->attr("sheet"));
    for (const auto& r : rels)
      if (type_name(r.type) == "comments" && !r.target.empty()) read_notes(sheet, r.target);
  }

  // What a sheet part holds beside its cells that the model has no place
  // for; the cells' values are kept, their look or checks are not.
  void note_dropped_sheet_content(const XmlElement& root) {
    static const std::pair<std::string_view, std::string_view> kDropped[] = {
        {"mergeCells", "merged cells"}, {"conditionalFormatting", "conditional formats"},
        {"dataValidations", "data validations"}, {"autoFilter", "filters"}};
    for (const auto& [element, what] : kDropped) {
      int count = 0;
      root.each(element, [&](const XmlElement& e) { count += e.children.empty() ? 1 : static_cast<int>(e.children.size()); });
      if (count) dropped_[std::string(what)] += count;
    }
  }

  void read_cells(Sheet& sheet, const XmlElement& data, const std::string& part_name) {
    int next_row = 0;
    for (const XmlElement& row : data.children) {
      if (row.name != "row") continue;
      int r = next_row;
      if (auto n = parse_integer(row.attr("r"))) r = static_cast<int>(std::clamp<long long>(*n - 1, -1, kMaxRows));
      next_row = r + 1;
      if (r < 0 || r >= kMaxRows) {
        if (!row.children.empty()) ++dropped_["rows beyond row " + std::to_string(kMaxRows)];
        continue;
      }
      if (flag(row.attr("hidden"))) sheet.set_row_hidden(r, true);
      if (flag(row.attr("customHeight")))
        if (auto height = parse_double(row.attr("ht")); height && *height >= 0 && *height <= 409)
          sheet.set_row_height(r, *height);
      int next_col = 0;
      for (const XmlElement& c : row.children) {
        if (c.name != "c") continue;
        CellPos pos{r, next_col};
        if (!c.attr("r").empty()) {
          auto p = cell_reference(c.attr("r"));
          if (!p) {
            ++dropped_["cells beyond column " + column_name(kMaxCols - 1) + " or row " + std::to_string(kMaxRows)];
            continue;
          }
          pos = *p;
        }
        next_col = pos.col + 1;
        if (++cells_ > limits_.max_cells)
          refuse(part_name + ": more than " + std::to_string(limits_.max_cells) + " cells in the workbook");
        read_cell(sheet, c, pos, part_name);
      }
    }
  }

  Value cell_value(const XmlElement& c, std::string_view type, const std::string& where) const {
    const XmlElement* v = c.child("v");
    if (type == "inlineStr") {
      const XmlElement* is = c.child("is");
      return is ? Value::str(string_item_text(*is)) : Value{};
    }
    // No value, or an empty one (as programs that do not calculate write a
    // formula's): an empty cell until calculated.
    if (!v || v->text.empty()) return Value{};
    const std::string& text = v->text;
    if (type == "s") {
      const auto index = parse_integer(text);
      if (!index || *index < 0 || static_cast<std::size_t>(*index) >= strings_.size())
        refuse(where + ": the shared string " + text + " does not exist");
      return Value::str(strings_[static_cast<std::size_t>(*index)]);
    }
    if (type == "str") {
      // A formula's text result. The writer keeps the last value of a
      // formula that ended in an error or true/false as its text, which
      // reads back as that value.
      if (auto code = parse_error_text(text)) return Value::err(*code);
      if (text == "TRUE" || text == "FALSE") return Value::logical(text == "TRUE");
      return Value::str(text);
    }
    if (type == "b") return Value::logical(text == "1" || text == "true");
    if (type == "e") {
      auto code = parse_error_text(text);
      return Value::err(code.value_or(ErrorCode::Value));
    }
    if (type == "d") return Value::str(text);  // a date as ISO text: kept as it reads
    const auto number = parse_double(text);
    if (!number) refuse(where + ": \"" + text + "\" is not a number");
    return Value::num(*number);
  }

  void read_cell(Sheet& sheet, const XmlElement& c, CellPos pos, const std::string& part_name) {
    const std::string address = column_name(pos.col) + std::to_string(pos.row + 1);
    const std::string where = part_name + " " + address;
    const std::string_view type = c.attr("t");
    Value value = cell_value(c, type, where);
    std::unique_ptr<Formula> formula;
    bool without_value = false;
    if (const XmlElement* f = c.child("f")) {
      const XmlElement* v = c.child("v");
      formula = read_formula(sheet, *f, pos, value);
      without_value = formula && type != "str" && (!v || v->text.empty());
    }
    std::string format;
    if (auto s = parse_integer(c.attr("s")); s && *s >= 0 && static_cast<std::size_t>(*s) < style_formats_.size())
      format = style_formats_[static_cast<std::size_t>(*s)];
    if (!formula && value.is_empty() && format.empty()) return;
    Cell& cell = sheet.ensure(pos.row, pos.col);
    cell.value = std::move(value);
    cell.formula = std::move(formula);
    cell.format = std::move(format);
    if (without_value) {
      // Calculated once the book is open, with what depends on it.
      cell.dirty = true;
      needs_calculation_ = true;
    }
  }

  // The formula of a cell in the model's language, or null when the cell
  // keeps only its last value (an array formula, one the model cannot
  // parse); those are listed in the warning.
  std::unique_ptr<Formula> read_formula(Sheet& sheet, const XmlElement& f, CellPos pos, Value& value) {
    const std::string_view kind = f.attr("t");
    const std::string place = quote_sheet_name(sheet.name()) + "!" + column_name(pos.col) + std::to_string(pos.row + 1);
    if (kind == "array" || kind == "dataTable") {
      keep_as_value(place + " (an array formula)");
      return nullptr;
    }
    std::string text;
    CellPos owner = pos;
    if (kind == "shared" && f.text.empty()) {
      const auto found = shared_.find(std::string(f.attr("si")));
      if (found == shared_.end()) {
        keep_as_value(place + " (a shared formula without its first cell)");
        return nullptr;
      }
      text = found->second.text;
      owner = found->second.owner;
    } else {
      text = model_formula_text(f.text);
      if (kind == "shared") shared_[std::string(f.attr("si"))] = SharedFormula{text, pos};
    }
    // An error constant is stored as the formula of that error: it reads
    // back as the constant it was.
    if (auto code = parse_error_text(std::string_view(text).substr(1)); code && owner == pos) {
      value = Value::err(*code);
      return nullptr;
    }
    auto parsed = parse_formula(text, options(owner));
    if (parsed.formula && !(owner == pos)) {
      // A cell sharing another's formula: the same formula with its relative
      // references moved by the distance between the two cells.
      PrintOptions p;
      p.style = RefStyle::R1C1;
      p.owner = owner;
      p.owner_sheet = &sheet;
      parsed = parse_formula(print_formula(*parsed.formula, p), options(pos, RefStyle::R1C1));
    }
    if (!parsed.formula) {
      keep_as_value(place + " (" + parsed.error + ")");
      return nullptr;
    }
    return std::move(parsed.formula);
  }

  void keep_as_value(std::string place) {
    ++kept_as_values_count_;
    if (kept_as_values_.size() < 10) kept_as_values_.push_back(std::move(place));
  }

  // Column widths as Excel stores them (characters plus the padding of its
  // default font) back to the characters the model keeps, to the hundredth.
  static double column_width_in_characters(double stored) {
    constexpr double kDigit = 7, kPadding = 5;
    const double pixels = stored * kDigit;
    const double characters = pixels >= kDigit + kPadding ? (pixels - kPadding) / kDigit : pixels / (kDigit + kPadding);
    return std::round(characters * 100) / 100;
  }

  void read_columns(Sheet& sheet, const XmlElement& root) {
    const XmlElement* cols = root.child("cols");
    if (!cols) return;
    cols->each("col", [&](const XmlElement& col) {
      const auto first = parse_integer(col.attr("min")), last = parse_integer(col.attr("max"));
      if (!first || !last || *first < 1 || *last < *first) return;
      const bool hidden = flag(col.attr("hidden"));
      const auto width = parse_double(col.attr("width"));
      const bool sized = flag(col.attr("customWidth")) && width && *width > 0 && *width <= 255;
      // A whole-sheet column entry reaches far past the model's last column.
      const long long stop = std::min<long long>(*last, kMaxCols);
      for (long long c = *first; c <= stop; ++c) {
        const int index = static_cast<int>(c - 1);
        if (hidden) sheet.set_col_hidden(index, true);
        if (sized) sheet.set_col_width(index, column_width_in_characters(*width));
      }
    });
  }

  void read_view(Sheet& sheet, const XmlElement& root) {
    const XmlElement* views = root.child("sheetViews");
    const XmlElement* view = views ? views->child("sheetView") : nullptr;
    if (!view) return;
    // With split or frozen panes each pane has a selection: the active one's counts.
    const XmlElement* pane = view->child("pane");
    const std::string_view active_pane = pane ? pane->attr("activePane") : std::string_view();
    const XmlElement* chosen = nullptr;
    view->each("selection", [&](const XmlElement& s) {
      if (!chosen || (!active_pane.empty() && s.attr("pane") == active_pane)) chosen = &s;
    });
    if (!chosen) return;
    std::vector<Area> areas;
    std::string_view sqref = chosen->attr("sqref");
    while (!sqref.empty()) {
      const auto space = sqref.find(' ');
      const std::string_view item = sqref.substr(0, space);
      auto parsed = parse_formula("=" + std::string(item), ParseOptions{});
      if (parsed.formula && parsed.formula->root->kind == ExprKind::Ref) areas.push_back(parsed.formula->root->ref.area);
      sqref = space == std::string_view::npos ? std::string_view() : sqref.substr(space + 1);
    }
    if (!areas.empty()) {
      sheet.selection = areas;
      sheet.active_cell = areas.front().top_left();
    }
    if (auto active = cell_reference(chosen->attr("activeCell"))) sheet.active_cell = *active;
  }

  void read_notes(Sheet& sheet, const std::string& name) {
    const XmlElement root = part(name);
    const XmlElement* list = root.child("commentList");
    if (!list) return;
    list->each("comment", [&](const XmlElement& comment) {
      const auto pos = cell_reference(comment.attr("ref"));
      const XmlElement* text = comment.child("text");
      if (!pos || !text) return;
      set_note(sheet, pos->row, pos->col, string_item_text(*text));
    });
  }

  // ------------------------------------------------ names

  void read_names(const XmlElement& workbook) {
    const XmlElement* names = workbook.child("definedNames");
    if (!names) return;
    names->each("definedName", [&](const XmlElement& n) {
      std::string name(n.attr("name"));
      // Names Excel gives a meaning of its own are stored with a prefix.
      if (name.rfind("_xlnm.", 0) == 0) name = name.substr(6);
      DefinedName defined;
      defined.name = name;
      defined.hidden = flag(n.attr("hidden"));
      if (!n.attr("localSheetId").empty()) {
        const auto index = parse_integer(n.attr("localSheetId"));
        if (!index || *index < 0 || static_cast<std::size_t>(*index) >= positions_.size() ||
            !positions_[static_cast<std::size_t>(*index)]) {
          names_dropped_.push_back(name + " (of a sheet not kept)");
          return;
        }
        defined.scope = positions_[static_cast<std::size_t>(*index)];
      }
      if (!valid_defined_name(name)) {
        names_dropped_.push_back(name + " (not a valid name here)");
        return;
      }
      for (const auto& other : book_.names())
        if (other.scope == defined.scope && same_text_no_case(other.name, name)) {
          names_dropped_.push_back(name + " (defined twice)");
          return;
        }
      auto parsed = parse_formula(model_formula_text(n.text), options({}));
      if (!parsed.formula) {
        names_dropped_.push_back(name + " (" + parsed.error + ")");
        return;
      }
      defined.refers_to = std::move(parsed.formula);
      book_.names().push_back(std::move(defined));
    });
  }

  Application& app_;
  Workbook& book_;
  ZipPackage& zip_;
  const XlsxLimits& limits_;
  std::string workbook_part_;
  std::vector<Relationship> workbook_rels_;
  std::vector<std::string> strings_;
  // The sheets by their place in the file, as Excel counts them: a chart
  // sheet, which is not kept, has its place too (null).
  std::vector<Sheet*> positions_;
  std::vector<std::string> style_formats_;  // number format of each cell style, "" = General
  std::map<std::string, SharedFormula> shared_;  // of the sheet being read, by its index
  std::size_t cells_ = 0;
  bool needs_calculation_ = false;
  std::map<std::string, int> dropped_;
  std::vector<std::string> kept_as_values_;
  std::size_t kept_as_values_count_ = 0;
  std::vector<std::string> names_dropped_;
};

}  // namespace

LoadResult workbook_from_xlsx(Application& app, std::string_view bytes, const std::string& name,
                              const XlsxLimits& limits) {
  LoadResult result;
  std::string error;
  auto zip = ZipPackage::open(bytes, limits.zip, error);
  if (!zip) {
    result.error = error;
    return result;
  }
  auto book = app.make_workbook(name);
  try {
    XlsxReader reader(app, *book, *zip, limits);
    reader.read();
    result.warning = reader.warning();
    result.calculate = reader.needs_calculation();
  } catch (const Refusal& refusal) {
    result.error = refusal.message;
    return result;
  }
  result.book = std::move(book);
  return result;
}

}  // namespace kovo::sheet
