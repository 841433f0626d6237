// Lists written out: the clipboard table and the chunked result text.
#include <gtest/gtest.h>

#include <random>

#include <string>
#include <vector>

#include "entry/settings.h"
#include "windows/list_command.h"
#include "windows/list_text.h"

using namespace kovo;
using namespace kovo::lists;

namespace {

ListText list_of(std::vector<std::string> items, bool descriptions = false) {
  ListText list;
  list.descriptions = descriptions;
  for (auto& item : items) list.entries.push_back({item, descriptions ? "d" + item : "", false});
  return list;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}

TEST(ListClipboard, BudgetHeadingsAreOneRowEvenUntransposed) {
  const BuiltList built = build_list("BWB Headers", ListForm::Clipboard, value_cache());
  ASSERT_EQ(built.status, BuildStatus::Built);
  EXPECT_EQ(clipboard_text(built.list, false),
            "'ACCOUNT\t'DESCRIPTION\t'ORIGIN\t'1\t'2\t'3\t'4\t'5\t'6\t'7\t'8\t'9\t'10\t'11\t'12\t'13\r\n");
}

TEST(ListClipboard, ColumnsRowsDescriptionsAndHeadings) {
  ListText list = list_of({"10", "20"}, true);
  list.entries.insert(list.entries.begin(), {"East", "", true});
  EXPECT_EQ(clipboard_text(list, false), "'East\r\n'10\td10\r\n'20\td20\r\n");
  EXPECT_EQ(clipboard_text(list, true), "'East\t'10\t'20\r\n\td10\td20\r\n");
  list.descriptions = false;
  EXPECT_EQ(clipboard_text(list, true), "'East\t'10\t'20\r\n");
  EXPECT_EQ(clipboard_text(ListText{}, true), "");
}

TEST(ListClipboard, PeriodsAndYearsGoWithoutApostrophes) {
  const BuiltList periods = build_list("Periods", ListForm::Clipboard, value_cache());
  const std::string text = clipboard_text(periods.list, false);
  EXPECT_EQ(text.substr(0, 17), "January\r\nFebruary") << text.substr(0, 40);
  EXPECT_NE(text.find("\r\nThis Quarter Last Year Budget\r\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 15), "YTD 12 Budget\r\n");
  const std::string row = clipboard_text(periods.list, true);
  EXPECT_EQ(row.substr(0, 17), "January\tFebruary\t");
  EXPECT_EQ(row.find('\r'), std::string::npos) << "transposed: each followed by a tab, no line end";
  EXPECT_EQ(row.back(), '\t');
}

TEST(ListResult, TheResultFormLeavesOutPeriodsThatNeverAnswer) {
  const BuiltList periods = build_list("periods", ListForm::Result, value_cache());
  ListTransfer transfer;
  transfer.start(periods.list);
  const std::string chunk = transfer.next_chunk();
  EXPECT_EQ(chunk.substr(0, 19), "'January\r\n'February");
  EXPECT_EQ(chunk.find("Last Year Budget"), std::string::npos);
  EXPECT_EQ(chunk.substr(chunk.size() - 28), "'YTD 12 Budget\r\nKovoListDone");
}

TEST(ListResult, TwentyThousandCharactersArriveInTwoChunks) {
  std::vector<std::string> items;
  for (int i = 0; i < 1000; ++i) items.push_back("item " + std::to_string(100000 + i) + " xxxxxx");  // 18 characters
  ListTransfer transfer;
  transfer.start(list_of(items));
  const std::string first = transfer.next_chunk();
  const std::string second = transfer.next_chunk();
  const std::string third = transfer.next_chunk();

  EXPECT_GT(first.size(), kChunkTarget);
  EXPECT_LT(first.size(), kChunkTarget + 30);
  EXPECT_EQ(first.substr(first.size() - 2), "\r\n");
  const auto a = lines_of(first);
  const auto b = lines_of(second);
  EXPECT_EQ(b.front(), a.back()) << "the boundary item stands in both chunks";
  EXPECT_EQ(b.back(), "KovoListDone");
  EXPECT_EQ(third, "KovoListDone") << "a further continuation answers exactly KovoListDone";
  EXPECT_FALSE(transfer.active()) << "... and releases the transfer";
  EXPECT_EQ(transfer.next_chunk(), "KovoListDone");

  // The add-in's reading: apostrophes dropped, repeats dropped.
  std::vector<std::string> read;
  for (const auto* chunk : {&a, &b})
    for (const auto& line : *chunk)
      if (line != "KovoListDone" && (read.empty() || read.back() != line.substr(1))) read.push_back(line.substr(1));
  EXPECT_EQ(read, items);
}

TEST(ListResult, ShortEmptyAndRawLists) {
  ListTransfer transfer;
  transfer.start(list_of({"10", "20"}, true));
  EXPECT_EQ(transfer.next_chunk(), "'10\td10\r\n'20\td20\r\nKovoListDone");
  EXPECT_TRUE(transfer.active()) << "kept until a reply of exactly KovoListDone";
  EXPECT_EQ(transfer.next_chunk(), "KovoListDone");
  transfer.start(ListText{});
  EXPECT_EQ(transfer.next_chunk(), "KovoListDone");
  ListText raw = list_of({"0,Account,!Company,A,"});
  raw.style = ItemStyle::Raw;
  transfer.start(raw);
  EXPECT_EQ(transfer.next_chunk(), "0,Account,!Company,A,\r\nKovoListDone");
}

TEST(ListResult, LongItemsNeverOverflowTheResultBuffer) {
  std::vector<std::string> items;
  for (int i = 0; i < 200; ++i) items.push_back(std::string(650 + i % 7, static_cast<char>('a' + i % 26)) + std::to_string(i));
  ListTransfer transfer;
  transfer.start(list_of(items, true));
  std::vector<std::string> read;
  for (int guard = 0; guard < 100; ++guard) {
    const std::string chunk = transfer.next_chunk();
    ASSERT_LE(chunk.size() + 3, kChunkCapacity);
    if (chunk == "KovoListDone") break;
    for (const auto& line : lines_of(chunk))
      if (line != "KovoListDone" && (read.empty() || read.back() != line)) read.push_back(line);
  }
  ASSERT_EQ(read.size(), items.size());
  EXPECT_EQ(read.back(), "'" + items.back() + "\td" + items.back());
}

// Lists of random lengths and item sizes: every chunk fits the result buffer
// and the chunks read back, repeats dropped, to exactly the list.
TEST(ListResult, RandomListsReadBackWhole) {
  std::mt19937 random(15500);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> items;
    const int count = static_cast<int>(random() % 2000);
    for (int i = 0; i < count; ++i)
      items.push_back(std::to_string(i) + std::string(random() % (random() % 10 == 0 ? 700 : 40), 'x'));
    ListTransfer transfer;
    transfer.start(list_of(items, random() % 2 == 0));
    std::vector<std::string> read;
    for (int chunks = 0;; ++chunks) {
      ASSERT_LT(chunks, 200);
      const std::string chunk = transfer.next_chunk();
      ASSERT_LE(chunk.size() + 3, kChunkCapacity) << "with the command's line end and terminator";
      if (chunk == "KovoListDone") break;
      for (const auto& line : lines_of(chunk)) {
        if (line == "KovoListDone") continue;
        const std::string item = line.substr(1, line.find('\t') - 1);
        if (read.empty() || read.back() != item) read.push_back(item);
      }
    }
    ASSERT_EQ(read, items) << round;
  }
}

}  // namespace
