#include "windows/segment_collector.h"

#include <algorithm>

#include "data/companies.h"

namespace kovo::drill {
namespace {

SegmentCollection* g_active = nullptr;

std::string trimmed(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

}  // namespace

void SegmentValueLists::clear() {
  for (auto& values : values_) values.clear();
}

void SegmentValueLists::add(const specifier::AccountStructure& structure, std::string_view code) {
  std::size_t at = 0;
  const int count = std::min(structure.segment_count, specifier::kMaxSegments);
  for (int s = 0; s < count; ++s) {
    const auto width = static_cast<std::size_t>(std::max(structure.width[static_cast<std::size_t>(s)], 0));
    const std::string_view part = at < code.size() ? code.substr(at, width) : std::string_view{};
    std::string value = trimmed(part);
    auto& values = values_[static_cast<std::size_t>(s)];
    if (values.find(value) == values.end()) values.insert(std::move(value));
    at += width;
  }
}

std::vector<std::string> SegmentValueLists::values(int segment) const {
  if (segment < 0 || segment >= specifier::kMaxSegments) return {};
  const auto& values = values_[static_cast<std::size_t>(segment)];
  return {values.begin(), values.end()};
}

bool SegmentValueLists::empty() const {
  return std::all_of(values_.begin(), values_.end(), [](const auto& v) { return v.empty(); });
}

SegmentCollection::SegmentCollection(SegmentValueLists& lists, windows::RowCheck row,
                                     requests::BalanceSnapshot* keep)
    : lists_(lists), row_(std::move(row)), saved_(requests::gl_hooks()), previous_(g_active) {
  g_active = this;
  requests::GlHooks& hooks = requests::gl_hooks();
  hooks.collecting = true;
  hooks.collect_segments = &SegmentCollection::collect;
  hooks.stop_requested = &SegmentCollection::stop_requested;
  hooks.keep_balances = keep;
}

SegmentCollection::~SegmentCollection() {
  requests::gl_hooks() = saved_;
  g_active = previous_;
}

void SegmentCollection::collect(const data::CompanyContext& company, std::string_view code) {
  SegmentCollection* self = g_active;
  if (!self || self->stopped_) return;
  self->lists_.add(company.structure, code);
  if (self->row_ && !self->row_()) self->stopped_ = true;
}

bool SegmentCollection::stop_requested() { return g_active && g_active->stopped_; }

}  // namespace kovo::drill
