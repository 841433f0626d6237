// Commands whose dialogs and sheet tools are still to come: each answers
// true to the spreadsheet and does nothing else yet.
#include <windows.h>

#include "sheethost/sdk/xlcall.h"

extern "C" int __stdcall XLLInitKovo() { return 1; }
extern "C" int __stdcall VersionKovo() { return 1; }
extern "C" int __stdcall Analyze(LPXLOPER) { return 1; }
extern "C" int __stdcall ZeroSuppress(LPXLOPER) { return 1; }
extern "C" int __stdcall ToViewer(LPXLOPER) { return 1; }
extern "C" int __stdcall Migrate(LPXLOPER) { return 1; }
extern "C" int __stdcall ReportW(LPXLOPER) { return 1; }
extern "C" int __stdcall GLPaste(LPXLOPER) { return 1; }
