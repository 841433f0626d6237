#include "entry/lifecycle.h"

namespace kovo {

LifecycleHooks& lifecycle_hooks() {
  static LifecycleHooks hooks;
  return hooks;
}

BusyFlags& busy_flags() {
  static BusyFlags flags;
  return flags;
}

}  // namespace kovo
