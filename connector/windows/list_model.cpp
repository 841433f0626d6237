#include "windows/list_model.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numeric>
#include <variant>

namespace kovo::windows {
namespace {

std::string folded(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// One column's sort keys for some rows, read once per sort.
using Keys = std::variant<std::vector<std::string>, std::vector<double>>;

Keys keys_of(const ListRows& rows, std::size_t column, SortKey key, const std::vector<std::size_t>& which) {
  if (key == SortKey::Text) {
    std::vector<std::string> texts(which.size());
    for (std::size_t i = 0; i < which.size(); ++i) texts[i] = folded(rows.text(which[i], column));
    return texts;
  }
  std::vector<double> numbers(which.size());
  for (std::size_t i = 0; i < which.size(); ++i) {
    const double n = rows.number(which[i], column);
    numbers[i] = key == SortKey::AbsoluteNumber ? std::fabs(n) : n;
  }
  return numbers;
}

// -1, 0 or 1 as key a sorts before, with or after key b.
int compare(const Keys& keys, std::size_t a, std::size_t b) {
  return std::visit(
      [&](const auto& k) {
        if (k[a] < k[b]) return -1;
        if (k[b] < k[a]) return 1;
        return 0;
      },
      keys);
}

// Sorts places (indexes into keys) stably by the keys, in either direction.
void sort_places(std::vector<std::size_t>& places, const Keys& keys, bool descending) {
  std::stable_sort(places.begin(), places.end(), [&](std::size_t a, std::size_t b) {
    const int order = compare(keys, a, b);
    return descending ? order > 0 : order < 0;
  });
}

}  // namespace

void TableRows::add(std::vector<std::string> texts, std::vector<double> numbers) {
  rows_.push_back({std::move(texts), std::move(numbers)});
}

std::string TableRows::text(std::size_t row, std::size_t column) const {
  if (row >= rows_.size() || column >= rows_[row].texts.size()) return {};
  return rows_[row].texts[column];
}

double TableRows::number(std::size_t row, std::size_t column) const {
  if (row >= rows_.size() || column >= rows_[row].numbers.size()) return 0.0;
  return rows_[row].numbers[column];
}

ListModel::ListModel(const ListRows& rows, std::vector<ListColumn> columns) : rows_(rows), columns_(std::move(columns)) {
  rows_changed();
}

void ListModel::set_columns(std::vector<ListColumn> columns) {
  columns_ = std::move(columns);
  sort_column_.reset();
  descending_ = false;
  order_.clear();
  rows_changed();
}

void ListModel::show_column(std::size_t column, bool shown) {
  if (column < columns_.size()) columns_[column].shown = shown;
}

void ListModel::set_sort_key(std::size_t column, SortKey key) {
  if (column < columns_.size()) columns_[column].key = key;
}

void ListModel::rows_changed() {
  const std::size_t count = rows_.row_count();
  if (count < order_.size()) {
    order_.clear();
    sort_column_.reset();
    descending_ = false;
  }
  const std::size_t known = order_.size();
  order_.resize(count);
  std::iota(order_.begin() + static_cast<std::ptrdiff_t>(known), order_.end(), known);
}

void ListModel::rows_replaced() {
  order_.clear();
  sort_column_.reset();
  descending_ = false;
  rows_changed();
}

std::string ListModel::text(std::size_t place, std::size_t column) const {
  if (place >= order_.size() || column >= columns_.size()) return {};
  return rows_.text(order_[place], column);
}

void ListModel::click_column(std::size_t column) {
  if (column >= columns_.size()) return;
  descending_ = sort_column_ == column ? !descending_ : false;
  sort_column_ = column;
  sort();
}

void ListModel::sort() {
  if (!sort_column_) return;
  // Rows in the order they came, so that equal rows keep it.
  std::vector<std::size_t> rows(order_.size());
  std::iota(rows.begin(), rows.end(), std::size_t{0});
  const Keys keys = keys_of(rows_, *sort_column_, columns_[*sort_column_].key, rows);
  std::vector<std::size_t> places = rows;
  sort_places(places, keys, descending_);
  // Runs of equal keys are ordered by the tie column, whose keys are read
  // for those rows only: amounts seldom tie, and reading every row's text
  // would cost more than the sort.
  const bool ties = tie_column_ && *tie_column_ < columns_.size() && *tie_column_ != *sort_column_;
  for (std::size_t start = 0; ties && start < places.size();) {
    std::size_t end = start + 1;
    while (end < places.size() && compare(keys, places[start], places[end]) == 0) ++end;
    if (end - start > 1) {
      const std::vector<std::size_t> run(places.begin() + static_cast<std::ptrdiff_t>(start),
                                         places.begin() + static_cast<std::ptrdiff_t>(end));
      const Keys tie_keys = keys_of(rows_, *tie_column_, columns_[*tie_column_].key, run);
      std::vector<std::size_t> within(run.size());
      std::iota(within.begin(), within.end(), std::size_t{0});
      sort_places(within, tie_keys, descending_);
      for (std::size_t i = 0; i < within.size(); ++i) places[start + i] = run[within[i]];
    }
    start = end;
  }
  order_ = std::move(places);
}

std::string ListModel::tab_separated(bool header) const {
  std::string out;
  auto line = [&](auto cell) {
    bool first = true;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      if (!columns_[c].shown) continue;
      if (!first) out += '\t';
      first = false;
      out += cell(c);
    }
    out += "\r\n";
  };
  if (header) line([&](std::size_t c) { return columns_[c].title; });
  for (std::size_t place = 0; place < order_.size(); ++place) line([&](std::size_t c) { return text(place, c); });
  return out;
}

}  // namespace kovo::windows
