// The add-in's numbered messages and fixed texts.
#pragma once

#include <string>
#include <string_view>

namespace kovo::addin {

inline constexpr int kMsgSmallerArea = 6;
inline constexpr int kMsgViewerQuestion = 7;
inline constexpr int kMsgWholeSheetSuppress = 8;
inline constexpr int kMsgSheetProtected = 4401;
inline constexpr int kMsgLaunchFailed = 9;
inline constexpr int kMsgClientCaption = 10;
inline constexpr int kMsgDirtyOnly = 11;
inline constexpr int kMsgReturnCode = 28;
inline constexpr int kMsgNoConversation = 29;
inline constexpr int kMsgBufferOverflow = 30;
inline constexpr int kMsgErrorArgument = 31;
inline constexpr int kMsgFlowArgument = 32;
inline constexpr int kMsgEmptyArgument = 33;
inline constexpr int kMsgStringTooLong = 34;
inline constexpr int kMsgUnaccessFailed = 35;
inline constexpr int kMsgFreeFailed = 36;
inline constexpr int kMsgNotResponding = 37;
inline constexpr int kMsgSemicolonArgument = 51;
inline constexpr int kMsgNulArgument = 52;
inline constexpr int kMsgCaption = 43;
inline constexpr int kMsgToolbarName = 44;
inline constexpr int kMsgThanks = 45;
inline constexpr int kMsgRemoved = 46;

inline constexpr std::string_view kFailureText = "Kovo failure";
inline constexpr std::string_view kMigratedText = "Kovo formula migrated. Please Recalculate.";
inline constexpr std::string_view kAddinManagerName = "Kovo - The Ledger Companion";
inline constexpr std::string_view kClipboardFormatName = "Kovo Report Wizard - do not tuch it";
inline constexpr std::string_view kToolbarFile = "Toolbar_v40.xlb";
inline constexpr std::string_view kServerProgram = "Kovo.EXE";
inline constexpr std::string_view kMenuName = "Kovo";
// The box shown when another instance of the spreadsheet answers for the
// running application while a value is read through automation.
inline constexpr std::string_view kOtherInstancesText =
    "Unable to complete calculation with other instances of Excel Opened\nPlease close all other instances of "
    "Excel, then Click OK";
inline constexpr std::string_view kOtherInstancesCaption = "Error";

// The text of a message number, empty when there is none.
std::string addin_message(int number);

}  // namespace kovo::addin
