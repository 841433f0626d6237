// The sheet account analysis: which accounts of each company a recorded
// calculation read and how often, and the runs of the chart it never read,
// as the tab-separated text that FINISH_CALC puts on the clipboard.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kovo::data {
struct CompanyContext;
}

namespace kovo::analysis {

// One company's part, from its chart (codes as shown, in account order) and
// its used accounts (as shown, with descriptions and counts, in order of
// first use).
struct UsedLine {
  std::string code, description;
  int count = 0;
};
std::string company_analysis(std::string_view name, const std::vector<std::string>& chart,
                             const std::vector<std::string>& chart_stored,
                             const std::vector<std::string>& used_stored, const std::vector<UsedLine>& used);

// The analysis of every loaded company with recorded accounts, whose lists
// are then released; empty when none recorded any. A company whose chart
// cannot be read is left out.
std::string finish_analysis();

}  // namespace kovo::analysis
