// Identifiers shared by the server's resource script and its code.
#pragma once

// Menu "KovoServerMenu"
#define IDM_TOPIC 101
#define IDM_DEFAULT_TOPIC 102
#define IDM_QUIT_SERVER 103
#define IDM_HELP_INDEX 104
#define IDM_ABOUT_SERVER 105
// Window command that repaints the status
#define IDM_REPAINT_STATUS 110

// Dialog "About"
#define IDC_ABOUT_VERSION 201
#define IDC_ABOUT_ICON 202
// Dialog "GLNAMELIST"
#define IDC_CONNECTOR_LIST 301
#define IDC_LIST_ICON 302
