// The sheet host's command line: options read into actions and carried out
// in the order given, each failure ending the run with a clear message.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "sheethost/capi.h"
#include "sheethost/evaluator.h"

namespace kovo::sheet {

struct Action {
  enum class Kind { Addin, InstallAddin, RemoveAddin, Open, Import, Sheet, Select, Run, Calc, Save, Export, Print, Menus, RefuseDirectRead };
  Kind kind;
  std::string argument;
};

struct CommandLine {
  std::vector<Action> actions;
  bool trace = false;
  bool window = false;
  bool help = false;
};

// Reads the arguments (without the program name); the message says what is wrong.
std::optional<std::string> parse_command_line(const std::vector<std::string>& args, CommandLine& out);
std::string usage_text();
// Whether the run opens the window: asked for with --window, or no option
// of a batch run (calculate, save, export, print, list menus, install or
// remove an add-in) was given.
bool shows_window(const CommandLine& line);

// Add-in files and their entry points, as the Windows layer loads them.
class AddinLoader {
 public:
  virtual ~AddinLoader() = default;
  // Loads the file and calls xlAutoOpen (and, when "install" is set,
  // xlAddInManagerInfo and xlAutoAdd, as the add-in manager does).
  virtual bool open_addin(const std::string& path, bool install, std::string& error) = 0;
  // xlAutoRemove (as the add-in manager does), then closes the add-in.
  virtual bool remove_addin(const std::string& path, std::string& error) = 0;
  // Runs a registered command macro with its arguments (none: all missing).
  virtual bool run_command(const Registration& command, const CallerInfo& caller, std::vector<Arg> args,
                           std::string& error) = 0;
  // xlAutoClose of every open add-in, last opened first, and unloading.
  virtual void close_all() = 0;
};

class Session {
 public:
  Session(CApi& api, AddinLoader& addins, std::ostream& out, std::ostream& err);
  // Carries out the actions; the exit status (0, or 1 after a failure; the
  // add-ins are closed either way).
  int run(const CommandLine& line);
  // One action; a message on failure.
  std::optional<std::string> perform(const Action& action);
  // Runs a command by its name or "Menu/Item" text; a name may carry one
  // argument in parentheses: a reference on the active sheet (B2:D4), a
  // quoted text, a number, or any other text as it stands.
  std::optional<std::string> run_command(const std::string& name);

 private:
  Sheet* active_sheet_or(std::string& error);

  CApi& api_;
  AddinLoader& addins_;
  std::ostream& out_;
  std::ostream& err_;
};

}  // namespace kovo::sheet
