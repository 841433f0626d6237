// The segment value cache of the lists: every account of a company cut into
// its segment values, the distinct values of each segment in ascending
// order and, when asked for, their descriptions. Built once from the
// company's accounts file (and segments file) and kept until released or
// until it is asked for with other options.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "windows/fill_pacer.h"

namespace kovo::data {
struct CompanyContext;
}

namespace kovo::lists {

// How a fill ended besides a message number.
inline constexpr int kStopped = -2;

struct CacheOptions {
  bool descriptions = false;  // read the segments file too
  bool entities = false;      // "List use SAD File": the value source of the "Is:" choices
};

class SegmentValueCache {
 public:
  // Makes the cache hold the company's values with these options, reading
  // the files only when it does not already. 0; kStopped when row() asked to
  // stop (the cache then holds nothing); or a reported message number.
  int prepare(data::CompanyContext& company, CacheOptions options, const windows::RowCheck& row);
  void release();
  // The next prepare reads the files again.
  void mark_for_rebuild() { ready_ = false; }
  bool ready() const { return ready_; }

  // Of the prepared company; empty outside its segments.
  const std::vector<std::string>& values(int segment) const;
  std::string_view description(int segment, std::string_view value) const;
  // Each account's segment values, blanks trimmed.
  const std::vector<std::vector<std::string>>& accounts() const { return accounts_; }

 private:
  int read_accounts(data::CompanyContext& company, const windows::RowCheck& row);
  int read_descriptions(data::CompanyContext& company, const windows::RowCheck& row);

  bool ready_ = false;
  std::string company_id_;
  std::uint64_t generation_ = 0;  // of the ledger's files the values were read from
  CacheOptions options_;
  std::vector<std::vector<std::string>> accounts_;
  std::vector<std::vector<std::string>> values_;  // per segment
  std::vector<std::map<std::string, std::string, std::less<>>> descriptions_;  // per segment
};

// A record-manager walk that ended without end of file or a missing key:
// reports message 30 with where it was reading and returns 30.
int report_read_failure(const std::string& where);
// Whether the walk that just returned a non-zero status simply ran out.
bool walk_ran_out();

// Segment values of an account code as stored (segments run together).
std::vector<std::string> split_code(std::string_view code, const int* widths, int count);

}  // namespace kovo::lists
