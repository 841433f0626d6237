// The JSON reader and writer of the host's files: strict JSON refused with
// its line and column, nesting bounded without using the call stack,
// numbers kept as written until read (a number out of range is the
// reader's caller's to refuse), texts decoded and written back whole, and
// mutated or random texts that never crash the reader.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "sheethost/json.h"

using namespace kovo::sheet::json;

namespace {

std::optional<Document> read(const std::string& text, std::string& error) { return Document::parse(text, error); }

TEST(SheetJson, StrictJsonIsRefusedWithItsPlace) {
  const struct {
    std::string text;
    const char* message;
  } cases[] = {
      {"", "line 1, column 1: the text ends where a value is expected"},
      {"[1,]", "line 1, column 4: a value is expected"},
      {"{\"a\":1,}", "line 1, column 8: a key in quotes is expected"},
      {"{\"a\" 1}", "line 1, column 6: \":\" is expected after the key"},
      {"[1 2]", "line 1, column 4: \",\" or \"]\" is expected"},
      {"{\"a\":1 \"b\":2}", "line 1, column 8: \",\" or \"}\" is expected"},
      {"{\n  \"a\": 1,\n  \"a\": 2\n}", "line 3, column 3: the key \"a\" is given twice"},
      {"[01]", "line 1, column 3: \",\" or \"]\" is expected"},
      {"[1.]", "line 1, column 4: a digit is expected after the decimal point"},
      {"[1e]", "line 1, column 4: a digit is expected in the exponent"},
      {"[-]", "line 1, column 3: a digit is expected"},
      {"\"a\tb\"", "line 1, column 3: a control character stands inside a text"},
      {"\"\\x\"", "line 1, column 2: \\x is no escape"},
      {"\"\\u12\"", "line 1, column 2: \\u needs four hexadecimal digits"},
      {"\"\\ud800\"", "line 1, column 2: a \\u escape holds half a character"},
      {"\"\\udc00\"", "line 1, column 2: a \\u escape holds half a character"},
      {"\"\xC3\x28\"", "line 1, column 2: the text is not UTF-8"},
      {"\"\xED\xA0\x80\"", "line 1, column 2: the text is not UTF-8"},
      {"\"\xC0\xAF\"", "line 1, column 2: the text is not UTF-8"},
      {"\"open", "line 1, column 1: the text's closing quote is missing"},
      {"{} {}", "line 1, column 4: the text goes on after the end of the JSON value"},
      {"[tru]", "line 1, column 2: a value is expected"},
      {"\xEF\xBB\xBF[1] x", "line 1, column 6: the text goes on"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(read(c.text, error)) << c.text;
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << c.text << "\n" << error;
  }
}

TEST(SheetJson, KeysGivenTwiceAreFoundInLargeObjectsAndThroughEscapes) {
  std::string text = "{";
  for (int i = 0; i < 100; ++i) text += "\"k" + std::to_string(i) + "\": " + std::to_string(i) + ",\n";
  text += "\"k\\u0035\": 0, \"k7\": 1}";
  std::string error;
  EXPECT_FALSE(read(text, error));
  EXPECT_EQ(error, "line 101, column 1: the key \"k5\" is given twice") << "the first repeat in the text";
  EXPECT_FALSE(read("{\"a\": 1, \"\\u0061\": 2}", error));
  EXPECT_EQ(error, "line 1, column 10: the key \"a\" is given twice");
}

TEST(SheetJson, NestingIsBoundedWithoutDeepCalls) {
  // Twelve thousand levels in 24 KB: refused at the bound, at once.
  const std::string deep = std::string(12000, '[') + std::string(12000, ']');
  std::string error;
  EXPECT_FALSE(read(deep, error));
  EXPECT_EQ(error, "line 1, column 65: the values nest deeper than 64 levels");
  const std::string objects = [] {
    std::string t;
    for (int i = 0; i < 12000; ++i) t += "{\"a\":";
    return t + "1" + std::string(12000, '}');
  }();
  EXPECT_FALSE(read(objects, error));
  EXPECT_NE(error.find("nest deeper than 64 levels"), std::string::npos);
  // Up to the bound is fine, and so is a large flat list.
  const std::string sixty_four = std::string(64, '[') + std::string(64, ']');
  EXPECT_TRUE(read(sixty_four, error)) << error;
  std::string flat = "[";
  for (int i = 0; i < 100000; ++i) flat += (i ? ",[]" : "[]");
  flat += "]";
  auto doc = read(flat, error);
  ASSERT_TRUE(doc) << error;
  EXPECT_EQ(doc->root().size(), 100000u);
}

TEST(SheetJson, ValuesReadAsWritten) {
  std::string error;
  const std::string text =
      "{\"n\": -12.5e1, \"big\": 1e400, \"tiny\": 1e-400, \"whole\": 42, \"t\": \"a\\\"b\\\\c\\/\\n\\u00e9\\ud83d\\ude00\","
      " \"list\": [true, false, null, {}], \"o\": {\"x\": [1, [2]]}}";
  auto doc = read(text, error);
  ASSERT_TRUE(doc) << error;
  const Value root = doc->root();
  EXPECT_EQ(root.size(), 7u);
  EXPECT_EQ(root.find("n")->number(), -125.0);
  EXPECT_EQ(root.find("n")->integer(), std::nullopt);
  EXPECT_EQ(root.find("big")->literal(), "1e400");
  EXPECT_EQ(root.find("big")->number(), std::nullopt) << "out of range, for the caller to refuse";
  EXPECT_EQ(root.find("tiny")->number(), 0.0);
  EXPECT_EQ(root.find("whole")->integer(), 42);
  EXPECT_EQ(root.find("t")->string(), "a\"b\\c/\n\xC3\xA9\xF0\x9F\x98\x80");
  const auto list = root.find("list")->items();
  ASSERT_EQ(list.size(), 4u);
  EXPECT_TRUE(list[0].boolean());
  EXPECT_TRUE(list[1].is_bool() && !list[1].boolean());
  EXPECT_TRUE(list[2].is_null());
  EXPECT_TRUE(list[3].is_object());
  EXPECT_EQ(root.find("o")->find("x")->items()[1].items()[0].integer(), 2);
  EXPECT_FALSE(root.find("missing"));
  std::vector<std::string> keys;
  root.for_each_member([&](const std::string& key, const Value&) { keys.push_back(key); });
  EXPECT_EQ(keys, (std::vector<std::string>{"n", "big", "tiny", "whole", "t", "list", "o"}));
}

TEST(SheetJson, WriterLaysOutOneValueALineAndReadsBackTheSame) {
  Writer w;
  w.begin_object();
  w.key("name");
  w.string("Tab\there \"quoted\" \x01 caf\xC3\xA9 \xFF");
  w.key("numbers");
  w.begin_array();
  for (double n : {3601.5, 12.0, 1e20, 1e15, 0.0001, 1e-5, -0.0, 0.1 + 0.2, 1234567.0}) w.number(n);
  w.integer(-7);
  w.end_array();
  w.key("empty");
  w.begin_object();
  w.end_object();
  w.key("none");
  w.begin_array();
  w.end_array();
  w.end_object();
  EXPECT_EQ(w.text(),
            "{\n"
            "  \"name\": \"Tab\\there \\\"quoted\\\" \\u0001 caf\xC3\xA9 \xEF\xBF\xBD\",\n"
            "  \"numbers\": [\n"
            "    3601.5,\n    12.0,\n    1e+20,\n    1e+15,\n    0.0001,\n    1e-05,\n    -0.0,\n"
            "    0.30000000000000004,\n    1234567.0,\n    -7\n"
            "  ],\n"
            "  \"empty\": {},\n"
            "  \"none\": []\n"
            "}");
  std::string error;
  auto doc = read(w.text(), error);
  ASSERT_TRUE(doc) << error;
  const auto numbers = doc->root().find("numbers")->items();
  EXPECT_EQ(numbers[7].number(), 0.1 + 0.2);
  EXPECT_EQ(doc->root().find("name")->string(), "Tab\there \"quoted\" \x01 caf\xC3\xA9 \xEF\xBF\xBD");
}

TEST(SheetJsonFuzz, MutatedAndRandomTextsAreReadOrRefusedNeverCrash) {
  std::mt19937 random(kovo::testing::fuzz_seed(1207));
  const long long rounds = kovo::testing::fuzz_rounds(20000);
  const std::string seed =
      "{\"kovoSheet\": 1, \"sheets\": [{\"name\": \"S\", \"cells\": {\"A1\": {\"formula\": \"=1+2\", \"value\": 3},"
      " \"B2\": \"t\\u00e9xt\\n\", \"C3\": [true, null, -1.5e-3]}}]}";
  const std::string alphabet = "{}[]\":,0123456789.eE+-tfnul\\ \n\xC3\xA9";
  long long accepted = 0;
  for (long long round = 0; round < rounds; ++round) {
    std::string text = seed;
    if (random() % 5 == 0) {
      text.assign(random() % 64, '\0');
      for (char& c : text) c = static_cast<char>(random() % 256);
    } else {
      for (int e = 1 + static_cast<int>(random() % 4); e > 0; --e) {
        const std::size_t at = random() % (text.size() + 1);
        if (random() % 3 == 0 && at < text.size()) text.erase(at, 1);
        else text.insert(at, 1, alphabet[random() % alphabet.size()]);
      }
    }
    std::string error;
    auto doc = read(text, error);
    if (!doc) {
      EXPECT_EQ(error.rfind("line ", 0), 0u) << text;
      continue;
    }
    ++accepted;
    // Whatever was read walks whole: every value reachable, every text decodable.
    std::vector<Value> todo{doc->root()};
    std::size_t visited = 0;
    while (!todo.empty()) {
      const Value v = todo.back();
      todo.pop_back();
      ++visited;
      (void)v.string();
      (void)v.number();
      for (const Value& item : v.items()) todo.push_back(item);
      v.for_each_member([&](const std::string&, const Value& m) { todo.push_back(m); });
    }
    EXPECT_GT(visited, 0u);
  }
  EXPECT_GT(accepted, 0);
  kovo::testing::report_fuzz_executions(rounds);
}

}  // namespace
