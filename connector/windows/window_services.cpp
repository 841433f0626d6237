#include "windows/window_services.h"

#include <string>

#include "entry/messages.h"

namespace kovo::windows {

void show_pending_failure(WindowServices& services) {
  if (!message_pending()) return;
  const int number = pending_number();
  const std::string detail(pending_detail());
  if (!services.automation()) clear_message();
  services.box(BoxKind::Error, number, detail);
}

}  // namespace kovo::windows
