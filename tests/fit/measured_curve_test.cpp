// The rules of the curve file: separators, header, comments, and the
// messages for bad lines.
#include <gtest/gtest.h>

#include "fit/measured_curve.h"

using namespace fit;

namespace {

TEST(MeasuredCurve, CommaBlankTabHeaderCommentsAndCrLf) {
    const CurveReading reading = parse_measured_curve("# probe log\r\n"
                                                      "time [s], temperature [C]\r\n"
                                                      "\r\n"
                                                      "0.5,849.5   # first\r\n"
                                                      "1.0 848\r\n"
                                                      "  1.5\t 846.25 \r\n"
                                                      "2e0 , -1.5E+2\n"
                                                      "2.5,840",
                                                      "log.csv");
    ASSERT_EQ(reading.error, "");
    EXPECT_EQ(reading.curve.time, (std::vector<double>{0.5, 1.0, 1.5, 2.0, 2.5}));
    EXPECT_EQ(reading.curve.temperature, (std::vector<double>{849.5, 848.0, 846.25, -150.0, 840.0}));
    EXPECT_EQ(reading.curve.line, (std::vector<int>{4, 5, 6, 7, 8}));
}

TEST(MeasuredCurve, BadLinesAreNamedWithFileLineAndReason) {
    struct Case {
        const char* text;
        const char* error;
    };
    for (const Case& c : {
             Case{"t,T\n1,800\n2,abc\n3,700\n", "c.csv:3: the temperature \"abc\" is not a number"},
             Case{"1,800\n2x,790\n3,700\n", "c.csv:2: the time \"2x\" is not a number"},
             Case{"1,800\n2,7\x01\xff\n3,700\n", "c.csv:2: the temperature \"7??\" is not a number"},
             Case{"1,800\n2,12345678901234567890123456789012345678901234567890x\n",
                  "c.csv:2: the temperature \"1234567890123456789012345678901234567890...\" is not a number"},
             Case{"1,800\n2,nan\n3,700\n", "c.csv:2: the temperature \"nan\" is not a number"},
             Case{"1,800\n2,1e999\n3,700\n", "c.csv:2: the temperature \"1e999\" is not a number"},
             Case{"1,800\n2,,790\n3,700\n", "c.csv:2: expected two columns, time and temperature, found 3"},
             Case{"1,800\n2\n3,700\n", "c.csv:2: expected two columns, time and temperature, found 1"},
             Case{"1,800\n2,\n3,700\n", "c.csv:2: the temperature is missing"},
             Case{"1,800\n2,790,5\n", "c.csv:2: expected two columns, time and temperature, found 3; a decimal comma "
                                      "needs a semicolon as the separator (0,5;849,5)"},
             Case{"1,800\n1,790\n3,700\n",
                  "c.csv:2: the times do not increase: 1 s does not come after the time on line 1"},
             Case{"# c\n1,800\n3,790\n2,700\n",
                  "c.csv:4: the times do not increase: 2 s does not come after the time on line 3"},
             Case{"-1,800\n2,790\n3,700\n", "c.csv:1: the time -1 s lies before the start of the run (0 s)"},
             Case{"time,temp\n1,800\n2,790\n", "c.csv: 2 measured points; at least 3 are needed"},
             Case{"# nothing\n", "c.csv: 0 measured points; at least 3 are needed"},
             Case{"t,T\n1,2\nx,y\n2,3\n3,4\n", "c.csv:3: the time \"x\" is not a number"},
             // A decimal comma in a file separated by commas is refused
             // with the cure named.
             Case{"0,50,859,5\n", "c.csv:1: expected two columns, time and temperature, found 4; a decimal comma "
                                  "needs a semicolon as the separator (0,5;849,5)"},
             Case{"0.5;849.5\n1;8x0\n", "c.csv:2: the temperature \"8x0\" is not a number"},
         }) {
        EXPECT_EQ(parse_measured_curve(c.text, "c.csv").error, c.error) << c.text;
    }
}

TEST(MeasuredCurve, SemicolonsDecimalCommaHeaderRowsAndChosenColumns) {
    // A European spreadsheet export: column names, a units row,
    // semicolons and decimal commas.
    CurveReading reading = parse_measured_curve("Zeit;Kern\ns;\xc2\xb0"
                                                "C\n0,50;859,5\n1;850\n1,5;-2,25E1\n",
                                                "eu.csv");
    ASSERT_EQ(reading.error, "");
    EXPECT_EQ(reading.curve.time, (std::vector<double>{0.5, 1.0, 1.5}));
    EXPECT_EQ(reading.curve.temperature, (std::vector<double>{859.5, 850.0, -22.5}));
    EXPECT_TRUE(reading.semicolons);
    EXPECT_TRUE(reading.decimal_comma);
    EXPECT_EQ(reading.header_rows, 2);
    // Semicolons with decimal points.
    reading = parse_measured_curve("0.50;859.5\n1;850\n2;840\n", "s.csv");
    ASSERT_EQ(reading.error, "");
    EXPECT_EQ(reading.curve.temperature, (std::vector<double>{859.5, 850.0, 840.0}));
    EXPECT_TRUE(reading.semicolons);
    EXPECT_FALSE(reading.decimal_comma);
    // Plain commas report neither.
    reading = parse_measured_curve("1,850\n2,840\n3,830\n", "c.csv");
    EXPECT_FALSE(reading.semicolons || reading.decimal_comma);
    EXPECT_EQ(reading.header_rows, 0);

    // A logger with several channels: the time in column 1, the centre in
    // column 3.
    const char* channels = "time,surface,centre,oil\n0.5,700,849,41\n1,650,845,41.5\n1.5,600,838,42\n";
    reading = parse_measured_curve(channels, "ch.csv", {1, 3, true});
    ASSERT_EQ(reading.error, "");
    EXPECT_EQ(reading.curve.temperature, (std::vector<double>{849.0, 845.0, 838.0}));
    reading = parse_measured_curve(channels, "ch.csv", {4, 2, true});
    ASSERT_EQ(reading.error, "");
    EXPECT_EQ(reading.curve.time, (std::vector<double>{41.0, 41.5, 42.0}));
    EXPECT_EQ(parse_measured_curve(channels, "ch.csv").error,
              "ch.csv:2: expected two columns, time and temperature, found 4; choose two with --columns TIME,TEMP");
    EXPECT_EQ(parse_measured_curve(channels, "ch.csv", {1, 5, true}).error,
              "ch.csv:2: expected at least 5 columns (--columns 1,5), found 4");
}

TEST(MeasuredCurve, UnreadableFileIsReported) {
    const CurveReading reading = read_measured_curve("/nonexistent/curve.csv");
    EXPECT_EQ(reading.error, "/nonexistent/curve.csv: cannot be read: No such file or directory");
    EXPECT_EQ(read_measured_curve("/").error, "/: cannot be read: Is a directory");
}

}  // namespace
