// Commands of tools still to come (the report wizard, the enquiry paste):
// each answers true to the spreadsheet and does nothing else yet.
#include <windows.h>

#include "sheethost/sdk/xlcall.h"

extern "C" int __stdcall ReportW(LPXLOPER) { return 1; }
extern "C" int __stdcall GLPaste(LPXLOPER) { return 1; }
