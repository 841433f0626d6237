#include "addin/core/excel_win.h"

#include "addin/core/automation_win.h"

#include <cmath>
#include <algorithm>
#include <cstring>

namespace kovo::addin::xl {

namespace {

PEXCEL12PROC g_excel12 = nullptr;

std::string counted_bytes(std::string_view t) {
  const std::size_t n = t.size() < 255 ? t.size() : 255;
  std::string s(n + 2, '\0');
  s[0] = static_cast<char>(n);
  std::memcpy(s.data() + 1, t.data(), n);
  return s;
}

std::string text_of_counted(const char* s) {
  if (!s) return {};
  return std::string(s + 1, static_cast<unsigned char>(s[0]));
}

// Results of the C API that hold storage of the spreadsheet's.
bool needs_free(const XLOPER& x) {
  const int t = x.xltype & 0x0FFF;
  return (x.xltype & xlbitXLFree) || t == xltypeStr || t == xltypeMulti || t == xltypeRef;
}

}  // namespace

Oper::Oper(const Oper& other)
    : x_(other.x_), str_(other.str_), items_(other.items_), item_strs_(other.item_strs_), mref_(other.mref_) {
  relink();
}

Oper& Oper::operator=(const Oper& other) {
  if (this != &other) {
    x_ = other.x_;
    str_ = other.str_;
    items_ = other.items_;
    item_strs_ = other.item_strs_;
    mref_ = other.mref_;
    relink();
  }
  return *this;
}

Oper::Oper(Oper&& other) noexcept
    : x_(other.x_),
      str_(std::move(other.str_)),
      items_(std::move(other.items_)),
      item_strs_(std::move(other.item_strs_)),
      mref_(std::move(other.mref_)) {
  relink();
  other.x_ = {};
  other.x_.xltype = xltypeMissing;
}

Oper& Oper::operator=(Oper&& other) noexcept {
  if (this != &other) {
    x_ = other.x_;
    str_ = std::move(other.str_);
    items_ = std::move(other.items_);
    item_strs_ = std::move(other.item_strs_);
    mref_ = std::move(other.mref_);
    relink();
    other.x_ = {};
    other.x_.xltype = xltypeMissing;
  }
  return *this;
}

void Oper::relink() {
  switch (type()) {
    case xltypeStr: x_.val.str = str_.data(); break;
    case xltypeMulti:
      x_.val.array.lparray = items_.data();
      for (std::size_t i = 0; i < items_.size(); ++i)
        if ((items_[i].xltype & 0x0FFF) == xltypeStr) items_[i].val.str = item_strs_[i].data();
      break;
    case xltypeRef: x_.val.mref.lpmref = reinterpret_cast<XLMREF*>(mref_.data()); break;
    default: break;
  }
}

Oper Oper::number(double n) {
  Oper o;
  o.x_.xltype = xltypeNum;
  o.x_.val.num = n;
  return o;
}

Oper Oper::text(std::string_view t) {
  Oper o;
  o.x_.xltype = xltypeStr;
  o.str_ = counted_bytes(t);
  o.relink();
  return o;
}

Oper Oper::counted(const char* counted) {
  Oper o;
  o.x_.xltype = xltypeStr;
  const std::size_t n = static_cast<unsigned char>(counted[0]);
  o.str_.assign(counted, n + 1);
  o.str_.push_back('\0');
  o.relink();
  return o;
}

Oper Oper::boolean(bool b) {
  Oper o;
  o.x_.xltype = xltypeBool;
  o.x_.val.xbool = b ? 1 : 0;
  return o;
}

Oper Oper::integer(int i) {
  Oper o;
  o.x_.xltype = xltypeInt;
  o.x_.val.w = static_cast<short>(i);
  return o;
}

Oper Oper::error(int code) {
  Oper o;
  o.x_.xltype = xltypeErr;
  o.x_.val.err = static_cast<WORD>(code);
  return o;
}

Oper Oper::nil() {
  Oper o;
  o.x_.xltype = xltypeNil;
  return o;
}

Oper Oper::reference(const Area& a) {
  Oper o;
  o.x_.xltype = xltypeSRef;
  o.x_.val.sref.count = 1;
  o.x_.val.sref.ref.rwFirst = static_cast<WORD>(a.first_row);
  o.x_.val.sref.ref.rwLast = static_cast<WORD>(a.last_row);
  o.x_.val.sref.ref.colFirst = static_cast<BYTE>(a.first_column);
  o.x_.val.sref.ref.colLast = static_cast<BYTE>(a.last_column);
  return o;
}

Oper Oper::text_array(int rows, int columns, const std::vector<std::string>& texts) {
  Oper o;
  o.x_.xltype = xltypeMulti;
  o.x_.val.array.rows = static_cast<WORD>(rows);
  o.x_.val.array.columns = static_cast<WORD>(columns);
  const std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
  o.items_.assign(n, XLOPER{});
  o.item_strs_.assign(n, std::string());
  for (std::size_t i = 0; i < n; ++i) {
    o.items_[i].xltype = xltypeStr;
    o.item_strs_[i] = counted_bytes(i < texts.size() ? texts[i] : std::string());
  }
  o.relink();
  return o;
}

Oper Oper::array(int rows, int columns, const std::vector<Oper>& items) {
  Oper o;
  o.x_.xltype = xltypeMulti;
  o.x_.val.array.rows = static_cast<WORD>(rows);
  o.x_.val.array.columns = static_cast<WORD>(columns);
  const std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
  o.items_.assign(n, XLOPER{});
  o.item_strs_.assign(n, std::string());
  for (std::size_t i = 0; i < n; ++i) {
    // Only single values go into an array: anything else becomes nil.
    const Oper& item = i < items.size() ? items[i] : Oper::nil();
    switch (item.type()) {
      case xltypeNum:
      case xltypeBool:
      case xltypeErr:
      case xltypeInt:
      case xltypeNil: o.items_[i] = item.x_; break;
      case xltypeStr:
        o.items_[i].xltype = xltypeStr;
        o.item_strs_[i] = item.str_;
        break;
      default: o.items_[i].xltype = xltypeNil; break;
    }
  }
  o.relink();
  return o;
}

Oper Oper::copy_of(const XLOPER& x) {
  Oper o;
  o.x_ = x;
  o.x_.xltype = static_cast<WORD>(x.xltype & 0x0FFF);
  switch (o.type()) {
    case xltypeStr: o.str_ = counted_bytes(text_of_counted(x.val.str)); break;
    case xltypeMulti: {
      const std::size_t n = static_cast<std::size_t>(x.val.array.rows) * x.val.array.columns;
      o.items_.assign(n, XLOPER{});
      o.item_strs_.assign(n, std::string());
      for (std::size_t i = 0; i < n && x.val.array.lparray; ++i) {
        const XLOPER& e = x.val.array.lparray[i];
        o.items_[i] = e;
        o.items_[i].xltype = static_cast<WORD>(e.xltype & 0x0FFF);
        if (o.items_[i].xltype == xltypeStr) o.item_strs_[i] = counted_bytes(text_of_counted(e.val.str));
      }
      break;
    }
    case xltypeRef: {
      const WORD count = x.val.mref.lpmref ? x.val.mref.lpmref->count : 0;
      o.mref_.assign(sizeof(XLMREF) + sizeof(XLREF) * (count ? count : 1), 0);
      auto* m = reinterpret_cast<XLMREF*>(o.mref_.data());
      m->count = count;
      for (WORD i = 0; i < count; ++i) m->reftbl[i] = x.val.mref.lpmref->reftbl[i];
      break;
    }
    case xltypeBigData:
    case xltypeFlow: break;
    default: break;
  }
  o.relink();
  return o;
}

std::string Oper::text() const { return is_text() ? text_of_counted(x_.val.str) : std::string(); }

double Oper::number() const {
  switch (type()) {
    case xltypeNum: return x_.val.num;
    case xltypeInt: return x_.val.w;
    case xltypeBool: return x_.val.xbool ? 1 : 0;
    default: return 0;
  }
}

bool Oper::boolean() const { return number() != 0; }

Oper Oper::references(const std::vector<Area>& areas, IDSHEET sheet) {
  Oper o;
  o.x_.xltype = xltypeRef;
  const std::size_t count = std::min<std::size_t>(areas.size(), 0xFFFF);
  o.mref_.assign(sizeof(XLMREF) + sizeof(XLREF) * (count ? count : 1), 0);
  auto* m = reinterpret_cast<XLMREF*>(o.mref_.data());
  m->count = static_cast<WORD>(count);
  for (std::size_t i = 0; i < count; ++i) {
    const Area& a = areas[i];
    m->reftbl[i] = XLREF{static_cast<WORD>(a.first_row), static_cast<WORD>(a.last_row),
                         static_cast<BYTE>(a.first_column), static_cast<BYTE>(a.last_column)};
  }
  o.x_.val.mref.idSheet = sheet;
  o.relink();
  return o;
}

std::vector<Area> Oper::areas() const {
  std::vector<Area> result;
  const auto add = [&](const XLREF& r) { result.push_back({r.rwFirst, r.rwLast, r.colFirst, r.colLast}); };
  if (type() == xltypeSRef) add(x_.val.sref.ref);
  if (type() == xltypeRef && x_.val.mref.lpmref)
    for (WORD i = 0; i < x_.val.mref.lpmref->count; ++i) add(x_.val.mref.lpmref->reftbl[i]);
  return result;
}

Oper Oper::element(int row, int column) const {
  if (!is_array() || row < 0 || column < 0 || row >= rows() || column >= columns()) return Oper::nil();
  return copy_of(x_.val.array.lparray[row * columns() + column]);
}

Answer call(int function, const std::vector<Oper>& arguments) {
  std::vector<Oper> held(arguments);
  std::vector<LPXLOPER> pointers;
  for (auto& o : held) pointers.push_back(o.get());
  XLOPER result{};
  result.xltype = xltypeNil;
  Answer answer;
  answer.code = Excel4v(function, &result, static_cast<int>(pointers.size()), pointers.data());
  if (answer.code == xlretSuccess) {
    answer.value = Oper::copy_of(result);
    if (needs_free(result)) Excel4(xlFree, nullptr, 1, &result);
  }
  return answer;
}

Answer call(int function, std::initializer_list<Oper> arguments) {
  return call(function, std::vector<Oper>(arguments));
}

Answer coerce(const Oper& value, int type) {
  Answer answer = type == 0 ? call(xlCoerce, {value}) : call(xlCoerce, {value, Oper::integer(type)});
  // A reference the spreadsheet could not read directly (not one it has
  // yet to calculate, nor a calculation the user broke off) is read through
  // the running application's automation interface.
  if (answer.code != xlretFailed || !value.is_reference()) return answer;
  if (auto read = automation::read_reference(value, type)) {
    answer.code = xlretSuccess;
    answer.value = std::move(*read);
  }
  return answer;
}

CellValue cell_value(const Oper& v) {
  switch (v.type()) {
    case xltypeNum: return CellValue::num(v.number());
    case xltypeStr: return CellValue::str(v.text());
    case xltypeBool: return CellValue::boolean(v.boolean());
    case xltypeInt: return CellValue::whole(static_cast<int>(v.number()));
    case xltypeErr: return CellValue::of(CellValue::Kind::Error);
    case xltypeFlow: return CellValue::of(CellValue::Kind::Flow);
    case xltypeNil: return CellValue::of(CellValue::Kind::Nil);
    case xltypeMissing: return CellValue::of(CellValue::Kind::Missing);
    default: return CellValue::of(CellValue::Kind::Other);
  }
}

Argument argument(const XLOPER* x) {
  if (!x) return Argument::of(CellValue::of(CellValue::Kind::Missing));
  const Oper value = Oper::copy_of(*x);
  if (!value.is_reference()) return Argument::of(cell_value(value));
  std::vector<std::vector<CellValue>> areas;
  for (const Area& area : value.areas()) {
    // One area of the reference, on the reference's own sheet.
    Oper one;
    if (value.type() == xltypeRef) {
      XLMREF m{};
      m.count = 1;
      m.reftbl[0] = {static_cast<WORD>(area.first_row), static_cast<WORD>(area.last_row),
                     static_cast<BYTE>(area.first_column), static_cast<BYTE>(area.last_column)};
      XLOPER r{};
      r.xltype = xltypeRef;
      r.val.mref.lpmref = &m;
      r.val.mref.idSheet = value.sheet();
      one = Oper::copy_of(r);
    } else {
      one = Oper::reference(area);
    }
    const Answer cells = coerce(one);
    if (cells.uncalculated()) return Argument::uncalculated();
    std::vector<CellValue> values;
    if (!cells.ok()) {
      values.push_back(CellValue::of(CellValue::Kind::Other));
    } else if (cells.value.is_array()) {
      for (int r = 0; r < cells.value.rows(); ++r)
        for (int c = 0; c < cells.value.columns(); ++c) values.push_back(cell_value(cells.value.element(r, c)));
    } else {
      values.push_back(cell_value(cells.value));
    }
    areas.push_back(std::move(values));
  }
  return Argument::cells(std::move(areas));
}

bool topic_text(const XLOPER* x, std::string& topic) {
  topic.clear();
  if (!x) return true;
  const Oper value = Oper::copy_of(*x);
  if (value.is_missing()) return true;
  if (value.is_text()) {
    topic = value.text().substr(0, 32);
    return true;
  }
  const Answer t = coerce(value, xltypeStr);
  if (t.uncalculated()) return false;
  if (t.ok() && t.value.is_text()) topic = t.value.text().substr(0, 32);
  return true;
}

namespace {
XLOPER g_return{};
char g_return_text[258];
}  // namespace

LPXLOPER return_number(double n) {
  g_return = {};
  g_return.xltype = xltypeNum;
  g_return.val.num = n;
  return &g_return;
}

LPXLOPER return_text(std::string_view text) {
  const std::size_t n = text.size() < 255 ? text.size() : 255;
  g_return_text[0] = static_cast<char>(n);
  std::memcpy(g_return_text + 1, text.data(), n);
  g_return_text[n + 1] = 0;
  g_return = {};
  g_return.xltype = xltypeStr;
  g_return.val.str = g_return_text;
  return &g_return;
}

LPXLOPER return_error(int code) {
  g_return = {};
  g_return.xltype = xltypeErr;
  g_return.val.err = static_cast<WORD>(code);
  return &g_return;
}

std::string addin_file_name() {
  const Answer name = call(xlGetName);
  return name.ok() ? name.value.text() : std::string();
}

HWND main_window() {
  const Answer w = call(xlGetHwnd);
  if (!w.ok()) return nullptr;
  // The C API answers the window handle's low word; find the main window
  // ("XLMAIN") of this process whose handle ends in it.
  const auto low = static_cast<unsigned short>(static_cast<long long>(w.value.number()));
  struct Search {
    unsigned short low;
    HWND found;
  } search{low, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        if (static_cast<unsigned short>(reinterpret_cast<UINT_PTR>(window)) == s->low) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int message_box(const std::string& text, const std::string& caption, UINT style) {
  return MessageBoxA(main_window(), text.c_str(), caption.c_str(), style);
}

int message_box(HWND owner, const std::string& text, const std::string& caption, UINT style) {
  return MessageBoxA(owner ? owner : main_window(), text.c_str(), caption.c_str(), style);
}

namespace {

// FORMULA through the Excel 12 entry point: a wide counted text of up to
// 32767 characters and a one-cell reference.
bool enter_wide(const std::string& entry, int row, int column) {
  PEXCEL12PROC excel12 = excel12_entry();
  if (!excel12 || entry.size() > 32767) return false;
  std::vector<XCHAR> text(entry.size() + 2, 0);
  text[0] = static_cast<XCHAR>(entry.size());
  for (std::size_t i = 0; i < entry.size(); ++i) text[i + 1] = static_cast<unsigned char>(entry[i]);
  XLOPER12 formula{};
  formula.xltype = xltypeStr;
  formula.val.str = text.data();
  XLOPER12 cell{};
  cell.xltype = xltypeSRef;
  cell.val.sref.count = 1;
  cell.val.sref.ref = {row, row, column, column};
  XLOPER12 result{};
  LPXLOPER12 arguments[] = {&formula, &cell};
  const int code = excel12(xlcFormula, 2, arguments, &result);
  if (code == xlretSuccess && (result.xltype & 0x0FFF) != xltypeBool && (result.xltype & 0x0FFF) != xltypeNum &&
      (result.xltype & 0x0FFF) != xltypeNil && (result.xltype & 0x0FFF) != xltypeMissing) {
    LPXLOPER12 free_arguments[] = {&result};
    excel12(xlFree, 1, free_arguments, nullptr);
  }
  return code == xlretSuccess;
}

}  // namespace

bool enter(const std::string& entry, int row, int column) {
  if (entry.size() > 255) return enter_wide(entry, row, column);
  return call(xlcFormula, {Oper::text(entry), Oper::cell(row, column)}).ok();
}

PEXCEL12PROC excel12_entry() { return g_excel12; }
void set_excel12_entry(void* entry) { g_excel12 = reinterpret_cast<PEXCEL12PROC>(entry); }

}  // namespace kovo::addin::xl
