// What the account enquiry window decides: the company's segment boxes and
// their known values, the balance of the chosen account, what the buttons
// hand to the drill-down, chart and period wizard windows, and the table
// that closing leaves on the clipboard for the spreadsheet. The dialog
// moves values between its controls and this.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "entry/settings.h"
#include "windows/enquiry_block.h"
#include "windows/window_services.h"

namespace kovo::data {
struct CompanyContext;
}

namespace kovo::enquiry {

inline constexpr int kSegmentBoxes = 10;

enum EnquiryMessage : int {
  kMessageMissingSegment = 19,
  kMessageClipboardMemory = 62,
  kMessageInvalidPeriod = 63,
};

struct SegmentBox {
  std::string label;  // the segment's name and ":", or "Segment n:"
  bool enabled = false;
  std::vector<std::string> items;  // "value; description", or the entities file's listing
  std::string value;               // chosen when the window opens
};

struct ByEntry {
  std::string label;
  int code = kByPeriod;
};

// What the company gives the window.
struct EnquiryChoices {
  std::vector<std::string> companies, years;
  std::array<SegmentBox, kSegmentBoxes> segments{};
  std::vector<ByEntry> by;
  int by_selected = 0;  // "Period"
  std::string year;     // the company's current fiscal year
};

struct EnquiryOpening {
  EnquiryChoices choices;
  std::string company, year, period;
  bool revised = false;
  bool company_failed = false;  // the lists stay empty
};

// The window's fields as the user left them.
struct EnquiryFields {
  std::string company, year, period;
  std::array<std::string, kSegmentBoxes> segments{};  // as shown: "value; description" or a typed value
  bool revised = false;
  int by = kByPeriod;
};

class EnquiryDisplay {
 public:
  virtual ~EnquiryDisplay() = default;
  virtual void show_period(std::string_view period) = 0;
  virtual void show_balance(std::string_view balance) = 0;
};

using AmountText = std::function<std::string(double)>;

// The balance as the window shows it: below 0.001 either way it is "0.00".
std::string balance_text(double balance, const AmountText& amount_text);

class EnquiryController {
 public:
  EnquiryController(Settings& settings, windows::WindowServices& services, EnquiryDisplay& display,
                    AmountText amount_text)
      : settings_(settings), services_(services), display_(display), amount_text_(std::move(amount_text)) {}

  // The window opens on the settings' company (the clipboard is emptied,
  // so that nothing earlier is taken for this enquiry); its segments start
  // from the last account built when that names one account of the company,
  // its period from the last period.
  EnquiryOpening open();
  // The company field lost the focus with another code: its choices, or
  // nothing when it could not be used (the reason was shown).
  std::optional<EnquiryChoices> company_changed(std::string_view company);

  // "&Get Balance".
  void get_balance(const EnquiryFields& fields);
  void to_drill(const EnquiryFields& fields);
  void to_chart(const EnquiryFields& fields);
  void period_wizard(const EnquiryFields& fields);
  // The period wizard's OK: its specifier.
  void wizard_period(std::string_view specifier);

  // Quit: the enquiry's table on the clipboard, the window it was opened
  // from told to take the enquiry (when there is one), and the window
  // closes. A period that does not parse keeps it open.
  void quit(const EnquiryFields& fields, std::optional<windows::Slot> reports_to);

  const std::vector<std::string>& segment_names() const { return names_; }

 private:
  data::CompanyContext* look_up(std::string_view company);
  EnquiryChoices choices_for(data::CompanyContext& company);
  bool period_parses(const EnquiryFields& fields);
  std::vector<std::string> values_of(const EnquiryFields& fields) const;
  std::optional<std::string> account(const EnquiryFields& fields);
  std::string type_of(const EnquiryFields& fields) const;

  Settings& settings_;
  windows::WindowServices& services_;
  EnquiryDisplay& display_;
  AmountText amount_text_;
  std::vector<std::string> names_;  // the company's segment names, one per segment
  bool company_loaded_ = false;
};

}  // namespace kovo::enquiry
