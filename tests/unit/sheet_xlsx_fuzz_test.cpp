// Fuzzing of the Excel workbook reader: mutated XML parts either fail with
// a message or give a tree, and whole packages with mutated parts or
// mutated bytes either open or are refused with a message; never a crash,
// a hang or an overrun (the sanitizers watch the native run).
#include <gtest/gtest.h>

#include "fuzz_support.h"
#include "xlsx_package_support.h"

#include <random>
#include <string>
#include <vector>

#include "sheethost/files.h"
#include "sheethost/calc.h"
#include "sheethost/xml_tree.h"

using namespace kovo::sheet;

namespace {

std::string mutate(std::string text, std::mt19937& random, const std::string& alphabet) {
  const int edits = 1 + static_cast<int>(random() % 6);
  for (int e = 0; e < edits; ++e) {
    const std::size_t at = random() % (text.size() + 1);
    const char c = random() % 5 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
    switch (random() % 4) {
      case 0:
        if (at < text.size()) text.erase(at, 1 + random() % 8);
        break;
      case 1: text.insert(at, 1, c); break;
      case 2:
        if (at < text.size()) text[at] = c;
        break;
      default: {  // a piece of the text repeated elsewhere
        const std::size_t from = random() % (text.size() + 1);
        text.insert(at, text.substr(from, random() % 40));
      }
    }
  }
  return text;
}

const std::string kSheet =
    "<sheetData><row r=\"1\" hidden=\"1\" ht=\"20\" customHeight=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
    "<c r=\"B1\" s=\"0\"><v>2.5</v></c><c r=\"C1\"><f t=\"shared\" ref=\"C1:C2\" si=\"0\">B1*2</f><v>5</v></c></row>"
    "<row r=\"2\"><c r=\"B2\" t=\"b\"><v>1</v></c><c r=\"C2\"><f t=\"shared\" si=\"0\"/></c>"
    "<c r=\"D2\" t=\"inlineStr\"><is><r><t>in</t></r><r><t>line</t></r></is></c>"
    "<c r=\"E2\" t=\"e\"><v>#N/A</v></c><c r=\"F2\" t=\"str\"><f>_xlfn.CONCAT(A1,'Two'!A1)</f><v>x</v></c></row>"
    "</sheetData><cols><col min=\"2\" max=\"3\" width=\"12.7\" customWidth=\"1\" hidden=\"1\"/></cols>"
    "<sheetProtection sheet=\"1\"/>";

TEST(SheetXlsxFuzz, MutatedPartsAndPackagesFailCleanlyOrOpen) {
  std::mt19937 random(kovo::testing::fuzz_seed(20261208));
  const long long rounds = kovo::testing::fuzz_rounds(1500);
  const std::string alphabet = "<>/=\"' &;#!:$rcvfst0123456789ABC\n";
  const auto base = kovo::testing::workbook_parts(
      {{"One", kSheet}, {"Two", "<sheetData><row r=\"1\"><c r=\"A1\"><v>7</v></c></row></sheetData>"}},
      "<bookViews><workbookView activeTab=\"1\"/></bookViews>"
      "<definedNames><definedName name=\"Total\">One!$B$1:$C$2</definedName></definedNames>",
      {"text"});
  const std::string good = kovo::testing::make_package(base);
  ASSERT_FALSE(good.empty());
  int opened = 0;
  for (long long round = 0; round < rounds; ++round) {
    Application app;
    LoadResult result;
    switch (round % 3) {
      case 0: {  // the XML layer alone
        const auto& part = base[random() % base.size()].second;
        XmlElement root;
        const auto error = parse_xml(mutate(part, random, alphabet), root);
        if (error) EXPECT_FALSE(error->empty());
        continue;
      }
      case 1: {  // one part of a package mutated
        auto parts = base;
        auto& part = parts[random() % parts.size()].second;
        part = mutate(part, random, alphabet);
        result = workbook_from_xlsx(app, kovo::testing::make_package(parts), "Fuzz.xlsx");
        break;
      }
      default: {  // the packed bytes mutated
        std::string bytes = good;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int f = 0; f < flips; ++f) bytes[random() % bytes.size()] = static_cast<char>(random() % 256);
        result = workbook_from_xlsx(app, bytes, "Fuzz.xlsx");
      }
    }
    if (result.book) {
      ++opened;
      EXPECT_FALSE(result.book->sheets().empty());
      app.open(std::move(result.book));
      app.calculator().recalculate();
    } else {
      EXPECT_FALSE(result.error.empty());
    }
  }
  EXPECT_GT(opened, 0);
  kovo::testing::report_fuzz_executions(rounds);
}

}  // namespace
