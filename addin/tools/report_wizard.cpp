#include "addin/tools/report_wizard.h"

#include <algorithm>

#include "addin/tools/wizard_lists.h"

namespace kovo::addin::tools {

namespace {

const std::vector<std::string> kNoLines;
const std::string kNoText;

std::vector<std::string> split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const auto end = text.find(separator, start);
    parts.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::string cut(std::string text, std::size_t limit) {
  if (text.size() > limit) text.resize(limit);
  return text;
}

}  // namespace

std::string range_element(std::string_view first, std::string_view last) {
  const auto a = split(first, '-'), b = split(last, '-');
  std::string text;
  for (std::size_t k = 0; k < std::max(a.size(), b.size()); ++k) {
    const std::string& low = k < a.size() ? a[k] : b[k];
    const std::string& high = k < b.size() ? b[k] : a[k];
    if (k) text += "-";
    text += low == high ? low : low + ".." + high;
  }
  return text;
}

ReportWizard::ReportWizard(WizardLink& link, WizardUi& ui, SheetSeed seed, ReportOptions options)
    : link_(link), ui_(ui), seed_(std::move(seed)), options_(std::move(options)) {
  if (seed_.title) options_.title = cut(*seed_.title, kMaxTitle);
}

const std::vector<std::string>& ReportWizard::elements() const {
  return on_axis_step() ? axis_step().elements : kNoLines;
}

const std::string& ReportWizard::axis() const { return on_axis_step() ? axis_step().axis : kNoText; }

ReportWizard::AxisStep& ReportWizard::axis_step() { return step_ == 2 ? horizontal_ : vertical_; }
const ReportWizard::AxisStep& ReportWizard::axis_step() const { return step_ == 2 ? horizontal_ : vertical_; }

const Axis* ReportWizard::find_axis(const std::string& name) const {
  for (const auto& a : axes_)
    if (a.name == name) return &a;
  return nullptr;
}

void ReportWizard::fill_choices(const std::string& list, const std::string& preselect) {
  choices_.clear();
  chosen_.reset();
  if (auto items = link_.list(list)) choices_ = std::move(*items);
  for (std::size_t i = 0; i < choices_.size(); ++i)
    if (!preselect.empty() && item_code(choices_[i]) == preselect) chosen_ = i;
}

ReportWizard::Outcome ReportWizard::enter_step() {
  values_.clear();
  values_request_.clear();
  layout_.clear();
  selected_.clear();
  chosen_axis_.clear();
  switch (step_) {
    case 0:
      // Lists come back one item a line, each with its description, and an
      // account that matches nothing counts as zero instead of failing.
      link_.setting("NA Label", "1");
      link_.setting("List Transpose", "0");
      link_.setting("List Generate Descriptions", "1");
      if (seed_.model_company && model_company_.empty()) model_company_ = *seed_.model_company;
      fill_choices("Companies", model_company_);
      return Outcome::Stay;
    case 1:
    case 2: {
      seed_axis_step();
      fill_choices("Lists", axis_step().axis);
      // The axis codes tell segments from the other axes.
      const auto names = choices_;
      if (const auto codes = link_.list("AxisData"))
        if (auto axes = pair_axes(names, *codes)) axes_ = std::move(*axes);
      layout_.assign(kLayoutItems.begin(), kLayoutItems.end());
      if (chosen_) {
        chosen_axis_ = item_code(choices_[*chosen_]);
        show_values();
      }
      return Outcome::Stay;
    }
    case 3: remaining_step(); return Outcome::Stay;
    default: return creation_step();
  }
}

void ReportWizard::seed_axis_step() {
  AxisStep& s = axis_step();
  if (s.seeded || !s.elements.empty()) return;
  s.seeded = true;
  if (const auto axis = seeded_axis(seed_, step_ == 1)) {
    s.axis = *axis;
    s.elements = step_ == 1 ? seeded_vertical(seed_) : seeded_horizontal(seed_);
  }
}

void ReportWizard::choose(std::size_t index) {
  if (index >= choices_.size()) return;
  chosen_ = index;
  if (!on_axis_step()) return;
  chosen_axis_ = item_code(choices_[index]);
  // The first values chosen make the step's axis; once there are elements,
  // another axis adds its values under them.
  if (axis_step().elements.empty()) axis_step().axis = chosen_axis_;
  show_values();
}

std::string ReportWizard::values_request() const {
  if (chosen_axis_.empty()) return {};
  const std::string& step_axis = axis_step().axis;
  // One value selected on the right: the values of another segment that the
  // accounts with that value use.
  if (selected_.size() == 1 && chosen_axis_ != step_axis) {
    const Element e = parse_element(axis_step().elements[selected_[0]]);
    const Axis* chosen = find_axis(chosen_axis_);
    const Axis* own = find_axis(step_axis);
    if (e.is_plain_value() && chosen && own && chosen->is_segment() && own->is_segment())
      return segment_request(chosen_axis_, step_axis, e.value);
  }
  return chosen_axis_;
}

void ReportWizard::show_values() {
  const std::string request = values_request();
  if (request == values_request_) return;
  values_request_ = request;
  values_.clear();
  if (request.empty()) return;
  if (auto items = link_.list(request)) values_ = std::move(*items);
}

void ReportWizard::select_elements(std::vector<std::size_t> selected) {
  if (!on_axis_step()) return;
  const std::size_t count = axis_step().elements.size();
  std::sort(selected.begin(), selected.end());
  selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
  selected.erase(std::remove_if(selected.begin(), selected.end(), [&](std::size_t i) { return i >= count; }),
                 selected.end());
  selected_ = std::move(selected);
  show_values();
}

void ReportWizard::add(const std::vector<std::size_t>& layout_selected, const std::vector<std::size_t>& values_selected) {
  if (!on_axis_step()) return;
  AxisStep& s = axis_step();
  std::vector<std::string> added;
  if (!layout_selected.empty()) {
    for (std::size_t i : layout_selected)
      if (i < layout_.size()) added.push_back(layout_[i]);
  } else {
    if (s.axis.empty()) return;
    const bool other_axis = !chosen_axis_.empty() && chosen_axis_ != s.axis;
    for (std::size_t i : values_selected)
      if (i < values_.size()) {
        const std::string code = item_code(values_[i]);
        added.push_back(other_axis ? sub_element(chosen_axis_, code) : code);
      }
  }
  if (added.empty()) return;
  const std::size_t at = selected_.empty() ? s.elements.size() : selected_.back() + 1;
  s.elements.insert(s.elements.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
  selected_.clear();
  for (std::size_t k = 0; k < added.size(); ++k) selected_.push_back(at + k);
}

void ReportWizard::remove() {
  if (!on_axis_step()) return;
  auto& elements = axis_step().elements;
  for (auto it = selected_.rbegin(); it != selected_.rend(); ++it)
    elements.erase(elements.begin() + static_cast<std::ptrdiff_t>(*it));
  selected_.clear();
  show_values();
}

void ReportWizard::edit() {
  if (!on_axis_step()) return;
  if (selected_.empty()) {
    ui_.tell(kMsgSelectToEdit);
    return;
  }
  auto& elements = axis_step().elements;
  std::vector<Element> chosen;
  for (std::size_t i : selected_) chosen.push_back(parse_element(elements[i]));
  // All values of one other axis stay under it when joined.
  std::string common_axis = chosen.front().axis;
  for (const auto& e : chosen)
    if (!e.is_sub() || e.axis != common_axis) common_axis.clear();
  const auto spec_of = [&](const Element& e) { return common_axis.empty() ? element_specifier(e) : e.value; };
  const auto wrap = [&](const std::string& spec) { return common_axis.empty() ? spec : sub_element(common_axis, spec); };

  std::string replacement;
  const bool adjacent = selected_.size() > 1 && selected_.back() - selected_.front() + 1 == selected_.size();
  if (adjacent && ui_.ask(kMsgMakeRange)) {
    replacement = wrap(range_element(spec_of(chosen.front()), spec_of(chosen.back())));
  } else {
    WizardUi::Edited shown;
    for (std::size_t k = 0; k < chosen.size(); ++k) shown.specifier += (k ? "," : "") + spec_of(chosen[k]);
    shown.specifier = wrap(shown.specifier);
    if (chosen.size() == 1) shown.description = chosen.front().description;
    const auto edited = ui_.edit_specifier(shown);
    if (!edited) return;
    replacement = edited->specifier;
    if (!edited->description.empty()) replacement += "\t" + edited->description;
  }
  const std::size_t at = selected_.front();
  for (auto it = selected_.rbegin(); it != selected_.rend(); ++it)
    elements.erase(elements.begin() + static_cast<std::ptrdiff_t>(*it));
  elements.insert(elements.begin() + static_cast<std::ptrdiff_t>(at), replacement);
  selected_ = {at};
  show_values();
}

void ReportWizard::clear() {
  model_company_.clear();
  vertical_ = {};
  horizontal_ = {};
  vertical_.seeded = horizontal_.seeded = true;  // a cleared wizard starts afresh, not from the sheet
  axes_.clear();
  remaining_.clear();
  remaining_done_ = false;
  chosen_.reset();
  chosen_axis_.clear();
  values_.clear();
  values_request_.clear();
  selected_.clear();
}

void ReportWizard::reset() {
  if (step_ == 0) {
    clear();
    return;
  }
  if (!on_axis_step() || !ui_.ask(kMsgAbandonAxis)) return;
  AxisStep& s = axis_step();
  s.axis.clear();
  s.elements.clear();
  chosen_.reset();
  chosen_axis_.clear();
  values_.clear();
  values_request_.clear();
  selected_.clear();
}

ReportWizard::Outcome ReportWizard::next() {
  switch (step_) {
    case 0: {
      std::string company;
      if (chosen_) company = item_code(choices_[*chosen_]);
      else if (!model_company_.empty()) company = model_company_;
      if (company.empty()) {
        ui_.tell(kMsgSelectCompany);
        return Outcome::Stay;
      }
      link_.setting("Company", company);
      if (company != model_company_) {
        // Another chart of accounts: the connector's lists are read anew, and
        // the axes and remaining values are asked again.
        link_.reset_lists();
        axes_.clear();
        remaining_done_ = false;
      }
      model_company_ = company;
      step_ = 1;
      return Outcome::Stay;
    }
    case 1:
    case 2: {
      const AxisStep& s = axis_step();
      if (s.elements.empty()) {
        ui_.tell(step_ == 1 ? kMsgSelectVertical : kMsgSelectHorizontal);
        return Outcome::Stay;
      }
      if (step_ == 2 && s.axis == vertical_.axis) {
        ui_.tell(kMsgSameAxes);
        return Outcome::Stay;
      }
      ++step_;
      return Outcome::Stay;
    }
    case 3:
      if (!remaining_done_) {
        ui_.tell(kMsgSelectRemaining);
        return Outcome::Stay;
      }
      step_ = 4;
      return Outcome::Stay;
    default: return creation_step();
  }
}

void ReportWizard::previous() {
  if (step_ > 0) --step_;
}

std::string ReportWizard::first_value(const std::string& axis) {
  // The current fiscal year and the first budget head their lists.
  const auto items = link_.list(axis);
  return items && !items->empty() ? item_code(items->front()) : std::string();
}

std::vector<std::string> ReportWizard::values_of(const RemainingAxis& axis) {
  std::vector<std::string> codes;
  if (const auto items = link_.list(axis.name))
    for (const auto& item : *items) codes.push_back(item_code(item));
  return codes;
}

bool ReportWizard::remaining_step() {
  remaining_done_ = false;
  const auto names = link_.list("Lists");
  if (!names) return false;
  const auto codes = link_.list("AxisData");
  if (!codes) return false;
  const auto axes = pair_axes(*names, *codes);
  if (!axes || !axis_count_allowed(axes->size())) {
    ui_.tell(kMsgAxisCount, std::to_string(axes ? axes->size() : names->size()));
    return false;
  }
  axes_ = *axes;
  std::vector<RemainingAxis> shown;
  std::vector<RemainingAxis> hidden;
  for (const auto& a : axes_) {
    if (a.name == vertical_.axis || a.name == horizontal_.axis) continue;
    RemainingAxis r{a.name, a.code, {}, {}};
    const auto seeded = seeded_value(seed_, a.name);
    if (const auto it = remaining_.find(a.name); it != remaining_.end()) r.value = it->second;
    else if (seeded && *seeded != "Vertical" && *seeded != "Horizontal") r.value = *seeded;
    else if (a.code == kCompanyAxis) r.value = model_company_;
    else if (a.is_segment()) r.value = "*";
    else if (a.code == kYearAxis || a.code == kBudgetAxis) r.value = first_value(a.name);
    (shown.size() < kMaxRemainingShown ? shown : hidden).push_back(std::move(r));
  }
  for (auto& r : shown) {
    // Segment lists can be long: over DDE they are asked when their box opens.
    if (link_.lists_as_text() && r.is_segment_axis()) {
      if (!r.value.empty()) r.items = {r.value};
    } else {
      r.items = values_of(r);
    }
  }
  if (!ui_.remaining_axes(shown, [this](const RemainingAxis& r) { return values_of(r); })) return false;
  for (const auto& r : shown) remaining_[r.name] = r.value;
  for (const auto& r : hidden) remaining_[r.name] = r.value;
  remaining_done_ = true;
  return true;
}

ReportWizard::Outcome ReportWizard::creation_step() {
  ReportOptions shown = options_;
  if (!ui_.report_creation(shown)) return Outcome::Stay;
  shown.title = cut(shown.title, kMaxTitle);
  shown.formatting_macro = cut(shown.formatting_macro, kMaxMacro);
  options_ = shown;
  link_.save_options(options_);
  return Outcome::Finished;
}

ReportChoices ReportWizard::report() const {
  ReportChoices c;
  c.model_company = model_company_;
  c.axes = axes_;
  c.vertical_axis = vertical_.axis;
  c.horizontal_axis = horizontal_.axis;
  c.vertical = vertical_.elements;
  c.horizontal = horizontal_.elements;
  for (const auto& a : axes_) {
    if (a.name == vertical_.axis || a.name == horizontal_.axis) continue;
    const auto it = remaining_.find(a.name);
    c.remaining.push_back(it == remaining_.end() ? std::string() : it->second);
  }
  c.title = options_.title;
  return c;
}

}  // namespace kovo::addin::tools
