// The record operations the connector uses, over whichever record manager
// call is installed: the loaded library on Windows, or the stand-in's engine
// when portable code runs natively.
#pragma once

#include <cstdint>
#include <string>

#include "recman/btrcall.h"

namespace kovo::btrv {

inline constexpr int kPositionBlockSize = 128;
inline constexpr int kRecordBufferSize = 1500;
inline constexpr int kKeyBufferSize = 1504;
inline constexpr int kStatusInactive = 20;
inline constexpr int kStatusUnrecoverable = 19;

struct PositionBlock {
  unsigned char bytes[kPositionBlockSize];
};

// The record manager's call; null means no library is loaded (status 20).
void set_record_manager_call(recman::BtrCallFn call);
recman::BtrCallFn record_manager_call();

// How an open loads the library when none is loaded yet (Windows: LoadBtrieve),
// and how a path gets its short form (Windows: GetShortPathNameA). Either may
// be left empty.
using LoaderFn = int (*)();
using ShortFormFn = std::string (*)(const std::string& path);
void set_library_loader(LoaderFn loader);
void set_short_form(ShortFormFn short_form);

int BtrvCall(std::uint16_t operation, PositionBlock* block, void* data, std::uint16_t* length,
             void* key, std::int8_t key_number);

int BtrvOpenFile(const char* path, PositionBlock* block, const char* owner, int mode,
                 const void* spare_company);
int BtrvCloseFile(PositionBlock* block);
int BtrvInsert(PositionBlock* block, void* data, std::uint16_t* length, void* key, int key_number);
// The data length is the record buffer's unless the caller names the
// record's own (data must hold that many bytes).
int BtrvUpdate(PositionBlock* block, void* data, void* key, int key_number,
               std::uint16_t length = kRecordBufferSize);
int BtrvDelete(PositionBlock* block);
int BtrvGetEqual(PositionBlock* block, unsigned char** record, void* key, int key_number);
int BtrvGetNext(PositionBlock* block, unsigned char** record, unsigned char** key, int key_number);
int BtrvGetGreaterOrEqual(PositionBlock* block, unsigned char** record, void* key, int key_number);
int BtrvGetFirst(PositionBlock* block, unsigned char** record, unsigned char** key, int key_number);
int BtrvStop();
int BtrvCheckStatus(int status, const char* name);

// The data length of the latest read.
std::uint16_t last_record_length();

// Closes one open file of a company other than the spared one, to free a
// handle (the companies code installs the walk over its list).
using FreeOneFileHandleFn = void (*)(const void* spare_company);
void set_free_one_file_handle(FreeOneFileHandleFn fn);

}  // namespace kovo::btrv
