#include "sheethost/xll_host_win.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <cctype>
#include <cwchar>

#include "sheethost/xll_call_win.h"

namespace kovo::sheet {

namespace {

XllHost* g_host = nullptr;

std::wstring widen(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string full_path(const std::string& path) {
  const std::wstring wide = widen(path);
  wchar_t buffer[MAX_PATH * 4];
  const DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(std::size(buffer)), buffer, nullptr);
  if (n == 0 || n >= std::size(buffer)) return path;
  return narrow(std::wstring(buffer, n));
}

std::string file_part(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string windows_error(DWORD code) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = text ? narrow(text) : std::string();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return "Windows error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
}

template <typename T>
T procedure(HMODULE module, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool is_double(ArgType t) { return t == ArgType::Double; }

}  // namespace

// The C API entries that add-ins reach.
extern "C" __declspec(dllexport) int __stdcall KovoSheetExcel4v(int xlfn, LPXLOPER result, int count, LPXLOPER* opers) {
  return g_host ? g_host->excel4v(xlfn, result, count, opers) : xlretFailed;
}

static int __stdcall excel12_entry(int xlfn, int count, LPXLOPER12* opers, LPXLOPER12 result) {
  return g_host ? g_host->excel12v(xlfn, count, opers, result) : xlretFailed;
}

struct XllHost::Module {
  std::string path;
  HMODULE handle = nullptr;
  void (*auto_free)(LPXLOPER) = nullptr;
  void (*auto_free12)(LPXLOPER12) = nullptr;
};

// What one call's arguments point at, alive until the call's result is
// taken. Each list is reserved for every argument at its first use, so its
// elements never move.
struct XllHost::CallStorage {
  explicit CallStorage(std::size_t args) : count(args) {}
  template <typename T, typename... A>
  T& add(std::vector<T>& list, A&&... values) {
    if (list.capacity() == 0) list.reserve(count);
    return list.emplace_back(std::forward<A>(values)...);
  }
  std::size_t count;
  HostMemory memory;
  std::vector<XLOPER> xlopers;
  std::vector<XLOPER12> xlopers12;
  std::vector<double> doubles;
  std::vector<short> shorts;
  std::vector<std::int32_t> longs;
  std::vector<std::string> texts;
  std::vector<std::wstring> wide_texts;
};

XllHost::XllHost(CApi& api) : api_(api) {
  g_host = this;
  api_.set_addins(*this);
}

XllHost::~XllHost() {
  close_all();
  if (g_host == this) g_host = nullptr;
}

XllHost* XllHost::current() { return g_host; }

std::uint64_t XllHost::version() const { return api_.registry().version(); }

FunctionInfo XllHost::describe(std::string_view name) {
  const Registration* reg = api_.registry().find_name(name, false);
  if (!reg) return {};
  return {true, reg->type.is_volatile, reg->type.macro_equivalent};
}

XllHost::Module* XllHost::find_module(const std::string& path) {
  for (Module* m : modules_)
    if (same_text_no_case(m->path, path)) return m;
  return nullptr;
}

std::string XllHost::resolve_module(const std::string& module) {
  for (const Module* m : modules_)
    if (same_text_no_case(m->path, module)) return m->path;
  const std::string full = full_path(module);
  for (const Module* m : modules_)
    if (same_text_no_case(m->path, full)) return m->path;
  for (const Module* m : modules_)
    if (same_text_no_case(file_part(m->path), file_part(module))) return m->path;
  return {};
}

void* XllHost::find_procedure(const std::string& module, const std::string& name) {
  for (const Module* m : modules_)
    if (same_text_no_case(m->path, module)) return reinterpret_cast<void*>(GetProcAddress(m->handle, name.c_str()));
  return nullptr;
}

int XllHost::call_entry(Module& module, const char* name) {
  auto entry = procedure<int (*)()>(module.handle, name);
  if (!entry) return -1;
  CallerInfo caller;
  caller.kind = CallerKind::Command;
  caller.module = module.path;
  int answer;
  {
    CallerScope scope(api_, caller);
    answer = entry();
  }
  api_.trace(std::string("call ") + name + " of " + file_part(module.path) + " = " + std::to_string(answer));
  return answer;
}

bool XllHost::open_addin(const std::string& path, bool install, std::string& error) {
  const std::string full = full_path(path);
  if (find_module(full)) return true;
  static const HMODULE xlcall = [] {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self, n);
    dir = dir.substr(0, dir.find_last_of(L'\\') + 1);
    return LoadLibraryW((dir + L"XLCALL32.DLL").c_str());
  }();
  if (!xlcall) {
    error = "XLCALL32.DLL is missing beside kovo-sheet.exe: add-ins cannot call the host";
    return false;
  }
  if (GetFileAttributesW(widen(full).c_str()) == INVALID_FILE_ATTRIBUTES) {
    error = path + ": no such add-in file";
    return false;
  }
  const HMODULE handle = LoadLibraryExW(widen(full).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!handle) {
    error = path + ": the add-in cannot be loaded (" + windows_error(GetLastError()) + ")";
    return false;
  }
  auto* module = new Module{full, handle, procedure<void (*)(LPXLOPER)>(handle, "xlAutoFree"),
                            procedure<void (*)(LPXLOPER12)>(handle, "xlAutoFree12")};
  modules_.push_back(module);
  api_.trace("loaded " + full);
  if (auto set_entry = procedure<void (*)(void*)>(handle, "SetExcel12EntryPt")) {
    set_entry(reinterpret_cast<void*>(&excel12_entry));
    api_.trace("call SetExcel12EntryPt of " + file_part(full));
  }
  const int opened = call_entry(*module, "xlAutoOpen");
  if (install) {
    if (auto info = auto_register(full, "")) (void)info;
    call_entry(*module, "xlAutoAdd");
  }
  if (opened == 0) {
    error = path + ": xlAutoOpen answered 0 (the add-in reports that it did not open properly)";
    return false;
  }
  return true;
}

bool XllHost::remove_addin(const std::string& path, std::string& error) {
  Module* module = find_module(full_path(path));
  if (!module) {
    error = path + ": the add-in is not open";
    return false;
  }
  call_entry(*module, "xlAutoRemove");
  close_module(*module);
  return true;
}

void XllHost::close_module(Module& module) {
  call_entry(module, "xlAutoClose");
  api_.registry().remove_module(module.path);
  api_.app().calculator().functions_changed();
  FreeLibrary(module.handle);
  api_.trace("unloaded " + module.path);
  modules_.erase(std::find(modules_.begin(), modules_.end(), &module));
  delete &module;
}

void XllHost::close_all() {
  while (!modules_.empty()) close_module(*modules_.back());
}

std::optional<Oper> XllHost::auto_register(const std::string& module_path, const std::string& name) {
  Module* module = find_module(module_path);
  if (!module) return std::nullopt;
  CallerInfo caller;
  caller.kind = CallerKind::Command;
  caller.module = module->path;
  CallerScope scope(api_, caller);
  HostMemory arena;
  const bool manager_info = name.empty();
  const char* entry12 = manager_info ? "xlAddInManagerInfo12" : "xlAutoRegister12";
  const char* entry = manager_info ? "xlAddInManagerInfo" : "xlAutoRegister";
  const Oper argument = manager_info ? Oper::number(1) : Oper::text(name);
  std::optional<Oper> answer;
  if (auto f12 = procedure<LPXLOPER12 (*)(LPXLOPER12)>(module->handle, entry12)) {
    XLOPER12 x;
    to_xloper12(argument, x, arena);
    if (LPXLOPER12 r = f12(&x)) {
      answer = from_xloper12(*r);
      if ((r->xltype & xlbitDLLFree) && module->auto_free12) module->auto_free12(r);
      else if (r->xltype & xlbitXLFree) memory_.free_xloper12(*r);
    }
  } else if (auto f = procedure<LPXLOPER (*)(LPXLOPER)>(module->handle, entry)) {
    XLOPER x;
    to_xloper(argument, x, arena);
    if (LPXLOPER r = f(&x)) {
      answer = from_xloper(*r);
      if ((r->xltype & xlbitDLLFree) && module->auto_free) module->auto_free(r);
      else if (r->xltype & xlbitXLFree) memory_.free_xloper(*r);
    }
  } else {
    return std::nullopt;
  }
  api_.trace(std::string("call ") + (manager_info ? entry : entry) + " of " + file_part(module->path) + " = " +
             (answer ? api_.describe(*answer) : std::string("(nothing)")));
  return answer;
}

// ------------------------------------------------------------ function calls

bool XllHost::marshal(ArgType type, const Arg& arg, const Sheet* caller_sheet, CallStorage& storage,
                      std::uint64_t& slot, std::optional<Value>& refusal) {
  Calculator& calc = api_.app().calculator();
  auto read = [&](Sheet& sheet, int row, int col, Value& out) {
    const Value* v = calc.calculating() ? calc.read_for_function(sheet, row, col) : calc.cell(sheet, row, col);
    if (!v) return false;
    out = *v;
    return true;
  };
  // The argument as one value (an area gives #VALUE!).
  auto single = [&](Value& out) {
    if (arg.kind == Arg::Kind::Missing) {
      out = Value{};
      return true;
    }
    if (arg.kind == Arg::Kind::Value) {
      out = arg.value;
      return true;
    }
    if (arg.ref.areas.size() != 1 || !arg.ref.areas[0].single_cell()) {
      out = Value::err(ErrorCode::Value);
      return true;
    }
    return read(*arg.ref.sheet, arg.ref.areas[0].row1, arg.ref.areas[0].col1, out);
  };
  switch (type) {
    case ArgType::Xloper:
    case ArgType::Xloper12: {
      Oper o;
      if (arg.kind == Arg::Kind::Reference) {
        if (arg.ref.sheet == caller_sheet && arg.ref.areas.size() == 1) o = Oper::single_reference(arg.ref.areas[0]);
        else o = Oper::reference(arg.ref.sheet->id(), arg.ref.areas);
      } else if (arg.kind == Arg::Kind::Value) {
        o = value_to_oper(arg.value);
      }
      if (type == ArgType::Xloper) {
        to_xloper(o, storage.add(storage.xlopers), storage.memory);
        slot = reinterpret_cast<std::uint64_t>(&storage.xlopers.back());
      } else {
        to_xloper12(o, storage.add(storage.xlopers12), storage.memory);
        slot = reinterpret_cast<std::uint64_t>(&storage.xlopers12.back());
      }
      return true;
    }
    case ArgType::Oper:
    case ArgType::Oper12: {
      Oper o;
      if (arg.kind == Arg::Kind::Reference) {
        if (arg.ref.areas.size() != 1) {
          o = Oper::error(xlerrValue);
        } else if (arg.ref.areas[0].single_cell()) {
          Value v;
          if (!read(*arg.ref.sheet, arg.ref.areas[0].row1, arg.ref.areas[0].col1, v)) return false;
          o = value_to_oper(v);
        } else {
          const Area& a = arg.ref.areas[0];
          if (a.cell_count() > 1'000'000) {
            o = Oper::error(xlerrValue);
          } else {
            o.type = OperType::Multi;
            o.rows = a.rows();
            o.cols = a.cols();
            for (int r = a.row1; r <= a.row2; ++r)
              for (int c = a.col1; c <= a.col2; ++c) {
                Value v;
                if (!read(*arg.ref.sheet, r, c, v)) return false;
                o.items.push_back(value_to_oper(v));
              }
          }
        }
      } else if (arg.kind == Arg::Kind::Value) {
        o = value_to_oper(arg.value);
      }
      if (type == ArgType::Oper) {
        to_xloper(o, storage.add(storage.xlopers), storage.memory);
        slot = reinterpret_cast<std::uint64_t>(&storage.xlopers.back());
      } else {
        to_xloper12(o, storage.add(storage.xlopers12), storage.memory);
        slot = reinterpret_cast<std::uint64_t>(&storage.xlopers12.back());
      }
      return true;
    }
    default: break;
  }
  Value v;
  if (!single(v)) return false;
  if (v.is_error()) {
    refusal = v;
    return true;
  }
  switch (type) {
    case ArgType::CString:
    case ArgType::PString: {
      std::string bytes = utf8_to_cp1252(v.is_empty() ? std::string() : value_to_text(v));
      if (type == ArgType::PString) {
        if (bytes.size() > 255) bytes.resize(255);
        bytes.insert(bytes.begin(), static_cast<char>(static_cast<unsigned char>(bytes.size())));
      }
      slot = reinterpret_cast<std::uint64_t>(storage.add(storage.texts, std::move(bytes)).c_str());
      return true;
    }
    case ArgType::WCString:
    case ArgType::WPString: {
      const std::u16string units = utf8_to_utf16(v.is_empty() ? std::string() : value_to_text(v));
      std::wstring wide(units.begin(), units.end());
      if (type == ArgType::WPString) {
        if (wide.size() > 32767) wide.resize(32767);
        wide.insert(wide.begin(), static_cast<wchar_t>(wide.size()));
      }
      slot = reinterpret_cast<std::uint64_t>(storage.add(storage.wide_texts, std::move(wide)).c_str());
      return true;
    }
    case ArgType::Bool:
    case ArgType::BoolPtr: {
      bool b = false;
      if (v.is_bool()) b = v.boolean;
      else if (v.is_number()) b = v.number != 0;
      else if (v.is_text() && same_text_no_case(v.text, "TRUE")) b = true;
      else if (v.is_text() && !same_text_no_case(v.text, "FALSE")) {
        refusal = Value::err(ErrorCode::Value);
        return true;
      }
      if (type == ArgType::Bool) slot = b ? 1 : 0;
      else slot = reinterpret_cast<std::uint64_t>(&storage.add(storage.shorts, static_cast<short>(b)));
      return true;
    }
    default: break;
  }
  const auto n = value_to_number(v);
  if (n.error) {
    refusal = Value::err(*n.error);
    return true;
  }
  switch (type) {
    case ArgType::Double: slot = std::bit_cast<std::uint64_t>(n.number); return true;
    case ArgType::DoublePtr: slot = reinterpret_cast<std::uint64_t>(&storage.add(storage.doubles, n.number)); return true;
    default: break;
  }
  const double whole = std::trunc(n.number);
  const bool is_short = type == ArgType::Short || type == ArgType::ShortPtr;
  const double low = type == ArgType::UShort ? 0 : is_short ? -32768.0 : -2147483648.0;
  const double high = type == ArgType::UShort ? 65535.0 : is_short ? 32767.0 : 2147483647.0;
  if (whole < low || whole > high) {
    refusal = Value::err(ErrorCode::Num);
    return true;
  }
  switch (type) {
    case ArgType::UShort:
    case ArgType::Short:
    case ArgType::Long: slot = static_cast<std::uint64_t>(static_cast<std::int64_t>(whole)); return true;
    case ArgType::ShortPtr:
      slot = reinterpret_cast<std::uint64_t>(&storage.add(storage.shorts, static_cast<short>(whole)));
      return true;
    case ArgType::LongPtr:
      slot = reinterpret_cast<std::uint64_t>(&storage.add(storage.longs, static_cast<std::int32_t>(whole)));
      return true;
    default: refusal = Value::err(ErrorCode::Value); return true;
  }
}

Value XllHost::take_result(ArgType result_type, Module& module, Sheet* caller_sheet, std::uint64_t raw, double real) {
  // A reference result shows the value it points at.
  auto oper_result = [&](const Oper& o) -> Value {
    if (o.is_reference()) {
      Sheet* sheet = o.type == OperType::SRef ? caller_sheet : api_.app().find_sheet(o.sheet_id);
      if (!sheet || o.areas.empty()) return Value::err(ErrorCode::Ref);
      Calculator& calc = api_.app().calculator();
      const Value* v = calc.calculating() ? calc.read_for_function(*sheet, o.areas[0].row1, o.areas[0].col1)
                                          : calc.cell(*sheet, o.areas[0].row1, o.areas[0].col1);
      if (!v) return Value::err(ErrorCode::NA);
      return v->is_empty() ? Value::num(0) : *v;
    }
    if (o.type == OperType::Missing || o.type == OperType::Nil) return Value::num(0);
    return oper_to_value(o);
  };
  switch (result_type) {
    case ArgType::Bool: return Value::logical(static_cast<short>(raw) != 0);
    case ArgType::Short: return Value::num(static_cast<short>(raw));
    case ArgType::UShort: return Value::num(static_cast<unsigned short>(raw));
    case ArgType::Long: return Value::num(static_cast<std::int32_t>(raw));
    case ArgType::Double: return std::isfinite(real) ? Value::num(real) : Value::err(ErrorCode::Num);
    default: break;
  }
  if (raw == 0) return Value::err(ErrorCode::Num);
  switch (result_type) {
    case ArgType::DoublePtr: {
      const double d = *reinterpret_cast<const double*>(raw);
      return std::isfinite(d) ? Value::num(d) : Value::err(ErrorCode::Num);
    }
    case ArgType::CString: {
      const char* s = reinterpret_cast<const char*>(raw);
      return Value::str(cp1252_to_utf8(s, strnlen(s, 32767)));
    }
    case ArgType::PString: {
      const char* s = reinterpret_cast<const char*>(raw);
      return Value::str(cp1252_to_utf8(s + 1, static_cast<unsigned char>(s[0])));
    }
    case ArgType::WCString: {
      const wchar_t* s = reinterpret_cast<const wchar_t*>(raw);
      return Value::str(utf16_to_utf8(reinterpret_cast<const XCHAR*>(s), wcsnlen(s, 32767)));
    }
    case ArgType::WPString: {
      const XCHAR* s = reinterpret_cast<const XCHAR*>(raw);
      return Value::str(utf16_to_utf8(s + 1, std::min<std::size_t>(s[0], 32767)));
    }
    case ArgType::Oper:
    case ArgType::Xloper: {
      auto* x = reinterpret_cast<LPXLOPER>(raw);
      auto o = from_xloper(*x);
      const Value v = o ? oper_result(*o) : Value::err(ErrorCode::Value);
      if (x->xltype & xlbitDLLFree) {
        if (module.auto_free) {
          module.auto_free(x);
          api_.trace("call xlAutoFree of " + file_part(module.path));
        }
      } else if (x->xltype & xlbitXLFree) {
        memory_.free_xloper(*x);
      }
      return v;
    }
    case ArgType::Oper12:
    case ArgType::Xloper12: {
      auto* x = reinterpret_cast<LPXLOPER12>(raw);
      auto o = from_xloper12(*x);
      const Value v = o ? oper_result(*o) : Value::err(ErrorCode::Value);
      if (x->xltype & xlbitDLLFree) {
        if (module.auto_free12) {
          module.auto_free12(x);
          api_.trace("call xlAutoFree12 of " + file_part(module.path));
        }
      } else if (x->xltype & xlbitXLFree) {
        memory_.free_xloper12(*x);
      }
      return v;
    }
    default: return Value::err(ErrorCode::Value);
  }
}

bool XllHost::invoke(const Registration& reg, std::vector<Arg>& args, const CallerInfo& caller, Value& result) {
  Module* module = find_module(reg.module);
  if (!module || !reg.address) {
    result = Value::err(ErrorCode::Name);
    return false;
  }
  const std::size_t count = reg.type.args.size();
  CallStorage storage(count);
  std::uint64_t slots[kMaxCallSlots] = {};
  static const Arg kMissing;
  for (std::size_t i = 0; i < count && i < kMaxCallSlots; ++i) {
    std::optional<Value> refusal;
    const Arg& arg = i < args.size() ? args[i] : kMissing;
    if (!marshal(reg.type.args[i], arg, caller.sheet, storage, slots[i], refusal)) {
      result = Value::err(ErrorCode::NA);  // a cell not yet calculated: called again later
      return true;
    }
    if (refusal) {
      result = *refusal;
      return true;
    }
  }
  const bool first_double = count > 0 && is_double(reg.type.args[0]);
  // The call may register or remove procedures: nothing of reg is read after it.
  const ArgType result_type = reg.type.result;
  void* const address = reg.address;
  std::uint64_t raw = 0;
  double real = 0;
  {
    CallerScope scope(api_, caller);
    if (result_type == ArgType::Double) real = call_returning_double(address, slots, static_cast<int>(count), first_double);
    else raw = call_returning_integer(address, slots, static_cast<int>(count), first_double);
  }
  result = take_result(result_type, *module, caller.sheet ? caller.sheet : api_.app().active_sheet(), raw, real);
  return true;
}

Value XllHost::call(std::string_view name, std::vector<Arg>& args, Sheet& sheet, CellPos owner) {
  const Registration* reg = api_.registry().find_name(name, false);
  if (!reg) return Value::err(ErrorCode::Name);
  CallerInfo caller;
  caller.kind = reg->type.macro_equivalent ? CallerKind::MacroFunction : CallerKind::Function;
  caller.module = reg->module;
  caller.sheet = &sheet;
  caller.cell = owner;
  Value result;
  const std::string function = api_.tracing() ? reg->function_text : std::string();
  invoke(*reg, args, caller, result);
  if (api_.tracing())
    api_.trace("call " + function + " in " + Application::full_name(sheet) + "!" + area_r1c1(Area::cell(owner)) +
               " = " + value_to_text(result));
  return result;
}

bool XllHost::call_procedure(const std::string& module, const std::string& procedure, const std::string& type_text,
                             Value& result, std::string& error) {
  const std::string path = resolve_module(module);
  Module* found = path.empty() ? nullptr : find_module(path);
  if (!found) {
    error = module + " is not an open add-in";
    return false;
  }
  std::string letters = type_text;
  for (char& c : letters) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const auto type = parse_type_text(letters, error);
  if (!type) return false;
  if (!type->args.empty()) {
    error = "CALL of a procedure that takes arguments is not offered (" + type_text + ")";
    return false;
  }
  Registration reg;
  reg.module = found->path;
  reg.procedure = procedure;
  reg.type_text = letters;
  reg.type = *type;
  reg.function_text = procedure;
  reg.address = reinterpret_cast<void*>(GetProcAddress(found->handle, procedure.c_str()));
  if (!reg.address) {
    error = file_part(found->path) + " exports no procedure " + procedure;
    return false;
  }
  CallerInfo caller;
  caller.kind = CallerKind::Command;
  caller.module = found->path;
  std::vector<Arg> none;
  if (!invoke(reg, none, caller, result)) return false;
  api_.trace("call " + procedure + " of " + file_part(found->path) + " = " + value_to_text(result));
  return true;
}

bool XllHost::run_command(const Registration& command, const CallerInfo& caller, std::vector<Arg> args,
                          std::string& error) {
  Value result;
  const std::string name = command.function_text;
  api_.trace("run command " + name + " of " + file_part(command.module));
  if (!invoke(command, args, caller, result)) {
    error = "the command " + name + " cannot be run: its add-in is not open";
    return false;
  }
  return true;
}

// ----------------------------------------------------------------- C API entry

namespace {

struct Layout4 {
  using X = XLOPER;
  static constexpr const char* via = "Excel4";
  static std::optional<Oper> read(const X& x) { return from_xloper(x); }
  static void write(const Oper& o, X& x, HostMemory& m) { to_xloper(o, x, m); }
  static bool free(HostMemory& m, X& x) { return m.free_xloper(x); }
};

struct Layout12 {
  using X = XLOPER12;
  static constexpr const char* via = "Excel12";
  static std::optional<Oper> read(const X& x) { return from_xloper12(x); }
  static void write(const Oper& o, X& x, HostMemory& m) { to_xloper12(o, x, m); }
  static bool free(HostMemory& m, X& x) { return m.free_xloper12(x); }
};

// One C API call in either layout: arguments read (malformed ones refused),
// xlFree given the host's memory back, the answer written in host memory
// that the add-in frees with xlFree.
template <typename Layout>
int dispatch(CApi& api, HostMemory& memory, int xlfn, typename Layout::X* result, int count,
             typename Layout::X** opers) {
  using X = typename Layout::X;
  if (count < 0 || count > 255) return xlretInvCount;
  if (count > 0 && !opers) return xlretInvXloper;
  if (xlfn == xlFree) {
    for (int i = 0; i < count; ++i) {
      if (!opers[i]) continue;
      const bool ours = Layout::free(memory, *opers[i]);
      if (api.tracing())
        api.trace(std::string(Layout::via) + " xlFree" + (ours ? "" : " (memory the host did not hand out: left alone)"));
    }
    return xlretSuccess;
  }
  std::vector<Oper> args;
  args.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    if (!opers[i]) return xlretInvXloper;
    auto o = Layout::read(*opers[i]);
    if (!o) return xlretInvXloper;
    args.push_back(std::move(*o));
  }
  Oper out;
  const int code = api.call(xlfn, args, out, Layout::via);
  if (result) {
    if (code == xlretSuccess) {
      Layout::write(out, *result, memory);
    } else {
      std::memset(static_cast<void*>(result), 0, sizeof(X));
      result->xltype = xltypeErr;
      result->val.err = xlerrValue;
    }
  }
  return code;
}

}  // namespace

int XllHost::excel4v(int xlfn, LPXLOPER result, int count, LPXLOPER* opers) {
  return dispatch<Layout4>(api_, memory_, xlfn, result, count, opers);
}

int XllHost::excel12v(int xlfn, int count, LPXLOPER12* opers, LPXLOPER12 result) {
  return dispatch<Layout12>(api_, memory_, xlfn, result, count, opers);
}

}  // namespace kovo::sheet
