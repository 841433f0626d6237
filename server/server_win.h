// The server program's Windows side: its one process-wide state and the
// pieces its source files share (DDE service, connector libraries, main
// window and settings file).
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/service.h"
#include "server/window_rules.h"

namespace kovo::server {

inline constexpr char kWindowClass[] = "KovoMainServerClass";
inline constexpr char kWindowTitle[] = "Kovo Server (32 Bit)";
inline constexpr char kMutexName[] = "KovoServer32Mutex";
inline constexpr char kSettingsSection[] = "Kovo Server";
inline constexpr UINT kOpenAddinMessage = WM_USER + 102;
inline constexpr UINT kHelpMessage = 32767;

// One connector library as loaded: the module and its five entry points.
struct ConnectorModule {
  using InterfaceFn = int(WINAPI*)(int, const char*, char*);
  using StatusFn = int(WINAPI*)();
  using ModelessFn = int(WINAPI*)(MSG*);

  HMODULE module = nullptr;
  InterfaceFn interface_fn = nullptr;
  StatusFn init = nullptr;
  StatusFn cleanup = nullptr;
  ModelessFn modeless_fix = nullptr;
  StatusFn clip_to_dde = nullptr;
};

// The service's host: everything the portable service asks of Windows.
class WindowsHost final : public ServiceHost {
 public:
  bool load_connector(std::size_t topic) override;
  bool has_interface(std::size_t topic) const override;
  bool has_clip_to_dde(std::size_t topic) const override;
  int call_connector(std::size_t topic, int code, const char* arguments, char* result) override;
  void show_box(std::string_view text) override;
  std::optional<std::string> pick_from_list(const std::vector<std::string>& lines) override;
  void write_default_gl(std::string_view base_name) override;
  bool status_visible() const override;
  void repaint_status() override;
  void post_quit_server() override;
  void post_help() override;
  void show_main_window() override;
  std::string server_comments() const override;
};

struct ServerApp {
  HINSTANCE instance = nullptr;
  HWND main_window = nullptr;
  std::string executable_path;
  std::string start_directory;  // with its trailing backslash
  std::string settings_path;
  std::string addin_path;
  bool hidden = false;
  bool open_addin = false;
  bool active = false;
  bool forced_close = false;
  bool help_used = false;
  bool no_saved_placement = false;
  Rect window_rect{};

  DWORD dde_instance = 0;
  HSZ service_handle = nullptr;
  std::array<HSZ, kTopicCount> topic_handles{};
  std::vector<HSZ> item_handles;
  int connector_depth = 0;  // connector calls in progress (loading included)

  std::array<ConnectorModule, kTopicCount> modules{};
  WindowsHost host;
  Service service{host};
};

ServerApp& app();

// A box with the server's caption; returns the button pressed.
int show_server_box(std::string_view text, UINT flags = MB_OK | MB_ICONWARNING);
int show_server_message(int number, std::string_view detail = {}, UINT flags = MB_OK | MB_ICONWARNING);

// DDE service (dde_service_win.cpp).
bool start_dde_service();
void end_dde_service();

// Transactions that find a connector busy (busy_win.cpp): held back where
// the DDE library delivers them again, else answered at once with text.
bool can_hold_transactions();
HDDEDATA busy_transaction(UINT type, HSZ item, UINT format, std::string_view text);
std::string connector_busy_text();

// Connector libraries (connectors_win.cpp).
bool discover_installed_connectors();
// Frees every loaded connector that agrees; false when one refused.
bool unload_all_connectors();
// Offers a message to the connectors' ModelessFix; true when one consumed it.
bool offer_to_connectors(MSG* message);
// A string of a library's version resource, tried under each translation.
std::string version_string(const std::string& path, const char* name,
                           std::initializer_list<const char*> translations);

// Main window (main_window_win.cpp).
bool register_main_window_class();
HWND create_main_window();
void restore_placement();
void open_help();

// Settings file (settings_win.cpp).
bool prepare_settings_file();  // builds the path and creates the file
std::string read_setting(const char* key, std::size_t capacity);
bool write_setting(const char* key, std::string_view value);

}  // namespace kovo::server
