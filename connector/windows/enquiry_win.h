// The account enquiry window behind its slot.
#pragma once

namespace kovo::windows {

void install_enquiry_window();

}  // namespace kovo::windows
