#include <windows.h>

#include <vector>

#include "entry/connector_win.h"

namespace kovo {
namespace {

constexpr const char* kTranslations[] = {"00000000", "000904b0", "010904b0", "010904b0",
                                         "040904b0", "100904b0", "000904b0", "010C0000",
                                         "010C0000", "030C0000"};
constexpr std::size_t kVersionTextSize = 256;

}  // namespace

std::string version_string(HINSTANCE module, const char* name) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return {};
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path, 0, size, block.data())) return {};
  for (const char* translation : kTranslations) {
    const std::string query = std::string("\\StringFileInfo\\") + translation + "\\" + name;
    char* value = nullptr;
    UINT value_length = 0;
    if (VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value),
                       &value_length) &&
        value && value_length > 0) {
      std::string text(value, strnlen(value, std::min<std::size_t>(value_length, kVersionTextSize - 1)));
      return text;
    }
  }
  return {};
}

std::string version_answer(HINSTANCE module) {
  const std::string version = version_string(module, "ProductVersion");
  std::string product = version_string(module, "ProductName");
  // The product name's first word is the product word the answer already carries.
  const auto blank = product.find(' ');
  product = blank == std::string::npos ? std::string() : product.substr(blank);
  return "Kovo Version " + version + product;
}

}  // namespace kovo
