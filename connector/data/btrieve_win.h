// The connector's only door to the record manager on Windows: the library
// loaded at run time. The record operations themselves are in btrieve_ops.h.
#pragma once

#include "data/btrieve_ops.h"

namespace kovo::btrv {

// Loads the library (W3BTRV7.DLL, WBTRV32.DLL, then the copy beside the
// connector), binds its five entries and installs its call.
int LoadBtrieve();
int UnloadBtrieve();
bool btrieve_loaded();

// Shows the second box for a record manager error, unless NoShow is on.
void show_btrieve_error_box(void* owner_window);

}  // namespace kovo::btrv
