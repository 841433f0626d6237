// Statuses the record manager stand-in answers.
#pragma once

namespace recman {

enum Status : short {
  kOk = 0,
  kInvalidOperation = 1,
  kIoError = 2,
  kFileNotOpen = 3,
  kKeyNotFound = 4,
  kDuplicateKey = 5,
  kInvalidKeyNumber = 6,
  kDifferentKeyNumber = 7,
  kInvalidPositioning = 8,
  kEndOfFile = 9,
  kModifiableKeyError = 10,
  kInvalidFileName = 11,
  kFileNotFound = 12,
  kDiskFull = 18,
  kKeyBufferTooShort = 21,
  kDataBufferLength = 22,
  kPageSizeError = 24,
  kCreateIoError = 25,
  kNumberOfKeys = 26,
  kInvalidKeyPosition = 27,
  kInvalidRecordLength = 28,
  kInvalidKeyLength = 29,
  kNotARecordManagerFile = 30,
  kInvalidRecordAccess = 43,
  kInconsistentKeyFlags = 45,
  kAccessDenied = 46,
  kInvalidAltSequence = 48,
  kKeyTypeError = 49,
  kFileExists = 59,
  kRecordLocked = 84,
  kFileLocked = 85,
  kFileTableFull = 86,
  kHandleTableFull = 87,
  kIncompatibleMode = 88,
};

}  // namespace recman
