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
#define IDM_STOP_FILL 1198
#define IDM_CLOSE_NOW 1199
#define IDM_PERIOD_WIZARD 1200

#define WM_KOVO_DEFERRED_INIT 5591
#define WM_KOVO_OPEN_HELP 32767

// Dialog controls shared by the windows: OK and Quit are the system's
// IDOK (1) and IDCANCEL (2).
#define IDC_HELP_BUTTON 3

// The drill-down window, DRILL_LV: the buttons its automation presses
#define IDC_DRILL_DRILL 1061
#define IDC_DRILL_SEND 1072
#define IDC_DRILL_TO_CHART 1073

// The lists window, DLIST_DIALOG
#define IDC_LIST_SEGMENTS 1082
#define IDC_LIST_COMPANIES 1083
#define IDC_LIST_BUDGETS 1084
#define IDC_LIST_LISTS 1086
#define IDC_LIST_PERIODS 1087
#define IDC_LIST_YEARS 1088
#define IDC_LIST_ACCOUNTS 1091
#define IDC_LIST_BWB_HEADERS 1092
#define IDC_LIST_GRANTS 1093
#define IDC_LIST_SEGMENT 1094
#define IDC_LIST_WHERE 1097
#define IDC_LIST_IS 1099
#define IDC_LIST_TRANSPOSE 1100
#define IDC_LIST_DESCRIPTIONS 1101
#define IDC_LIST_PROGRESS 1104

// The data preload window, TURBO (Cancel is IDM_STOP_FILL)
#define IDC_TURBO_COMPANY 1410
#define IDC_TURBO_YEAR 1411
#define IDC_TURBO_ACCOUNT 1412
#define IDC_TURBO_BUDGET_TYPE 1413
#define IDC_TURBO_THIS_YEAR 1414
#define IDC_TURBO_LAST_YEAR 1415
#define IDC_TURBO_BUDGET 1416
#define IDC_TURBO_CLEAR 1417
#define IDC_TURBO_ADPL 1418
#define IDC_TURBO_PROGRESS 1419
