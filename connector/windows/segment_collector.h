// The segment value lists of the drill-down: the distinct values each
// segment takes in the accounts that the drill total matched, gathered
// while the GL evaluation walks them.
#pragma once

#include <array>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "requests/gl_request.h"
#include "specifier/account_structure.h"
#include "windows/fill_pacer.h"

namespace kovo::drill {

class SegmentValueLists {
 public:
  void clear();
  // An account code as stored (segments run together), cut by the widths.
  void add(const specifier::AccountStructure& structure, std::string_view code);
  // Ascending byte order, no value twice, blanks at the end trimmed.
  std::vector<std::string> values(int segment) const;
  bool empty() const;

 private:
  std::array<std::set<std::string, std::less<>>, specifier::kMaxSegments> values_;
};

// While an object lives, every account the GL evaluation matches goes to
// the lists, and each one counts as a row of the fill: when row stops it,
// the walk ends as if it had run out. Given a snapshot, the balance records
// walked are kept in it too.
class SegmentCollection {
 public:
  SegmentCollection(SegmentValueLists& lists, windows::RowCheck row, requests::BalanceSnapshot* keep = nullptr);
  ~SegmentCollection();
  SegmentCollection(const SegmentCollection&) = delete;
  SegmentCollection& operator=(const SegmentCollection&) = delete;
  bool stopped() const { return stopped_; }

 private:
  static void collect(const data::CompanyContext& company, std::string_view code);
  static bool stop_requested();

  SegmentValueLists& lists_;
  windows::RowCheck row_;
  bool stopped_ = false;
  requests::GlHooks saved_;
  SegmentCollection* previous_ = nullptr;
};

}  // namespace kovo::drill
