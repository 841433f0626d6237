// The company's record manager files as ordered sources for the account walk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/companies.h"
#include "specifier/account_walk.h"

namespace kovo::requests {

// A file of the company read through one key; each read keeps its own copy
// of the record, so other reads in between (the account of a balance record)
// do not disturb the walk. Only end of file and key not found end a walk; any
// other status of the record manager, or a record too short for the fields
// read, is reported and kept as the source's failure.
class FileSource : public specifier::MatchSource {
 public:
  layout::View record() const { return record_; }
  // The type of the record's account when the source knows it (never for a file).
  const std::string* account_type() const { return nullptr; }
  int failure() const override { return failure_; }

 protected:
  FileSource(data::FileSlot& slot, int key_number, std::size_t needed_length)
      : slot_(slot), key_number_(key_number), needed_length_(needed_length) {}
  bool read_equal(layout::Bytes key);
  bool read_greater_or_equal(layout::Bytes key);
  bool read_next();

  std::vector<std::uint8_t> record_;

 private:
  bool keep(int status, unsigned char* data);
  data::FileSlot& slot_;
  int key_number_;
  std::size_t needed_length_;
  int failure_ = 0;
};

// One year's balance records in account order (file selector 1).
class BalanceSource : public FileSource {
 public:
  explicit BalanceSource(data::CompanyContext& c);
  bool find(int year, std::string_view code) override;
  bool seek(int year, std::string_view low_code) override;
  bool next() override { return refresh(read_next()); }
  int year() const override { return layout::balance_year(record_); }
  std::string_view code() const override { return code_; }

 private:
  bool refresh(bool ok);
  std::string code_;
};

// The accounts file in code order (file selector 0).
class AccountSource : public FileSource {
 public:
  explicit AccountSource(data::CompanyContext& c);
  bool find(int year, std::string_view code) override;
  bool seek(int year, std::string_view low_code) override;
  bool next() override { return refresh(read_next()); }
  int year() const override { return 0; }
  std::string_view code() const override { return code_; }

 private:
  bool refresh(bool ok);
  std::string code_;
};

// A transaction file by account and date (file selectors 2 and 5).
class TransactionSource : public FileSource {
 public:
  TransactionSource(data::CompanyContext& c, data::Slot slot);
  bool find(int year, std::string_view code) override { return seek(year, code); }
  bool seek(int year, std::string_view low_code) override;
  bool next() override { return refresh(read_next()); }
  int year() const override { return 0; }
  std::string_view code() const override { return code_; }
  std::int32_t date() const override { return date_; }

 private:
  bool refresh(bool ok);
  std::string code_;
  std::int32_t date_ = 0;
};

// The account record of a code, read into the caller's copy: 0, kAccountAbsent,
// or the number of the message reported for a failed read.
inline constexpr int kAccountAbsent = 1;
int read_account(data::CompanyContext& c, std::string_view code, layout::AccountRecord& out);

// The description of a segment value (segment counted from 0) from the
// segments file, which the caller has opened: 0, kSegmentAbsent when the file
// holds no such value, or the number of the message reported for a failed read.
inline constexpr int kSegmentAbsent = 1;
int read_segment_description(data::CompanyContext& c, int segment, std::string_view value, std::string& out);

// What one walk over the segments file tells of a value: nothing (it must be
// read on its own), that the file holds no such value, or its description.
struct SegmentLookup {
  enum class State { Unknown, Absent, Found } state = State::Unknown;
  std::string description;
};

// The descriptions of many values of a segment in one walk over its records
// from the lowest value, instead of a read of each; for values of digits
// only, whose order and comparison the file's key keeps without regard to
// case. The walk reads at most about twice as many records as values asked
// for and stops at anything unusual (a failed read, a short record): the
// values it did not settle stay Unknown. Values not of digits stay Unknown.
std::vector<SegmentLookup> read_segment_descriptions(data::CompanyContext& c, int segment,
                                                     const std::vector<std::string>& values);

}  // namespace kovo::requests
