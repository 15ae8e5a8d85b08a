// Line layouts: pairing of items and values, record construction, group
// repetition and reversion, and output to a channel.
#include "textio/line_layout.h"

#include "support/file_contents.h"
#include "support/scratch_folder.h"
#include "textio/file_channel.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace textio;

std::string render(std::span<const LayoutItem> layout, std::span<const LayoutValue> values = {}) {
    std::string records;
    render_layout(layout, values, records);
    return records;
}

std::string blanks(int count) { return std::string(static_cast<std::size_t>(count), ' '); }

constexpr std::array data_record_layout = {literal(" "),       group(4),    literal(" "),
                                           fixed_field(12, 2), group_end(), layout_end()};

TEST(LineLayout, ResultFileLines) {
    const std::array values = {real_value(0.0), real_value(20.0), real_value(20.0), real_value(0.0)};
    const std::string record = render(data_record_layout, values);
    EXPECT_EQ(record, blanks(10) + "0.00" + blanks(8) + "20.00" + blanks(8) + "20.00" + blanks(9) + "0.00\r\n");
    EXPECT_EQ(record.size(), 53u + 2u);

    const std::array negative = {real_value(1.5), real_value(-0.004), real_value(-0.006), real_value(1.0e9)};
    EXPECT_EQ(render(data_record_layout, negative),
              blanks(10) + "1.50" + blanks(9) + "0.00" + blanks(8) + "-0.01 " + std::string(12, '*') + "\r\n");

    constexpr std::array summary = {literal(" dTmax="), fixed_field(12, 2), layout_end()};
    const std::array largest = {real_value(12.5)};
    EXPECT_EQ(render(summary, largest), " dTmax=" + blanks(7) + "12.50\r\n");

    constexpr std::array header = {literal(" Time,s              tc               tpov"), layout_end()};
    EXPECT_EQ(render(header).size(), 42u + 2u);
}

TEST(LineLayout, NotFiniteValuesInRecords) {
    const std::array values = {real_value(std::numeric_limits<double>::quiet_NaN()),
                               real_value(std::numeric_limits<double>::infinity()),
                               real_value(-std::numeric_limits<double>::infinity()), real_value(1.0)};
    EXPECT_EQ(render(data_record_layout, values),
              " " + (" " + (" NaN" + blanks(8))) + (" " + (" Infinity" + blanks(3))) +
                  (" " + (" -Infinity" + blanks(2))) + (" " + (blanks(8) + "1.00")) + "\r\n");
}

TEST(LineLayout, OneCharacterTextItemsAndMissingValues) {
    constexpr std::array layout = {literal(" *** "), text_field(1, 64), layout_end()};
    std::vector<LayoutValue> characters;
    const std::string_view text = "0123456789";
    for (std::size_t i = 0; i < text.size(); ++i) characters.push_back(text_value(text.substr(i, 1)));
    EXPECT_EQ(render(layout, characters), " *** 0123456789\r\n");
    EXPECT_EQ(render(layout), " *** \r\n");
}

TEST(LineLayout, WriteWithoutValuesWritesLiteralsUpToTheEnd) {
    constexpr std::array layout = {record_break(), literal("first"), record_break(), literal("second"), layout_end()};
    EXPECT_EQ(render(layout), "\r\nfirst\r\nsecond\r\n");
    // A data field with no value stops the write after its record.
    constexpr std::array stopped = {literal(" a"),  integer_field(3), literal("b"),
                                    record_break(), literal("c"),     layout_end()};
    EXPECT_EQ(render(stopped), " a\r\n");
}

TEST(LineLayout, TextFieldWidths) {
    const std::array name = {text_value("DLSLTR")};
    constexpr std::array wide = {text_field(32), layout_end()};
    EXPECT_EQ(render(wide, name), blanks(26) + "DLSLTR\r\n");
    constexpr std::array natural = {literal("<"), text_field(), literal(">"), layout_end()};
    EXPECT_EQ(render(natural, name), "<DLSLTR>\r\n");
    constexpr std::array narrow = {literal("<"), text_field(3), literal(">"), layout_end()};
    EXPECT_EQ(render(narrow, name), "<DLS>\r\n");
}

TEST(LineLayout, ComplaintWithIntegerFieldAndRecordBreaks) {
    constexpr std::array layout = {record_break(),   literal(" *** TERMINAL ERROR 5 from IMACH.  The argument"),
                                   record_break(),   literal(" ***          must be between 1 and 12 inclusive."),
                                   record_break(),   literal(" ***          N = "),
                                   integer_field(6), literal("."),
                                   record_break(),   layout_end()};
    const std::array index = {integer_value(13)};
    EXPECT_EQ(render(layout, index), "\r\n"
                                     " *** TERMINAL ERROR 5 from IMACH.  The argument\r\n"
                                     " ***          must be between 1 and 12 inclusive.\r\n"
                                     " ***          N =     13.\r\n"
                                     "\r\n");
}

TEST(LineLayout, SkipsMoveWithoutExtendingTheRecord) {
    constexpr std::array gap = {literal("A"), skip(3), literal("B"), layout_end()};
    EXPECT_EQ(render(gap), "A   B\r\n");
    constexpr std::array trailing = {literal("A"), skip(5), layout_end()};
    EXPECT_EQ(render(trailing), "A\r\n");
    constexpr std::array row = {skip(5), text_field(8), integer_field(6), skip(6), integer_field(6), layout_end()};
    const std::array values = {text_value("E1POP"), integer_value(4), integer_value(2)};
    EXPECT_EQ(render(row, values), blanks(8) + "E1POP" + blanks(5) + "4" + blanks(11) + "2\r\n");
}

TEST(LineLayout, ValuesLeftAtTheEndRevertToTheLastTopLevelGroup) {
    constexpr std::array layout = {literal("H"), group(2), literal(" "), integer_field(2), group_end(), layout_end()};
    std::vector<LayoutValue> values;
    for (int i = 1; i <= 5; ++i) values.push_back(integer_value(i));
    EXPECT_EQ(render(layout, values),
              "H  1  2\r\n  3  4\r\n  5 \r\n");  // the literal before the unfilled field is written
    values.pop_back();
    EXPECT_EQ(render(layout, values), "H  1  2\r\n  3  4\r\n");

    // Without a group the layout starts again at its first item.
    constexpr std::array plain = {literal("x"), integer_field(2), layout_end()};
    EXPECT_EQ(render(plain, std::span(values).first(3)), "x 1\r\nx 2\r\nx 3\r\n");

    // The last top-level group is the one that repeats, not an earlier one.
    constexpr std::array two_groups = {group(1),     literal("a"),     integer_field(1), group_end(), group(1),
                                       literal("b"), integer_field(1), group_end(),      layout_end()};
    EXPECT_EQ(render(two_groups, values), "a1b2\r\nb3\r\nb4\r\n");
}

TEST(LineLayout, NestedGroupsRepeatInnermostFirst) {
    constexpr std::array layout = {group(2),    literal("("), group(3),    integer_field(1),
                                   group_end(), literal(")"), group_end(), layout_end()};
    std::vector<LayoutValue> values;
    for (int i = 1; i <= 7; ++i) values.push_back(integer_value(i));
    EXPECT_EQ(render(layout, std::span(values).first(6)), "(123)(456)\r\n");
    EXPECT_EQ(render(layout, values), "(123)(456)\r\n(7\r\n");
    constexpr std::array repeated_field = {literal("["), integer_field(2, 3), literal("]"), layout_end()};
    EXPECT_EQ(render(repeated_field, std::span(values).first(3)), "[ 1 2 3]\r\n");
}

TEST(LineLayout, MismatchedKindsAndLayoutsWithoutFieldsAreSafe) {
    constexpr std::array layout = {fixed_field(5, 1), integer_field(3), text_field(2), text_field(), layout_end()};
    const std::array values = {integer_value(1), real_value(2.0), integer_value(3), real_value(4.0)};
    EXPECT_EQ(render(layout, values), "*****"
                                      "***"
                                      "**"
                                      "*\r\n");
    // Values left over for a layout with no data field are not used; the
    // write does not repeat forever.
    constexpr std::array literal_only = {literal("only"), layout_end()};
    EXPECT_EQ(render(literal_only, values), "only\r\n");
    // A group repeated zero times is passed over.
    constexpr std::array empty_group = {literal("a"), group(0), literal("b"), group_end(), literal("c"), layout_end()};
    EXPECT_EQ(render(empty_group), "ac\r\n");
}

TEST(LineLayout, WriteToChannelMatchesRenderedRecords) {
    const std::filesystem::path directory = make_scratch_directory("line-layout");
    const std::string path = (directory / "records.txt").string();
    {
        std::ofstream before(path, std::ios::binary);
        before << std::string(5000, 'x');  // longer than what is written: cut off
    }
    Channel& channel = open_unit(314, path);
    std::string expected;
    for (int step = 0; step < 3000; ++step) {
        const std::array values = {real_value(step * 0.25), real_value(20.0 - step), real_value(-0.5),
                                   real_value(step * 1.0e6)};
        write_layout(channel, data_record_layout, values);
        render_layout(data_record_layout, values, expected);
    }
    close_unit(314);
    const std::string content = read_file(path).value_or("");
    EXPECT_EQ(content.size(), 3000u * 55u);
    EXPECT_EQ(content, expected);
    remove_scratch_directory(directory);
}

}  // namespace
