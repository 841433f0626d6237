// WBTRV32.DLL: the record manager's exported entries over the portable engine.
#include <windows.h>

#include "recman/btrcall.h"

static_assert(sizeof(DWORD) == sizeof(std::uint32_t));

extern "C" {

__declspec(dllexport) short WINAPI BTRCALL(WORD operation, void* position_block, void* data_buffer,
                                          DWORD* data_length, void* key_buffer, BYTE key_length,
                                          char key_number) {
  return recman::btrcall(operation, position_block, data_buffer, reinterpret_cast<std::uint32_t*>(data_length),
                         key_buffer, key_length, static_cast<std::int8_t>(key_number));
}

// The client identifier names a session of the real record manager; the
// stand-in serves every client from one session per process.
__declspec(dllexport) short WINAPI BTRCALLID(WORD operation, void* position_block, void* data_buffer,
                                            DWORD* data_length, void* key_buffer, BYTE key_length,
                                            char key_number, void* /*client_id*/) {
  return BTRCALL(operation, position_block, data_buffer, data_length, key_buffer, key_length, key_number);
}

__declspec(dllexport) int WINAPI WBTRVINIT(char* /*init_text*/) { return 0; }

__declspec(dllexport) int WINAPI WBRQSHELLINIT(char* /*init_text*/) { return 0; }

__declspec(dllexport) int WINAPI WBTRVSTOP(void) {
  std::uint32_t length = 0;
  return recman::btrcall(recman::kStop, nullptr, nullptr, &length, nullptr, 0, 0);
}

}  // extern "C"
