// XLCALL32.DLL of the sheet host: the library an add-in imports Excel4,
// Excel4v, XLCallVer and LPenHelper from. It exports exactly those; each
// call goes to the sheet host program that loaded the add-in, found as the
// program's own export KovoSheetExcel4v. In any other process the calls
// answer xlretFailed.
#include <windows.h>

#include <cstdarg>

#include "sdk/excel/xlcall.h"

namespace {

using HostEntry = int(__stdcall*)(int xlfn, LPXLOPER result, int count, LPXLOPER* opers);

HostEntry host_entry() {
  static const HostEntry entry =
      reinterpret_cast<HostEntry>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), "KovoSheetExcel4v")));
  return entry;
}

constexpr int kMaxArgs = 255;

}  // namespace

extern "C" int __stdcall Excel4v(int xlfn, LPXLOPER operRes, int count, LPXLOPER opers[]) {
  const HostEntry entry = host_entry();
  if (!entry) return xlretFailed;
  return entry(xlfn, operRes, count, opers);
}

extern "C" int __cdecl Excel4(int xlfn, LPXLOPER operRes, int count, ...) {
  if (count < 0 || count > kMaxArgs) return xlretInvCount;
  LPXLOPER opers[kMaxArgs];
  va_list args;
  va_start(args, count);
  for (int i = 0; i < count; ++i) opers[i] = va_arg(args, LPXLOPER);
  va_end(args);
  return Excel4v(xlfn, operRes, count, opers);
}

extern "C" int __stdcall XLCallVer(void) { return 0x0C00; }

// Pen computing helper of old versions: nothing to offer.
extern "C" long __stdcall LPenHelper(int, void*) { return xlretFailed; }
