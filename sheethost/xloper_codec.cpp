#include "sheethost/xloper_codec.h"

#include <cstdlib>
#include <cstring>

namespace kovo::sheet {

namespace {

// An array crossing the C API is held whole as host values: one of more
// items than 16384 x 256 (what the host reads of a range at once stays far
// below) is refused as malformed rather than let exhaust the memory.
constexpr std::size_t kMaxArrayItems = std::size_t{16384} * 256;

// Code points of the bytes 0x80 to 0x9F in code page 1252 (0 where none).
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Next code point of UTF-8 text; U+FFFD for a malformed sequence.
char32_t next_code_point(const std::string& s, std::size_t& i) {
  const auto b = static_cast<unsigned char>(s[i++]);
  if (b < 0x80) return b;
  int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
  if (extra < 0 || b > 0xF4) return 0xFFFD;
  char32_t cp = b & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
  return cp;
}

bool valid_area(const Area& a) { return a.valid(); }

template <typename Ref>
std::optional<Area> area_of(const Ref& r) {
  const Area a{static_cast<int>(r.rwFirst), static_cast<int>(r.colFirst), static_cast<int>(r.rwLast),
               static_cast<int>(r.colLast)};
  if (!valid_area(a)) return std::nullopt;
  return a;
}

template <typename X>
std::optional<Oper> from_common(const X& x, std::optional<Oper> (*self)(const X&)) {
  Oper o;
  switch (x.xltype & 0x0FFF) {
    case xltypeNum: return Oper::number(x.val.num);
    case xltypeBool: return Oper::logical(x.val.xbool != 0);
    case xltypeErr: return Oper::error(static_cast<int>(x.val.err));
    case xltypeInt: return Oper::integer(static_cast<int>(x.val.w));
    case xltypeMissing: return Oper::missing();
    case xltypeNil: return Oper::nil();
    case xltypeFlow: o.type = OperType::Flow; return o;
    case xltypeBigData: o.type = OperType::BigData; return o;
    case xltypeSRef: {
      auto a = area_of(x.val.sref.ref);
      if (!a) return std::nullopt;
      return Oper::single_reference(*a);
    }
    case xltypeRef: {
      o.type = OperType::Ref;
      o.sheet_id = static_cast<std::uint64_t>(x.val.mref.idSheet);
      if (x.val.mref.lpmref) {
        const auto* m = x.val.mref.lpmref;
        for (WORD i = 0; i < m->count; ++i) {
          auto a = area_of(m->reftbl[i]);
          if (!a) return std::nullopt;
          o.areas.push_back(*a);
        }
      }
      return o;
    }
    case xltypeMulti: {
      const long long rows = static_cast<long long>(x.val.array.rows);
      const long long cols = static_cast<long long>(x.val.array.columns);
      if (rows < 1 || cols < 1 || !x.val.array.lparray || static_cast<std::size_t>(rows * cols) > kMaxArrayItems)
        return std::nullopt;
      o.type = OperType::Multi;
      o.rows = static_cast<int>(rows);
      o.cols = static_cast<int>(cols);
      o.items.reserve(static_cast<std::size_t>(rows * cols));
      for (long long i = 0; i < rows * cols; ++i) {
        const X& item = x.val.array.lparray[i];
        const auto type = item.xltype & 0x0FFF;
        if (type == xltypeMulti || type == xltypeRef || type == xltypeSRef) return std::nullopt;
        auto v = self(item);
        if (!v) return std::nullopt;
        o.items.push_back(std::move(*v));
      }
      return o;
    }
    default: return std::nullopt;
  }
}

}  // namespace

HostMemory::~HostMemory() { release_all(); }

void* HostMemory::allocate(std::size_t bytes) {
  void* p = std::calloc(1, bytes ? bytes : 1);
  if (p) blocks_.insert(p);
  return p;
}

bool HostMemory::release(void* p) {
  if (!p) return true;
  auto it = blocks_.find(p);
  if (it == blocks_.end()) return false;
  blocks_.erase(it);
  std::free(p);
  return true;
}

void HostMemory::release_all() {
  for (void* p : blocks_) std::free(p);
  blocks_.clear();
}

template <typename X>
bool HostMemory::free_value(X& x) {
  switch (x.xltype & 0x0FFF) {
    case xltypeStr: return release(x.val.str);
    case xltypeRef: return release(x.val.mref.lpmref);
    case xltypeMulti: {
      // Only an array that is ours is walked.
      if (blocks_.count(x.val.array.lparray) == 0) return x.val.array.lparray == nullptr;
      bool ok = true;
      const long long n = static_cast<long long>(x.val.array.rows) * x.val.array.columns;
      for (long long i = 0; i < n; ++i) ok = free_value(x.val.array.lparray[i]) && ok;
      return release(x.val.array.lparray) && ok;
    }
    default: return true;
  }
}

bool HostMemory::free_xloper(XLOPER& x) { return free_value(x); }
bool HostMemory::free_xloper12(XLOPER12& x) { return free_value(x); }

std::string cp1252_to_utf8(const char* bytes, std::size_t length) {
  std::string out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    char32_t cp = b;
    if (b >= 0x80 && b < 0xA0) cp = kCp1252High[b - 0x80] ? kCp1252High[b - 0x80] : 0xFFFD;
    append_utf8(out, cp);
  }
  return out;
}

std::string utf8_to_cp1252(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char32_t cp = next_code_point(text, i);
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
      continue;
    }
    char byte = '?';
    for (int k = 0; k < 32; ++k)
      if (kCp1252High[k] == cp && cp != 0) byte = static_cast<char>(0x80 + k);
    out += byte;
  }
  return out;
}

std::string utf16_to_utf8(const XCHAR* units, std::size_t length) {
  std::string out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    char32_t u = static_cast<char32_t>(units[i]) & 0xFFFF;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < length) {
      const char32_t low = static_cast<char32_t>(units[i + 1]) & 0xFFFF;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        append_utf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    append_utf8(out, u);
  }
  return out;
}

std::u16string utf8_to_utf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char32_t cp = next_code_point(text, i);
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::optional<Oper> from_xloper(const XLOPER& x) {
  if ((x.xltype & 0x0FFF) == xltypeStr) {
    if (!x.val.str) return std::nullopt;
    const auto length = static_cast<unsigned char>(x.val.str[0]);
    return Oper::text(cp1252_to_utf8(x.val.str + 1, length));
  }
  return from_common<XLOPER>(x, &from_xloper);
}

std::optional<Oper> from_xloper12(const XLOPER12& x) {
  if ((x.xltype & 0x0FFF) == xltypeStr) {
    if (!x.val.str) return std::nullopt;
    const auto length = static_cast<std::size_t>(x.val.str[0]) & 0xFFFF;
    if (length > 32767) return std::nullopt;
    return Oper::text(utf16_to_utf8(x.val.str + 1, length));
  }
  return from_common<XLOPER12>(x, &from_xloper12);
}

void to_xloper(const Oper& o, XLOPER& x, HostMemory& memory) {
  std::memset(&x, 0, sizeof x);
  switch (o.type) {
    case OperType::Num: x.xltype = xltypeNum; x.val.num = o.num; return;
    case OperType::Bool: x.xltype = xltypeBool; x.val.xbool = o.boolean ? 1 : 0; return;
    case OperType::Err: x.xltype = xltypeErr; x.val.err = static_cast<WORD>(o.err); return;
    case OperType::Int: x.xltype = xltypeInt; x.val.w = static_cast<short>(o.w); return;
    case OperType::Missing: x.xltype = xltypeMissing; return;
    case OperType::Nil: x.xltype = xltypeNil; return;
    case OperType::Flow: case OperType::BigData: x.xltype = xltypeMissing; return;
    case OperType::Str: {
      std::string bytes = utf8_to_cp1252(o.str);
      if (bytes.size() > 255) bytes.resize(255);
      auto* s = static_cast<char*>(memory.allocate(bytes.size() + 2));
      s[0] = static_cast<char>(static_cast<unsigned char>(bytes.size()));
      std::memcpy(s + 1, bytes.data(), bytes.size());
      x.xltype = xltypeStr;
      x.val.str = s;
      return;
    }
    case OperType::SRef: {
      const Area a = o.areas.empty() ? Area{} : o.areas[0];
      x.xltype = xltypeSRef;
      x.val.sref.count = 1;
      x.val.sref.ref = {static_cast<WORD>(a.row1), static_cast<WORD>(a.row2), static_cast<BYTE>(a.col1),
                        static_cast<BYTE>(a.col2)};
      return;
    }
    case OperType::Ref: {
      x.xltype = xltypeRef;
      x.val.mref.idSheet = static_cast<IDSHEET>(o.sheet_id);
      x.val.mref.lpmref = nullptr;
      if (o.areas.empty()) return;
      const std::size_t n = std::min<std::size_t>(o.areas.size(), 0xFFFF);
      auto* m = static_cast<XLMREF*>(memory.allocate(sizeof(XLMREF) + (n - 1) * sizeof(XLREF)));
      m->count = static_cast<WORD>(n);
      for (std::size_t i = 0; i < n; ++i) {
        const Area& a = o.areas[i];
        m->reftbl[i] = {static_cast<WORD>(a.row1), static_cast<WORD>(a.row2), static_cast<BYTE>(a.col1),
                        static_cast<BYTE>(a.col2)};
      }
      x.val.mref.lpmref = m;
      return;
    }
    case OperType::Multi: {
      const std::size_t n = o.items.size();
      auto* items = static_cast<XLOPER*>(memory.allocate(sizeof(XLOPER) * (n ? n : 1)));
      for (std::size_t i = 0; i < n; ++i) to_xloper(o.items[i], items[i], memory);
      x.xltype = xltypeMulti;
      x.val.array.lparray = items;
      x.val.array.rows = static_cast<WORD>(o.rows);
      x.val.array.columns = static_cast<WORD>(o.cols);
      return;
    }
  }
}

void to_xloper12(const Oper& o, XLOPER12& x, HostMemory& memory) {
  std::memset(&x, 0, sizeof x);
  switch (o.type) {
    case OperType::Num: x.xltype = xltypeNum; x.val.num = o.num; return;
    case OperType::Bool: x.xltype = xltypeBool; x.val.xbool = o.boolean ? 1 : 0; return;
    case OperType::Err: x.xltype = xltypeErr; x.val.err = o.err; return;
    case OperType::Int: x.xltype = xltypeInt; x.val.w = o.w; return;
    case OperType::Missing: x.xltype = xltypeMissing; return;
    case OperType::Nil: x.xltype = xltypeNil; return;
    case OperType::Flow: case OperType::BigData: x.xltype = xltypeMissing; return;
    case OperType::Str: {
      std::u16string units = utf8_to_utf16(o.str);
      if (units.size() > 32767) units.resize(32767);
      auto* s = static_cast<XCHAR*>(memory.allocate((units.size() + 2) * sizeof(XCHAR)));
      s[0] = static_cast<XCHAR>(units.size());
      for (std::size_t i = 0; i < units.size(); ++i) s[i + 1] = static_cast<XCHAR>(units[i]);
      x.xltype = xltypeStr;
      x.val.str = s;
      return;
    }
    case OperType::SRef: {
      const Area a = o.areas.empty() ? Area{} : o.areas[0];
      x.xltype = xltypeSRef;
      x.val.sref.count = 1;
      x.val.sref.ref = {a.row1, a.row2, a.col1, a.col2};
      return;
    }
    case OperType::Ref: {
      x.xltype = xltypeRef;
      x.val.mref.idSheet = static_cast<IDSHEET>(o.sheet_id);
      x.val.mref.lpmref = nullptr;
      if (o.areas.empty()) return;
      const std::size_t n = std::min<std::size_t>(o.areas.size(), 0xFFFF);
      auto* m = static_cast<XLMREF12*>(memory.allocate(sizeof(XLMREF12) + (n - 1) * sizeof(XLREF12)));
      m->count = static_cast<WORD>(n);
      for (std::size_t i = 0; i < n; ++i) {
        const Area& a = o.areas[i];
        m->reftbl[i] = {a.row1, a.row2, a.col1, a.col2};
      }
      x.val.mref.lpmref = m;
      return;
    }
    case OperType::Multi: {
      const std::size_t n = o.items.size();
      auto* items = static_cast<XLOPER12*>(memory.allocate(sizeof(XLOPER12) * (n ? n : 1)));
      for (std::size_t i = 0; i < n; ++i) to_xloper12(o.items[i], items[i], memory);
      x.xltype = xltypeMulti;
      x.val.array.lparray = items;
      x.val.array.rows = o.rows;
      x.val.array.columns = o.cols;
      return;
    }
  }
}

}  // namespace kovo::sheet
