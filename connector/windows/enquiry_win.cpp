// The account enquiry window (ACCOUNT_INQUIRE): moves values between its
// controls and the enquiry controller, which decides everything.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "entry/connector_win.h"
#include "entry/settings.h"
#include "resources/resource_ids.h"
#include "windows/dialog_win.h"
#include "windows/enquiry_controller.h"
#include "windows/enquiry_win.h"
#include "windows/window_handoffs.h"

namespace kovo::windows {
namespace {

class EnquiryWindow : public ConnectorDialog, public enquiry::EnquiryDisplay {
 protected:
  void on_open() override {
    reports_to_ = opener_slot();
    const enquiry::EnquiryOpening opening = controller_.open();
    set_checked(IDC_INQ_BUDGET, !opening.revised);
    set_checked(IDC_INQ_REVISED, opening.revised);
    set_text(IDC_INQ_COMPANY, opening.company);
    show_period(opening.period);
    if (opening.company_failed) {
      show_choices(enquiry::EnquiryChoices{});
      return;
    }
    show_choices(opening.choices);
    set_text(IDC_INQ_YEAR, opening.year);
    for (int i = 0; i < enquiry::kSegmentBoxes; ++i)
      set_text(IDC_INQ_SEGMENT_BASE + i, opening.choices.segments[static_cast<std::size_t>(i)].value);
  }

  void on_command(int control, int notification) override {
    switch (control) {
      case IDC_INQ_GET_BALANCE:
        if (notification == BN_CLICKED) {
          WaitCursor wait;
          controller_.get_balance(fields());
        }
        return;
      case IDC_INQ_TO_DRILL:
        if (notification == BN_CLICKED) controller_.to_drill(fields());
        return;
      case IDC_INQ_TO_CHART:
        if (notification == BN_CLICKED) controller_.to_chart(fields());
        return;
      case IDC_INQ_PERIOD_BUTTON:
        if (notification == BN_CLICKED) controller_.period_wizard(fields());
        return;
      case IDC_INQ_COMPANY:
        return company_notified(notification);
      case kWizardPeriodChosen:
        if (const auto* chosen = reinterpret_cast<const PeriodWizardResult*>(command_value()))
          controller_.wizard_period(chosen->specifier);
        return;
      default:
        return;  // OK (1) does nothing: an automated enquiry only closes
    }
  }

  void on_quit() override { controller_.quit(fields(), reports_to_); }

  // ---------------------------------------------------------------- EnquiryDisplay

  void show_period(std::string_view period) override { set_text(IDC_INQ_PERIOD, period); }
  void show_balance(std::string_view balance) override { set_text(IDC_INQ_BALANCE, balance); }

 private:
  // The connector window that was active when this one opened: it takes
  // the enquiry when this one closes.
  std::optional<Slot> opener_slot() const {
    if (automation()) return std::nullopt;
    HWND active = GetActiveWindow();
    for (const WindowKind& kind : window_kinds())
      if (kind.slot != kSlotEnquiry && active && window_of(kind.slot) == active) return kind.slot;
    return std::nullopt;
  }

  enquiry::EnquiryFields fields() const {
    enquiry::EnquiryFields f;
    f.company = text(IDC_INQ_COMPANY);
    f.year = text(IDC_INQ_YEAR);
    f.period = text(IDC_INQ_PERIOD);
    for (int i = 0; i < enquiry::kSegmentBoxes; ++i) f.segments[static_cast<std::size_t>(i)] = text(IDC_INQ_SEGMENT_BASE + i);
    f.revised = checked(IDC_INQ_REVISED);
    const auto index = SendDlgItemMessageA(handle(), IDC_INQ_BY, CB_GETCURSEL, 0, 0);
    if (index >= 0 && static_cast<std::size_t>(index) < by_codes_.size()) f.by = by_codes_[static_cast<std::size_t>(index)];
    return f;
  }

  void show_choices(const enquiry::EnquiryChoices& choices) {
    const std::string company = text(IDC_INQ_COMPANY);
    set_combo_items(IDC_INQ_COMPANY, choices.companies);
    set_text(IDC_INQ_COMPANY, company);
    set_combo_items(IDC_INQ_YEAR, choices.years);
    set_text(IDC_INQ_YEAR, choices.year);
    for (int i = 0; i < enquiry::kSegmentBoxes; ++i) {
      const enquiry::SegmentBox& box = choices.segments[static_cast<std::size_t>(i)];
      set_text(IDC_INQ_SEGMENT_LABEL_BASE + i, box.label.empty() ? "Segment " + std::to_string(i + 1) + ":" : box.label);
      set_combo_items(IDC_INQ_SEGMENT_BASE + i, box.items);
      set_text(IDC_INQ_SEGMENT_BASE + i, {});
      enable(IDC_INQ_SEGMENT_BASE + i, box.enabled);
    }
    std::vector<std::string> labels;
    by_codes_.clear();
    for (const enquiry::ByEntry& entry : choices.by) {
      labels.push_back(entry.label);
      by_codes_.push_back(entry.code);
    }
    set_combo_items(IDC_INQ_BY, labels);
    SendDlgItemMessageA(handle(), IDC_INQ_BY, CB_SETCURSEL, static_cast<WPARAM>(choices.by_selected), 0);
    show_balance({});
  }

  void company_notified(int notification) {
    if (notification == CBN_EDITCHANGE || notification == CBN_SELCHANGE) company_changed_ = true;
    if (notification != CBN_KILLFOCUS || !company_changed_) return;
    company_changed_ = false;
    if (const auto choices = controller_.company_changed(text(IDC_INQ_COMPANY))) show_choices(*choices);
  }

  enquiry::EnquiryController controller_{settings(), *this, *this, [](double v) { return window_amount(v); }};
  std::vector<int> by_codes_;
  std::optional<Slot> reports_to_;
  bool company_changed_ = false;
};

}  // namespace

void install_enquiry_window() { install_window<EnquiryWindow>(kSlotEnquiry); }

}  // namespace kovo::windows
