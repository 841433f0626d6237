// The automation side of reading a reference: the running application
// found through the running-object table, checked to be the one that
// loaded this add-in, and asked for Workbooks(book).Worksheets(sheet)
// .Range(address).Value through IDispatch alone, so that any application
// offering that object model serves.
#include "addin/core/automation_win.h"

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <optional>
#include <string>
#include <vector>

#include "addin/core/automation_value.h"
#include "addin/core/messages.h"

namespace kovo::addin::automation {

namespace {

static_assert(kTypeNumber == xltypeNum && kTypeText == xltypeStr && kTypeBoolean == xltypeBool &&
                  kTypeError == xltypeErr && kTypeArray == xltypeMulti && kTypeNil == xltypeNil &&
                  kTypeInteger == xltypeInt,
              "the type bits are the C API's");

// The application's class when its program id is not registered (a
// machine where only a stand-in runs): the public class id of
// "Excel.Application".
constexpr CLSID kApplicationClass = {0x00024500, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Areas larger than this are not read through automation: the array would
// cross the process boundary whole.
constexpr long long kMaxCells = 1 << 18;

enum class ComState { NotStarted, Started, Borrowed, Failed };
ComState g_com = ComState::NotStarted;

// Set while the running application is being checked; CheckInstance notes
// that it was called meanwhile.
bool g_checking = false;
bool g_check_called = false;
// The box about other instances is shown once while the add-in is loaded.
bool g_other_instances_told = false;

// The automation layer on the calculating thread, started once. A thread
// already in another apartment kind is used as it is (and not ended here).
bool com_ready() {
  if (g_com == ComState::NotStarted) {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(hr)) g_com = ComState::Started;
    else if (hr == RPC_E_CHANGED_MODE) g_com = ComState::Borrowed;
    else g_com = ComState::Failed;
  }
  return g_com == ComState::Started || g_com == ComState::Borrowed;
}

// An interface pointer released when it goes.
class Dispatch {
 public:
  Dispatch() = default;
  explicit Dispatch(IDispatch* p) : p_(p) {}
  Dispatch(const Dispatch&) = delete;
  Dispatch& operator=(const Dispatch&) = delete;
  Dispatch(Dispatch&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  Dispatch& operator=(Dispatch&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = other.p_;
      other.p_ = nullptr;
    }
    return *this;
  }
  ~Dispatch() { reset(); }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  IDispatch* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  IDispatch* p_ = nullptr;
};

// A VARIANT cleared when it goes.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }
  VARIANT* get() { return &v_; }
  const VARIANT& value() const { return v_; }

 private:
  VARIANT v_;
};

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string narrow(const wchar_t* text, std::size_t length) {
  if (!text || length == 0) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
  return out;
}

// One text argument of a call, owned until the call returns.
class TextArgument {
 public:
  explicit TextArgument(const std::string& text) {
    VariantInit(&v_);
    const std::wstring w = wide(text);
    v_.vt = VT_BSTR;
    v_.bstrVal = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
  }
  TextArgument(const TextArgument&) = delete;
  TextArgument& operator=(const TextArgument&) = delete;
  ~TextArgument() { VariantClear(&v_); }
  bool ok() const { return v_.bstrVal != nullptr; }
  VARIANT* get() { return &v_; }

 private:
  VARIANT v_;
};

// A member of the object by name, as a property read or a method call with
// at most one text argument.
bool invoke(IDispatch* object, const wchar_t* name, TextArgument* argument, Variant& result) {
  if (!object) return false;
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;
  if (argument && !argument->ok()) return false;
  DISPPARAMS parameters{};
  if (argument) {
    parameters.rgvarg = argument->get();
    parameters.cArgs = 1;
  }
  EXCEPINFO exception{};
  UINT bad_argument = 0;
  const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                    &parameters, result.get(), &exception, &bad_argument);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return SUCCEEDED(hr);
}

// The object a member answers.
Dispatch object_of(IDispatch* object, const wchar_t* name, const std::string* argument = nullptr) {
  Variant result;
  std::optional<TextArgument> text;
  if (argument) text.emplace(*argument);
  if (!invoke(object, name, text ? &*text : nullptr, result)) return {};
  VARIANT& v = *result.get();
  IDispatch* found = nullptr;
  if (v.vt == VT_DISPATCH && v.pdispVal) {
    found = v.pdispVal;
    found->AddRef();
  } else if (v.vt == VT_UNKNOWN && v.punkVal) {
    void* p = nullptr;
    if (SUCCEEDED(v.punkVal->QueryInterface(IID_IDispatch, &p))) found = static_cast<IDispatch*>(p);
  }
  return Dispatch(found);
}

// The running application, by its program id or, where that is not
// registered, by its public class id.
Dispatch running_application() {
  CLSID cls = kApplicationClass;
  CLSID registered{};
  if (SUCCEEDED(CLSIDFromProgID(L"Excel.Application", &registered))) cls = registered;
  IUnknown* unknown = nullptr;
  if (FAILED(GetActiveObject(cls, nullptr, &unknown)) || !unknown) return {};
  void* p = nullptr;
  const HRESULT hr = unknown->QueryInterface(IID_IDispatch, &p);
  unknown->Release();
  return SUCCEEDED(hr) ? Dispatch(static_cast<IDispatch*>(p)) : Dispatch();
}

// Whether the running application is the one that loaded the add-in: only
// it reaches this copy of CheckInstance.
bool is_this_instance(IDispatch* application) {
  const std::string path = xl::addin_file_name();
  if (path.empty() || !application) return false;
  g_checking = true;
  g_check_called = false;
  Variant answer;
  const std::string macro = check_instance_macro(path);
  TextArgument text(macro);
  invoke(application, L"ExecuteExcel4Macro", &text, answer);
  g_checking = false;
  return g_check_called;
}

// The application that loaded the add-in. When another instance answers,
// the user is asked (once per loading) to close the others, and the
// application is looked for once more. No running application at all is
// no other instance: the reading just fails.
Dispatch this_application() {
  for (int attempt = 0; attempt < 2; ++attempt) {
    Dispatch application = running_application();
    if (!application) return {};
    if (is_this_instance(application.get())) return application;
    if (attempt == 0 && !g_other_instances_told) {
      g_other_instances_told = true;
      xl::message_box(GetActiveWindow(), std::string(kOtherInstancesText), std::string(kOtherInstancesCaption),
                      MB_OK | MB_ICONSTOP);
    }
  }
  return {};
}

AutoValue value_of(const VARIANT& v, int depth = 0);

AutoValue array_of(SAFEARRAY* array, int depth) {
  if (!array || depth > 0) return AutoValue::unsupported();
  VARTYPE type = VT_EMPTY;
  const UINT dimensions = SafeArrayGetDim(array);
  if (FAILED(SafeArrayGetVartype(array, &type)) || type != VT_VARIANT || dimensions < 1 || dimensions > 2)
    return AutoValue::unsupported();
  LONG low[2] = {0, 0}, high[2] = {0, 0};
  for (UINT d = 0; d < dimensions; ++d)
    if (FAILED(SafeArrayGetLBound(array, d + 1, &low[d])) || FAILED(SafeArrayGetUBound(array, d + 1, &high[d])))
      return AutoValue::unsupported();
  // One dimension is one row.
  const long long rows = dimensions == 2 ? static_cast<long long>(high[0]) - low[0] + 1 : 1;
  const long long columns = dimensions == 2 ? static_cast<long long>(high[1]) - low[1] + 1
                                            : static_cast<long long>(high[0]) - low[0] + 1;
  if (rows <= 0 || columns <= 0 || rows * columns > kMaxCells) return AutoValue::unsupported();
  std::vector<AutoValue> items;
  items.reserve(static_cast<std::size_t>(rows * columns));
  for (long long r = 0; r < rows; ++r)
    for (long long c = 0; c < columns; ++c) {
      LONG index[2];
      if (dimensions == 2) {
        index[0] = static_cast<LONG>(low[0] + r);
        index[1] = static_cast<LONG>(low[1] + c);
      } else {
        index[0] = static_cast<LONG>(low[0] + c);
      }
      Variant item;
      if (FAILED(SafeArrayGetElement(array, index, item.get()))) return AutoValue::unsupported();
      items.push_back(value_of(item.value(), depth + 1));
    }
  return AutoValue::array(static_cast<int>(rows), static_cast<int>(columns), std::move(items));
}

AutoValue value_of(const VARIANT& v, int depth) {
  if (v.vt == (VT_BYREF | VT_VARIANT)) return v.pvarVal && depth < 2 ? value_of(*v.pvarVal, depth) : AutoValue::unsupported();
  if (v.vt & VT_ARRAY) return (v.vt & VT_TYPEMASK) == VT_VARIANT && !(v.vt & VT_BYREF) ? array_of(v.parray, depth)
                                                                                        : AutoValue::unsupported();
  switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL: return AutoValue::empty();
    case VT_BSTR: return AutoValue::of_text(narrow(v.bstrVal, SysStringLen(v.bstrVal)));
    case VT_BOOL: return AutoValue::of_boolean(v.boolVal != VARIANT_FALSE);
    case VT_ERROR: {
      const auto code = error_from_automation(v.scode);
      return code ? AutoValue::of_error(*code) : AutoValue::unsupported();
    }
    case VT_R8: return AutoValue::of_number(v.dblVal);
    case VT_R4:
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_CY:
    case VT_DATE:
    case VT_DECIMAL: {
      // Currency and dates are numbers in a cell (a date is its serial day).
      VARIANT number;
      VariantInit(&number);
      if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(&v), 0, VT_R8))) return AutoValue::unsupported();
      return AutoValue::of_number(number.dblVal);
    }
    default: return AutoValue::unsupported();
  }
}

xl::Oper oper_of(const AutoValue& v) {
  switch (v.kind) {
    case AutoValue::Kind::Number: return xl::Oper::number(v.number);
    case AutoValue::Kind::Integer: return xl::Oper::integer(static_cast<int>(v.number));
    case AutoValue::Kind::Text: return xl::Oper::text(v.text);
    case AutoValue::Kind::Boolean: return xl::Oper::boolean(v.boolean);
    case AutoValue::Kind::Error: return xl::Oper::error(v.error);
    case AutoValue::Kind::Array: {
      std::vector<xl::Oper> items;
      items.reserve(v.items.size());
      for (const AutoValue& item : v.items) items.push_back(oper_of(item));
      return xl::Oper::array(v.rows, v.columns, items);
    }
    default: return xl::Oper::nil();
  }
}

}  // namespace

std::optional<xl::Oper> read_reference(const xl::Oper& reference, int type) {
  if (!reference.is_reference()) return std::nullopt;
  const std::vector<xl::Area> areas = reference.areas();
  if (areas.size() != 1) return std::nullopt;  // the object model reads one area's values
  const xl::Area& area = areas.front();
  const long long cells = (static_cast<long long>(area.last_row) - area.first_row + 1) *
                          (static_cast<long long>(area.last_column) - area.first_column + 1);
  if (cells <= 0 || cells > kMaxCells) return std::nullopt;
  const xl::Answer name = xl::call(xlSheetNm, {reference});
  std::string book, sheet;
  if (!name.ok() || !split_sheet_name(name.value.text(), book, sheet)) return std::nullopt;
  const std::string address = a1_address(area.first_row, area.first_column, area.last_row, area.last_column);
  if (!com_ready()) return std::nullopt;

  const Dispatch application = this_application();
  const Dispatch workbooks = object_of(application.get(), L"Workbooks");
  const Dispatch workbook = object_of(workbooks.get(), L"Item", &book);
  const Dispatch worksheets = object_of(workbook.get(), L"Worksheets");
  const Dispatch worksheet = object_of(worksheets.get(), L"Item", &sheet);
  const Dispatch range = object_of(worksheet.get(), L"Range", &address);
  Variant value;
  if (!range || !invoke(range.get(), L"Value", nullptr, value)) return std::nullopt;
  const auto wanted = coerce_to(value_of(value.value()), type);
  if (!wanted) return std::nullopt;
  return oper_of(*wanted);
}

void shut_down() {
  if (g_com == ComState::Started) CoUninitialize();
  g_com = ComState::NotStarted;
  g_checking = false;
}

}  // namespace kovo::addin::automation

// Called by the running application when the add-in checks that it is the
// one that loaded it (the macro CALL(file,"CheckInstance","j")).
extern "C" int __stdcall CheckInstance() {
  if (kovo::addin::automation::g_checking) kovo::addin::automation::g_check_called = true;
  return 1;
}
