// Zip parts read from memory with minizip: the file functions below serve
// minizip from the bytes of the file, so a package is read the same way
// natively, under Windows and by the fuzz tests.
#include "sheethost/xlsx_zip.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>

namespace kovo::sheet {

namespace {

using Memory = ZipPackage::Memory;

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string megabytes(std::uint64_t bytes) {
  return bytes >= (1u << 20) ? std::to_string(bytes >> 20) + " MB" : std::to_string(bytes) + " bytes";
}

// ------------------------------------------------ minizip's file functions

voidpf memory_open(voidpf opaque, const void*, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  return opaque;
}

uLong memory_read(voidpf, voidpf stream, void* buf, uLong size) {
  auto* m = static_cast<Memory*>(stream);
  const std::uint64_t left = m->at < m->bytes.size() ? m->bytes.size() - m->at : 0;
  const uLong n = static_cast<uLong>(std::min<std::uint64_t>(size, left));
  if (n) std::memcpy(buf, m->bytes.data() + m->at, n);
  m->at += n;
  return n;
}

uLong memory_write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T memory_tell(voidpf, voidpf stream) { return static_cast<Memory*>(stream)->at; }

long memory_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* m = static_cast<Memory*>(stream);
  std::uint64_t base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = m->at; break;
    case ZLIB_FILEFUNC_SEEK_END: base = m->bytes.size(); break;
    default: return -1;
  }
  if (offset > m->bytes.size() || base + offset > m->bytes.size()) return -1;
  m->at = base + offset;
  return 0;
}

int memory_close(voidpf, voidpf) { return 0; }
int memory_error(voidpf, voidpf) { return 0; }

}  // namespace

ZipPackage::ZipPackage(std::string_view bytes, const ZipLimits& limits) : memory_{bytes, 0}, limits_(limits) {}

ZipPackage::~ZipPackage() {
  if (zip_) unzClose(static_cast<unzFile>(zip_));
}

std::unique_ptr<ZipPackage> ZipPackage::open(std::string_view bytes, const ZipLimits& limits, std::string& error) {
  std::unique_ptr<ZipPackage> package(new ZipPackage(bytes, limits));
  zlib_filefunc64_def functions{};
  functions.zopen64_file = memory_open;
  functions.zread_file = memory_read;
  functions.zwrite_file = memory_write;
  functions.ztell64_file = memory_tell;
  functions.zseek64_file = memory_seek;
  functions.zclose_file = memory_close;
  functions.zerror_file = memory_error;
  functions.opaque = &package->memory_;
  unzFile zip = unzOpen2_64("workbook", &functions);
  if (!zip) {
    error = "the file is no Excel workbook (it is not a zip package, or its end is missing)";
    return nullptr;
  }
  package->zip_ = zip;
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(zip, &global) != UNZ_OK) {
    error = "the zip directory cannot be read";
    return nullptr;
  }
  if (global.number_entry > limits.max_entries) {
    error = "the package holds more than " + std::to_string(limits.max_entries) + " parts";
    return nullptr;
  }
  std::size_t count = 0;
  for (int status = unzGoToFirstFile(zip); status != UNZ_END_OF_LIST_OF_FILE; status = unzGoToNextFile(zip)) {
    if (status != UNZ_OK) {
      error = "the zip directory is damaged";
      return nullptr;
    }
    if (++count > limits.max_entries) {
      error = "the package holds more than " + std::to_string(limits.max_entries) + " parts";
      return nullptr;
    }
    unz_file_info64 info{};
    char name[1024];
    if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK ||
        info.size_filename >= sizeof name) {
      error = "the zip directory names a part it cannot hold";
      return nullptr;
    }
    unz64_file_pos pos{};
    unzGetFilePos64(zip, &pos);
    Entry entry{pos.pos_in_zip_directory, pos.num_of_file, info.compressed_size, info.uncompressed_size};
    const std::string stored(name, info.size_filename);
    if (!package->entries_.emplace(lower(stored), entry).second) {
      error = "the package holds the part \"" + stored + "\" twice";
      return nullptr;
    }
    package->names_.push_back(stored);
  }
  return package;
}

bool ZipPackage::has(std::string_view name) const { return entries_.count(lower(name)) != 0; }

std::optional<std::string> ZipPackage::read(std::string_view name, std::string& out) {
  const std::string part(name);
  const auto found = entries_.find(lower(name));
  if (found == entries_.end()) return "the part " + part + " is missing";
  const Entry& e = found->second;
  if (e.unpacked > limits_.max_part_bytes)
    return "the part " + part + " is larger than " + megabytes(limits_.max_part_bytes) + " unpacked";
  if (total_read_ + e.unpacked > limits_.max_total_bytes)
    return "the parts are larger than " + megabytes(limits_.max_total_bytes) + " unpacked together";
  if (e.unpacked > limits_.ratio_floor_bytes && e.unpacked / std::max<std::uint64_t>(e.packed, 1) > limits_.max_ratio)
    return "the part " + part + " is packed more than " + std::to_string(limits_.max_ratio) +
           " to 1 (a zip bomb); it is not unpacked";
  auto* zip = static_cast<unzFile>(zip_);
  unz64_file_pos pos{e.pos_in_dir, e.file_number};
  if (unzGoToFilePos64(zip, &pos) != UNZ_OK || unzOpenCurrentFile(zip) != UNZ_OK)
    return "the part " + part + " cannot be unpacked";
  // The stored size is what minizip unpacks at most; the checksum checked
  // when the part is closed catches a size or content that lies.
  std::string bytes;
  bytes.resize(static_cast<std::size_t>(e.unpacked));
  std::uint64_t done = 0;
  bool failed = false;
  while (done < e.unpacked) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::uint64_t>(e.unpacked - done, 1u << 20));
    const int n = unzReadCurrentFile(zip, bytes.data() + done, chunk);
    if (n <= 0) {
      failed = true;
      break;
    }
    done += static_cast<std::uint64_t>(n);
  }
  char extra;
  if (!failed && unzReadCurrentFile(zip, &extra, 1) != 0) failed = true;
  const int closed = unzCloseCurrentFile(zip);
  if (failed || done != e.unpacked) return "the part " + part + " is damaged (it cannot be unpacked whole)";
  if (closed == UNZ_CRCERROR) return "the part " + part + " is damaged (its checksum does not match)";
  if (closed != UNZ_OK) return "the part " + part + " cannot be unpacked";
  total_read_ += e.unpacked;
  out = std::move(bytes);
  return std::nullopt;
}

}  // namespace kovo::sheet
