// Control numbers of the report wizard's windows: the wizard itself
// ("REPORT_WIZARD"), its remaining-axes and report-creation steps
// ("STEP_4_DIALOG_1", "STEP_5_DIALOG") and "EDIT_SPEC".
#pragma once

#define IDC_WIZ_NEXT 101
#define IDC_WIZ_PREVIOUS 102
#define IDC_WIZ_RESET 3
#define IDC_WIZ_CHOICES 104
#define IDC_WIZ_VALUES 105
#define IDC_WIZ_ELEMENTS 106
#define IDC_WIZ_ADD 107
#define IDC_WIZ_REMOVE 108
#define IDC_WIZ_EDIT 109
#define IDC_WIZ_STEP_TEXT 1000
#define IDC_WIZ_LAYOUT 1004

// Remaining axes: label and combo box k are these plus k (k from 0 to 13).
#define IDC_REM_LABEL 1300
#define IDC_REM_COMBO 1400

#define IDC_CRE_TITLE 1501
#define IDC_CRE_ZERO_SUPPRESS 1502
#define IDC_CRE_NGL 1503
#define IDC_CRE_RUN_MACRO 1504
#define IDC_CRE_MACRO_LABEL 1505
#define IDC_CRE_MACRO 1506

#define IDC_EDIT_SPECIFIER 1601
#define IDC_EDIT_DESCRIPTION 1602
