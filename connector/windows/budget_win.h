// The budget write-back window behind its slot.
#pragma once

namespace kovo::windows {

void install_budget_window();

}  // namespace kovo::windows
