#include "windows/entities_hook.h"

namespace kovo::windows {

EntitiesHook& entities_hook() {
  static EntitiesHook hook;
  return hook;
}

}  // namespace kovo::windows
