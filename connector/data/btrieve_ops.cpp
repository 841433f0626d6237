#include "data/btrieve_ops.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "data/btrieve.h"
#include "entry/messages.h"

namespace kovo::btrv {
namespace {

recman::BtrCallFn g_call = nullptr;
LoaderFn g_loader = nullptr;
ShortFormFn g_short_form = nullptr;
unsigned char g_record[kRecordBufferSize];
unsigned char g_key[kKeyBufferSize];
std::uint16_t g_record_length = 0;
FreeOneFileHandleFn g_free_one = nullptr;

int read(std::uint16_t operation, PositionBlock* block, void* key, int key_number) {
  g_record_length = kRecordBufferSize;
  return BtrvCall(operation, block, g_record, &g_record_length, key,
                  static_cast<std::int8_t>(key_number));
}

std::string short_form_of(const std::string& path) { return g_short_form ? g_short_form(path) : std::string{}; }

}  // namespace

void set_record_manager_call(recman::BtrCallFn call) { g_call = call; }
recman::BtrCallFn record_manager_call() { return g_call; }
void set_library_loader(LoaderFn loader) { g_loader = loader; }
void set_short_form(ShortFormFn short_form) { g_short_form = short_form; }

int BtrvCall(std::uint16_t operation, PositionBlock* block, void* data, std::uint16_t* length,
             void* key, std::int8_t key_number) {
  if (!g_call) return kStatusInactive;
  std::uint32_t wide = length ? *length : 0;
  const short status = g_call(operation, block, data, &wide, key, 255, key_number);
  if (length) *length = static_cast<std::uint16_t>(wide);
  return status;
}

int BtrvCheckStatus(int status, const char* name) { return check_status(status, name); }

int BtrvOpenFile(const char* path, PositionBlock* block, const char* owner, int mode,
                 const void* spare_company) {
  if (!g_call) {
    const int status = g_loader ? g_loader() : kStatusInactive;
    if (status != 0 || !g_call) return BtrvCheckStatus(status ? status : kStatusInactive, path);
  }
  bool retried = false;
  int status = 0;
  for (;;) {
    const std::size_t owner_length = owner ? std::min<std::size_t>(std::strlen(owner), kRecordBufferSize - 1) : 0;
    std::memcpy(g_record, owner ? owner : "", owner_length);
    g_record[owner_length] = '\0';
    std::uint16_t length = static_cast<std::uint16_t>(owner_length);
    std::string safe(path ? path : "");
    if (safe.size() > 260) safe.resize(260);
    safe = make_btrieve_path(safe, short_form_of);
    char key[kKeyBufferSize] = {};
    std::memcpy(key, safe.c_str(), std::min(safe.size(), sizeof key - 1));
    status = BtrvCall(0, block, g_record, &length, key, static_cast<std::int8_t>(mode));
    if ((status == 86 || status == 87) && !retried) {
      retried = true;
      if (g_free_one) g_free_one(spare_company);
      continue;
    }
    break;
  }
  return BtrvCheckStatus(status, nullptr);
}

int BtrvCloseFile(PositionBlock* block) {
  const int status = BtrvCall(1, block, nullptr, nullptr, nullptr, 0);
  if (status != 0) {
    BtrvCheckStatus(status, nullptr);
    report(kBtrieveError, "Closing File");
  }
  return status;
}

int BtrvInsert(PositionBlock* block, void* data, std::uint16_t* length, void* key, int key_number) {
  const int status = BtrvCall(2, block, data, length, key, static_cast<std::int8_t>(key_number));
  return BtrvCheckStatus(status, status ? static_cast<const char*>(key) : nullptr);
}

int BtrvUpdate(PositionBlock* block, void* data, void* key, int key_number, std::uint16_t length) {
  const int status = BtrvCall(3, block, data, &length, key, static_cast<std::int8_t>(key_number));
  return BtrvCheckStatus(status, status ? static_cast<const char*>(key) : nullptr);
}

int BtrvDelete(PositionBlock* block) {
  const int status = BtrvCall(4, block, nullptr, nullptr, nullptr, 0);
  if (status != 0) {
    BtrvCheckStatus(status, nullptr);
    report(kBtrieveError, "Deleting Record");
  }
  return status;
}

int BtrvGetEqual(PositionBlock* block, unsigned char** record, void* key, int key_number) {
  const int status = read(5, block, key, key_number);
  if (record) *record = g_record;
  return BtrvCheckStatus(status, status ? static_cast<const char*>(key) : nullptr);
}

int BtrvGetNext(PositionBlock* block, unsigned char** record, unsigned char** key, int key_number) {
  const int status = read(6, block, g_key, key_number);
  if (record) *record = g_record;
  if (key) *key = g_key;
  return BtrvCheckStatus(status, nullptr);
}

int BtrvGetGreaterOrEqual(PositionBlock* block, unsigned char** record, void* key, int key_number) {
  const int status = read(9, block, key, key_number);
  if (record) *record = g_record;
  return BtrvCheckStatus(status, nullptr);
}

int BtrvGetFirst(PositionBlock* block, unsigned char** record, unsigned char** key, int key_number) {
  const int status = read(12, block, g_key, key_number);
  if (record) *record = g_record;
  if (key) *key = g_key;
  return BtrvCheckStatus(status, nullptr);
}

int BtrvStop() { return BtrvCall(25, nullptr, nullptr, nullptr, nullptr, 0); }

std::uint16_t last_record_length() { return g_record_length; }
void set_free_one_file_handle(FreeOneFileHandleFn fn) { g_free_one = fn; }

}  // namespace kovo::btrv
