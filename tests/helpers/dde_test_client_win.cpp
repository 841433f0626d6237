// A DDE client of the server's tests, run as a process of its own so that a
// test can kill it as a crashing spreadsheet dies:
//
//   dde_test_client hold TOPIC COUNT
//       opens COUNT conversations with the service "Kovo" on TOPIC, prints
//       "held N" and then only takes its messages until it is killed;
//   dde_test_client flood TOPIC COUNT COMMAND
//       sends COUNT asynchronous executes of COMMAND (a "%d" in it becomes the
//       execute's number) without waiting for any, prints "sent N failed M",
//       and ends its conversation.
#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HDDEDATA CALLBACK ignore_all(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

void take_messages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

HCONV connect(DWORD instance, const char* topic) {
  HSZ service = DdeCreateStringHandleA(instance, "Kovo", CP_WINANSI);
  HSZ topic_handle = DdeCreateStringHandleA(instance, topic, CP_WINANSI);
  HCONV conversation = DdeConnect(instance, service, topic_handle, nullptr);
  DdeFreeStringHandle(instance, service);
  DdeFreeStringHandle(instance, topic_handle);
  return conversation;
}

// One instance a conversation, as that many spreadsheets would hold them
// (one instance does not get a second conversation on the same topic).
int hold(const char* topic, int count) {
  std::vector<HCONV> held;
  for (int i = 0; i < count; ++i) {
    DWORD instance = 0;
    if (DdeInitializeA(&instance, ignore_all, APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS, 0) != DMLERR_NO_ERROR)
      break;
    HCONV conversation = connect(instance, topic);
    if (!conversation) break;
    held.push_back(conversation);
  }
  std::printf("held %zu\n", held.size());
  std::fflush(stdout);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}

std::string numbered(const std::string& command, int n) {
  std::string text = command;
  const std::size_t mark = text.find("%d");
  if (mark != std::string::npos) text.replace(mark, 2, std::to_string(n));
  return text;
}

int flood(DWORD instance, const char* topic, int count, const std::string& command) {
  HCONV conversation = connect(instance, topic);
  if (!conversation) {
    std::printf("no conversation\n");
    return 1;
  }
  int sent = 0, failed = 0;
  for (int i = 0; i < count; ++i) {
    std::string text = numbered(command, i);
    // The transactions are left pending, never abandoned: under Wine an
    // abandoned execute may never reach the server at all.
    DWORD id = 0;
    if (DdeClientTransaction(reinterpret_cast<LPBYTE>(text.data()), static_cast<DWORD>(text.size() + 1), conversation,
                             nullptr, CF_TEXT, XTYP_EXECUTE, TIMEOUT_ASYNC, &id)) {
      ++sent;
    } else {
      ++failed;
    }
    if (i % 100 == 0) take_messages();
  }
  std::printf("sent %d failed %d\n", sent, failed);
  std::fflush(stdout);
  DdeDisconnect(conversation);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const std::string mode = argv[1];
  DWORD instance = 0;
  if (DdeInitializeA(&instance, ignore_all, APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS, 0) != DMLERR_NO_ERROR)
    return 1;
  int status = 2;
  if (mode == "hold") status = hold(argv[2], std::atoi(argv[3]));
  if (mode == "flood" && argc == 5) status = flood(instance, argv[2], std::atoi(argv[3]), argv[4]);
  DdeUninitialize(instance);
  return status;
}
