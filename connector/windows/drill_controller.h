// What the drill-down window decides: the query it opens with, what Drill
// By, the company, the year and the period change, the drill itself (a
// figure broken down by one segment's values, or the transactions behind
// it), sorting and highlighting, gathering the rows for the clipboard, and
// what the buttons hand to other windows. The dialog moves values between
// its controls and this, and shows what the display interface tells it.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "entry/settings.h"
#include "requests/tran_reader.h"
#include "windows/drill_clipboard.h"
#include "windows/drill_dates.h"
#include "windows/drill_query.h"
#include "windows/drill_rows.h"
#include "windows/list_model.h"
#include "windows/window_handoffs.h"
#include "windows/segment_collector.h"
#include "windows/window_services.h"

namespace kovo::drill {

// The extra transaction filters as typed.
struct DrillFilters {
  std::string job_cost_type;  // "Job No, Cost Type:" (transactions of the older data)
  std::array<std::string, 3> job{};    // "Job No.:", "Cost Type:", "Cost Code:"
  std::array<std::string, 5> grant{};  // "Grant ID:", "COE:", "Fund Source:", "Program:", "Activity:"
  bool operator==(const DrillFilters&) const = default;
};

// The query fields as the window holds them.
struct DrillFields {
  std::string company, year, period, account;
  DrillFilters filters;
};

// Which filter fields take input.
enum class FilterGroup { None, JobCostType, JobCost, Grant };

// The window's choices after opening or a change of company.
struct DrillChoices {
  std::vector<std::string> drill_by;
  int selected = 0;
  std::vector<std::string> companies;
  std::vector<std::string> years;
  FilterGroup filters = FilterGroup::None;
  bool unposted_enabled = false;
};

// The window as it opens.
struct DrillOpening {
  DrillChoices choices;
  std::string company, year, period, account;
  bool revised = false;
  bool include_unposted = false;
  bool company_failed = false;  // the company could not be used: the lists stay empty
};

// What the controller has the window show.
class DrillDisplay {
 public:
  virtual ~DrillDisplay() = default;
  virtual void show_account(std::string_view account) = 0;
  virtual void show_period(std::string_view period) = 0;
  virtual void show_total(std::string_view total) = 0;
  virtual void show_count(std::size_t count) = 0;
  virtual void show_filters(const DrillFilters& filters) = 0;
  virtual void focus_account() = 0;
  // The list model's columns, or its rows, are new.
  virtual void columns_changed() = 0;
  virtual void rows_changed() = 0;
};

// Rows a list takes before the rest of a fill goes to the clipboard only.
inline constexpr std::size_t kListCapacity = 250000;

enum DrillMessage : int {
  kMessageSettingsNotWritten = 60,
  kMessageClipboardMemory = 62,
  kMessageInvalidPeriod = 63,
  kMessageRowSpecifierTooLong = 64,
  kMessageStopDrill = 66,
  kMessageListFull = 69,
  kMessageR1C1Warning = 200,
};

class DrillController {
 public:
  DrillController(Settings& settings, windows::WindowServices& services, DrillDisplay& display,
                  AmountText amount_text, std::size_t list_capacity = kListCapacity);

  windows::ListModel& model() { return model_; }
  const DrillRows& rows() const { return rows_; }
  std::size_t record_count() const { return count_; }
  DrillKind kind() const;
  const ClipboardText& clipboard_text() const { return clipboard_; }

  // The window opens on the drill settings, or on the query another window
  // handed it, which becomes the drill settings.
  DrillOpening open(const windows::DrillStart* start = nullptr);

  // "Drill By" chose another entry: the filter fields it enables.
  FilterGroup select_drill_by(int index);
  bool unposted_enabled() const;
  // The company field lost the focus after a change: the new choices, or
  // nothing when the company could not be used (the reason was shown).
  std::optional<DrillChoices> company_changed(std::string_view company);
  void year_changed(std::string_view year);
  void period_edited();
  void type_changed(bool revised);
  void include_unposted_changed(bool on);

  // "&Drill".
  void drill(const DrillFields& fields);
  // "&Send to Clipboard": the list appended to the clipboard text; without a
  // user the text goes to the clipboard at once.
  void send();
  // The window lost or got the activation: the text gathered goes to the
  // clipboard; a fresh one begins.
  void deactivated();
  void activated();
  // A double click on a row.
  void row_activated(std::size_t row);
  // The options window changed the columns or the view options.
  void options_changed(bool transaction_view_only);

  void to_chart(const DrillFields& fields);
  void accounts();
  void period_wizard(const DrillFields& fields);
  void advanced();
  // The period wizard's answers.
  void wizard_period(std::string_view specifier);
  void wizard_dates(std::string_view from, std::string_view to);

  void quit();

 private:
  struct Query {
    std::string account, year, period, companies;
    data::CompanyContext* company = nullptr;  // the first named
    specifier::PeriodList periods;
    int year_number = 0;
  };
  data::CompanyContext* look_up(std::string_view companies, bool show_failure);
  DrillChoices choices_for(data::CompanyContext& company);
  FilterGroup filter_group() const;
  void set_view(DrillRows::View view);
  void apply_view_options();
  bool recompute_dates(const DrillFields* fields = nullptr);
  bool explicit_dates();
  std::optional<Query> read_query(const DrillFields& fields);
  void drill_segments(const Query& q, windows::FillWork& fill);
  void list_segment_rows(const Query& q, windows::FillWork& fill, const requests::BalanceSnapshot* walked);
  void list_transactions(const Query& q, const DrillFields& fields, windows::FillWork& fill);
  bool take_transaction(const data::CompanyContext& c, const layout::TransactionRecord& t,
                        const windows::RowCheck& check);
  bool write_rows();
  bool write_transaction_header();
  bool write_segment_header();
  bool write_transaction_rows();
  bool write_segment_rows();
  bool write_overflow_line(const std::string& account, const layout::TransactionRecord& t);
  void hand_over();

  Settings& settings_;
  windows::WindowServices& services_;
  DrillDisplay& display_;
  std::size_t capacity_;
  DrillRows rows_;
  windows::ListModel model_;
  SegmentValueLists segment_values_;
  ClipboardText clipboard_;
  std::vector<DrillByEntry> entries_;
  int data_version_ = 7;
  std::size_t count_ = 0;
  double total_ = 0;
  bool columns_dirty_ = false;
  bool overflowing_ = false;
  std::optional<DateRange> dates_;
  // The last drill, which the clipboard's header names.
  std::string drilled_account_, drilled_year_, drilled_period_, drilled_companies_;
  int drilled_year_number_ = 0;
  DrillKind drilled_kind_ = DrillKind::Segment;
  int drilled_segment_ = 0;
  bool drilled_ = false;
  bool listed_ = false;  // the last drill ran and the list holds its rows
  TransactionRows overflow_row_;
};

}  // namespace kovo::drill
