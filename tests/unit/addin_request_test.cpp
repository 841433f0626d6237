// The add-in's request texts without a spreadsheet: arguments of every kind
// turned into fields, refusals, the answer's reading, argument packing,
// BSPEC, command strings and DDE error names.
#include <gtest/gtest.h>

#include "addin/core/messages.h"
#include "addin/core/request_text.h"
#include "server/dde_tables.h"

using namespace kovo::addin;

namespace {

Argument text(const std::string& t) { return Argument::of(CellValue::str(t)); }
Argument num(double n) { return Argument::of(CellValue::num(n)); }
Argument missing() { return Argument::of(CellValue::of(CellValue::Kind::Missing)); }
Argument cells(std::vector<CellValue> values) { return Argument::cells({std::move(values)}); }

std::string sent(std::string_view item, const std::vector<Argument>& args, bool value_first = false) {
  const BuiltRequest b = build_request(item, args, value_first);
  return b.ok ? b.text : "refused: " + b.text;
}

}  // namespace

TEST(AddinRequest, FieldsByKindAndTrailingSeparatorsRemoved) {
  EXPECT_EQ(sent("GL", {cells({CellValue::str("1000")}), num(12.7), missing(), missing(), missing(), missing()}),
            "GL;1000;12");
  EXPECT_EQ(sent("GL", {text("4000-??")}), "GL;4000-??");
  EXPECT_EQ(sent("GL", {text("a"), missing(), text("DEMO")}), "GL;a;;DEMO");
  EXPECT_EQ(sent("GL", {text("'0100"), text("''x")}), "GL;0100;'x") << "one leading apostrophe goes";
  EXPECT_EQ(sent("GL", {num(-12.9), Argument::of(CellValue::boolean(true)), Argument::of(CellValue::whole(-3)),
                        Argument::of(CellValue::of(CellValue::Kind::Other))}),
            "GL;-12;1;-3") << "numbers truncated toward zero; an array constant leaves its field empty";
  EXPECT_EQ(sent("WGL", {num(1234.5), text("1000")}, true), "WGL;1234.5;1000");
  EXPECT_EQ(sent("WGL", {num(0.1)}, true), "WGL;0.10000000000000000555") << "20 significant digits";
  EXPECT_EQ(sent("GL", {num(-0.4)}), "GL;0");
}

TEST(AddinRequest, RangesJoinTheirCellsAndLeaveEmptyTextsOut) {
  EXPECT_EQ(sent("GL", {cells({CellValue::str("a"), CellValue::str(""), CellValue::str("c")})}), "GL;a,c");
  EXPECT_EQ(sent("GL", {cells({CellValue::str("a"), CellValue::str("b"), CellValue::str("")})}), "GL;a,b,");
  EXPECT_EQ(sent("GL", {Argument::cells({{CellValue::str("a"), CellValue::num(2.5)}, {CellValue::boolean(false)}})}),
            "GL;a,2,0") << "several areas in order";
  EXPECT_EQ(sent("GL", {text("x"), text("y"), cells({CellValue::str("a"), CellValue::of(CellValue::Kind::Nil)})}),
            "refused: Parameter 3not a string.");
  EXPECT_EQ(sent("GL", {cells({CellValue::of(CellValue::Kind::Error)})}), "refused: Parameter 1not a string.");
}

TEST(AddinRequest, RefusedValuesAndTheLengthLimit) {
  EXPECT_EQ(sent("GL", {Argument::of(CellValue::of(CellValue::Kind::Error))}), "refused: Err parameter not allowed");
  EXPECT_EQ(sent("GL", {Argument::of(CellValue::of(CellValue::Kind::Flow))}), "refused: Flow parameters not allowed");
  EXPECT_EQ(sent("GL", {Argument::of(CellValue::of(CellValue::Kind::Nil))}),
            "refused: Empty cell parameters not allowed");
  // "GL;" and 251 characters make 254, and the ";" after them 255: accepted.
  EXPECT_EQ(sent("GL", {text(std::string(251, 'x'))}).size(), 254u);
  EXPECT_EQ(sent("GL", {text(std::string(252, 'x'))}), "refused: Buffer overflow");
  EXPECT_EQ(sent("GL", {cells({CellValue::str(std::string(200, 'x')), CellValue::str(std::string(60, 'y'))})}),
            "refused: Buffer overflow");
  EXPECT_EQ(sent("GL", {num(1e300)}), "refused: Buffer overflow") << "a huge number never overruns";
  EXPECT_TRUE(build_request("GL", {text("a"), Argument::uncalculated()}).uncalculated);
}

// The request item has no quoting: a ";" in a text would start another
// field, and a NUL would end the item there, so that the connector fills
// the fields after it with its defaults. Either would answer another
// request's figure.
TEST(AddinRequest, TextsThatWouldShiftOrCutTheFieldsAreRefused) {
  const std::string semicolon = "refused: " + addin_message(kMsgSemicolonArgument);
  const std::string nul = "refused: " + addin_message(kMsgNulArgument);
  EXPECT_EQ(semicolon, "refused: Semicolon in parameter not allowed");
  EXPECT_EQ(nul, "refused: Null character in parameter not allowed");
  EXPECT_EQ(sent("GL", {text("4000-*"), text("Year to Date"), text("DEMO;MFG2")}), semicolon);
  EXPECT_EQ(sent("GL", {cells({CellValue::str("DEMO"), CellValue::str("MFG2;")})}), semicolon);
  EXPECT_EQ(sent("GL", {text(std::string("4000-*\0junk", 11)), text("Year to Date"), text("DEMO")}), nul);
  EXPECT_EQ(sent("GL", {cells({CellValue::str(std::string("a\0", 2))})}), nul);
  EXPECT_EQ(sent("GL", {text("4000-*"), text("Year to Date"), text("DEMO,MFG2")}), "GL;4000-*;Year to Date;DEMO,MFG2");
}

TEST(AddinRequest, AnswersAreNumbersOnlyWithDigitsFromTheNumberSet) {
  const auto number = [](std::string_view a) {
    const Result r = result_of_answer(a);
    return r.is_number ? std::to_string(r.number) : "text " + r.text;
  };
  EXPECT_EQ(number("1,234.50\r\n"), "text 1,234.50");
  EXPECT_EQ(number("1234.50\r\n"), std::to_string(1234.5));
  EXPECT_EQ(number("-\r\n"), "text -");
  EXPECT_EQ(number("  12 \r\n"), std::to_string(12.0));
  EXPECT_EQ(number("-82827.07"), std::to_string(-82827.07));
  EXPECT_EQ(number("1.5E+3"), std::to_string(1500.0));
  EXPECT_EQ(number("Cash in bank\r\nsecond line"), "text Cash in bank");
  EXPECT_EQ(number(std::string(300, 'z')).size(), 5u + 255u) << "texts are held to 255 characters";
  EXPECT_EQ(first_line(std::string_view("ab\0cd", 5)), "ab");
}

TEST(AddinRequest, PackingForCommandListsAndBspec) {
  EXPECT_EQ(pack_argument(cells({CellValue::str("a"), CellValue::str("b"), CellValue::str("c")})), "a,b,c");
  EXPECT_EQ(pack_argument(cells({CellValue::num(2.5), CellValue::num(-2.5), CellValue::num(-0.2), CellValue::whole(7)})),
            "3,-3,0,7") << "one area: numbers rounded half away from zero";
  EXPECT_EQ(pack_argument(Argument::cells({{CellValue::num(2.7)}, {CellValue::num(-2.7)}})), "2,-2")
      << "several areas: truncated";
  EXPECT_EQ(pack_argument(cells({CellValue::str("a"), CellValue::of(CellValue::Kind::Nil), CellValue::str("c")})),
            "a, ,c");
  EXPECT_EQ(pack_argument(cells({CellValue::str("a"), CellValue::str("")})), "a");
  EXPECT_EQ(pack_argument(num(-7.9)), "-7");
  EXPECT_EQ(pack_argument(text("NoShow=1")), "NoShow=1");
  EXPECT_EQ(pack_argument(Argument::of(CellValue::boolean(true))), "");
  EXPECT_FALSE(pack_argument(Argument::uncalculated()));
  std::vector<CellValue> many(100, CellValue::str("abcd"));
  EXPECT_LT(pack_argument(cells(many))->size(), 256u);

  EXPECT_EQ(bspec(text("1000^2000"), {}), "1000^2000");
  EXPECT_EQ(bspec(text("1000-2000"), {cells({CellValue::str("x"), CellValue::str("y")})}), "(1000-2000)(x,y)");
  EXPECT_EQ(bspec(text("'1000"), {text("'a'b"), text("")}), "(1000)(ab)");
  EXPECT_EQ(bspec(text(""), {text("x")}), "");
  EXPECT_FALSE(bspec(text("1"), {Argument::uncalculated()}));
}

TEST(AddinRequest, CommandStringsAndDdeErrorNames) {
  EXPECT_EQ(command_string("DRILLDOWN"), "[DRILLDOWN]");
  EXPECT_EQ(command_string("DRILLDOWN", "NoShow=1"), "[DRILLDOWN(NoShow=1)]");
  EXPECT_TRUE(kovo::server::sent_as_request("[DRILLDOWN(noShow=1)]"));
  EXPECT_TRUE(kovo::server::sent_as_request("[X(a=1,nOsHoW)]")) << "anywhere, in any case";
  EXPECT_FALSE(kovo::server::sent_as_request("[DRILLDOWN]"));
  EXPECT_FALSE(kovo::server::sent_as_request("[NOSHO]"));
  EXPECT_EQ(list_continuation("[KovoLIST(NoShow=1, MOREDATA=0, List=2)]"), "[KOVOLIST(NOSHOW=1, MOREDATA=1, LIST=2)]");
  EXPECT_EQ(dde_error_name(0x4000), "DMLERR_ADVACKTIMEOUT      ");
  EXPECT_EQ(dde_error_name(0x4009), "DMLERR_NOTPROCESSED       ");
  EXPECT_EQ(dde_error_name(0x400A), "DMLERR_NO_CONV_ESTABLISHED");
  EXPECT_EQ(dde_error_name(0x4011), "DMLERR_UNFOUND_QUEUE_ID   ");
  EXPECT_EQ(dde_error_name(0x4012), "DDEMLL Uncatalogued Error");
  EXPECT_EQ(dde_error_name(0), "DDEMLL Uncatalogued Error");
  // A request that brought no data while DDEML reports no error: the cell
  // shows that the server is not responding, not an uncatalogued error.
  EXPECT_EQ(dde_error_text(0), std::nullopt);
  EXPECT_EQ(dde_error_text(0x4009), "DMLERR_NOTPROCESSED       ");
  EXPECT_EQ(dde_error_text(0x5000), "DDEMLL Uncatalogued Error");
  EXPECT_EQ(list_separator(";", ","), ';');
  EXPECT_EQ(list_separator("", "|"), '|');
}
