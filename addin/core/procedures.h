// Every procedure the add-in registers with the spreadsheet, declared once.
// The spreadsheet calls each one with exactly as many arguments as its
// registered type text names, so a declaration must take exactly that many:
// a parameter more is read from a stack slot nobody filled. The files that
// define the procedures include this header, so a definition that differs
// from its declaration does not compile; the unit tests hold every
// declaration against its row of the registration table.
#pragma once

#include "sdk/excel/xlcall.h"

#define KOVO_XLOPERS_3 LPXLOPER, LPXLOPER, LPXLOPER
#define KOVO_XLOPERS_7 KOVO_XLOPERS_3, KOVO_XLOPERS_3, LPXLOPER
#define KOVO_XLOPERS_14 KOVO_XLOPERS_7, KOVO_XLOPERS_7

extern "C" {

// Worksheet functions ("R" results).
LPXLOPER __stdcall GL(KOVO_XLOPERS_7);
LPXLOPER __stdcall NGL(KOVO_XLOPERS_7);
LPXLOPER __stdcall Desc(KOVO_XLOPERS_3, KOVO_XLOPERS_3);
LPXLOPER __stdcall SDesc(KOVO_XLOPERS_3, LPXLOPER, LPXLOPER);
LPXLOPER __stdcall CoData(KOVO_XLOPERS_3);
LPXLOPER __stdcall AcctData(KOVO_XLOPERS_3, LPXLOPER, LPXLOPER);
LPXLOPER __stdcall OD(KOVO_XLOPERS_14, KOVO_XLOPERS_14);
LPXLOPER __stdcall BSpec(KOVO_XLOPERS_14, LPXLOPER, LPXLOPER);
LPXLOPER __stdcall GLTran(KOVO_XLOPERS_7);
LPXLOPER __stdcall GTTran(KOVO_XLOPERS_7, KOVO_XLOPERS_3, LPXLOPER);
LPXLOPER __stdcall JCTran(KOVO_XLOPERS_7, LPXLOPER, LPXLOPER);
LPXLOPER __stdcall WGL(KOVO_XLOPERS_7, LPXLOPER);
LPXLOPER __stdcall WDESC(KOVO_XLOPERS_7);
LPXLOPER __stdcall KovoData(KOVO_XLOPERS_7);
LPXLOPER __stdcall GLGroup(KOVO_XLOPERS_7);

// Commands ("A" results: true to the spreadsheet).
int __stdcall DrillDown(LPXLOPER);
int __stdcall KovoServer();
int __stdcall Setup(LPXLOPER);
int __stdcall Chart(LPXLOPER);
int __stdcall Passwords(LPXLOPER);
int __stdcall XLLInitKovo();
int __stdcall ServerHelp();
int __stdcall DLLHelp();
int __stdcall SetTopic();
int __stdcall VersionKovo();
int __stdcall PeriodW(LPXLOPER);
int __stdcall ReportW(LPXLOPER);
int __stdcall Budget(LPXLOPER);
int __stdcall KovoCom1(LPXLOPER);
int __stdcall KovoCom2(LPXLOPER);
int __stdcall KovoCom3(LPXLOPER);
int __stdcall KovoList(LPXLOPER);
int __stdcall KovoReset(LPXLOPER);
int __stdcall KovoDPL(LPXLOPER);
int __stdcall ZeroSuppress(LPXLOPER);
int __stdcall Analyze(LPXLOPER);
int __stdcall Inquire(LPXLOPER);
int __stdcall GLPaste(LPXLOPER);
int __stdcall ToViewer(LPXLOPER);
int __stdcall ExitKovo();
int __stdcall Migrate(LPXLOPER);

}  // extern "C"

// The 41 procedures in the registration table's order.
#define KOVO_ADDIN_PROCEDURES(X)                                                                                  \
  X(GL) X(NGL) X(Desc) X(SDesc) X(CoData) X(AcctData) X(OD) X(BSpec) X(GLTran) X(GTTran) X(JCTran) X(DrillDown) \
  X(KovoServer) X(Setup) X(Chart) X(Passwords) X(XLLInitKovo) X(ServerHelp) X(DLLHelp) X(SetTopic)               \
  X(VersionKovo) X(PeriodW) X(ReportW) X(Budget) X(KovoCom1) X(KovoCom2) X(KovoCom3) X(KovoList) X(KovoReset)   \
  X(KovoDPL) X(ZeroSuppress) X(Analyze) X(Inquire) X(GLPaste) X(WGL) X(WDESC) X(ToViewer) X(ExitKovo)           \
  X(KovoData) X(GLGroup) X(Migrate)
