// The connector's only door to the record manager: the library loaded at run
// time and each record operation the connector uses.
#pragma once

#include <cstdint>

namespace kovo::btrv {

inline constexpr int kPositionBlockSize = 128;
inline constexpr int kRecordBufferSize = 1500;
inline constexpr int kKeyBufferSize = 1504;
inline constexpr int kStatusInactive = 20;
inline constexpr int kStatusUnrecoverable = 19;

struct PositionBlock {
  unsigned char bytes[kPositionBlockSize];
};

struct Company;  // the company list's element (companies code)

int LoadBtrieve();
int UnloadBtrieve();
bool btrieve_loaded();
int BtrvCall(std::uint16_t operation, PositionBlock* block, void* data, std::uint16_t* length,
             void* key, std::int8_t key_number);

int BtrvOpenFile(const char* path, PositionBlock* block, const char* owner, int mode,
                 const void* spare_company);
int BtrvCloseFile(PositionBlock* block);
int BtrvInsert(PositionBlock* block, void* data, std::uint16_t* length, void* key, int key_number);
int BtrvUpdate(PositionBlock* block, void* data, void* key, int key_number);
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

// Shows the second box for a record manager error, unless NoShow is on.
void show_btrieve_error_box(void* owner_window);

}  // namespace kovo::btrv
