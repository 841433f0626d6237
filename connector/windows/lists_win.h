// The lists window behind its slot.
#pragma once

namespace kovo::windows {

void install_lists_window();

}  // namespace kovo::windows
