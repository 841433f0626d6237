#include "entry/dispatch.h"

#include <map>

#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "entry/request_text.h"

namespace kovo {
namespace {

using namespace codes;

constexpr CommandCode kCodes[] = {
    {kPassword, CodeKind::Window, false},     {kSetup, CodeKind::Window, false},
    {kChart, CodeKind::Window, false},        {kDrillDown, CodeKind::Window, false},
    {kShowConnector, CodeKind::Window, false}, {kDllHelp, CodeKind::Window, false},
    {kStartCalc, CodeKind::StartCalc, false}, {kFinishCalc, CodeKind::FinishCalc, false},
    {kBudget, CodeKind::Window, false},       {kPeriodWizard, CodeKind::Window, false},
    {kDllSetup, CodeKind::Window, false},     {kList, CodeKind::Window, true},
    {kDataPreload, CodeKind::Window, false},  {kReset, CodeKind::Window, false},
    {kInquire, CodeKind::Window, false},      {kGl, CodeKind::Value, true},
    {kNgl, CodeKind::Value, true},            {kDesc, CodeKind::Value, true},
    {kGlTran, CodeKind::Value, true},         {kGtTran, CodeKind::Value, true},
    {kJcTran, CodeKind::Value, true},         {kSdesc, CodeKind::Value, true},
    {kCodata, CodeKind::Value, true},         {kAcctData, CodeKind::Value, true},
    {kVersion, CodeKind::Version, true},      {kWgl, CodeKind::Value, true},
    {kNotSupported, CodeKind::NotSupported, true},
};

constexpr int kMessageNotProcessed = 31;
constexpr int kMessageFunctionNotSupported = 32;

ConnectorHost g_host;
bool g_calculating = false;

std::map<int, ValueHandler>& handlers() {
  static std::map<int, ValueHandler> table;
  return table;
}

bool returns_own_status(int code) { return code >= kSdesc && code <= kAcctData; }

// Runs the handler of a listed code; the answer is written by the caller.
int run(const CommandCode& entry, std::string_view args, std::string& answer) {
  switch (entry.kind) {
    case CodeKind::Window:
      return g_host.window_command ? g_host.window_command(entry.code, args, answer) : kStatusProcessed;
    case CodeKind::StartCalc:
      g_calculating = true;
      return kStatusProcessed;
    case CodeKind::FinishCalc:
      g_calculating = false;
      if (g_host.finish_calculation) g_host.finish_calculation();
      return kStatusProcessed;
    case CodeKind::Version:
      if (g_host.version_answer) answer = g_host.version_answer();
      return kStatusProcessed;
    case CodeKind::NotSupported:
      answer = format_message(kMessageFunctionNotSupported, {});
      return kStatusProcessed;
    case CodeKind::Value:
      break;
  }
  const auto found = handlers().find(entry.code);
  if (found == handlers().end()) {
    answer = format_message(kMessageFunctionNotSupported, {});
    return returns_own_status(entry.code) ? kMessageFunctionNotSupported : kStatusProcessed;
  }
  const int status = found->second(entry.code, args, answer);
  return returns_own_status(entry.code) ? status : kStatusProcessed;
}

}  // namespace

const CommandCode* find_command_code(int code) {
  for (const auto& entry : kCodes)
    if (entry.code == code) return &entry;
  return nullptr;
}

void register_value_handler(int code, ValueHandler handler) { handlers()[code] = handler; }
void set_connector_host(const ConnectorHost& host) { g_host = host; }
bool calculation_in_progress() { return g_calculating; }

int connector_interface(int code, const char* arguments, char* result, std::size_t capacity) {
  if (result && capacity > 0) result[0] = '\0';
  const CommandCode* entry = find_command_code(code);
  if (connector_busy()) {
    // A request that slipped in through a nested message loop: the work
    // under way holds the connector's buffers and file positions.
    std::string busy = format_message(kMessageBusy, {});
    if (entry && entry->crlf) busy += "\r\n";
    copy_to_buffer(busy, result, capacity);
    return kStatusBusy;
  }
  const BusyScope in_call(Work::kCall);
  clear_message();
  if (!entry) {
    copy_to_buffer(format_message(kMessageNotProcessed, {}), result, capacity);
    return kStatusNotProcessed;
  }
  std::string answer;
  const int status = run(*entry, arguments ? arguments : "", answer);
  if (entry->kind != CodeKind::Window) {
    if (entry->crlf) answer += "\r\n";
  } else if (status == kStatusProcessed && (entry->crlf || !answer.empty())) {
    // A text an automated window handed back is a result text like any
    // other; a refused window command answers its reason as the unknown
    // codes do, without a line end.
    answer += "\r\n";
  }
  copy_to_buffer(answer, result, capacity);
  return status;
}

}  // namespace kovo
