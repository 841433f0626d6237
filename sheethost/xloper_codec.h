// Conversion between host values and the C API's XLOPER and XLOPER12
// structures, and the memory the host hands out inside them.
//
// Texts: XLOPER holds byte-counted strings in the Windows code page 1252
// (at most 255 bytes), XLOPER12 word-counted UTF-16 (at most 32767); the
// host works in UTF-8. Longer texts are cut at the limit.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_set>

#include "sheethost/oper.h"
#include "sdk/excel/xlcall.h"

namespace kovo::sheet {

// Memory the host allocated inside values it handed out: given back by
// xlFree (only pointers the host itself allocated are released).
class HostMemory {
 public:
  HostMemory() = default;
  HostMemory(const HostMemory&) = delete;
  HostMemory& operator=(const HostMemory&) = delete;
  ~HostMemory();

  void* allocate(std::size_t bytes);
  // False when the pointer is not one of ours (or already released).
  bool release(void* p);
  void release_all();
  std::size_t outstanding() const { return blocks_.size(); }

  // Releases what a value the host filled in holds; false when something in
  // it was not the host's.
  bool free_xloper(XLOPER& x);
  bool free_xloper12(XLOPER12& x);

 private:
  template <typename X>
  bool free_value(X& x);
  std::unordered_set<void*> blocks_;
};

std::string cp1252_to_utf8(const char* bytes, std::size_t length);
std::string utf8_to_cp1252(const std::string& text);
std::string utf16_to_utf8(const XCHAR* units, std::size_t length);
std::u16string utf8_to_utf16(const std::string& text);

// Reads a value; nothing when it is malformed (null pointers, sizes out of
// range), which the C API answers with xlretInvXloper.
std::optional<Oper> from_xloper(const XLOPER& x);
std::optional<Oper> from_xloper12(const XLOPER12& x);

// Fills a value, allocating texts, arrays and references from memory.
void to_xloper(const Oper& o, XLOPER& x, HostMemory& memory);
void to_xloper12(const Oper& o, XLOPER12& x, HostMemory& memory);

}  // namespace kovo::sheet
