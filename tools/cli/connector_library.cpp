#include "connector_library.h"

namespace kovo::cli {

namespace {
template <typename Fn>
bool bind(HMODULE module, const char* name, Fn& out) {
  out = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return out != nullptr;
}
}  // namespace

bool ConnectorLibrary::load(const std::string& path) {
  module_ = LoadLibraryA(path.c_str());
  if (!module_) {
    error_ = "cannot load the connector library " + path + " (system error " +
             std::to_string(GetLastError()) + ")";
    return false;
  }
  if (!bind(module_, "KovoDLLInterface", interface_) || !bind(module_, "KovoDoDLLInit", init_) ||
      !bind(module_, "DLLCleanupFunc", cleanup_) || !bind(module_, "ModelessFix", modeless_fix_)) {
    error_ = path + " is not a connector library: an entry point is missing";
    FreeLibrary(module_);
    module_ = nullptr;
    return false;
  }
  bind(module_, "KovoClipToDDE", clip_to_dde_);
  if (const int status = init_(); status != 0) {
    error_ = "the connector library " + path + " did not initialise (status " +
             std::to_string(status) + ")";
    FreeLibrary(module_);
    module_ = nullptr;
    return false;
  }
  pump_messages();
  return true;
}

int ConnectorLibrary::unload() {
  if (!module_) return 0;
  pump_messages();
  const int status = cleanup_();
  if (status == 0) {
    pump_messages();
    FreeLibrary(module_);
    module_ = nullptr;
  }
  return status;
}

void ConnectorLibrary::pump_messages() const {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (modeless_fix_ && modeless_fix_(&message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace kovo::cli
