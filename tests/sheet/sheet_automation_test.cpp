// The sheet host's automation object from another process, through real
// COM: found in the running-object table while the host runs and gone when
// it ends, the workbook model's values as VARIANTs, and every wrong name,
// number, address or macro failing its call (or answering #VALUE!) without
// harm to the host.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "program_runner.h"

namespace fs = std::filesystem;
using kovo::testing::bin_folder;

namespace {

constexpr CLSID kApplicationClass = {0x00024500, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

IDispatch* running_application() {
  IUnknown* unknown = nullptr;
  if (FAILED(GetActiveObject(kApplicationClass, nullptr, &unknown)) || !unknown) return nullptr;
  void* p = nullptr;
  unknown->QueryInterface(IID_IDispatch, &p);
  unknown->Release();
  return static_cast<IDispatch*>(p);
}

// A member called with at most one argument; the HRESULT of Invoke.
HRESULT call(IDispatch* object, const wchar_t* name, VARIANT* argument, VARIANT& result) {
  VariantInit(&result);
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  const HRESULT named = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(named)) return named;
  DISPPARAMS parameters{argument, nullptr, argument ? 1u : 0u, 0};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &parameters,
                        &result, nullptr, nullptr);
}

struct Text {
  explicit Text(const wchar_t* t) {
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(t);
  }
  ~Text() { VariantClear(&v); }
  VARIANT v;
};

struct Number {
  explicit Number(long n) {
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
  }
  VARIANT v;
};

// The object a member answers (null when the call fails).
IDispatch* object(IDispatch* from, const wchar_t* name, VARIANT* argument = nullptr) {
  if (!from) return nullptr;
  VARIANT result;
  if (FAILED(call(from, name, argument, result)) || result.vt != VT_DISPATCH) {
    VariantClear(&result);
    return nullptr;
  }
  return result.pdispVal;
}

struct SheetAutomation : ::testing::Test {
  fs::path dir;
  PROCESS_INFORMATION process{};
  HWND main = nullptr;

  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    dir = fs::temp_directory_path() / ("kovo-sheetauto-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    if (process.hProcess) {
      if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
    }
    CoUninitialize();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  // The host with the file open in its window; its object is registered
  // before the window shows.
  void start(const std::string& file) {
    std::string line = "\"" + bin_folder() + "kovo-sheet.exe\" --window --import \"" + (dir / file).string() + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    struct Search {
      DWORD pid;
      HWND found;
    } search{process.dwProcessId, nullptr};
    const DWORD deadline = GetTickCount() + 60000;
    while (!search.found && GetTickCount() < deadline) {
      EnumWindows(
          [](HWND hwnd, LPARAM lparam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lparam);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            char cls[32] = {};
            GetClassNameA(hwnd, cls, sizeof cls);
            if (pid == s->pid && std::string(cls) == "XLMAIN" && IsWindowVisible(hwnd)) {
              s->found = hwnd;
              return FALSE;
            }
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&search));
      if (!search.found && WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) break;
    }
    ASSERT_TRUE(search.found) << "no main window";
    main = search.found;
  }
  void close() {
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
  }
};

TEST_F(SheetAutomation, CellValuesReachAnotherProcessAndWrongNamesFail) {
  std::ofstream(dir / "book.csv", std::ios::binary) << "12.5,abc,=1=1,=1/0\r\n,y,=A1*2,x\r\n";
  start("book.csv");
  IDispatch* application = running_application();
  ASSERT_TRUE(application) << "the host's object is in the running-object table";

  VARIANT v;
  ASSERT_EQ(call(application, L"Workbooks", nullptr, v), S_OK);
  ASSERT_EQ(v.vt, VT_DISPATCH);
  IDispatch* workbooks = v.pdispVal;
  ASSERT_EQ(call(workbooks, L"Count", nullptr, v), S_OK);
  EXPECT_EQ(v.lVal, 1);
  Text book_name(L"BOOK.CSV");
  IDispatch* book = object(workbooks, L"Item", &book_name.v);
  ASSERT_TRUE(book) << "workbook names are found without regard to case";
  Text sheet_name(L"book");
  IDispatch* sheet = object(object(book, L"Worksheets"), L"Item", &sheet_name.v);
  ASSERT_TRUE(sheet);
  Number first(1);
  IDispatch* by_number = object(object(object(workbooks, L"Item", &first.v), L"Worksheets"), L"Item", &first.v);
  ASSERT_TRUE(by_number) << "collections are counted from 1";
  ASSERT_EQ(call(by_number, L"Name", nullptr, v), S_OK);
  EXPECT_EQ(std::wstring(v.bstrVal), L"book");
  VariantClear(&v);

  // One cell is its value; several cells an array counted from 1.
  Text a1(L"A1");
  ASSERT_EQ(call(object(sheet, L"Range", &a1.v), L"Value", nullptr, v), S_OK);
  EXPECT_EQ(v.vt, VT_R8);
  EXPECT_EQ(v.dblVal, 12.5);
  Text area(L"$A$1:$D$2");
  ASSERT_EQ(call(object(sheet, L"Range", &area.v), L"Value", nullptr, v), S_OK);
  ASSERT_EQ(v.vt, VT_ARRAY | VT_VARIANT);
  LONG low = 0, high = 0;
  SafeArrayGetLBound(v.parray, 1, &low);
  SafeArrayGetUBound(v.parray, 2, &high);
  EXPECT_EQ(low, 1);
  EXPECT_EQ(high, 4);
  auto item = [&](LONG row, LONG col) {
    VARIANT e;
    VariantInit(&e);
    LONG index[2] = {row, col};
    SafeArrayGetElement(v.parray, index, &e);
    return e;
  };
  VARIANT e = item(1, 2);
  EXPECT_EQ(e.vt, VT_BSTR);
  EXPECT_EQ(std::wstring(e.bstrVal), L"abc");
  VariantClear(&e);
  e = item(1, 3);
  EXPECT_EQ(e.vt, VT_BOOL);
  EXPECT_EQ(e.boolVal, VARIANT_TRUE);
  e = item(1, 4);
  EXPECT_EQ(e.vt, VT_ERROR);
  EXPECT_EQ(static_cast<unsigned long>(e.scode), 0x800A07D7UL) << "#DIV/0!";
  e = item(2, 1);
  EXPECT_EQ(e.vt, VT_EMPTY);
  e = item(2, 3);
  EXPECT_EQ(e.dblVal, 25);
  VariantClear(&v);

  // Wrong names, numbers, addresses and members fail their calls.
  Text nope(L"nope.csv");
  EXPECT_FALSE(object(workbooks, L"Item", &nope.v));
  Number zero(0), beyond(9);
  EXPECT_FALSE(object(workbooks, L"Item", &zero.v));
  EXPECT_FALSE(object(object(book, L"Worksheets"), L"Item", &beyond.v));
  Text bad_address(L"not an address"), elsewhere(L"[nope.csv]x!A1");
  EXPECT_FALSE(object(sheet, L"Range", &bad_address.v));
  EXPECT_FALSE(object(sheet, L"Range", &elsewhere.v));
  EXPECT_FALSE(object(sheet, L"Workbooks"));
  DISPID id = 0;
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"Quit")};
  EXPECT_EQ(application->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);

  // Only CALL of an open add-in's procedure runs; anything else is #VALUE!.
  for (const wchar_t* macro : {L"SUM(1,2)", L"CALL(\"nothing.xll\",\"CheckInstance\",\"J\")", L"CALL(\"x"}) {
    Text text(macro);
    ASSERT_EQ(call(application, L"ExecuteExcel4Macro", &text.v, v), S_OK);
    EXPECT_EQ(v.vt, VT_ERROR);
    EXPECT_EQ(static_cast<unsigned long>(v.scode), 0x800A07DFUL) << "#VALUE!";
  }

  for (IDispatch* d : {application, workbooks, book, sheet, by_number}) d->Release();
  close();
  IDispatch* after = running_application();
  EXPECT_FALSE(after) << "the registration is revoked when the host ends";
  if (after) after->Release();
}

}  // namespace
