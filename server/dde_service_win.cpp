// The DDEML side of the service "Kovo": registration, the callback that
// turns each transaction into one call of the service, and the release of
// every handle at shutdown.
#include <windows.h>
#include <ddeml.h>

#include <vector>

#include "server/dde_tables.h"
#include "server/messages.h"
#include "server/server_win.h"

namespace kovo::server {
namespace {

constexpr std::size_t kMaxTopicName = 512;
constexpr std::size_t kCommandBytes = kMaxCommandLength + 1;

HSZ make_handle(std::string_view text) {
  const std::string copy(text);
  return DdeCreateStringHandleA(app().dde_instance, copy.c_str(), CP_WINANSI);
}

TopicRef topic_of(HSZ topic) {
  if (!topic) return kAbsentTopic;
  const ServerApp& a = app();
  for (std::size_t i = 0; i < a.topic_handles.size(); ++i)
    if (a.topic_handles[i] && DdeCmpStringHandles(topic, a.topic_handles[i]) == 0) return static_cast<TopicRef>(i);
  // A name outside the table, or one whose handle could not be made: compare by text.
  char name[kMaxTopicName + 1] = {};
  if (DdeQueryStringA(a.dde_instance, topic, name, sizeof name, CP_WINANSI) == 0) return kUnknownTopic;
  const auto found = find_topic(name);
  return found ? static_cast<TopicRef>(*found) : kUnknownTopic;
}

HDDEDATA wild_connect_pairs() {
  ServerApp& a = app();
  std::vector<HSZPAIR> pairs;
  for (std::size_t topic : a.service.wild_topics()) pairs.push_back({a.service_handle, a.topic_handles[topic]});
  pairs.push_back({nullptr, nullptr});
  return DdeCreateDataHandle(a.dde_instance, reinterpret_cast<LPBYTE>(pairs.data()),
                             static_cast<DWORD>(pairs.size() * sizeof(HSZPAIR)), 0, nullptr, CF_TEXT, 0);
}

HDDEDATA answer_request(HCONV conversation, HSZ topic, HSZ item, UINT format) {
  ServerApp& a = app();
  char item_text[kMaxItemLength + 1] = {};
  std::optional<std::string_view> item_read;
  if (item && DdeQueryStringA(a.dde_instance, item, item_text, sizeof item_text, CP_WINANSI) > 0)
    item_read = std::string_view(item_text, strnlen(item_text, kMaxItemLength));
  const std::string answer =
      a.service.request(topic_of(topic), reinterpret_cast<ConversationId>(conversation), item_read);
  if (a.service.connector_was_busy() && can_hold_transactions()) return busy_transaction(XTYP_REQUEST, item, format, answer);
  return DdeCreateDataHandle(a.dde_instance, reinterpret_cast<LPBYTE>(const_cast<char*>(answer.c_str())),
                             static_cast<DWORD>(answer.size() + 1), 0, item, format ? format : CF_TEXT, 0);
}

HDDEDATA run_execute(HCONV conversation, HSZ topic, HDDEDATA data) {
  ServerApp& a = app();
  const TopicRef ref = topic_of(topic);
  if (!a.service.topic_valid(ref)) return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
  char command[kCommandBytes] = {};
  const DWORD length = data ? DdeGetData(data, reinterpret_cast<LPBYTE>(command), kMaxCommandLength, 0) : 0;
  command[std::min<std::size_t>(length, kMaxCommandLength)] = '\0';
  const std::string_view text(command, strnlen(command, kMaxCommandLength));
  if (text.empty()) return reinterpret_cast<HDDEDATA>(DDE_FACK);
  const Ack ack = a.service.execute(ref, reinterpret_cast<ConversationId>(conversation), text);
  if (ack == Ack::kBusy) return busy_transaction(XTYP_EXECUTE, nullptr, CF_TEXT, {});
  return reinterpret_cast<HDDEDATA>(ack == Ack::kProcessed ? DDE_FACK : DDE_FNOTPROCESSED);
}

// A box or dialog shown while a transaction runs lets DDEML deliver the
// next one. Other clients are served then, except while a connector call is
// in progress (a connector's own box): the connector is never re-entered,
// and such a transaction gets the busy reply.
bool connector_busy() { return app().connector_depth > 0; }

}  // namespace

HDDEDATA CALLBACK DdeCallback(UINT type, UINT format, HCONV conversation, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                              ULONG_PTR, ULONG_PTR) {
  if (format != 0 && format != CF_TEXT) return nullptr;
  ServerApp& a = app();
  a.service.begin_transaction();
  switch (type) {
    case XTYP_CONNECT:
      return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(a.service.accept_connect(topic_of(hsz1))));
    case XTYP_WILDCONNECT:
      return wild_connect_pairs();
    case XTYP_CONNECT_CONFIRM:
      a.service.confirm_connect(reinterpret_cast<ConversationId>(conversation), topic_of(hsz1));
      return nullptr;
    case XTYP_DISCONNECT:
      a.service.disconnect(reinterpret_cast<ConversationId>(conversation));
      return nullptr;
    case XTYP_ADVSTART:
      return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(a.service.topic_valid(topic_of(hsz1))));
    case XTYP_REQUEST:
      if (connector_busy()) return busy_transaction(type, hsz2, format, connector_busy_text());
      return answer_request(conversation, hsz1, hsz2, format);
    case XTYP_EXECUTE:
      if (connector_busy()) return busy_transaction(type, nullptr, format, {});
      return run_execute(conversation, hsz1, data);
    default:
      return nullptr;
  }
}

bool start_dde_service() {
  ServerApp& a = app();
  if (DdeInitializeA(&a.dde_instance, DdeCallback, APPCMD_FILTERINITS, 0) != DMLERR_NO_ERROR) {
    a.dde_instance = 0;
    return false;
  }
  bool ok = (a.service_handle = make_handle(kServiceName)) != nullptr;
  const auto names = topic_names();
  for (std::size_t i = 0; i < names.size(); ++i) ok = (a.topic_handles[i] = make_handle(names[i])) && ok;
  for (const auto& item : item_table()) {
    HSZ handle = make_handle(item.name);
    ok = handle && ok;
    if (handle) a.item_handles.push_back(handle);
  }
  ok = ok && DdeNameService(a.dde_instance, a.service_handle, nullptr, DNS_REGISTER) != nullptr;
  if (!ok) {
    show_server_message(kMsgDdeError);
    return false;
  }
  return true;
}

void end_dde_service() {
  ServerApp& a = app();
  if (!a.dde_instance) return;
  auto check = [](bool done) {
    if (!done) show_server_message(kMsgDdeError);
  };
  check(DdeNameService(a.dde_instance, a.service_handle, nullptr, DNS_UNREGISTER) != nullptr);
  auto release = [&](HSZ& handle) {
    if (!handle) return;
    check(DdeFreeStringHandle(a.dde_instance, handle) != FALSE);
    handle = nullptr;
  };
  release(a.service_handle);
  for (HSZ& handle : a.topic_handles) release(handle);
  for (HSZ& handle : a.item_handles) release(handle);
  a.item_handles.clear();
  DdeUninitialize(a.dde_instance);
  a.dde_instance = 0;
}

}  // namespace kovo::server
