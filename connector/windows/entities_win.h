// The financial entities maintenance window and its setup window behind their slots.
#pragma once

namespace kovo::windows {

void install_entities_windows();

}  // namespace kovo::windows
