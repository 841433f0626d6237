// The server's service without DDE: connections, request and command
// handling, the choice of a connector, over a host that records what the
// service asks of it.
#include <gtest/gtest.h>

#include "fuzz_support.h"

#include <map>
#include <string>
#include <vector>

#include "connector/entry/command_codes.h"
#include "server/service.h"

namespace {

using namespace kovo::server;

constexpr std::size_t kLedra5 = 5;
constexpr std::size_t kKesta1 = 9;

struct Call {
  std::size_t topic;
  int code;
  std::string arguments;
  bool with_result;
  bool operator==(const Call&) const = default;
};

class RecordingHost : public ServiceHost {
 public:
  Service* service = nullptr;
  std::vector<Call> calls;
  std::vector<std::string> boxes;
  std::vector<std::vector<std::string>> dialogs;
  std::optional<std::string> pick;  // what the list dialog answers
  std::map<std::size_t, bool> loadable;  // topics whose library loads (default yes)
  std::map<std::size_t, int> status_of_code;
  std::map<std::size_t, bool> clip;
  std::string default_gl;
  std::string comments = "Kovo DDE Server Version 4.2 Release Build";
  int quits = 0, repaints = 0, shown = 0, helps = 0;

  bool load_connector(std::size_t topic) override {
    if (loadable.count(topic) && !loadable[topic]) {
      service->set_last_error("cannot load " + std::to_string(topic));
      return false;
    }
    return true;
  }
  bool has_interface(std::size_t) const override { return true; }
  bool has_clip_to_dde(std::size_t topic) const override { return clip.count(topic) && clip.at(topic); }
  int call_connector(std::size_t topic, int code, const char* arguments, char* result) override {
    calls.push_back({topic, code, arguments, result != nullptr});
    const int status = status_of_code.count(static_cast<std::size_t>(code)) ? status_of_code[static_cast<std::size_t>(code)] : 0;
    if (result && code >= 100) std::snprintf(result, kResultBufferSize, "answer %d\r\n", code);
    if (result && code == 107) std::snprintf(result, kResultBufferSize, "refused ");
    return status;
  }
  void show_box(std::string_view text) override { boxes.emplace_back(text); }
  std::optional<std::string> pick_from_list(const std::vector<std::string>& lines) override {
    dialogs.push_back(lines);
    return pick;
  }
  void write_default_gl(std::string_view name) override { default_gl = name; }
  bool status_visible() const override { return false; }
  void repaint_status() override { ++repaints; }
  void post_quit_server() override { ++quits; }
  void post_help() override { ++helps; }
  void show_main_window() override { ++shown; }
  std::string server_comments() const override { return comments; }
};

class ServiceTest : public ::testing::Test {
 protected:
  ServiceTest() : service(host) { host.service = &service; }
  void install(std::size_t topic, std::string display = {}) {
    service.install(topic, "C:\\Kovo\\" + std::string(topic_names()[topic]) + ".DLL",
                    display.empty() ? std::string(topic_names()[topic]) : display);
  }
  // Opens a conversation on a topic; conversation ids are the caller's.
  void open(ConversationId id, TopicRef topic) {
    ASSERT_TRUE(service.accept_connect(topic));
    service.confirm_connect(id, topic);
  }
  RecordingHost host;
  Service service;
};

TEST_F(ServiceTest, RequestsCutAtTheFirstSemicolon) {
  install(kLedra5);
  open(1, kLedra5);
  EXPECT_EQ(service.request(kLedra5, 1, "GL;1000;12;;;"), "answer 100\r\n");
  EXPECT_EQ(service.request(kLedra5, 1, "gl"), "answer 100\r\n");
  EXPECT_EQ(service.request(kLedra5, 1, "SDESC;a;b"), "answer 114\r\n");
  EXPECT_EQ(host.calls, (std::vector<Call>{{kLedra5, 100, "1000;12;;;", true},
                                           {kLedra5, 100, "", true},
                                           {kLedra5, 114, "a;b", true}}));
  EXPECT_EQ(service.function_count(), 3u);
}

TEST_F(ServiceTest, RefusalsVersionAndItemsThatAreCommands) {
  install(kLedra5);
  open(1, kLedra5);
  host.status_of_code[107] = 1;
  EXPECT_EQ(service.request(kLedra5, 1, "GTDESC;x"), "refused GTDESC");
  EXPECT_EQ(service.request(kLedra5, 1, "KovoVERSION"), "answer 125\tKovo Server Version 4.2.0.2 May 2009");
  EXPECT_EQ(service.request(kLedra5, 1, "[KovoLIST(NOSHOW=1,List=X)]"), "KovoListDone\r\n");
  EXPECT_EQ(host.calls.back(), (Call{kLedra5, 19, "NOSHOW=1,List=X", true}));
  EXPECT_EQ(service.request(kLedra5, 1, "[INQUIRE2(NOSHOW=1)]"), "KovoListDone\r\n");
  EXPECT_EQ(host.calls.back(), (Call{kLedra5, kovo::codes::kInquire, "NOSHOW=1", true}))
      << "a command sent as a request gets the buffer: any automated window may answer";
  EXPECT_EQ(service.request(kLedra5, 1, "[SER_VERSION(NOSHOW=1)]"), "NotSupported");
  host.comments = "Kovo DDE Server Version 5.0";
  EXPECT_EQ(service.request(kLedra5, 1, "[SER_VERSION(NOSHOW=1)]"), "Supported");
  EXPECT_EQ(service.request(kLedra5, 1, "[CLIP_TO_DDE,(NOSHOW=1]"), "NotSupported");
  host.clip[kLedra5] = true;
  EXPECT_EQ(service.request(kLedra5, 1, "[CLIP_TO_DDE,(NOSHOW=1]"), "Supported");
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(ServiceTest, ARequestPutsEveryBoxIntoItsAnswer) {
  install(kLedra5);
  open(1, kLedra5);
  EXPECT_EQ(service.request(kLedra5, 1, "WDESC;5;4000-10;DEMO"), "The command sent is unknown to kovo - WDESC\r\n");
  host.status_of_code[10] = 1;
  EXPECT_EQ(service.request(kLedra5, 1, "[REPORT(x)]"), "The command, request was not processed - x\r\n");
  EXPECT_EQ(service.request(kLedra5, 1, "[REPORT(NOSHOW=1)]"), "KovoListDone\r\n") << "quiet: nothing to say";
  EXPECT_TRUE(host.boxes.empty());
  // the same commands as executes show their boxes
  EXPECT_EQ(service.execute(kLedra5, 1, "WDESC;5"), Ack::kNotProcessed);
  EXPECT_EQ(service.execute(kLedra5, 1, "[REPORT(NOSHOW=0)]"), Ack::kNotProcessed);
  EXPECT_EQ(service.execute(kLedra5, 1, "[REPORT(NoShow=1)]"), Ack::kNotProcessed);
  EXPECT_EQ(service.execute(kLedra5, 1, "[NOPE(NoShow=1)]"), Ack::kNotProcessed);
  EXPECT_EQ(host.boxes, (std::vector<std::string>{"The command sent is unknown to kovo - WDESC;5",
                                                  "The command, request was not processed - NOSHOW=0",
                                                  "The command sent is unknown to kovo - [NOPE(NoShow=1)]"}));
}

TEST_F(ServiceTest, FailedRequestsAnswerTheLastErrorOnce) {
  install(kLedra5);
  open(1, kLedra5);
  EXPECT_EQ(service.request(kLedra5, 1, std::nullopt),
            "The function is invalid or missing or the topic is not available\r\n");
  host.loadable[kLedra5] = false;
  EXPECT_EQ(service.request(kLedra5, 1, "GL;1"), "cannot load 5\r\n");
  EXPECT_TRUE(service.last_error().empty()) << "taken by the answer";
  EXPECT_EQ(service.function_count(), 1u) << "an unreadable item is not counted";
  service.set_last_error(std::string(400, 'x'));
  EXPECT_EQ(service.last_error().size(), kMaxLastErrorLength);
}

TEST_F(ServiceTest, ConversationsUpToTwoHundred) {
  install(kLedra5);
  EXPECT_FALSE(service.accept_connect(kKesta1)) << "not installed";
  EXPECT_FALSE(service.accept_connect(kUnknownTopic));
  EXPECT_TRUE(service.accept_connect(kAbsentTopic));
  for (ConversationId id = 1; id <= kMaxConversations; ++id) open(id, kGenericTopicRef);
  EXPECT_EQ(service.open_count(), kMaxConversations);
  EXPECT_FALSE(service.accept_connect(kGenericTopicRef));
  service.disconnect(77);
  service.disconnect(77);
  service.disconnect(999);  // never confirmed
  EXPECT_EQ(service.open_count(), kMaxConversations - 1);
  EXPECT_TRUE(service.accept_connect(kLedra5));
  EXPECT_EQ(host.quits, 0);
}

TEST_F(ServiceTest, CloseQuitsWhenTheLastConversationEnds) {
  install(kLedra5);
  open(1, kGenericTopicRef);
  open(2, kLedra5);
  EXPECT_EQ(service.execute(kGenericTopicRef, 1, "[CLOSE]"), Ack::kProcessed);
  service.disconnect(1);
  EXPECT_EQ(host.quits, 0);
  service.disconnect(2);
  EXPECT_EQ(host.quits, 1);
}

TEST_F(ServiceTest, GenericTopicNeedsABindingOrADefault) {
  install(kLedra5, "Kovo for Cyma IV");
  install(kKesta1);
  open(1, kGenericTopicRef);
  EXPECT_EQ(service.request(kGenericTopicRef, 1, "GL;1"),
            "The function is invalid or missing or the topic is not available - GL\r\n");
  EXPECT_TRUE(host.dialogs.empty()) << "a request never asks";
  host.pick = "kesta1";
  EXPECT_EQ(service.execute(kGenericTopicRef, 1, "[SETTOPIC]"), Ack::kProcessed);
  ASSERT_EQ(host.dialogs.size(), 1u);
  EXPECT_EQ(host.dialogs[0], (std::vector<std::string>{"Kovo for Cyma IV", "KESTA1"}));
  EXPECT_EQ(host.default_gl, "KESTA1");
  EXPECT_FALSE(service.default_connector()) << "a command's choice is not the default";
  EXPECT_EQ(service.request(kGenericTopicRef, 1, "GL;1"), "answer 100\r\n");
  EXPECT_EQ(host.calls.back().topic, kKesta1);
  // The Default Topic menu: by display name; then "None" is offered and clears it.
  host.pick = "Kovo for Cyma IV";
  EXPECT_EQ(service.choose(true), kLedra5);
  EXPECT_EQ(service.default_connector(), kLedra5);
  EXPECT_EQ(service.request(kGenericTopicRef, 1, "GL;1"), "answer 100\r\n");
  EXPECT_EQ(host.calls.back().topic, kLedra5) << "the default wins over the binding";
  EXPECT_NE(service.status_text().find("Default Topic Name: LEDRA5"), std::string::npos);
  host.pick = "None";
  EXPECT_EQ(service.choose(true), kLedra5) << "no candidate: the first installed";
  EXPECT_EQ(host.dialogs.back().back(), "None");
  EXPECT_FALSE(service.default_connector());
  host.pick.reset();  // Cancel
  EXPECT_EQ(service.choose(true), std::nullopt);
}

TEST_F(ServiceTest, SetTopicWithOneConnectorAndWithoutAnswer) {
  install(kLedra5);
  open(1, kGenericTopicRef);
  EXPECT_EQ(service.execute(kGenericTopicRef, 1, "[SETTOPIC]"), Ack::kProcessed);
  EXPECT_TRUE(host.dialogs.empty());
  EXPECT_EQ(service.request(kGenericTopicRef, 1, "DESC;1"), "answer 103\r\n");
  // a conversation the table does not hold cannot be bound
  EXPECT_EQ(service.execute(kGenericTopicRef, 42, "[SETTOPIC]"), Ack::kProcessed);
  EXPECT_EQ(host.boxes, (std::vector<std::string>{"A default GL Topic was not selected.\nUse explicit topic parameters."}));
}

TEST_F(ServiceTest, ServerCommandsNeedNoConnectorCall) {
  install(kLedra5);
  open(1, kGenericTopicRef);
  EXPECT_EQ(service.execute(kGenericTopicRef, 1, "[SERVERHELP]"), Ack::kProcessed);
  EXPECT_EQ(host.helps, 1);
  EXPECT_EQ(service.execute(kGenericTopicRef, 1, "[KovoSERVER]"), Ack::kProcessed);
  EXPECT_EQ(host.shown, 1);
  EXPECT_EQ(host.calls, (std::vector<Call>{{kLedra5, 8, "", false}}));
  EXPECT_EQ(service.execute(kGenericTopicRef, 1, "[KovoLIST(List=X)]"), Ack::kProcessed);
  EXPECT_EQ(host.calls.back(), (Call{kLedra5, 19, "List=X", true})) << "the list command always gets a buffer";
  EXPECT_EQ(service.execute(kUnknownTopic, 1, "[SETUP]"), Ack::kNotProcessed);
  EXPECT_EQ(service.execute(kGenericTopicRef, 1, ""), Ack::kNotProcessed);
}

TEST_F(ServiceTest, WildConnectAndHelpConnector) {
  EXPECT_EQ(service.wild_topics(), (std::vector<std::size_t>{0}));
  install(kKesta1);
  install(kLedra5);
  EXPECT_EQ(service.wild_topics(), (std::vector<std::size_t>{0, kLedra5, kKesta1}));
  EXPECT_EQ(service.help_connector(), kLedra5) << "the first installed";
  host.pick = "KESTA1";
  service.choose(false);
  EXPECT_EQ(service.help_connector(), kKesta1);
  service.uninstall(kKesta1);
  service.uninstall(kLedra5);
  EXPECT_EQ(service.installed_count(), 0u);
  EXPECT_EQ(service.request(kGenericTopicRef, 1, "GL"),
            "The function is invalid or missing or the topic is not available - GL\r\n");
}

// A connector busy with other work answers its busy status: a request
// carries its text (no item name, no version appended), a command is busy
// and shows no box; where the DDE library allows it the transaction waits.
TEST_F(ServiceTest, ABusyConnectorsAnswerAndNoBox) {
  install(kLedra5);
  open(1, kLedra5);
  host.status_of_code[kovo::codes::kGl] = kovo::kStatusBusy;
  host.status_of_code[kovo::codes::kVersion] = kovo::kStatusBusy;
  host.status_of_code[kovo::codes::kChart] = kovo::kStatusBusy;
  service.begin_transaction();
  EXPECT_EQ(service.request(kLedra5, 1, "GL;1000"), "answer 100\r\n");
  EXPECT_TRUE(service.connector_was_busy());
  service.begin_transaction();
  EXPECT_FALSE(service.connector_was_busy()) << "for one transaction only";
  EXPECT_EQ(service.request(kLedra5, 1, "KovoVERSION"), "answer 125\r\n") << "no server version after a busy text";
  service.begin_transaction();
  EXPECT_EQ(service.execute(kLedra5, 1, "[CHART(x)]"), Ack::kBusy);
  EXPECT_TRUE(service.connector_was_busy());
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(busy_reply(true, false), BusyReply::kAnswerText) << "under Wine a held request is lost";
  EXPECT_EQ(busy_reply(false, false), BusyReply::kAnswerBusy);
  EXPECT_EQ(busy_reply(true, true), BusyReply::kBlock);
}

TEST(ServerVersion, ReplacesTheConnectorsLineEnd) {
  std::string answer = "Kovo Version 4.2.20.0 for Cyma IV\r\n";
  append_server_version(answer);
  EXPECT_EQ(answer, "Kovo Version 4.2.20.0 for Cyma IV\tKovo Server Version 4.2.0.2 May 2009");
  answer = "no line end";
  append_server_version(answer);
  EXPECT_EQ(answer, "no line end\tKovo Server Version 4.2.0.2 May 2009");
}

// Random items and commands: the answer is always one text, never longer
// than the buffer, the item name or the list marker, and nothing crashes.
TEST_F(ServiceTest, FuzzedItemsAndCommands) {
  install(kLedra5);
  open(1, kLedra5);
  std::uint32_t seed = kovo::testing::fuzz_seed(20090501);
  const long long rounds = kovo::testing::fuzz_rounds(3000);
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  const std::string alphabet = "[](),;=NOSHOWglkovoLIST0 19\r\n";
  for (long long round = 0; round < rounds; ++round) {
    std::string text(next() % 700, ' ');
    for (auto& c : text) c = alphabet[next() % alphabet.size()];
    const std::string answer = service.request(kLedra5, 1, text);
    EXPECT_LT(answer.size(), kResultBufferSize + 700);
    service.execute(kLedra5, 1, text);
  }
  kovo::testing::report_fuzz_executions(rounds);
}

}  // namespace
