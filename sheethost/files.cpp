// Files of the sheet host as a whole: reading and replacing them safely, and
// the choice of format by extension that opening and saving share.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <system_error>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

#include "sheethost/files.h"

namespace kovo::sheet {

namespace fs = std::filesystem;

namespace {

fs::path utf8_path(const std::string& path) { return fs::path(std::u8string(path.begin(), path.end())); }

struct KindInfo {
  std::string_view extension;
  FileKind kind;
  std::string_view described;
};

// One row per kind of file the host reads or writes.
constexpr KindInfo kKinds[] = {
    {"json", FileKind::Workbook, "workbooks (.json)"},
    {"csv", FileKind::Csv, "sheets of comma-separated values (.csv)"},
    {"xlsx", FileKind::Xlsx, "Excel workbooks (.xlsx)"},
    {"xlb", FileKind::Toolbars, "toolbar files (.xlb)"},
    {"xll", FileKind::Addin, "add-ins (.xll)"},
};

std::string extension_of(std::string_view path) {
  const auto dot = path.find_last_of('.');
  const auto slash = path.find_last_of("/\\");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  std::string ext(path.substr(dot + 1));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

std::string unknown_kind(const std::string& path) {
  const std::string ext = extension_of(path);
  return path + ": " + (ext.empty() ? std::string("a file without an extension") : "a file of the type ." + ext) +
         " is not one the sheet host knows (" + file_kinds_text() + ")";
}

// ------------------------------------------------ writing beside the target

std::string system_error_text(int code) { return std::generic_category().message(code); }

// A new file of that name, made here and now: an existing file or link of
// that name makes it fail with EEXIST.
int create_exclusive(const fs::path& path) {
#ifdef _WIN32
  return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
#endif
}

bool write_all(int fd, const std::string& bytes) {
  std::size_t done = 0;
  constexpr std::size_t kChunk = 1 << 20;
  while (done < bytes.size()) {
    const std::size_t n = std::min(kChunk, bytes.size() - done);
#ifdef _WIN32
    const int written = _write(fd, bytes.data() + done, static_cast<unsigned>(n));
#else
    const auto written = ::write(fd, bytes.data() + done, n);
#endif
    if (written <= 0) {
      if (written < 0 && errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
#ifdef _WIN32
  return _commit(fd) == 0;
#else
  return ::fsync(fd) == 0;
#endif
}

int close_file(int fd) {
#ifdef _WIN32
  return _close(fd);
#else
  return ::close(fd);
#endif
}

// The read-only attribute, which the host honours itself: a process allowed
// to write anyway (root under Wine) must not replace such a file.
bool read_only(const fs::file_status& status) {
  constexpr auto write_bits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  return (status.permissions() & write_bits) == fs::perms::none;
}

std::string random_suffix() {
  static std::mt19937_64 generator{std::random_device{}()};
  static const char kDigits[] = "0123456789abcdef";
  std::string suffix;
  auto bits = generator();
  for (int i = 0; i < 12; ++i, bits >>= 4) suffix += kDigits[bits & 0xF];
  return suffix;
}

}  // namespace

FileKind file_kind(std::string_view path) {
  const std::string ext = extension_of(path);
  for (const auto& k : kKinds)
    if (ext == k.extension) return k.kind;
  return FileKind::Unknown;
}

std::string file_kinds_text() {
  std::string text;
  for (std::size_t i = 0; i < std::size(kKinds); ++i) {
    if (i) text += i + 1 == std::size(kKinds) ? " and " : ", ";
    text += kKinds[i].described;
  }
  return text;
}

std::string file_name_of(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> read_text_file(const std::string& path, std::string& text, std::size_t limit) {
  std::ifstream in(utf8_path(path), std::ios::binary);
  if (!in) return path + ": the file cannot be opened";
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return path + ": the file cannot be read";
  if (static_cast<std::uint64_t>(size) > limit) {
    const bool megabytes = limit >= (std::size_t{1} << 20);
    return path + ": the file is larger than " +
           (megabytes ? std::to_string(limit >> 20) + " MB" : std::to_string(limit) + " bytes");
  }
  in.seekg(0, std::ios::beg);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (!in.read(bytes.data(), size) || in.peek() != std::char_traits<char>::eof())
    return path + ": the file cannot be read whole";
  text = std::move(bytes);
  return std::nullopt;
}

std::optional<std::string> write_file_replacing(const std::string& path, const std::string& bytes) {
  const fs::path target = utf8_path(path);
  std::error_code ec;
  const fs::file_status status = fs::status(target, ec);
  if (fs::is_directory(status)) return path + ": a folder has that name";
  if (fs::exists(status) && read_only(status)) return path + ": the file is read-only; it is left as it is";
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path temporary = target;
    temporary += ".~" + random_suffix() + ".tmp";
    const int fd = create_exclusive(temporary);
    if (fd < 0) {
      const int error = errno;
      if (error == EEXIST) continue;  // a name taken (by a file or a link): another name
      return path + ": the file cannot be written beside its target (" + system_error_text(error) + ")";
    }
    const bool written = write_all(fd, bytes);
    const int write_error = errno;
    const bool closed = close_file(fd) == 0;
    if (!written || !closed) {
      fs::remove(temporary, ec);
      return path + ": the file could not be written whole (" + system_error_text(written ? errno : write_error) + ")";
    }
    fs::rename(temporary, target, ec);
    if (ec) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return path + ": the file cannot be replaced (" + ec.message() + ")";
    }
    return std::nullopt;
  }
  return path + ": no free name for a file beside it";
}

LoadResult load_document(Application& app, const std::string& path) {
  const FileKind kind = file_kind(path);
  if (kind != FileKind::Workbook && kind != FileKind::Csv && kind != FileKind::Xlsx) {
    LoadResult refused;
    refused.error = unknown_kind(path);
    return refused;
  }
  LoadResult result;
  try {
    std::string text;
    if (auto error = read_text_file(path, text)) {
      result.error = *error;
      return result;
    }
    switch (kind) {
      case FileKind::Csv: result = workbook_from_csv(app, text, file_name_of(path)); break;
      case FileKind::Xlsx: result = workbook_from_xlsx(app, text, file_name_of(path)); break;
      default: result = workbook_from_json(app, text, file_name_of(path)); break;
    }
  } catch (const std::bad_alloc&) {
    LoadResult refused;
    refused.error = path + ": the file is too large to open in the memory there is";
    return refused;
  }
  if (!result.book) result.error = path + ": " + result.error;
  else if (kind != FileKind::Csv) result.book->set_path(path);
  if (result.book && !result.warning.empty()) result.warning = path + ": " + result.warning;
  return result;
}

std::optional<std::string> save_document(Workbook& book, const std::string& path) {
  switch (file_kind(path)) {
    case FileKind::Workbook:
      if (auto error = write_file_replacing(path, workbook_to_json(book))) return error;
      book.set_path(path);
      book.changed = false;
      return std::nullopt;
    case FileKind::Csv: return export_csv_file(book.active_sheet(), path);
    case FileKind::Xlsx:
      if (auto error = save_xlsx_file(book, path)) return error;
      book.set_path(path);
      book.changed = false;
      return std::nullopt;
    default: return unknown_kind(path);
  }
}

std::optional<std::string> export_csv_file(const Sheet& sheet, const std::string& path) {
  return write_file_replacing(path, sheet_to_csv(sheet));
}

}  // namespace kovo::sheet
