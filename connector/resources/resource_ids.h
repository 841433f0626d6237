// Resource and command identifiers of the connector library.
#pragma once

#define IDM_QUIT 2
#define IDM_ABOUT 101
#define IDM_SETUP 102
#define IDM_CHART 103
#define IDM_DRILLDOWN 104
#define IDM_BUDGETS 105
#define IDM_DLLHELP 106
#define IDM_PASSWORD 107
#define IDM_LISTS 109
#define IDM_PRELOAD 110
#define IDM_COMPANY 114
#define IDM_FE_FILE 115
#define IDM_ENQUIRY 116
#define IDM_CLOSE_NOW 1199
#define IDM_PERIOD_WIZARD 1200

#define WM_KOVO_DEFERRED_INIT 5591
#define WM_KOVO_OPEN_HELP 32767
