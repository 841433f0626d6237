// The drill-down window and its options window behind their slots.
#pragma once

namespace kovo::windows {

void install_drill_windows();

}  // namespace kovo::windows
