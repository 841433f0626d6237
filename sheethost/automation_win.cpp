#include "sheethost/automation_win.h"

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "sheethost/automation.h"
#include "sheethost/edit.h"
#include "sheethost/workbook.h"
#include "sheethost/xll_host_win.h"

namespace kovo::sheet {

// What every object reaches; cleared when the server goes, after which
// calls of clients still holding an object fail instead of reaching a host
// that is gone.
struct AutomationServer::Context {
  CApi* api = nullptr;
  XllHost* addins = nullptr;
};

namespace {

// The public class id of "Excel.Application".
constexpr CLSID kApplicationClass = {0x00024500, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Values larger than this are not handed out as one array (coercion has the
// same bound).
constexpr long long kMaxCells = 1'000'000;

using Context = AutomationServer::Context;

enum class Kind { Application, Workbooks, Workbook, Worksheets, Worksheet, Range };

const char* kind_name(Kind k) {
  switch (k) {
    case Kind::Application: return "Application";
    case Kind::Workbooks: return "Workbooks";
    case Kind::Workbook: return "Workbook";
    case Kind::Worksheets: return "Worksheets";
    case Kind::Worksheet: return "Worksheet";
    case Kind::Range: return "Range";
  }
  return "?";
}

// Members by name; DISPID_VALUE stands for the default member (Item of a
// collection, Value of a range).
enum Member : DISPID {
  kExecuteExcel4Macro = 1,
  kWorkbooks = 2,
  kItem = 3,
  kWorksheets = 4,
  kRange = 5,
  kValue = 6,
  kName = 7,
  kCount = 8,
};

struct MemberName {
  const wchar_t* name;
  const char* narrow;
  Member id;
};
constexpr MemberName kMembers[] = {
    {L"ExecuteExcel4Macro", "ExecuteExcel4Macro", kExecuteExcel4Macro},
    {L"Workbooks", "Workbooks", kWorkbooks},
    {L"Item", "Item", kItem},
    {L"Worksheets", "Worksheets", kWorksheets},
    {L"Range", "Range", kRange},
    {L"Value", "Value", kValue},
    {L"Name", "Name", kName},
    {L"Count", "Count", kCount},
};

const char* member_name(DISPID id) {
  for (const auto& m : kMembers)
    if (m.id == id) return m.narrow;
  return "?";
}

std::string utf8_of(const wchar_t* text, std::size_t length) {
  if (!text || length == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
  return out;
}

BSTR bstr_of(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n > 0 ? n : 0));
  if (b && n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), b, n);
  return b;
}

// One argument of a call, read as text or as a whole number.
struct Argument {
  std::optional<std::string> text;
  std::optional<long> number;
};

std::optional<Argument> argument_of(const DISPPARAMS* p, UINT index) {
  if (!p || index >= p->cArgs) return std::nullopt;
  // Arguments come last first.
  const VARIANT& given = p->rgvarg[p->cArgs - 1 - index];
  Argument a;
  VARIANT v;
  VariantInit(&v);
  if (SUCCEEDED(VariantCopyInd(&v, const_cast<VARIANT*>(&given)))) {
    if (v.vt == VT_BSTR) {
      a.text = utf8_of(v.bstrVal, SysStringLen(v.bstrVal));
    } else {
      VARIANT n;
      VariantInit(&n);
      if (SUCCEEDED(VariantChangeType(&n, &v, 0, VT_I4))) a.number = n.lVal;
      VariantClear(&n);
    }
  }
  VariantClear(&v);
  if (!a.text && !a.number) return std::nullopt;
  return a;
}

// A cell value into a VARIANT.
void to_variant(const Oper& o, VARIANT& v) {
  VariantInit(&v);
  switch (o.type) {
    case OperType::Num:
      v.vt = VT_R8;
      v.dblVal = o.num;
      break;
    case OperType::Int:
      v.vt = VT_R8;
      v.dblVal = o.w;
      break;
    case OperType::Str:
      v.vt = VT_BSTR;
      v.bstrVal = bstr_of(o.str);
      break;
    case OperType::Bool:
      v.vt = VT_BOOL;
      v.boolVal = o.boolean ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case OperType::Err:
      v.vt = VT_ERROR;
      v.scode = automation_error_code(static_cast<ErrorCode>(o.err));
      break;
    case OperType::Multi: {
      // Rows and columns counted from 1, as the spreadsheet's arrays are.
      SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(o.rows), 1}, {static_cast<ULONG>(o.cols), 1}};
      SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
      if (!array) break;
      for (int r = 0; r < o.rows; ++r)
        for (int c = 0; c < o.cols; ++c) {
          const std::size_t i = static_cast<std::size_t>(r) * static_cast<std::size_t>(o.cols) + c;
          if (i >= o.items.size()) continue;
          VARIANT item;
          to_variant(o.items[i], item);
          LONG index[2] = {r + 1, c + 1};
          SafeArrayPutElement(array, index, &item);
          VariantClear(&item);
        }
      v.vt = VT_ARRAY | VT_VARIANT;
      v.parray = array;
      break;
    }
    default: break;  // empty
  }
}

Oper from_value(const Value& value) { return value_to_oper(value); }

class Object final : public IDispatch {
 public:
  Object(std::shared_ptr<Context> context, Kind kind) : context_(std::move(context)), kind_(kind) {}

  // What the object stands for.
  std::string book;               // Workbook, Worksheets
  std::uint64_t sheet_id = 0;     // Worksheet, Range
  Area area;                      // Range

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: names only, no type information.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      if (i == 0 && names[0])
        for (const auto& m : kMembers)
          if (lstrcmpiW(names[0], m.name) == 0) ids[0] = m.id;
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    Context* c = context_.get();
    if (!c || !c->api) return RPC_E_DISCONNECTED;
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
    if (id == DISPID_VALUE) id = kind_ == Kind::Range ? kValue : kItem;
    VARIANT answer;
    VariantInit(&answer);
    std::string said;
    const HRESULT hr = member(*c, id, params, answer, said);
    if (c->api->tracing())
      c->api->trace("automation " + std::string(kind_name(kind_)) + "." + member_name(id) +
                    (params && params->cArgs ? "(" + said + ")" : std::string()) +
                    (SUCCEEDED(hr) ? " = " + describe(*c, answer) : " failed"));
    if (FAILED(hr)) {
      VariantClear(&answer);
      return hr;
    }
    if (result) *result = answer;
    else VariantClear(&answer);
    return S_OK;
  }

 private:
  ~Object() = default;

  std::string describe(Context& c, const VARIANT& v) {
    switch (v.vt) {
      case VT_DISPATCH: return v.pdispVal ? kind_name(static_cast<Object*>(v.pdispVal)->kind_) : "nothing";
      case VT_ARRAY | VT_VARIANT: return "an array";
      case VT_BSTR: return c.api->describe(Oper::text(utf8_of(v.bstrVal, SysStringLen(v.bstrVal))));
      case VT_R8: return c.api->describe(Oper::number(v.dblVal));
      case VT_BOOL: return v.boolVal ? "TRUE" : "FALSE";
      case VT_ERROR: return "error " + std::to_string(static_cast<long>(v.scode) - static_cast<long>(0x800A0000UL));
      case VT_I4: return std::to_string(v.lVal);
      default: return "empty";
    }
  }

  Object* child(Kind kind) { return new Object(context_, kind); }

  static void put_object(VARIANT& v, Object* o) {
    v.vt = VT_DISPATCH;
    v.pdispVal = o;  // the one reference the caller takes over
  }

  HRESULT member(Context& c, DISPID id, DISPPARAMS* params, VARIANT& out, std::string& said) {
    Application& app = c.api->app();
    const auto first = argument_of(params, 0);
    if (first) said = first->text ? "\"" + *first->text + "\"" : std::to_string(*first->number);
    switch (kind_) {
      case Kind::Application:
        if (id == kWorkbooks) {
          put_object(out, child(Kind::Workbooks));
          return S_OK;
        }
        if (id == kExecuteExcel4Macro) {
          if (!first || !first->text) return DISP_E_TYPEMISMATCH;
          return execute_macro(c, *first->text, out);
        }
        break;
      case Kind::Workbooks:
        if (id == kCount) {
          out.vt = VT_I4;
          out.lVal = static_cast<LONG>(app.books().size());
          return S_OK;
        }
        if (id == kItem) {
          if (!first) return DISP_E_PARAMNOTFOUND;
          Workbook* found = nullptr;
          if (first->text) found = app.find_book(*first->text);
          else if (*first->number >= 1 && static_cast<std::size_t>(*first->number) <= app.books().size())
            found = app.books()[static_cast<std::size_t>(*first->number - 1)].get();
          if (!found) return DISP_E_BADINDEX;
          Object* opened = child(Kind::Workbook);
          opened->book = found->name();
          put_object(out, opened);
          return S_OK;
        }
        break;
      case Kind::Workbook:
      case Kind::Worksheets: {
        Workbook* found = app.find_book(book);
        if (!found) return DISP_E_EXCEPTION;  // closed meanwhile
        if (kind_ == Kind::Workbook && id == kName) {
          out.vt = VT_BSTR;
          out.bstrVal = bstr_of(found->name());
          return S_OK;
        }
        if (kind_ == Kind::Workbook && id == kWorksheets) {
          Object* sheets = child(Kind::Worksheets);
          sheets->book = found->name();
          put_object(out, sheets);
          return S_OK;
        }
        if (kind_ == Kind::Worksheets && id == kCount) {
          out.vt = VT_I4;
          out.lVal = static_cast<LONG>(found->sheets().size());
          return S_OK;
        }
        if (kind_ == Kind::Worksheets && id == kItem) {
          if (!first) return DISP_E_PARAMNOTFOUND;
          Sheet* sheet = nullptr;
          if (first->text) sheet = found->find_sheet(*first->text);
          else if (*first->number >= 1 && static_cast<std::size_t>(*first->number) <= found->sheets().size())
            sheet = found->sheets()[static_cast<std::size_t>(*first->number - 1)].get();
          if (!sheet) return DISP_E_BADINDEX;
          Object* s = child(Kind::Worksheet);
          s->sheet_id = sheet->id();
          put_object(out, s);
          return S_OK;
        }
        break;
      }
      case Kind::Worksheet: {
        Sheet* sheet = app.find_sheet(sheet_id);
        if (!sheet) return DISP_E_EXCEPTION;
        if (id == kName) {
          out.vt = VT_BSTR;
          out.bstrVal = bstr_of(sheet->name());
          return S_OK;
        }
        if (id == kRange) {
          if (!first || !first->text) return DISP_E_TYPEMISMATCH;
          Sheet* target = nullptr;
          std::vector<Area> areas;
          if (!parse_reference_text(*sheet, *first->text, target, areas) || target != sheet || areas.empty())
            return DISP_E_EXCEPTION;
          Object* range = child(Kind::Range);
          range->sheet_id = sheet->id();
          range->area = areas.front();
          put_object(out, range);
          return S_OK;
        }
        break;
      }
      case Kind::Range: {
        if (id != kValue) break;
        Sheet* sheet = app.find_sheet(sheet_id);
        if (!sheet) return DISP_E_EXCEPTION;
        if (static_cast<long long>(area.rows()) * area.cols() > kMaxCells) return E_OUTOFMEMORY;
        Oper value;
        bool uncalculated = false;
        if (!c.api->read_value(Oper::reference(sheet->id(), {area}), value, uncalculated)) return DISP_E_EXCEPTION;
        to_variant(value, out);
        return S_OK;
      }
    }
    return DISP_E_MEMBERNOTFOUND;
  }

  // CALL("file","procedure","type") of an open add-in; any other macro
  // answers #VALUE!, as a macro the host cannot run.
  static HRESULT execute_macro(Context& c, const std::string& text, VARIANT& out) {
    const auto macro = parse_call_macro(text);
    Value result = Value::err(ErrorCode::Value);
    std::string error;
    if (!macro) {
      c.api->trace("automation: only CALL(\"file\",\"procedure\",\"type\") is run: " + text);
    } else if (!c.addins || !c.addins->call_procedure(macro->module, macro->procedure, macro->type_text, result, error)) {
      c.api->trace("automation: " + (error.empty() ? std::string("no add-in host") : error));
      result = Value::err(ErrorCode::Value);
    }
    to_variant(from_value(result), out);
    return S_OK;
  }

  std::shared_ptr<Context> context_;
  Kind kind_;
  std::atomic<ULONG> references_{1};
};

// Whether the table holds an active object of the application's class: the
// item moniker "!{class id}" that RegisterActiveObject registers under.
bool already_running() {
  wchar_t name[64] = L"";
  if (StringFromGUID2(kApplicationClass, name, 64) == 0) return false;
  IRunningObjectTable* table = nullptr;
  if (FAILED(GetRunningObjectTable(0, &table)) || !table) return false;
  IMoniker* moniker = nullptr;
  bool running = false;
  if (SUCCEEDED(CreateItemMoniker(L"!", name, &moniker)) && moniker) {
    running = table->IsRunning(moniker) == S_OK;
    moniker->Release();
  }
  table->Release();
  return running;
}

}  // namespace

AutomationServer::AutomationServer(CApi& api, XllHost& addins) : context_(std::make_shared<Context>()) {
  context_->api = &api;
  context_->addins = &addins;
  auto* application = new Object(context_, Kind::Application);
  application_ = static_cast<IDispatch*>(application);
  // The application that registered first stays the running one, as
  // Windows' table answers; Wine's would answer a process its own
  // registration instead, so a second host leaves the table alone. Asked
  // of the table alone (not of the other object, which may be busy).
  if (already_running()) {
    api.trace("automation: another application object is running; this one is not registered");
    return;
  }
  DWORD cookie = 0;
  const HRESULT hr = RegisterActiveObject(static_cast<IUnknown*>(application), kApplicationClass, ACTIVEOBJECT_STRONG,
                                          &cookie);
  if (SUCCEEDED(hr)) cookie_ = cookie;
  api.trace(SUCCEEDED(hr) ? "automation: the application object is registered as running"
                          : "automation: the application object could not be registered (error " +
                                std::to_string(static_cast<unsigned long>(hr)) + ")");
}

AutomationServer::~AutomationServer() {
  auto* application = static_cast<IDispatch*>(application_);
  if (cookie_) RevokeActiveObject(cookie_, nullptr);
  if (application) {
    CoDisconnectObject(application, 0);
    application->Release();
  }
  // Objects that clients still hold answer that the host is gone.
  context_->api = nullptr;
  context_->addins = nullptr;
}

}  // namespace kovo::sheet
