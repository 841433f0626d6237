// The server's DDE service without the DDE library: the topic entries, the
// conversation table, and what requests, execute commands and connections
// are answered. The Windows layer turns each DDEML transaction into one call
// here and carries out what this asks of its host (loading libraries,
// calling connectors, boxes, the list dialog, the main window).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/topics.h"

namespace kovo::server {

inline constexpr std::size_t kMaxConversations = 200;
inline constexpr std::size_t kResultBufferSize = 16000;
inline constexpr std::size_t kMaxLastErrorLength = 256;

// A conversation's topic as the DDE layer resolved it: an index of the topic
// table, or one of these.
using TopicRef = int;
inline constexpr TopicRef kAbsentTopic = -1;   // no topic string given
inline constexpr TopicRef kUnknownTopic = -2;  // a name outside the table
inline constexpr TopicRef kGenericTopicRef = static_cast<TopicRef>(kGenericTopic);

// The DDEML conversation handle, as a number; 0 is none.
using ConversationId = std::uintptr_t;

// What discovery found for one topic-table entry.
struct ConnectorEntry {
  bool installed = false;
  std::string path;          // full path of the library
  std::string display_name;  // product name, or the base name
};

// What the service asks of the program around it.
class ServiceHost {
 public:
  virtual ~ServiceHost() = default;
  // Loads and initialises the connector of a topic entry when not loaded
  // yet; on failure it leaves the reason in the service's last-error text.
  virtual bool load_connector(std::size_t topic) = 0;
  virtual bool has_interface(std::size_t topic) const = 0;
  virtual bool has_clip_to_dde(std::size_t topic) const = 0;
  // KovoDLLInterface of a loaded connector; result may be null.
  virtual int call_connector(std::size_t topic, int code, const char* arguments, char* result) = 0;
  // A box with the server's caption and the warning icon.
  virtual void show_box(std::string_view text) = 0;
  // The connector list dialog: the lines to offer; the chosen line (possibly
  // empty) when it closed as OK, nothing when it was cancelled.
  virtual std::optional<std::string> pick_from_list(const std::vector<std::string>& lines) = 0;
  virtual void write_default_gl(std::string_view base_name) = 0;
  virtual bool status_visible() const = 0;
  virtual void repaint_status() = 0;
  virtual void post_quit_server() = 0;
  virtual void post_help() = 0;
  // Restores the saved placement and shows the main window restored.
  virtual void show_main_window() = 0;
  // The "Comments" string of the server's own version resource.
  virtual std::string server_comments() const = 0;
};

// One DDE transaction's answer to an execute command.
enum class Ack { kProcessed, kNotProcessed, kBusy };

// What a transaction gets that found a connector busy (inside a call, or
// answering that work under way holds it): held back until the connector is
// free where the DDE library re-delivers a blocked transaction, and
// otherwise answered at once -- a request with the busy text, which the
// client shows as it shows any answer, an execute as busy.
enum class BusyReply { kBlock, kAnswerText, kAnswerBusy };
BusyReply busy_reply(bool is_request, bool can_block);

class Service {
 public:
  explicit Service(ServiceHost& host);

  // Topic entries. Index 0 is the generic topic, installed for good.
  ConnectorEntry& entry(std::size_t topic) { return entries_[topic]; }
  const ConnectorEntry& entry(std::size_t topic) const { return entries_[topic]; }
  std::size_t installed_count() const;
  std::optional<std::size_t> first_installed() const;
  void install(std::size_t topic, std::string path, std::string display_name);
  void uninstall(std::size_t topic);
  bool topic_valid(TopicRef topic) const;

  // Connections.
  bool accept_connect(TopicRef topic) const;
  void confirm_connect(ConversationId conversation, TopicRef topic);
  void disconnect(ConversationId conversation);
  std::size_t open_count() const { return open_count_; }
  // The installed topics a wild connection offers, generic first.
  std::vector<std::size_t> wild_topics() const;

  // A request's answer text. item is null when it could not be read.
  std::string request(TopicRef topic, ConversationId conversation, std::optional<std::string_view> item);
  // An execute command (text already cut to its limit).
  Ack execute(TopicRef topic, ConversationId conversation, std::string_view command);
  // Marks the start of a DDE transaction: the quiet flag never outlives one.
  void begin_transaction() {
    quiet_ = false;
    connector_busy_ = false;
  }
  // The connector answered this transaction's call with its busy status.
  bool connector_was_busy() const { return connector_busy_; }

  // Lets the user pick a connector (the Default Topic menu sets the default).
  std::optional<std::size_t> choose(bool set_default);
  // The connector the Topic menu shows: chosen as for a request without a
  // conversation, asking when needed, and loaded.
  std::optional<std::size_t> connector_for_menu();
  std::optional<std::size_t> default_connector() const { return default_; }
  std::optional<std::size_t> help_connector() const;

  std::string status_text() const;
  unsigned long function_count() const { return function_count_; }
  bool close_requested() const { return close_requested_; }

  // Load and request failures, kept until a request or a box takes them.
  void set_last_error(std::string text);
  const std::string& last_error() const { return last_error_; }

 private:
  struct Slot {
    ConversationId conversation = 0;
    std::optional<std::size_t> bound;  // the connector "[SETTOPIC" bound
  };
  // Where an execute command's boxes go: shown, or, for a command that came
  // as a request, into the answer so that no request waits on a box.
  struct CommandContext {
    char* result = nullptr;  // the request's result buffer, or null
    bool from_request = false;
  };

  Slot* find_slot(ConversationId conversation);
  std::optional<std::size_t> connector_for(TopicRef topic, ConversationId conversation, bool may_ask);
  std::optional<std::size_t> load(std::size_t topic);
  Ack run_command(TopicRef topic, ConversationId conversation, std::string_view command,
                  const CommandContext& context);
  Ack set_topic(TopicRef topic, ConversationId conversation, const CommandContext& context);
  Ack call_command(int code, TopicRef topic, ConversationId conversation, std::string_view command,
                   const CommandContext& context);
  void report(const CommandContext& context, std::string_view text);
  std::string take_last_error();

  ServiceHost& host_;
  std::array<ConnectorEntry, kTopicCount> entries_{};
  std::array<Slot, kMaxConversations> slots_{};
  std::size_t open_count_ = 0;
  unsigned long function_count_ = 0;
  bool close_requested_ = false;
  bool quiet_ = false;
  bool connector_busy_ = false;
  std::optional<std::size_t> default_;
  std::optional<std::size_t> help_;
  std::string list_selection_;
  std::string last_error_;
};

// The version answer with the server's own version after a tab, in place of
// the connector's line end.
void append_server_version(std::string& answer);

}  // namespace kovo::server
