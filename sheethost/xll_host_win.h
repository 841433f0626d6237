// Add-ins (XLLs) in the sheet host: loading them and calling their entry
// points as Excel does, calling their registered functions and commands with
// arguments laid out as the type texts say, and taking their C API calls
// (Excel4v through XLCALL32.DLL, Excel12v through the entry point handed to
// SetExcel12EntryPt) into the host's C API.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "sheethost/calc.h"
#include "sheethost/capi.h"
#include "sheethost/session.h"
#include "sheethost/xloper_codec.h"

namespace kovo::sheet {

class XllHost final : public FunctionHost, public AddinLoader, public AddinServices {
 public:
  explicit XllHost(CApi& api);
  ~XllHost() override;
  XllHost(const XllHost&) = delete;
  XllHost& operator=(const XllHost&) = delete;

  // The host that add-ins' calls reach (one per process).
  static XllHost* current();

  // FunctionHost
  std::uint64_t version() const override;
  FunctionInfo describe(std::string_view name) override;
  Value call(std::string_view name, std::vector<Arg>& args, Sheet& sheet, CellPos owner) override;

  // AddinLoader
  bool open_addin(const std::string& path, bool install, std::string& error) override;
  bool remove_addin(const std::string& path, std::string& error) override;
  bool run_command(const Registration& command, const CallerInfo& caller, std::vector<Arg> args,
                   std::string& error) override;
  void close_all() override;

  // AddinServices
  std::string resolve_module(const std::string& module) override;
  bool open_addin(const std::string& path, std::string& error) override { return open_addin(path, false, error); }
  void* find_procedure(const std::string& module, const std::string& procedure) override;
  std::optional<Oper> auto_register(const std::string& module, const std::string& procedure) override;

  // CALL("module","procedure","type text"): an exported procedure of an
  // open add-in (named by path or file name) called without registering
  // it; procedures that take arguments are not offered. False, and why,
  // when it cannot be called.
  bool call_procedure(const std::string& module, const std::string& procedure, const std::string& type_text,
                      Value& result, std::string& error);

  // The C API entries.
  int excel4v(int xlfn, LPXLOPER result, int count, LPXLOPER* opers);
  int excel12v(int xlfn, int count, LPXLOPER12* opers, LPXLOPER12 result);

  // Memory handed out in results, for tests of its release.
  HostMemory& memory() { return memory_; }

 private:
  struct Module;
  struct CallStorage;
  Module* find_module(const std::string& path);
  void close_module(Module& module);
  int call_entry(Module& module, const char* name);
  bool marshal(ArgType type, const Arg& arg, const Sheet* caller_sheet, CallStorage& storage, std::uint64_t& slot,
               std::optional<Value>& refusal);
  Value take_result(ArgType result_type, Module& module, Sheet* caller_sheet, std::uint64_t raw, double real);
  bool invoke(const Registration& reg, std::vector<Arg>& args, const CallerInfo& caller, Value& result);

  CApi& api_;
  HostMemory memory_;
  std::vector<Module*> modules_;
};

}  // namespace kovo::sheet
