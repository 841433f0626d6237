// The connector setup window behind its slot.
#pragma once

namespace kovo::windows {

void install_setup_window();

}  // namespace kovo::windows
