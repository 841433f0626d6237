#include "entry/dispatch.h"

#include <map>

#include "entry/messages.h"
#include "entry/request_text.h"

namespace kovo {
namespace {

constexpr CommandCode kCodes[] = {
    {2, CodeKind::Window, false},   {3, CodeKind::Window, false},
    {4, CodeKind::Window, false},   {5, CodeKind::Window, false},
    {8, CodeKind::Window, false},   {9, CodeKind::Window, false},
    {11, CodeKind::StartCalc, false}, {12, CodeKind::FinishCalc, false},
    {13, CodeKind::Window, false},  {14, CodeKind::Window, false},
    {15, CodeKind::Window, false},  {19, CodeKind::Window, true},
    {20, CodeKind::Window, false},  {21, CodeKind::Window, false},
    {22, CodeKind::Window, false},  {100, CodeKind::Value, true},
    {102, CodeKind::Value, true},   {103, CodeKind::Value, true},
    {104, CodeKind::Value, true},   {105, CodeKind::Value, true},
    {106, CodeKind::Value, true},   {114, CodeKind::Value, true},
    {115, CodeKind::Value, true},   {116, CodeKind::Value, true},
    {125, CodeKind::Version, true}, {126, CodeKind::Value, true},
    {127, CodeKind::NotSupported, true},
};

constexpr int kNotProcessed = 31;
constexpr int kFunctionNotSupported = 32;

ConnectorHost g_host;
bool g_calculating = false;

std::map<int, ValueHandler>& handlers() {
  static std::map<int, ValueHandler> table;
  return table;
}

bool returns_own_status(int code) { return code >= 114 && code <= 116; }

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
  clear_message();
  if (result && capacity > 0) result[0] = '\0';
  const std::string_view args = arguments ? arguments : "";
  const CommandCode* entry = find_command_code(code);
  if (!entry) {
    copy_to_buffer(format_message(kNotProcessed, {}), result, capacity);
    return 1;
  }
  std::string answer;
  int status = 0;
  switch (entry->kind) {
    case CodeKind::Window:
      if (g_host.window_command) g_host.window_command(code, args, answer);
      break;
    case CodeKind::StartCalc:
      g_calculating = true;
      break;
    case CodeKind::FinishCalc:
      g_calculating = false;
      if (g_host.finish_calculation) g_host.finish_calculation();
      break;
    case CodeKind::Version:
      if (g_host.version_answer) answer = g_host.version_answer();
      break;
    case CodeKind::NotSupported:
      answer = format_message(kFunctionNotSupported, {});
      break;
    case CodeKind::Value: {
      const auto found = handlers().find(code);
      if (found == handlers().end()) {
        answer = format_message(kFunctionNotSupported, {});
        if (returns_own_status(code)) status = kFunctionNotSupported;
      } else {
        const int handler_status = found->second(code, args, answer);
        if (returns_own_status(code)) status = handler_status;
      }
      break;
    }
  }
  if (entry->crlf) answer += "\r\n";
  copy_to_buffer(answer, result, capacity);
  return status;
}

}  // namespace kovo
