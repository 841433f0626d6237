// The Excel C API for add-ins: the value structures, type and error codes,
// return codes and function numbers that an XLL and its host agree on. This is
// the public interface only; it carries no behaviour of any host.
//
// Structures use the compiler's default packing, member by member. On Windows
// the basic types come from windows.h; elsewhere (native unit tests of code
// that builds or reads values) they are declared here with the same widths.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <cstddef>
#include <cstdint>
typedef std::uint16_t WORD;
typedef std::uint8_t BYTE;
typedef std::uint32_t DWORD;
typedef std::uintptr_t DWORD_PTR;
typedef void* HANDLE;
typedef int BOOL;
typedef std::int32_t INT32;
typedef wchar_t WCHAR;
#ifndef __stdcall
#define __stdcall
#endif
#ifndef __cdecl
#define __cdecl
#endif
#endif

typedef DWORD_PTR IDSHEET;
typedef WCHAR XCHAR;
typedef INT32 RW;   // row of the Excel 12 interface
typedef INT32 COL;  // column of the Excel 12 interface

// ------------------------------------------------------------------ XLOPER
typedef struct xlref {
  WORD rwFirst;
  WORD rwLast;
  BYTE colFirst;
  BYTE colLast;
} XLREF, *LPXLREF;

typedef struct xlmref {
  WORD count;
  XLREF reftbl[1];  // really reftbl[count]
} XLMREF, *LPXLMREF;

typedef struct xloper {
  union {
    double num;      // xltypeNum
    char* str;       // xltypeStr: str[0] is the length
    WORD xbool;      // xltypeBool
    WORD err;        // xltypeErr
    short int w;     // xltypeInt
    struct {
      WORD count;    // always 1
      XLREF ref;
    } sref;          // xltypeSRef
    struct {
      XLMREF* lpmref;
      IDSHEET idSheet;
    } mref;          // xltypeRef
    struct {
      struct xloper* lparray;
      WORD rows;
      WORD columns;
    } array;         // xltypeMulti
    struct {
      union {
        short int level;
        short int tbctrl;
        IDSHEET idSheet;
      } valflow;
      WORD rw;
      BYTE col;
      BYTE xlflow;
    } flow;          // xltypeFlow
    struct {
      union {
        BYTE* lpbData;
        HANDLE hdata;
      } h;
      long cbData;
    } bigdata;       // xltypeBigData
  } val;
  WORD xltype;
} XLOPER, *LPXLOPER;

// ---------------------------------------------------------------- XLOPER12
typedef struct xlref12 {
  RW rwFirst;
  RW rwLast;
  COL colFirst;
  COL colLast;
} XLREF12, *LPXLREF12;

typedef struct xlmref12 {
  WORD count;
  XLREF12 reftbl[1];
} XLMREF12, *LPXLMREF12;

typedef struct xloper12 {
  union {
    double num;
    XCHAR* str;      // str[0] is the length, up to 32767
    BOOL xbool;
    int err;
    int w;
    struct {
      WORD count;
      XLREF12 ref;
    } sref;
    struct {
      XLMREF12* lpmref;
      IDSHEET idSheet;
    } mref;
    struct {
      struct xloper12* lparray;
      RW rows;
      COL columns;
    } array;
    struct {
      union {
        int level;
        int tbctrl;
        IDSHEET idSheet;
      } valflow;
      RW rw;
      COL col;
      BYTE xlflow;
    } flow;
    struct {
      union {
        BYTE* lpbData;
        HANDLE hdata;
      } h;
      long cbData;
    } bigdata;
  } val;
  DWORD xltype;
} XLOPER12, *LPXLOPER12;

// ------------------------------------------------------------ value types
#define xltypeNum 0x0001
#define xltypeStr 0x0002
#define xltypeBool 0x0004
#define xltypeRef 0x0008
#define xltypeErr 0x0010
#define xltypeFlow 0x0020
#define xltypeMulti 0x0040
#define xltypeMissing 0x0080
#define xltypeNil 0x0100
#define xltypeSRef 0x0400
#define xltypeInt 0x0800
#define xltypeBigData (xltypeStr | xltypeInt)

#define xlbitXLFree 0x1000   // the host owns the memory: give it back with xlFree
#define xlbitDLLFree 0x4000  // the add-in owns it: the host calls xlAutoFree

// ----------------------------------------------------------- error values
#define xlerrNull 0
#define xlerrDiv0 7
#define xlerrValue 15
#define xlerrRef 23
#define xlerrName 29
#define xlerrNum 36
#define xlerrNA 42

// ------------------------------------------------------------ return codes
#define xlretSuccess 0
#define xlretAbort 1
#define xlretInvXlfn 2
#define xlretInvCount 4
#define xlretInvXloper 8
#define xlretStackOvfl 16
#define xlretFailed 32
#define xlretUncalced 64

// -------------------------------------------------------- function classes
#define xlCommand 0x8000
#define xlSpecial 0x4000
#define xlIntl 0x2000
#define xlPrompt 0x1000

// ------------------------------------------------------ special functions
#define xlFree (0 | xlSpecial)
#define xlStack (1 | xlSpecial)
#define xlCoerce (2 | xlSpecial)
#define xlSet (3 | xlSpecial)
#define xlSheetId (4 | xlSpecial)
#define xlSheetNm (5 | xlSpecial)
#define xlAbort (6 | xlSpecial)
#define xlGetInst (7 | xlSpecial)
#define xlGetHwnd (8 | xlSpecial)
#define xlGetName (9 | xlSpecial)
#define xlEnableXLMsgs (10 | xlSpecial)
#define xlDisableXLMsgs (11 | xlSpecial)
#define xlDefineBinaryName (12 | xlSpecial)
#define xlGetBinaryName (13 | xlSpecial)

#define xlUDF 255

// --------------------------------------------------- worksheet functions
#define xlfIf 1
#define xlfSum 4
#define xlfAbs 24
#define xlfRound 27
#define xlfAnd 36
#define xlfOr 37
#define xlfNot 38
#define xlfConcatenate 336

// ----------------------------------------- macro-sheet and other functions
#define xlfSetName 88
#define xlfCaller 89
#define xlfActiveCell 94
#define xlfSelection 95
#define xlfGetFormula 106
#define xlfGetName 107
#define xlfRegister 149
#define xlfCall 150
#define xlfAddMenu 152
#define xlfAddCommand 153
#define xlfDeleteMenu 158
#define xlfDeleteCommand 159
#define xlfGetBar 182
#define xlfGetCell 185
#define xlfGetWorkspace 186
#define xlfGetDocument 188
#define xlfGetNote 191
#define xlfNote 192
#define xlfUnregister 201
#define xlfDeleteToolbar 254
#define xlfEvaluate 257
#define xlfGetToolbar 258
#define xlfSaveToolbar 264
#define xlfRegisterId 267
#define xlfGetWorkbook 268

// --------------------------------------------------------- command macros
#define xlcOpen (1 | xlCommand)
#define xlcCalculateNow (31 | xlCommand)
#define xlcCalculation (32 | xlCommand)
#define xlcFormatNumber (42 | xlCommand)
#define xlcColumnWidth (47 | xlCommand)
#define xlcCut (49 | xlCommand)
#define xlcCopy (50 | xlCommand)
#define xlcPaste (51 | xlCommand)
#define xlcInsert (55 | xlCommand)
#define xlcDefineName (61 | xlCommand)
#define xlcFormula (96 | xlCommand)
#define xlcActivate (103 | xlCommand)
#define xlcSelect (109 | xlCommand)
#define xlcAlert (118 | xlCommand)
#define xlcNew (119 | xlCommand)
#define xlcMessage (122 | xlCommand)
#define xlcRowHeight (127 | xlCommand)
#define xlcEcho (141 | xlCommand)
#define xlcCalculateDocument (167 | xlCommand)
#define xlcWorkbookActivate (292 | xlCommand)
#define xlcWorkbookNew (302 | xlCommand)
#define xlcOptionsCalculation (318 | xlCommand)

// ------------------------------------------------------------- entry points
#ifdef __cplusplus
extern "C" {
#endif
#ifdef _WIN32
int __cdecl Excel4(int xlfn, LPXLOPER operRes, int count, ...);
int __stdcall Excel4v(int xlfn, LPXLOPER operRes, int count, LPXLOPER opers[]);
int __stdcall XLCallVer(void);
long __stdcall LPenHelper(int wCode, void* lpv);
#endif
// Shape of the Excel 12 callback handed to an add-in's SetExcel12EntryPt.
typedef int(__stdcall* PEXCEL12PROC)(int xlfn, int coper, LPXLOPER12* rgpxloper12,
                                      LPXLOPER12 xloper12Res);
#ifdef __cplusplus
}
#endif
