// The chart of accounts copy window behind its slot.
#pragma once

namespace kovo::windows {

void install_chart_window();

}  // namespace kovo::windows
