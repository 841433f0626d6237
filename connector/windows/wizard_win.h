// The period wizard behind its slot.
#pragma once

namespace kovo::windows {

void install_wizard_window();

}  // namespace kovo::windows
