#include "server/service.h"

#include <algorithm>
#include <cstring>

#include "server/dde_tables.h"
#include "server/messages.h"

namespace kovo::server {
namespace {

constexpr std::string_view kNoneLine = "None";

// The text the connector left in a result buffer, up to its first zero.
std::string buffer_text(const std::vector<char>& buffer) {
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

void put_text(char* result, std::string_view text) {
  const std::size_t length = std::min(text.size(), kResultBufferSize - 1);
  std::memcpy(result, text.data(), length);
  result[length] = '\0';
}

}  // namespace

Service::Service(ServiceHost& host) : host_(host) {
  entries_[kGenericTopic].installed = true;
  entries_[kGenericTopic].display_name = std::string(kGenericTopicName);
}

std::size_t Service::installed_count() const {
  return static_cast<std::size_t>(
      std::count_if(entries_.begin() + 1, entries_.end(), [](const ConnectorEntry& e) { return e.installed; }));
}

std::optional<std::size_t> Service::first_installed() const {
  for (std::size_t topic = 1; topic < entries_.size(); ++topic)
    if (entries_[topic].installed) return topic;
  return std::nullopt;
}

void Service::install(std::size_t topic, std::string path, std::string display_name) {
  ConnectorEntry& e = entries_[topic];
  e.installed = true;
  e.path = std::move(path);
  e.display_name = std::move(display_name);
}

void Service::uninstall(std::size_t topic) {
  if (topic == kGenericTopic) return;
  entries_[topic] = ConnectorEntry{};
}

bool Service::topic_valid(TopicRef topic) const {
  if (topic == kAbsentTopic) return true;
  if (topic < 0 || static_cast<std::size_t>(topic) >= entries_.size()) return false;
  return entries_[static_cast<std::size_t>(topic)].installed;
}

// ---------------------------------------------------------------- connections

bool Service::accept_connect(TopicRef topic) const {
  return open_count_ < kMaxConversations && topic_valid(topic);
}

Service::Slot* Service::find_slot(ConversationId conversation) {
  if (conversation == 0) return nullptr;
  for (auto& slot : slots_)
    if (slot.conversation == conversation) return &slot;
  return nullptr;
}

void Service::confirm_connect(ConversationId conversation, TopicRef topic) {
  if (!topic_valid(topic) || conversation == 0) return;
  for (auto& slot : slots_) {
    if (slot.conversation != 0) continue;
    slot = Slot{conversation, std::nullopt};
    ++open_count_;
    host_.repaint_status();
    return;
  }
}

void Service::disconnect(ConversationId conversation) {
  // Only a conversation that holds a slot was counted.
  if (Slot* slot = find_slot(conversation)) {
    *slot = Slot{};
    if (open_count_ > 0) --open_count_;
    host_.repaint_status();
  }
  if (close_requested_ && open_count_ == 0) host_.post_quit_server();
}

std::vector<std::size_t> Service::wild_topics() const {
  std::vector<std::size_t> topics;
  for (std::size_t topic = 0; topic < entries_.size(); ++topic)
    if (entries_[topic].installed) topics.push_back(topic);
  return topics;
}

// ------------------------------------------------------------ connector choice

std::optional<std::size_t> Service::load(std::size_t topic) {
  if (!host_.load_connector(topic) || !host_.has_interface(topic)) return std::nullopt;
  return topic;
}

std::optional<std::size_t> Service::connector_for(TopicRef topic, ConversationId conversation,
                                                  bool may_ask) {
  if (installed_count() == 0) return std::nullopt;
  std::optional<std::size_t> chosen;
  if (topic > kGenericTopicRef) {
    chosen = static_cast<std::size_t>(topic);
  } else if (topic == kGenericTopicRef || topic == kAbsentTopic) {
    if (default_) chosen = default_;
    else if (const Slot* slot = find_slot(conversation)) chosen = slot->bound;
  }
  if (!chosen && may_ask) chosen = choose(false);
  if (!chosen || !entries_[*chosen].installed) return std::nullopt;
  return load(*chosen);
}

std::optional<std::size_t> Service::choose(bool set_default) {
  if (installed_count() == 0) return std::nullopt;
  if (!set_default && default_) return default_;
  std::optional<std::size_t> candidate;
  if (installed_count() == 1) {
    candidate = first_installed();
  } else {
    std::vector<std::string> lines;
    for (std::size_t topic = 1; topic < entries_.size(); ++topic)
      if (entries_[topic].installed) lines.push_back(entries_[topic].display_name);
    if (default_) lines.emplace_back(kNoneLine);
    const auto picked = host_.pick_from_list(lines);
    if (!picked) return std::nullopt;  // cancelled: nothing changes
    list_selection_ = *picked;
    if (equal_nocase(list_selection_, kNoneLine)) {
      if (set_default) default_.reset();
    } else if (!list_selection_.empty()) {
      for (std::size_t topic = 1; topic < entries_.size() && !candidate; ++topic) {
        const ConnectorEntry& e = entries_[topic];
        if (e.installed && (equal_nocase(topic_names()[topic], list_selection_) ||
                            equal_nocase(e.display_name, list_selection_)))
          candidate = topic;
      }
    }
  }
  if (candidate) {
    if (set_default) default_ = candidate;
    host_.write_default_gl(topic_names()[*candidate]);
  }
  const auto result = candidate ? candidate : first_installed();
  help_ = result;
  return result;
}

std::optional<std::size_t> Service::connector_for_menu() {
  return connector_for(kGenericTopicRef, 0, true);
}

std::optional<std::size_t> Service::help_connector() const {
  if (help_) return help_;
  if (installed_count() == 1) return first_installed();
  if (default_) return default_;
  if (!list_selection_.empty()) {
    for (std::size_t topic = 1; topic < entries_.size(); ++topic)
      if (entries_[topic].installed && (equal_nocase(topic_names()[topic], list_selection_) ||
                                        equal_nocase(entries_[topic].display_name, list_selection_)))
        return topic;
  }
  return first_installed();
}

// -------------------------------------------------------------------- requests

std::string Service::request(TopicRef topic, ConversationId conversation,
                             std::optional<std::string_view> item) {
  std::vector<char> result(kResultBufferSize, '\0');
  std::string_view name;
  auto fail = [&](bool item_read) {
    if (last_error_.empty())
      set_last_error(server_message(kMsgNoFunction, item_read ? name : std::string_view()));
    return take_last_error() + "\r\n";
  };
  if (!item) return fail(false);
  const std::string item_text(item->substr(0, kMaxItemLength));
  ++function_count_;
  if (host_.status_visible()) host_.repaint_status();

  const SplitItem split = split_item(item_text);
  name = split.name;
  const auto connector = connector_for(topic, conversation, false);
  if (!connector) return fail(true);

  const auto code = find_item(split.name);
  if (!code) {
    run_command(topic, conversation, item_text, CommandContext{result.data(), true});
    quiet_ = false;
    std::string answer = buffer_text(result);
    return answer.empty() ? std::string(kListDone) : answer;
  }
  const std::string arguments(split.arguments);
  const int status = host_.call_connector(*connector, *code, arguments.c_str(), result.data());
  if (status == kStatusBusy) connector_busy_ = true;
  std::string answer = buffer_text(result);
  if (status == kStatusNotProcessed && !answer.empty()) answer += split.name;
  if (*code == codes::kVersion && status != kStatusBusy) append_server_version(answer);
  return answer;
}

BusyReply busy_reply(bool is_request, bool can_block) {
  if (can_block) return BusyReply::kBlock;
  return is_request ? BusyReply::kAnswerText : BusyReply::kAnswerBusy;
}

void append_server_version(std::string& answer) {
  const std::size_t cr = answer.find('\r');
  if (cr != std::string::npos) answer.erase(cr);
  answer += '\t';
  answer += kServerVersionLine;
}

// ------------------------------------------------------------ execute commands

Ack Service::execute(TopicRef topic, ConversationId conversation, std::string_view command) {
  if (!topic_valid(topic) || command.empty()) return Ack::kNotProcessed;
  const Ack ack = run_command(topic, conversation, command.substr(0, kMaxCommandLength), CommandContext{});
  quiet_ = false;
  return ack;
}

void Service::report(const CommandContext& context, std::string_view text) {
  if (context.from_request) {
    put_text(context.result, std::string(text) + "\r\n");
  } else {
    host_.show_box(text);
  }
}

Ack Service::run_command(TopicRef topic, ConversationId conversation, std::string_view command,
                         const CommandContext& context) {
  const auto code = find_command(command);
  if (!code) {
    // A request arrives here with its whole item; its answer names only the item.
    const std::string_view detail = context.from_request ? split_item(command).name : command;
    report(context, server_message(kMsgUnknownCommand, detail));
    return Ack::kNotProcessed;
  }
  switch (*code) {
    case codes::kServerHelp:
      host_.post_help();
      return Ack::kProcessed;
    case codes::kClose:
      close_requested_ = true;
      return Ack::kProcessed;
    case codes::kSetTopic:
      return set_topic(topic, conversation, context);
    case codes::kServer: {
      host_.show_main_window();
      if (const auto connector = connector_for(kGenericTopicRef, conversation, !context.from_request))
        host_.call_connector(*connector, codes::kShowConnector, "", nullptr);
      return Ack::kProcessed;
    }
    case codes::kClipToDde: {
      bool supported = false;
      for (std::size_t t = 1; t < entries_.size(); ++t)
        supported = supported || (entries_[t].installed && host_.has_clip_to_dde(t));
      if (context.result) put_text(context.result, supported ? "Supported" : "NotSupported");
      return supported ? Ack::kProcessed : Ack::kNotProcessed;
    }
    case codes::kServerVersion: {
      const bool supported = host_.server_comments().find("Version 5") != std::string::npos;
      if (context.result) put_text(context.result, supported ? "Supported" : "NotSupported");
      return supported ? Ack::kProcessed : Ack::kNotProcessed;
    }
    default:
      return call_command(*code, topic, conversation, command, context);
  }
}

Ack Service::set_topic(TopicRef topic, ConversationId conversation, const CommandContext& context) {
  Slot* slot = find_slot(conversation);
  std::optional<std::size_t> chosen;
  if (topic == kGenericTopicRef || topic == kAbsentTopic) {
    if (installed_count() == 1) chosen = first_installed();
    else if (default_) chosen = default_;
    else if (!context.from_request) chosen = choose(false);
    if (chosen && slot) load(*chosen);
  } else if (topic > kGenericTopicRef) {
    chosen = static_cast<std::size_t>(topic);
  }
  if (!chosen || !slot) {
    report(context, server_message(kMsgNoDefaultTopic));
  } else {
    slot->bound = chosen;
  }
  return Ack::kProcessed;
}

Ack Service::call_command(int code, TopicRef topic, ConversationId conversation, std::string_view command,
                          const CommandContext& context) {
  const std::string arguments(command_arguments(command));
  if (command_is_quiet(arguments)) quiet_ = true;
  const auto connector = connector_for(topic, conversation, !context.from_request);
  if (!connector) {
    std::string text = take_last_error();
    if (text.empty()) text = server_message(kMsgNoFunction);
    if (!quiet_) report(context, text);
    return Ack::kNotProcessed;
  }
  std::vector<char> scratch;
  char* result = nullptr;
  if (command_gets_result(code, context.from_request)) {
    if (context.result) {
      result = context.result;
    } else {
      scratch.assign(kResultBufferSize, '\0');
      result = scratch.data();
    }
  }
  const int status = host_.call_connector(*connector, code, arguments.c_str(), result);
  if (status == kStatusBusy) {
    // No box while the connector finishes other work; a request carries
    // the connector's busy text.
    connector_busy_ = true;
    return Ack::kBusy;
  }
  if (status != kStatusProcessed) {
    if (!quiet_) report(context, server_message(kMsgNotProcessed, arguments));
    last_error_.clear();
    return Ack::kNotProcessed;
  }
  return Ack::kProcessed;
}

// ------------------------------------------------------------------- the rest

void Service::set_last_error(std::string text) {
  if (text.size() > kMaxLastErrorLength) text.resize(kMaxLastErrorLength);
  last_error_ = std::move(text);
}

std::string Service::take_last_error() {
  std::string text;
  text.swap(last_error_);
  return text;
}

std::string Service::status_text() const {
  const std::string default_name =
      default_ ? std::string(topic_names()[*default_]) : std::string(kNoneLine);
  return "\nOpen Conversations: " + std::to_string(open_count_) + "\nDefault Topic Name: " + default_name +
         "\nFunction Count: " + std::to_string(function_count_);
}

}  // namespace kovo::server
