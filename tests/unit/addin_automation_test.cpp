// Reading a reference through automation, without COM: the value an
// automation property answers turned into the type a coercion asked for,
// the workbook, sheet and address a reference names, and the macro that
// checks the running application; on the host's side, the macro read back.
#include <gtest/gtest.h>

#include "addin/core/automation_value.h"
#include "sheethost/automation.h"

using namespace kovo::addin::automation;
using Kind = AutoValue::Kind;

namespace {

std::optional<AutoValue> as(const AutoValue& v, int type) { return coerce_to(v, type); }

}  // namespace

TEST(AddinAutomationValue, EachKindAsItIsAndAsANumber) {
  // Type 0 keeps the value as the cell holds it.
  EXPECT_EQ(as(AutoValue::of_number(12.5), 0)->number, 12.5);
  EXPECT_EQ(as(AutoValue::of_text("abc"), 0)->text, "abc");
  EXPECT_EQ(as(AutoValue::empty(), 0)->kind, Kind::Empty);
  EXPECT_EQ(as(AutoValue::of_error(42), 0)->error, 42);

  EXPECT_EQ(as(AutoValue::of_boolean(true), kTypeNumber)->number, 1);
  EXPECT_EQ(as(AutoValue::empty(), kTypeNumber)->number, 0) << "a blank cell reads as 0";
  EXPECT_EQ(as(AutoValue::of_text(" 1000 "), kTypeNumber)->number, 1000);
  EXPECT_FALSE(as(AutoValue::of_text("1000-10"), kTypeNumber)) << "a text that is not a number as a whole";
  EXPECT_FALSE(as(AutoValue::of_text("0x10"), kTypeNumber));
  EXPECT_FALSE(as(AutoValue::of_text("inf"), kTypeNumber));
  EXPECT_FALSE(as(AutoValue::of_text(""), kTypeNumber));
}

TEST(AddinAutomationValue, TextsLogicalsIntegersAndErrors) {
  EXPECT_EQ(as(AutoValue::of_number(1000), kTypeText)->text, "1000");
  EXPECT_EQ(as(AutoValue::of_number(12.5), kTypeText)->text, "12.5");
  EXPECT_EQ(as(AutoValue::of_number(1e20), kTypeText)->text, "1E+20");
  EXPECT_EQ(as(AutoValue::of_boolean(false), kTypeText)->text, "FALSE");
  EXPECT_EQ(as(AutoValue::empty(), kTypeText)->text, "");

  EXPECT_TRUE(as(AutoValue::of_text("true"), kTypeBoolean)->boolean);
  EXPECT_FALSE(as(AutoValue::of_number(0), kTypeBoolean)->boolean);
  EXPECT_FALSE(as(AutoValue::of_text("yes"), kTypeBoolean));

  const auto i = as(AutoValue::of_number(-7.9), kTypeInteger);
  ASSERT_TRUE(i);
  EXPECT_EQ(i->kind, Kind::Integer);
  EXPECT_EQ(i->number, -7) << "truncated toward zero";
  EXPECT_FALSE(as(AutoValue::of_number(40000), kTypeInteger)) << "past the 16 bits of the C API's integer";

  // An error stays an error: asked for as anything else it cannot be had.
  EXPECT_FALSE(as(AutoValue::of_error(7), kTypeNumber | kTypeText | kTypeBoolean));
  EXPECT_EQ(as(AutoValue::of_error(7), kTypeError | kTypeNumber)->kind, Kind::Error);
  // A kind the add-in does not know (an object, a nested array) is never read as a value.
  EXPECT_FALSE(as(AutoValue::unsupported(), 0));
  EXPECT_FALSE(as(AutoValue::unsupported(), kTypeText));
  EXPECT_EQ(as(AutoValue::empty(), kTypeNil)->kind, Kind::Empty);
  EXPECT_FALSE(as(AutoValue::of_text("x"), kTypeNil));
}

TEST(AddinAutomationValue, ArraysAndSingleValues) {
  const AutoValue cells = AutoValue::array(2, 2, {AutoValue::of_number(1), AutoValue::of_text("2"), AutoValue::empty(),
                                                   AutoValue::of_boolean(true)});
  ASSERT_EQ(cells.kind, Kind::Array);
  EXPECT_EQ(as(cells, kTypeNumber)->number, 1) << "a single value is the first cell's";
  const auto numbers = as(cells, kTypeArray | kTypeNumber);
  ASSERT_TRUE(numbers);
  ASSERT_EQ(numbers->items.size(), 4u);
  EXPECT_EQ(numbers->items[1].number, 2);
  EXPECT_EQ(numbers->items[2].number, 0);
  EXPECT_EQ(numbers->items[3].number, 1);
  EXPECT_EQ(as(cells, kTypeArray)->items[1].text, "2") << "an array asked for as an array keeps its values";
  EXPECT_EQ(as(cells, 0)->kind, Kind::Array);

  const auto one = as(AutoValue::of_text("x"), kTypeArray);
  ASSERT_TRUE(one);
  EXPECT_EQ(one->rows, 1);
  EXPECT_EQ(one->items.at(0).text, "x");
  EXPECT_EQ(as(AutoValue::array(1, 1, {AutoValue::of_number(5)}), 0)->number, 5) << "one cell reads as its value";

  EXPECT_EQ(AutoValue::array(2, 2, {AutoValue::of_number(1)}).kind, Kind::Unsupported) << "items that miss the shape";
  EXPECT_EQ(AutoValue::array(0, 3, {}).kind, Kind::Unsupported);
  EXPECT_FALSE(as(AutoValue::array(1, 2, {AutoValue::of_text("a"), AutoValue::of_error(15)}), kTypeArray | kTypeText));
}

TEST(AddinAutomationValue, ErrorValuesAsAutomationCarriesThem) {
  EXPECT_EQ(error_from_automation(static_cast<long>(0x800A07D0UL)), 0);   // #NULL!
  EXPECT_EQ(error_from_automation(static_cast<long>(0x800A07E7UL)), 23);  // #REF!
  EXPECT_EQ(error_from_automation(static_cast<long>(0x800A07FAUL)), 42);  // #N/A
  EXPECT_FALSE(error_from_automation(static_cast<long>(0x800A07D1UL)));
  EXPECT_FALSE(error_from_automation(static_cast<long>(0x80004005UL)));
  // The host writes them as the add-in reads them.
  for (auto e : {kovo::sheet::ErrorCode::Null, kovo::sheet::ErrorCode::Div0, kovo::sheet::ErrorCode::Value,
                 kovo::sheet::ErrorCode::Ref, kovo::sheet::ErrorCode::Name, kovo::sheet::ErrorCode::Num,
                 kovo::sheet::ErrorCode::NA})
    EXPECT_EQ(error_from_automation(kovo::sheet::automation_error_code(e)), static_cast<int>(e));
}

TEST(AddinAutomationValue, WhereAReferenceIs) {
  std::string book, sheet;
  ASSERT_TRUE(split_sheet_name("[Book1.xls]Sheet 1", book, sheet));
  EXPECT_EQ(book, "Book1.xls");
  EXPECT_EQ(sheet, "Sheet 1");
  EXPECT_FALSE(split_sheet_name("Sheet1", book, sheet));
  EXPECT_FALSE(split_sheet_name("[]Sheet1", book, sheet));
  EXPECT_FALSE(split_sheet_name("[Book1]", book, sheet));

  EXPECT_EQ(a1_address(2, 1, 2, 1), "$B$3");
  EXPECT_EQ(a1_address(0, 0, 3, 2), "$A$1:$C$4");
  EXPECT_EQ(a1_address(65535, 255, 65535, 255), "$IV$65536");
  EXPECT_EQ(a1_address(0, 26, 0, 27), "$AA$1:$AB$1");
}

TEST(AddinAutomationValue, TheCheckMacroAndItsReadingByTheHost) {
  const std::string macro = check_instance_macro("C:\\Add ins\\Ko\"vo.XLL");
  EXPECT_EQ(macro, "CALL(\"C:\\Add ins\\Ko\"\"vo.XLL\",\"CheckInstance\",\"j\")");
  const auto call = kovo::sheet::parse_call_macro(macro);
  ASSERT_TRUE(call);
  EXPECT_EQ(call->module, "C:\\Add ins\\Ko\"vo.XLL");
  EXPECT_EQ(call->procedure, "CheckInstance");
  EXPECT_EQ(call->type_text, "j");
  EXPECT_TRUE(kovo::sheet::parse_call_macro(" =call( \"a.xll\" , \"P\" , \"J\" ) "));
  for (const char* refused : {"", "SUM(1,2)", "CALL(\"a.xll\",\"P\")", "CALL(\"a.xll\",\"P\",\"J\",\"x\")",
                              "CALL(\"a.xll\",\"P\",\"J\"", "CALL(\"a.xll,\"P\",\"J\")", "CALL(\"a.xll\",\"P\",\"J\")x",
                              "CALL(a.xll,\"P\",\"J\")", "CALL(\"\",\"P\",\"J\")"})
    EXPECT_FALSE(kovo::sheet::parse_call_macro(refused)) << refused;
}
