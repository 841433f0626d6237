#include "sheethost/formula.h"

#include <cctype>
#include <optional>

#include "sheethost/functions.h"
#include "sheethost/workbook.h"

namespace kovo::sheet {

namespace {

constexpr int kMaxDepth = 256;

bool is_alpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool is_word_start(char c) { return is_alpha(c) || c == '_' || c == '\\' || c == '$'; }
bool is_word_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.' || c == '\\' || c == '$';
}

struct Failure {
  std::string message;
  std::size_t position;
};

// One coordinate as read from the text.
struct Coord {
  int value = 0;  // 0-based absolute target
  bool absolute = false;
};

ExprPtr make(ExprKind kind) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  return e;
}

class Parser {
 public:
  Parser(std::string_view text, const ParseOptions& options) : s_(text), opt_(options) {}

  ParseResult run() {
    ParseResult result;
    try {
      if (s_.size() > kMaxFormulaLength) fail("the formula is longer than 8192 characters", kMaxFormulaLength);
      skip_spaces();
      if (!accept('=')) fail("a formula begins with \"=\"", pos_);
      auto formula = std::make_unique<Formula>();
      formula->root = parse_expression();
      skip_spaces();
      if (pos_ < s_.size()) fail(std::string("unexpected \"") + s_[pos_] + "\"", pos_);
      mark(*formula->root, *formula);
      result.formula = std::move(formula);
    } catch (const Failure& f) {
      result.error = f.message;
      result.position = f.position;
    }
    return result;
  }

 private:
  [[noreturn]] void fail(std::string message, std::size_t at) { throw Failure{std::move(message), at}; }

  static void mark(const Expr& e, Formula& f) {
    if (e.kind == ExprKind::Call && !e.builtin) f.calls_external = true;
    if (e.kind == ExprKind::Name) f.uses_names = true;
    for (const auto& a : e.args) mark(*a, f);
  }

  void skip_spaces() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t'))
      ++pos_;
  }
  char peek(std::size_t ahead = 0) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0'; }
  char at(std::size_t p) const { return p < s_.size() ? s_[p] : '\0'; }
  bool accept(char c) {
    if (peek() == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool is_separator(char c) const { return c == ',' || (c == ';' && opt_.list_separator == ';'); }

  struct Depth {
    Parser& p;
    explicit Depth(Parser& parser) : p(parser) {
      if (++p.depth_ > kMaxDepth) p.fail("the formula nests too deeply", p.pos_);
    }
    ~Depth() { --p.depth_; }
  };

  ExprPtr binary(Op op, ExprPtr left, ExprPtr right) {
    auto e = make(ExprKind::Binary);
    e->op = op;
    e->args.push_back(std::move(left));
    e->args.push_back(std::move(right));
    return e;
  }

  ExprPtr parse_expression() {
    Depth depth(*this);
    auto left = parse_concat();
    for (;;) {
      skip_spaces();
      Op op;
      if (peek() == '<' && peek(1) == '>') op = Op::Ne, pos_ += 2;
      else if (peek() == '<' && peek(1) == '=') op = Op::Le, pos_ += 2;
      else if (peek() == '>' && peek(1) == '=') op = Op::Ge, pos_ += 2;
      else if (peek() == '<') op = Op::Lt, ++pos_;
      else if (peek() == '>') op = Op::Gt, ++pos_;
      else if (peek() == '=') op = Op::Eq, ++pos_;
      else return left;
      left = binary(op, std::move(left), parse_concat());
    }
  }

  ExprPtr parse_concat() {
    auto left = parse_additive();
    for (;;) {
      skip_spaces();
      if (!accept('&')) return left;
      left = binary(Op::Concat, std::move(left), parse_additive());
    }
  }

  ExprPtr parse_additive() {
    auto left = parse_multiplicative();
    for (;;) {
      skip_spaces();
      if (accept('+')) left = binary(Op::Add, std::move(left), parse_multiplicative());
      else if (accept('-')) left = binary(Op::Sub, std::move(left), parse_multiplicative());
      else return left;
    }
  }

  ExprPtr parse_multiplicative() {
    auto left = parse_power();
    for (;;) {
      skip_spaces();
      if (accept('*')) left = binary(Op::Mul, std::move(left), parse_power());
      else if (accept('/')) left = binary(Op::Div, std::move(left), parse_power());
      else return left;
    }
  }

  ExprPtr parse_power() {
    auto left = parse_unary();
    for (;;) {
      skip_spaces();
      if (!accept('^')) return left;
      left = binary(Op::Pow, std::move(left), parse_unary());
    }
  }

  ExprPtr parse_unary() {
    Depth depth(*this);
    skip_spaces();
    if (peek() == '-' || peek() == '+') {
      const Op op = peek() == '-' ? Op::Neg : Op::Plus;
      ++pos_;
      auto e = make(ExprKind::Unary);
      e->op = op;
      e->args.push_back(parse_unary());
      return e;
    }
    auto operand = parse_primary();
    for (;;) {
      skip_spaces();
      if (!accept('%')) return operand;
      auto e = make(ExprKind::Percent);
      e->args.push_back(std::move(operand));
      operand = std::move(e);
    }
  }

  ExprPtr parse_primary() {
    Depth depth(*this);
    skip_spaces();
    const char c = peek();
    const std::size_t start = pos_;
    if (c == '\0') fail("the formula ends where a value is expected", pos_);
    if (c == '"') return parse_string();
    if (c == '#') return parse_error_literal();
    if (c == '(') return parse_parenthesised();
    if (c == '\'' || c == '[') return parse_prefixed_reference();
    if (auto ref = try_reference(pos_)) return ref;
    if (is_digit(c) || (c == '.' && is_digit(peek(1)))) return parse_number();
    if (is_word_start(c)) return parse_word();
    fail(std::string("unexpected \"") + c + "\"", start);
  }

  ExprPtr parse_string() {
    const std::size_t start = pos_++;
    std::string text;
    for (;;) {
      if (pos_ >= s_.size()) fail("a text is not closed with \"", start);
      const char c = s_[pos_++];
      if (c == '"') {
        if (peek() == '"') {
          text += '"';
          ++pos_;
          continue;
        }
        break;
      }
      text += c;
    }
    auto e = make(ExprKind::Text);
    e->text = std::move(text);
    return e;
  }

  ExprPtr parse_error_literal() {
    static constexpr ErrorCode kCodes[] = {ErrorCode::Null, ErrorCode::Div0, ErrorCode::Value, ErrorCode::Ref,
                                           ErrorCode::Name, ErrorCode::Num, ErrorCode::NA};
    for (ErrorCode code : kCodes) {
      const std::string_view text = error_text(code);
      if (s_.size() - pos_ >= text.size() && same_text_no_case(s_.substr(pos_, text.size()), text)) {
        pos_ += text.size();
        auto e = make(ExprKind::Error);
        e->error = code;
        return e;
      }
    }
    fail("unknown error value", pos_);
  }

  ExprPtr parse_number() {
    const std::size_t start = pos_;
    while (is_digit(peek())) ++pos_;
    if (peek() == '.') {
      ++pos_;
      while (is_digit(peek())) ++pos_;
    }
    if ((peek() == 'e' || peek() == 'E') &&
        (is_digit(peek(1)) || ((peek(1) == '+' || peek(1) == '-') && is_digit(peek(2))))) {
      pos_ += 2;
      while (is_digit(peek())) ++pos_;
    }
    const auto n = text_to_number(s_.substr(start, pos_ - start));
    if (!n) fail("the number is out of range", start);
    auto e = make(ExprKind::Number);
    e->number = *n;
    return e;
  }

  ExprPtr parse_parenthesised() {
    const std::size_t open = pos_;
    ++pos_;
    std::vector<ExprPtr> items;
    items.push_back(parse_expression());
    for (;;) {
      skip_spaces();
      if (accept(')')) break;
      if (is_separator(peek())) {
        ++pos_;
        items.push_back(parse_expression());
        continue;
      }
      if (pos_ >= s_.size()) fail("a \"(\" is not closed", open);
      fail(std::string("unexpected \"") + peek() + "\"", pos_);
    }
    if (items.size() == 1) {
      auto e = make(ExprKind::Paren);
      e->args.push_back(std::move(items[0]));
      return e;
    }
    for (const auto& item : items)
      if (item->kind != ExprKind::Ref && item->kind != ExprKind::Union)
        fail("a list in parentheses must list references", open);
    auto e = make(ExprKind::Union);
    e->args = std::move(items);
    return e;
  }

  // 'Sheet name'!ref, '[Book]Sheet'!ref or [Book]Sheet!ref.
  ExprPtr parse_prefixed_reference() {
    const std::size_t start = pos_;
    std::string prefix;
    if (peek() == '\'') {
      ++pos_;
      for (;;) {
        if (pos_ >= s_.size()) fail("a quoted sheet name is not closed", start);
        const char c = s_[pos_++];
        if (c == '\'') {
          if (peek() == '\'') {
            prefix += '\'';
            ++pos_;
            continue;
          }
          break;
        }
        prefix += c;
      }
    } else {
      while (pos_ < s_.size() && s_[pos_] != '!' && s_[pos_] != ' ' && s_[pos_] != '(' && s_[pos_] != ')' &&
             !is_separator(s_[pos_]))
        prefix += s_[pos_++];
    }
    if (!accept('!')) fail("a sheet name must be followed by \"!\" and a reference", pos_);
    std::string book, sheet = prefix;
    if (!prefix.empty() && prefix[0] == '[') {
      const auto close = prefix.find(']');
      if (close == std::string::npos) fail("a workbook name is not closed with \"]\"", start);
      book = prefix.substr(1, close - 1);
      sheet = prefix.substr(close + 1);
    }
    if (sheet.empty()) fail("a sheet name is missing", start);
    return finish_prefixed(book, sheet, std::string(s_.substr(start, pos_ - 1 - start)));
  }

  ExprPtr finish_prefixed(const std::string& book, const std::string& sheet, std::string written) {
    // A reference that broke is written "Sheet!#REF!".
    if (s_.substr(pos_, 5) == "#REF!") {
      pos_ += 5;
      auto e = make(ExprKind::Error);
      e->error = ErrorCode::Ref;
      return e;
    }
    auto ref = try_reference(pos_);
    if (!ref) fail("a reference must follow the sheet name", pos_);
    Sheet* found = opt_.resolve_sheet ? opt_.resolve_sheet(book, sheet) : nullptr;
    ref->sheet = found;
    if (!found) ref->text = std::move(written);
    return ref;
  }

  ExprPtr parse_word() {
    const std::size_t start = pos_;
    std::size_t end = pos_;
    while (end < s_.size() && is_word_char(s_[end])) ++end;
    const std::string word(s_.substr(start, end - start));
    std::size_t after = end;
    while (after < s_.size() && s_[after] == ' ') ++after;
    if (at(after) == '(' && word.find('$') == std::string::npos) {
      pos_ = after + 1;
      return parse_call(word, start);
    }
    if (at(end) == '!') {
      pos_ = end + 1;
      return finish_prefixed("", word, word);
    }
    if (opt_.style == RefStyle::A1) {
      std::size_t probe = start;
      if (read_r1c1(probe)) fail("an R1C1 reference in an A1 formula", start);
    }
    pos_ = end;
    if (same_text_no_case(word, "TRUE") || same_text_no_case(word, "FALSE")) {
      auto e = make(ExprKind::Bool);
      e->boolean = same_text_no_case(word, "TRUE");
      return e;
    }
    if (word[0] == '$' || word.find('$') != std::string::npos) fail("\"" + word + "\" is no reference", start);
    auto e = make(ExprKind::Name);
    e->text = word;
    return e;
  }

  ExprPtr parse_call(const std::string& name, std::size_t start) {
    auto e = make(ExprKind::Call);
    e->text = name;
    e->builtin = find_builtin(name);
    if (e->builtin) e->text = std::string(e->builtin->name);
    skip_spaces();
    if (!accept(')')) {
      for (;;) {
        skip_spaces();
        if (is_separator(peek()) || peek() == ')') e->args.push_back(make(ExprKind::Missing));
        else e->args.push_back(parse_expression());
        skip_spaces();
        if (accept(')')) break;
        if (is_separator(peek())) {
          ++pos_;
          continue;
        }
        if (pos_ >= s_.size()) fail("the arguments of " + name + " are not closed with \")\"", start);
        fail(std::string("unexpected \"") + peek() + "\"", pos_);
      }
    }
    if (e->args.size() > 255) fail(name + " has more than 255 arguments", start);
    if (e->builtin) {
      const int n = static_cast<int>(e->args.size());
      if (n < e->builtin->min_args || n > e->builtin->max_args)
        fail(std::string(e->builtin->name) + " takes " + std::to_string(e->builtin->min_args) +
                 (e->builtin->max_args == e->builtin->min_args ? "" : " to " + std::to_string(e->builtin->max_args)) +
                 " argument" + (e->builtin->max_args == 1 ? "" : "s"),
             start);
    }
    return e;
  }

  // ---------------------------------------------------------- references

  // A reference (cell, range, rows or columns) starting at p in the parse's
  // notation, not followed by anything that would make it a longer word.
  ExprPtr try_reference(std::size_t p) {
    std::optional<RefArea> area = opt_.style == RefStyle::A1 ? read_a1(p) : read_r1c1(p);
    if (!area) return nullptr;
    pos_ = p;
    auto e = make(ExprKind::Ref);
    e->ref = *area;
    e->ref_error = !e->ref.area.valid();
    if (e->ref_error) e->ref.area = Area{};
    return e;
  }

  bool ends_word(std::size_t p) const {
    const char c = at(p);
    return !(is_word_char(c) || c == '(' || c == '!' || c == '[' || c == '\'');
  }

  std::optional<Coord> a1_letters(std::size_t& p) const {
    std::size_t q = p;
    Coord c;
    if (at(q) == '$') c.absolute = true, ++q;
    const std::size_t letters = q;
    while (is_alpha(at(q))) ++q;
    if (q == letters || q - letters > 3) return std::nullopt;
    auto col = parse_column_name(s_.substr(letters, q - letters));
    if (!col) return std::nullopt;
    c.value = *col;
    p = q;
    return c;
  }

  std::optional<Coord> a1_digits(std::size_t& p) const {
    std::size_t q = p;
    Coord c;
    if (at(q) == '$') c.absolute = true, ++q;
    const std::size_t digits = q;
    while (is_digit(at(q))) ++q;
    if (q == digits || q - digits > 5) return std::nullopt;
    const int row = std::stoi(std::string(s_.substr(digits, q - digits)));
    if (row < 1 || row > kMaxRows) return std::nullopt;
    c.value = row - 1;
    p = q;
    return c;
  }

  std::optional<std::pair<Coord, Coord>> a1_cell(std::size_t& p) const {
    std::size_t q = p;
    auto col = a1_letters(q);
    if (!col) return std::nullopt;
    auto row = a1_digits(q);
    if (!row) return std::nullopt;
    p = q;
    return std::make_pair(*row, *col);
  }

  std::optional<RefArea> read_a1(std::size_t& p) const {
    RefArea r;
    std::size_t q = p;
    if (auto first = a1_cell(q)) {
      r.area = Area::cell(first->first.value, first->second.value);
      r.abs_row1 = r.abs_row2 = first->first.absolute;
      r.abs_col1 = r.abs_col2 = first->second.absolute;
      std::size_t after = q;
      if (at(after) == ':') {
        ++after;
        if (auto second = a1_cell(after); second && ends_word(after)) {
          r.area.row2 = second->first.value;
          r.area.col2 = second->second.value;
          r.abs_row2 = second->first.absolute;
          r.abs_col2 = second->second.absolute;
          q = after;
        }
      }
      if (!ends_word(q)) return std::nullopt;
      r.normalise();
      p = q;
      return r;
    }
    q = p;
    if (auto c1 = a1_letters(q); c1 && at(q) == ':') {
      std::size_t after = q + 1;
      if (auto c2 = a1_letters(after); c2 && ends_word(after)) {
        r.shape = RefShape::Cols;
        r.area = {0, c1->value, kMaxRows - 1, c2->value};
        r.abs_col1 = c1->absolute;
        r.abs_col2 = c2->absolute;
        r.normalise();
        p = after;
        return r;
      }
    }
    q = p;
    if (auto r1 = a1_digits(q); r1 && at(q) == ':') {
      std::size_t after = q + 1;
      if (auto r2 = a1_digits(after); r2 && ends_word(after)) {
        r.shape = RefShape::Rows;
        r.area = {r1->value, 0, r2->value, kMaxCols - 1};
        r.abs_row1 = r1->absolute;
        r.abs_row2 = r2->absolute;
        r.normalise();
        p = after;
        return r;
      }
    }
    return std::nullopt;
  }

  // "R", "R5", "R[-2]" (letter R or C); nothing when the letter is not there.
  std::optional<Coord> r1c1_part(std::size_t& p, char letter, int owner, int limit, bool& out_of_sheet) const {
    if (std::toupper(static_cast<unsigned char>(at(p))) != letter) return std::nullopt;
    std::size_t q = p + 1;
    Coord c;
    if (is_digit(at(q))) {
      const std::size_t digits = q;
      while (is_digit(at(q))) ++q;
      if (q - digits > 5) return std::nullopt;
      const int n = std::stoi(std::string(s_.substr(digits, q - digits)));
      if (n < 1 || n > limit) return std::nullopt;
      c.absolute = true;
      c.value = n - 1;
    } else if (at(q) == '[') {
      ++q;
      bool negative = false;
      if (at(q) == '-' || at(q) == '+') negative = at(q) == '-', ++q;
      const std::size_t digits = q;
      while (is_digit(at(q))) ++q;
      if (q == digits || q - digits > 5 || at(q) != ']') return std::nullopt;
      const int n = std::stoi(std::string(s_.substr(digits, q - digits)));
      ++q;
      c.value = owner + (negative ? -n : n);
      if (c.value < 0 || c.value >= limit) out_of_sheet = true;
    } else {
      c.value = owner;
    }
    p = q;
    return c;
  }

  // One R1C1 reference without a range: cell, rows or columns.
  std::optional<RefArea> r1c1_single(std::size_t& p, bool& out_of_sheet) const {
    std::size_t q = p;
    RefArea r;
    auto row = r1c1_part(q, 'R', opt_.owner.row, kMaxRows, out_of_sheet);
    auto col = r1c1_part(q, 'C', opt_.owner.col, kMaxCols, out_of_sheet);
    if (!row && !col) return std::nullopt;
    if (row && col) {
      r.area = Area::cell(row->value, col->value);
      r.abs_row1 = r.abs_row2 = row->absolute;
      r.abs_col1 = r.abs_col2 = col->absolute;
    } else if (row) {
      r.shape = RefShape::Rows;
      r.area = {row->value, 0, row->value, kMaxCols - 1};
      r.abs_row1 = r.abs_row2 = row->absolute;
    } else {
      r.shape = RefShape::Cols;
      r.area = {0, col->value, kMaxRows - 1, col->value};
      r.abs_col1 = r.abs_col2 = col->absolute;
    }
    p = q;
    return r;
  }

  std::optional<RefArea> read_r1c1(std::size_t& p) const {
    bool out_of_sheet = false;
    std::size_t q = p;
    auto first = r1c1_single(q, out_of_sheet);
    if (!first) return std::nullopt;
    if (at(q) == ':') {
      std::size_t after = q + 1;
      if (auto second = r1c1_single(after, out_of_sheet); second && second->shape == first->shape && ends_word(after)) {
        first->area.row2 = second->area.row2;
        first->area.col2 = second->area.col2;
        first->abs_row2 = second->abs_row2;
        first->abs_col2 = second->abs_col2;
        q = after;
      }
    }
    if (!ends_word(q)) return std::nullopt;
    first->normalise();
    if (out_of_sheet) first->area = Area{-1, -1, -1, -1};
    p = q;
    return first;
  }

  std::string_view s_;
  const ParseOptions& opt_;
  std::size_t pos_ = 0;
  int depth_ = 0;
};

// ------------------------------------------------------------------ printing

bool needs_quotes(std::string_view name) {
  if (name.empty() || is_digit(name[0])) return true;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.')) return true;
  // A name that reads as a reference must be quoted.
  ParseOptions a1;
  if (parse_formula("=" + std::string(name), a1).formula) {
    auto f = parse_formula("=" + std::string(name), a1);
    if (f.formula->root->kind != ExprKind::Name) return true;
  } else {
    return true;
  }
  ParseOptions r1c1;
  r1c1.style = RefStyle::R1C1;
  auto g = parse_formula("=" + std::string(name), r1c1);
  return !g.formula || g.formula->root->kind != ExprKind::Name;
}

std::string escape_quotes(std::string_view text, char quote) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == quote) out += c;
  }
  return out;
}

std::string r1c1_coord(char letter, int target, int owner, bool absolute) {
  if (absolute) return std::string(1, letter) + std::to_string(target + 1);
  if (target == owner) return std::string(1, letter);
  return std::string(1, letter) + "[" + std::to_string(target - owner) + "]";
}

std::string a1_coord_col(int col, bool absolute) { return (absolute ? "$" : "") + column_name(col); }
std::string a1_coord_row(int row, bool absolute) { return (absolute ? "$" : "") + std::to_string(row + 1); }

std::string print_area(const RefArea& r, const PrintOptions& o) {
  const Area& a = r.area;
  if (o.style == RefStyle::A1) {
    switch (r.shape) {
      case RefShape::Rows: return a1_coord_row(a.row1, r.abs_row1) + ":" + a1_coord_row(a.row2, r.abs_row2);
      case RefShape::Cols: return a1_coord_col(a.col1, r.abs_col1) + ":" + a1_coord_col(a.col2, r.abs_col2);
      case RefShape::Cells: {
        std::string text = a1_coord_col(a.col1, r.abs_col1) + a1_coord_row(a.row1, r.abs_row1);
        if (!a.single_cell() || r.abs_row1 != r.abs_row2 || r.abs_col1 != r.abs_col2)
          text += ":" + a1_coord_col(a.col2, r.abs_col2) + a1_coord_row(a.row2, r.abs_row2);
        return text;
      }
    }
  }
  const auto row1 = r1c1_coord('R', a.row1, o.owner.row, r.abs_row1);
  const auto row2 = r1c1_coord('R', a.row2, o.owner.row, r.abs_row2);
  const auto col1 = r1c1_coord('C', a.col1, o.owner.col, r.abs_col1);
  const auto col2 = r1c1_coord('C', a.col2, o.owner.col, r.abs_col2);
  switch (r.shape) {
    case RefShape::Rows: return row1 == row2 ? row1 : row1 + ":" + row2;
    case RefShape::Cols: return col1 == col2 ? col1 : col1 + ":" + col2;
    case RefShape::Cells: {
      std::string text = row1 + col1;
      if (row1 != row2 || col1 != col2) text += ":" + row2 + col2;
      return text;
    }
  }
  return {};
}

const char* op_text(Op op) {
  switch (op) {
    case Op::Add: return "+";
    case Op::Sub: return "-";
    case Op::Mul: return "*";
    case Op::Div: return "/";
    case Op::Pow: return "^";
    case Op::Concat: return "&";
    case Op::Eq: return "=";
    case Op::Ne: return "<>";
    case Op::Lt: return "<";
    case Op::Gt: return ">";
    case Op::Le: return "<=";
    case Op::Ge: return ">=";
    case Op::Neg: return "-";
    case Op::Plus: return "+";
  }
  return "?";
}

void print(const Expr& e, const PrintOptions& o, std::string& out) {
  switch (e.kind) {
    case ExprKind::Number: out += number_to_text(e.number); return;
    case ExprKind::Text: out += '"' + escape_quotes(e.text, '"') + '"'; return;
    case ExprKind::Bool: out += e.boolean ? "TRUE" : "FALSE"; return;
    case ExprKind::Error: out += error_text(e.error); return;
    case ExprKind::Missing: return;
    case ExprKind::Name: out += e.text; return;
    case ExprKind::Ref:
      if (e.ref_error) {
        out += "#REF!";
        return;
      }
      if (e.sheet) {
        std::string inner = e.sheet->name();
        bool quote = needs_quotes(inner);
        if (o.owner_sheet && &o.owner_sheet->book() != &e.sheet->book()) {
          quote = quote || needs_quotes(e.sheet->book().name());
          inner = "[" + e.sheet->book().name() + "]" + inner;
        }
        out += quote ? "'" + escape_quotes(inner, '\'') + "'" : inner;
        out += '!';
      } else if (!e.text.empty()) {
        out += e.text + "!";
      }
      out += print_area(e.ref, o);
      return;
    case ExprKind::Unary:
      out += op_text(e.op);
      print(*e.args[0], o, out);
      return;
    case ExprKind::Percent:
      print(*e.args[0], o, out);
      out += '%';
      return;
    case ExprKind::Binary:
      print(*e.args[0], o, out);
      out += op_text(e.op);
      print(*e.args[1], o, out);
      return;
    case ExprKind::Paren:
      out += '(';
      print(*e.args[0], o, out);
      out += ')';
      return;
    case ExprKind::Union:
      out += '(';
      for (std::size_t i = 0; i < e.args.size(); ++i) {
        if (i) out += ',';
        print(*e.args[i], o, out);
      }
      out += ')';
      return;
    case ExprKind::Call:
      out += e.text;
      out += '(';
      for (std::size_t i = 0; i < e.args.size(); ++i) {
        if (i) out += o.list_separator;
        print(*e.args[i], o, out);
      }
      out += ')';
      return;
  }
}

}  // namespace

void RefArea::normalise() {
  if (area.row1 > area.row2) {
    std::swap(area.row1, area.row2);
    std::swap(abs_row1, abs_row2);
  }
  if (area.col1 > area.col2) {
    std::swap(area.col1, area.col2);
    std::swap(abs_col1, abs_col2);
  }
}

ExprPtr Expr::clone() const {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  e->op = op;
  e->boolean = boolean;
  e->ref_error = ref_error;
  e->error = error;
  e->number = number;
  e->text = text;
  e->sheet = sheet;
  e->ref = ref;
  e->builtin = builtin;
  e->args.reserve(args.size());
  for (const auto& a : args) e->args.push_back(a->clone());
  return e;
}

std::unique_ptr<Formula> Formula::clone() const {
  auto f = std::make_unique<Formula>();
  f->root = root ? root->clone() : nullptr;
  f->calls_external = calls_external;
  f->uses_names = uses_names;
  return f;
}

ParseResult parse_formula(std::string_view text, const ParseOptions& options) {
  return Parser(text, options).run();
}

ParseResult parse_formula_any(std::string_view text, const ParseOptions& options) {
  ParseOptions a1 = options;
  a1.style = RefStyle::A1;
  auto result = parse_formula(text, a1);
  if (result.formula) return result;
  ParseOptions r1c1 = options;
  r1c1.style = RefStyle::R1C1;
  auto second = parse_formula(text, r1c1);
  return second.formula ? std::move(second) : std::move(result);
}

std::string print_formula(const Formula& formula, const PrintOptions& options) {
  std::string out = "=";
  if (formula.root) print(*formula.root, options, out);
  return out;
}

void for_each_ref(Expr& expr, const std::function<void(Expr&)>& f) {
  if (expr.kind == ExprKind::Ref) f(expr);
  for (auto& a : expr.args) for_each_ref(*a, f);
}

void for_each_ref(const Expr& expr, const std::function<void(const Expr&)>& f) {
  if (expr.kind == ExprKind::Ref) f(expr);
  for (const auto& a : expr.args) {
    const Expr& child = *a;
    for_each_ref(child, f);
  }
}

std::string quote_sheet_name(std::string_view name) {
  return needs_quotes(name) ? "'" + escape_quotes(name, '\'') + "'" : std::string(name);
}

}  // namespace kovo::sheet
