// The server's numbered messages and the fixed texts it answers with.
#pragma once

#include <string>
#include <string_view>

namespace kovo::server {

inline constexpr int kMsgNoFunction = 64;
inline constexpr int kMsgLoadFailed = 67;
inline constexpr int kMsgUnknownCommand = 68;
inline constexpr int kMsgNotProcessed = 69;
inline constexpr int kMsgNoDefaultTopic = 70;
inline constexpr int kMsgDdeError = 71;
inline constexpr int kMsgInitFailed = 72;
inline constexpr int kMsgConnectorBusy = 73;
inline constexpr int kMsgConversationsOpen = 101;
inline constexpr int kMsgAbortForcedClose = 102;
inline constexpr int kMsgContinueUsing = 103;
inline constexpr int kMsgCaption = 109;
inline constexpr int kMsgNoStartDirectory = 202;
inline constexpr int kMsgNoSettingsPath = 203;
inline constexpr int kMsgStartFailed = 204;
inline constexpr int kMsgNoConnectors = 205;
inline constexpr int kMsgCloseRefused = 206;

inline constexpr std::string_view kServerVersionLine = "Kovo Server Version 4.2.0.2 May 2009";
inline constexpr std::string_view kMakeVersionLine = "Make version 4.0.1.0 2001.10.29";
inline constexpr std::string_view kListDone = "KovoListDone\r\n";

// The text of a message number, empty when there is none.
std::string server_message(int number);
// The message, and " - " and the detail when there is one.
std::string server_message(int number, std::string_view detail);

}  // namespace kovo::server
