// The connector's About window behind its slot.
#pragma once

namespace kovo::windows {

void install_about_window();

}  // namespace kovo::windows
