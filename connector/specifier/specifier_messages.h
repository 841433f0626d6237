// Message numbers of the specifier language (texts in resources/strings.def).
#pragma once

namespace kovo::specifier {

// A report that carries only its detail: number 0 adds no message text, so the
// pending message is the prefix and the detail (syntax errors of account specifiers).
inline constexpr int kMsgNoMessageNumber = 0;
inline constexpr int kMsgInvalid = 4;
inline constexpr int kMsgInvalidCharacter = 3;
inline constexpr int kMsgInvalidComma = 5;
inline constexpr int kMsgTooManySpecifiers = 6;
inline constexpr int kMsgSpecialError = 7;
inline constexpr int kMsgWildcardInRange = 9;
inline constexpr int kMsgNoData = 11;
inline constexpr int kMsgRunningBalance = 12;
inline constexpr int kMsgInvalidLength = 13;
inline constexpr int kMsgStartingTransactions = 14;
inline constexpr int kMsgNoMatchingAccounts = 15;
inline constexpr int kMsgTooManyWords = 16;
inline constexpr int kMsgInvalidPeriod = 17;
inline constexpr int kMsgAmbiguousPeriod = 18;
inline constexpr int kMsgYearKeyword = 20;
inline constexpr int kMsgConflictingSpan = 21;
inline constexpr int kMsgTransactionsBalance = 22;
inline constexpr int kMsgConflictingMode = 23;
inline constexpr int kMsgEndingStarting = 24;
inline constexpr int kMsgActualBudgeted = 25;
inline constexpr int kMsgTooManyAccounts = 26;
inline constexpr int kMsgFutureData = 27;

}  // namespace kovo::specifier
