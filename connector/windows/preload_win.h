// The data preload window behind its slot, the preload command without a
// user, and the automatic preload at start-up.
#pragma once

namespace kovo::windows {

void install_preload_window();

}  // namespace kovo::windows
