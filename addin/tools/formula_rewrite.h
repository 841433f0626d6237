// Formula texts the add-in rewrites in place: recognising the product's own
// functions in a formula (viewer copies turn those cells into constants)
// and removing the older generation's "KovoV5.CONNECT." call prefix.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kovo::addin::tools {

// The names that make a formula the product's: every worksheet function
// the add-in registers, and the product's other request items.
std::span<const std::string_view> product_function_names();

// True when the formula calls one of the product's functions: the name,
// without regard to case, standing as a whole name directly before "(" and
// outside a quoted text. =MOD(A1,2) and ="GL(" are not product formulas.
bool is_product_formula(std::string_view formula);

// The older generation's prefix and the test for a formula that carries it
// (the first 255 characters, compared in upper case).
inline constexpr std::string_view kV5Prefix = "KovoV5.CONNECT.";
bool needs_migration(std::string_view formula);
// Every "KovoV5.CONNECT." removed (compared in upper case), from the last
// occurrence to the first; "=" put in front when the result has none.
std::string migrate_formula(std::string_view formula);

// "NoShow=1" at the start of a command's argument (compared over its
// length, without regard to case) skips the viewer copy's question.
bool skips_question(std::string_view argument);

// The requests recorded while a viewer copy re-enters one cell's formula.
// Each cell starts afresh, so a cell whose formula records nothing gets no
// note, never the request of the cell before it.
class RequestCapture {
 public:
  void begin() { active_ = true, requests_.clear(); }
  bool active() const { return active_; }
  // Called for each request a product function would have sent.
  void record(std::string_view request);
  // Ends the cell: its note (the requests, one a line), or nothing.
  std::optional<std::string> end();

 private:
  bool active_ = false;
  std::string requests_;
};

inline constexpr std::string_view kWholeSheetMigrate = "Why would you try to do migrate on over 4 million cells?";
inline constexpr std::string_view kMigrating = " Migrating Kovo formulas, please wait...";
inline constexpr std::string_view kMigrated = " Migrating Kovo formulas done.";

}  // namespace kovo::addin::tools
