// The zip layer of an Excel workbook: the parts of a package held in memory,
// read through minizip, each refused beyond the limits that keep a hostile
// file (a zip bomb, a part of gigabytes, thousands of entries) from taking
// the host's memory or time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovo::sheet {

struct ZipLimits {
  std::size_t max_entries = 10000;
  std::uint64_t max_part_bytes = std::uint64_t{256} << 20;   // one part, unpacked
  std::uint64_t max_total_bytes = std::uint64_t{1} << 30;    // all parts read, unpacked
  // A part packed tighter than this many to one, once it is larger than
  // ratio_floor_bytes, is taken for a zip bomb: workbook XML packs to a
  // tenth or a fiftieth, a bomb to a thousandth.
  std::uint64_t max_ratio = 250;
  std::uint64_t ratio_floor_bytes = std::uint64_t{1} << 20;
};

class ZipPackage {
 public:
  ~ZipPackage();
  ZipPackage(const ZipPackage&) = delete;
  ZipPackage& operator=(const ZipPackage&) = delete;

  // The package's directory read from the bytes (which must outlive it);
  // null with a message when they are no zip file or break a limit.
  static std::unique_ptr<ZipPackage> open(std::string_view bytes, const ZipLimits& limits, std::string& error);

  // Part names as stored ("xl/workbook.xml"); looked up without regard to
  // case, as the package format wants.
  const std::vector<std::string>& names() const { return names_; }
  bool has(std::string_view name) const;
  // The whole part; a message naming the part and the limit on failure.
  std::optional<std::string> read(std::string_view name, std::string& out);

  // The bytes as minizip's file functions read them.
  struct Memory {
    std::string_view bytes;
    std::uint64_t at = 0;
  };

 private:
  struct Entry {
    std::uint64_t pos_in_dir = 0, file_number = 0;
    std::uint64_t packed = 0, unpacked = 0;
  };
  ZipPackage(std::string_view bytes, const ZipLimits& limits);

  Memory memory_;
  ZipLimits limits_;
  void* zip_ = nullptr;  // unzFile
  std::vector<std::string> names_;
  std::map<std::string, Entry> entries_;  // by lower-case name
  std::uint64_t total_read_ = 0;
};

}  // namespace kovo::sheet
