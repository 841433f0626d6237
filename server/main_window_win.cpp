// The server's main window: status text, menu, placement, closing and Quit
// Server, help, the About box, the connector list dialog and the boxes.
#include <windows.h>
#include <shellapi.h>

#include "connector/entry/command_codes.h"
#include "connector/windows/html_help_win.h"
#include "server/messages.h"
#include "server/resources/server_ids.h"
#include "server/server_win.h"

namespace kovo::server {
namespace {

constexpr int kSecretCorner = 33;
constexpr int kWinHelpContents = 1;

help::HtmlHelpLibrary g_html_help;

Rect to_rect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

Rect desktop_rect() {
  RECT r{};
  GetWindowRect(GetDesktopWindow(), &r);
  return to_rect(r);
}

// The window's rectangle as it is when not minimised or maximised.
Rect normal_rect(HWND window) {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (GetWindowPlacement(window, &placement)) return to_rect(placement.rcNormalPosition);
  RECT r{};
  GetWindowRect(window, &r);
  return to_rect(r);
}

void remember_rect(HWND window) {
  const Rect current = normal_rect(window);
  ServerApp& a = app();
  a.window_rect = usable(current, desktop_rect()) ? current : validated(a.window_rect, desktop_rect());
}

void save_placement(HWND window) {
  remember_rect(window);
  write_setting("Kovo ServerCoords", format_coords(app().window_rect));
}

void paint_status(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  const std::string text = app().service.status_text();
  RECT client;
  GetClientRect(window, &client);
  RECT measure = client;
  DrawTextA(dc, text.c_str(), -1, &measure, DT_CENTER | DT_CALCRECT | DT_NOPREFIX);
  RECT target = client;
  target.top = client.top + std::max(0L, ((client.bottom - client.top) - (measure.bottom - measure.top)) / 2);
  SetBkMode(dc, TRANSPARENT);
  DrawTextA(dc, text.c_str(), -1, &target, DT_CENTER | DT_NOPREFIX);
  EndPaint(window, &paint);
}

void show_topic_window() {
  ServerApp& a = app();
  if (const auto connector = a.service.connector_for_menu())
    a.host.call_connector(*connector, codes::kShowConnector, "", nullptr);
}

void quit_server(HWND window) {
  ServerApp& a = app();
  if (a.service.open_count() > 0) {
    if (show_server_message(kMsgAbortForcedClose, {}, MB_YESNO | MB_ICONQUESTION) != IDNO) return;
    if (show_server_message(kMsgContinueUsing, {}, MB_YESNO | MB_ICONQUESTION) != IDNO) return;
  }
  a.forced_close = true;
  PostMessageA(window, WM_CLOSE, 0, 0);
}

void close_server(HWND window) {
  ServerApp& a = app();
  if (!a.hidden && a.service.open_count() > 0 && !a.forced_close) {
    show_server_message(kMsgConversationsOpen);
    return;
  }
  if (!unload_all_connectors()) {
    show_server_message(kMsgCloseRefused);
    if (!a.forced_close) return;
  } else {
    if (a.help_used) WinHelpA(window, (a.start_directory + "Kovo.HLP").c_str(), HELP_QUIT, 0);
    g_html_help.close_all();
    end_dde_service();
  }
  save_placement(window);
  DestroyWindow(window);
}

INT_PTR CALLBACK about_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, std::string(kServerVersionLine).c_str());
      return TRUE;
    case WM_LBUTTONDOWN: {
      const int x = static_cast<short>(LOWORD(lparam));
      const int y = static_cast<short>(HIWORD(lparam));
      if (x >= 1 && x <= kSecretCorner && y >= 1 && y <= kSecretCorner)
        show_server_box(kMakeVersionLine, MB_OK | MB_ICONASTERISK);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

struct ListDialogState {
  const std::vector<std::string>* lines;
  std::string selection;
};

INT_PTR CALLBACK list_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<ListDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<ListDialogState*>(lparam);
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      state->selection.clear();
      for (const auto& line : *state->lines)
        SendDlgItemMessageA(dialog, IDC_CONNECTOR_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_CONNECTOR_LIST:
          if (HIWORD(wparam) == LBN_SELCHANGE || HIWORD(wparam) == LBN_DBLCLK) {
            const LRESULT index = SendDlgItemMessageA(dialog, IDC_CONNECTOR_LIST, LB_GETCURSEL, 0, 0);
            const LRESULT length = index == LB_ERR ? LB_ERR
                                                   : SendDlgItemMessageA(dialog, IDC_CONNECTOR_LIST,
                                                                         LB_GETTEXTLEN, index, 0);
            if (length != LB_ERR) {
              std::string text(static_cast<std::size_t>(length) + 1, '\0');
              SendDlgItemMessageA(dialog, IDC_CONNECTOR_LIST, LB_GETTEXT, index,
                                  reinterpret_cast<LPARAM>(text.data()));
              text.resize(static_cast<std::size_t>(length));
              state->selection = text;
            }
            if (HIWORD(wparam) == LBN_DBLCLK) EndDialog(dialog, IDOK);
          }
          return TRUE;
        case IDOK:
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          state->selection.clear();
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      EndDialog(dialog, IDOK);
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_CLOSE) {
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  ServerApp& a = app();
  switch (message) {
    case WM_CREATE:
      a.forced_close = false;
      a.help_used = false;
      return 0;
    case WM_PAINT:
      paint_status(window);
      return 0;
    case WM_MOVE:
    case WM_SIZE:
      InvalidateRect(window, nullptr, TRUE);
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_SETFOCUS:
      a.active = true;
      return 0;
    case WM_KILLFOCUS:
      a.active = false;
      remember_rect(window);
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDM_TOPIC:
          show_topic_window();
          return 0;
        case IDM_DEFAULT_TOPIC:
          a.service.choose(true);
          InvalidateRect(window, nullptr, TRUE);
          return 0;
        case IDM_QUIT_SERVER:
          quit_server(window);
          return 0;
        case IDM_HELP_INDEX:
          PostMessageA(window, kHelpMessage, 0, 0);
          return 0;
        case IDM_ABOUT_SERVER:
          DialogBoxParamA(a.instance, "About", window, about_procedure, 0);
          return 0;
        case IDM_REPAINT_STATUS:
          InvalidateRect(window, nullptr, TRUE);
          return 0;
        default:
          return DefWindowProcA(window, message, wparam, lparam);
      }
    case kOpenAddinMessage:
      ShellExecuteA(nullptr, "open", a.addin_path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      return 0;
    case kHelpMessage:
      open_help();
      return 0;

    case WM_CLOSE:
      close_server(window);
      return 0;
    case WM_DESTROY:
      a.main_window = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

int show_server_box(std::string_view text, UINT flags) {
  const std::string copy(text);
  const std::string caption = server_message(kMsgCaption);
  return MessageBoxA(app().main_window, copy.c_str(), caption.c_str(), flags | MB_SETFOREGROUND);
}

int show_server_message(int number, std::string_view detail, UINT flags) {
  return show_server_box(server_message(number, detail), flags);
}

bool register_main_window_class() {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = MainWndProc;
  window_class.hInstance = app().instance;
  window_class.hIcon = LoadIconA(app().instance, "kovoico");
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  window_class.lpszMenuName = "KovoServerMenu";
  window_class.lpszClassName = kWindowClass;
  return RegisterClassA(&window_class) != 0;
}

HWND create_main_window() {
  ServerApp& a = app();
  a.main_window = CreateWindowExA(WS_EX_APPWINDOW, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                  CW_USEDEFAULT, CW_USEDEFAULT, kDefaultWidth, kDefaultHeight, GetDesktopWindow(),
                                  nullptr, a.instance, nullptr);
  return a.main_window;
}

void restore_placement() {
  ServerApp& a = app();
  const Rect desktop = desktop_rect();
  const auto saved = parse_coords(read_setting("Kovo ServerCoords", kMaxCoordsLength));
  a.no_saved_placement = !saved;
  a.window_rect = validated(saved ? *saved : default_rect(desktop), desktop);
  MoveWindow(a.main_window, a.window_rect.left, a.window_rect.top, a.window_rect.width(), a.window_rect.height(),
             FALSE);
}

void open_help() {
  ServerApp& a = app();
  const auto connector = a.service.help_connector();
  const std::string chm =
      connector ? a.start_directory + std::string(topic_names()[*connector]) + ".CHM" : std::string();
  // The connector's compiled help when it is there, else the server's own
  // help file.
  if (!chm.empty() && GetFileAttributesA(chm.c_str()) != INVALID_FILE_ATTRIBUTES &&
      g_html_help.open(a.main_window, chm, help::kDisplayTopic, 0))
    return;
  WinHelpA(a.main_window, (a.start_directory + "Kovo.HLP").c_str(), HELP_CONTEXT, kWinHelpContents);
  a.help_used = true;
}

// ------------------------------------------------------------- the service's host

void WindowsHost::show_box(std::string_view text) { show_server_box(text); }

std::optional<std::string> WindowsHost::pick_from_list(const std::vector<std::string>& lines) {
  ListDialogState state{&lines, {}};
  const INT_PTR button =
      DialogBoxParamA(app().instance, "GLNAMELIST", app().main_window, list_procedure, reinterpret_cast<LPARAM>(&state));
  if (button != IDOK) return std::nullopt;
  return state.selection;
}

void WindowsHost::write_default_gl(std::string_view base_name) { write_setting("Default GL", base_name); }

bool WindowsHost::status_visible() const { return app().active; }

void WindowsHost::repaint_status() {
  if (app().main_window) InvalidateRect(app().main_window, nullptr, TRUE);
}

void WindowsHost::post_quit_server() {
  if (app().main_window) PostMessageA(app().main_window, WM_COMMAND, IDM_QUIT_SERVER, 0);
}

void WindowsHost::post_help() {
  if (app().main_window) PostMessageA(app().main_window, kHelpMessage, 0, 0);
}

void WindowsHost::show_main_window() {
  ServerApp& a = app();
  if (!a.main_window) return;
  if (!a.no_saved_placement) restore_placement();
  ShowWindow(a.main_window, SW_RESTORE);
}

std::string WindowsHost::server_comments() const {
  return version_string(app().executable_path, "Comments",
                        {"00000000", "000904b0", "010904b0", "010904b0", "040904b0", "100904b0", "000904b0",
                         "010C0000", "010C0000", "030C0000"});
}

}  // namespace kovo::server
