// kovo-sheet: the sheet host program. Loads add-ins, opens, imports,
// calculates, saves, exports and prints workbooks as the command line says,
// in the order it says.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <iostream>
#include <optional>

#include "sheethost/automation_win.h"
#include "sheethost/host_services_win.h"
#include "sheethost/host_window_win.h"
#include "sheethost/session.h"
#include "sheethost/xll_host_win.h"

using namespace kovo::sheet;

namespace {

std::vector<std::string> arguments() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) {
    const std::size_t n = wcslen(argv[i]);
    args.push_back(utf16_to_utf8(reinterpret_cast<const XCHAR*>(argv[i]), n));
  }
  LocalFree(argv);
  return args;
}

char locale_list_separator() {
  char separator[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, separator, sizeof separator) > 0 && separator[0] == ';')
    return ';';
  return ',';
}

}  // namespace

int main() {
  _setmode(_fileno(stdout), _O_BINARY);
  CommandLine line;
  if (auto error = parse_command_line(arguments(), line)) {
    std::cerr << "kovo-sheet: " << *error << "\n" << usage_text();
    return 2;
  }
  if (line.help) {
    std::cout << usage_text();
    return 0;
  }
  line.window = shows_window(line);
  Application app;
  app.list_separator = locale_list_separator();
  HostWindow window;
  WindowsServices services(line.window, std::cerr);
  services.set_main_window(window.handle());
  CApi api(app, services);
  XllHost host(api);
  app.calculator().set_function_host(&host);
  Session session(api, host, std::cout, std::cerr);
  window.attach(api, session);
  // The application's automation object, in the running-object table while
  // the host runs; its calls arrive through this thread's messages.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  api.set_tracing(line.trace);
  std::optional<AutomationServer> automation;
  if (SUCCEEDED(com)) automation.emplace(api, host);
  services.on_status([&window](const std::string&) { window.refresh(); });
  int status = session.run(line);
  if (status == 0 && line.window) {
    if (!app.active_book()) app.new_workbook();
    window.show();
  }
  automation.reset();
  host.close_all();
  if (SUCCEEDED(com)) CoUninitialize();
  std::cout.flush();
  return status;
}
