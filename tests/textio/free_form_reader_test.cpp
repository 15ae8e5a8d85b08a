#include "textio/free_form_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/crlf_records.h"
#include "support/scratch_folder.h"
#include "textio/file_channel.h"

namespace {

using textio::FreeFormReader;
using textio::ReadOutcome;

// Destinations start with this so that "kept its value" is visible.
constexpr double untouched = 7.0;

struct ReadsResult {
    std::vector<std::vector<double>> values;  // one entry per read attempted
    ReadOutcome outcome = ReadOutcome::ok;    // of the last read attempted
};

// Runs one read per entry of `counts` (destinations per read) and stops at
// the first failure.
ReadsResult run_reads(std::string_view text, std::vector<std::size_t> counts,
                      std::size_t chunk_size = textio::io_buffer_size) {
    FreeFormReader reader = textio::make_memory_reader(text);
    reader.chunk_size = chunk_size;
    ReadsResult result;
    for (std::size_t count : counts) {
        std::vector<double> destinations(count, untouched);
        result.outcome = textio::read_list(reader, destinations);
        result.values.push_back(destinations);
        if (result.outcome != ReadOutcome::ok) break;
    }
    return result;
}

// The single value of a one-value read of `text`.
double read_one(std::string_view text, ReadOutcome expected = ReadOutcome::ok) {
    ReadsResult result = run_reads(text, {1});
    EXPECT_EQ(result.outcome, expected) << "text: " << text.substr(0, 80);
    return result.values.at(0).at(0);
}

ReadOutcome outcome_of_one(std::string_view text) { return run_reads(text, {1}).outcome; }

using Values = std::vector<std::vector<double>>;

// ---------------------------------------------------------------------------
// Lines

TEST(FreeFormLines, LineFeedCarriageReturnLineFeedAndUnterminatedLastLine) {
    EXPECT_EQ(run_reads("1\n2\n", {1, 1}).values, (Values{{1.0}, {2.0}}));
    EXPECT_EQ(run_reads("1\r\n2\r\n", {1, 1}).values, (Values{{1.0}, {2.0}}));
    EXPECT_EQ(run_reads("1 x\r\n2", {1, 1}).values, (Values{{1.0}, {2.0}}));
    EXPECT_EQ(run_reads("title", {0, 1}).outcome, ReadOutcome::end_of_file);
}

TEST(FreeFormLines, CarriageReturnNotBeforeLineFeedIsData) {
    EXPECT_EQ(outcome_of_one("5\r6\n"), ReadOutcome::syntax_error);
    EXPECT_EQ(outcome_of_one("5\r"), ReadOutcome::syntax_error);
    // A carriage return in the skipped rest of a line is harmless.
    EXPECT_EQ(run_reads("5 \r x\r\r\n6\n", {1, 1}).values, (Values{{5.0}, {6.0}}));
}

TEST(FreeFormLines, ReadWithoutDestinationsConsumesExactlyOneLine) {
    EXPECT_EQ(run_reads("1 2 3\n4\n", {0, 1}).values, (Values{{}, {4.0}}));
    EXPECT_EQ(run_reads("\n4\n", {0, 1}).values, (Values{{}, {4.0}}));
    EXPECT_EQ(run_reads("a\nb\n5\n", {0, 0, 1}).values, (Values{{}, {}, {5.0}}));
    // After a read that ended mid-line, the line that follows is the one consumed.
    EXPECT_EQ(run_reads("1 2\nskip\n3\n", {1, 0, 1}).values, (Values{{1.0}, {}, {3.0}}));
}

TEST(FreeFormLines, ReadWithoutDestinationsAtEndOfTextFails) {
    EXPECT_EQ(run_reads("", {0}).outcome, ReadOutcome::end_of_file);
    EXPECT_EQ(run_reads("x\n", {0, 0}).outcome, ReadOutcome::end_of_file);
    EXPECT_EQ(run_reads("x\n\n", {0, 0}).outcome, ReadOutcome::ok);  // the empty line is a line
}

// ---------------------------------------------------------------------------
// Separators and where a read ends

TEST(FreeFormSeparators, BlanksTabsOneCommaAndLineEnds) {
    EXPECT_EQ(run_reads("  \t20\t 300  \n", {2}).values, (Values{{20.0, 300.0}}));
    EXPECT_EQ(run_reads("20 , 300\n", {2}).values, (Values{{20.0, 300.0}}));
    EXPECT_EQ(run_reads("20\t,\t300\n", {2}).values, (Values{{20.0, 300.0}}));
    EXPECT_EQ(run_reads("20,300\n", {2}).values, (Values{{20.0, 300.0}}));
    EXPECT_EQ(run_reads("20\n300\n", {2}).values, (Values{{20.0, 300.0}}));
}

TEST(FreeFormSeparators, ValuesOnLaterLinesAndEmptyLinesPassedOver) {
    EXPECT_EQ(run_reads("\n\n  \n\t\n5\n", {1}).values, (Values{{5.0}}));
    EXPECT_EQ(run_reads("20\n\r\n\n300 400\n9\n", {2, 1}).values, (Values{{20.0, 300.0}, {9.0}}));
}

TEST(FreeFormSeparators, CommaIsNotADecimalMark) {
    EXPECT_EQ(run_reads("1,5\n2\n", {1, 1}).values, (Values{{1.0}, {2.0}}));
}

TEST(FreeFormReadEnd, RestOfTheLastLineIsSkipped) {
    EXPECT_EQ(run_reads("0.05 0.1\n0.2\n", {1, 1}).values, (Values{{0.05}, {0.2}}));
    EXPECT_EQ(run_reads("0.05   inner radius, m (abc 5.0x)\n0.2\n", {1, 1}).values, (Values{{0.05}, {0.2}}));
    // The value that ends a read may end at a character that is not a
    // separator; what follows is not examined.
    EXPECT_EQ(run_reads("5)junk\n6\n", {1, 1}).values, (Values{{5.0}, {6.0}}));
}

TEST(FreeFormReadEnd, NextReadStartsAfterTheLastLineTouched) {
    // A line holding a single number where two are needed pulls the next line.
    EXPECT_EQ(run_reads("20\n300 999\n1000\n", {2, 1}).values, (Values{{20.0, 300.0}, {1000.0}}));
}

// ---------------------------------------------------------------------------
// Null values, slash, repeat forms

TEST(FreeFormNullValues, TwoCommasKeepTheDestination) {
    EXPECT_EQ(run_reads("20,,\n", {2}).values, (Values{{20.0, untouched}}));
    EXPECT_EQ(run_reads("20 , , 30\n", {3}).values, (Values{{20.0, untouched, 30.0}}));
    EXPECT_EQ(run_reads("20,,30\n", {3}).values, (Values{{20.0, untouched, 30.0}}));
    EXPECT_EQ(run_reads("20,\n,30\n", {3}).values, (Values{{20.0, untouched, 30.0}}));
}

TEST(FreeFormNullValues, CommaFirstOnALine) {
    // First on the read's first line: a null value for the first destination.
    EXPECT_EQ(run_reads(",5\n", {2}).values, (Values{{untouched, 5.0}}));
    EXPECT_EQ(run_reads(",,5\n", {3}).values, (Values{{untouched, untouched, 5.0}}));
    // First on a later line after a line that held a value: a separator.
    EXPECT_EQ(run_reads("20\n,300\n", {2}).values, (Values{{20.0, 300.0}}));
    // A read's first line starts fresh even when the read before ended on a value.
    EXPECT_EQ(run_reads("1\n,2\n", {1, 2}).values, (Values{{1.0}, {untouched, 2.0}}));
    // First on a later line of a read that has taken nothing yet (its first
    // lines were empty or blank): a separator, so the value after it is read.
    EXPECT_EQ(run_reads("\n,850\n", {1}).values, (Values{{850.0}}));
    EXPECT_EQ(run_reads(" \t\r\n\n  , 850 9\n", {2}).values, (Values{{850.0, 9.0}}));
    EXPECT_EQ(run_reads("\n,,850\n", {2}).values, (Values{{untouched, 850.0}}));
    EXPECT_EQ(run_reads("title\n\n,850\n", {0, 1}).values, (Values{{}, {850.0}}));
}

TEST(FreeFormSlash, EndsTheReadAndKeepsTheRest) {
    EXPECT_EQ(run_reads("20 /\n", {2}).values, (Values{{20.0, untouched}}));
    EXPECT_EQ(run_reads("20/ 30\n40\n", {2, 1}).values, (Values{{20.0, untouched}, {40.0}}));
    EXPECT_EQ(run_reads("20,/\n", {2}).values, (Values{{20.0, untouched}}));
    EXPECT_EQ(run_reads("/ 1 2\n3\n", {2, 1}).values, (Values{{untouched, untouched}, {3.0}}));
    EXPECT_EQ(run_reads("20\n/\n5\n", {2, 1}).values, (Values{{20.0, untouched}, {5.0}}));
}

TEST(FreeFormRepeats, ValueAndNullRepetitions) {
    EXPECT_EQ(run_reads("2*25.0\n", {2}).values, (Values{{25.0, 25.0}}));
    EXPECT_EQ(run_reads("1*3 4\n", {2}).values, (Values{{3.0, 4.0}}));
    EXPECT_EQ(run_reads("2*\n", {2}).values, (Values{{untouched, untouched}}));
    EXPECT_EQ(run_reads("2* 9\n", {3}).values, (Values{{untouched, untouched, 9.0}}));
    EXPECT_EQ(run_reads("2*,9\n", {3}).values, (Values{{untouched, untouched, 9.0}}));
    EXPECT_EQ(run_reads("2*/\n", {3}).values, (Values{{untouched, untouched, untouched}}));
    EXPECT_EQ(run_reads("1 2*T\n", {3}).values, (Values{{1.0, -1.0, -1.0}}));
    EXPECT_EQ(run_reads("007*1.5e1\n", {2}).values, (Values{{15.0, 15.0}}));
}

TEST(FreeFormRepeats, LeftoverRepetitionsAreDiscarded) {
    EXPECT_EQ(run_reads("3*4\n5\n", {2, 1}).values, (Values{{4.0, 4.0}, {5.0}}));
    EXPECT_EQ(run_reads("2147483647*1\n5\n", {2, 1}).values, (Values{{1.0, 1.0}, {5.0}}));
}

TEST(FreeFormRepeats, InvalidCountsAreConversionErrors) {
    // Counts are positive 32-bit integers written with digits only.
    for (const char* text :
         {"0*5", "2147483648*1", "99999999999999999999*1", "*5", "-2*3", "+2*3", "1.5*2", "1e2*3", "x*3", "2**"}) {
        EXPECT_EQ(run_reads(text, {2}).outcome, ReadOutcome::conversion_error) << text;
    }
    // A repeat form cannot hold another one.
    EXPECT_EQ(run_reads("2*3*4", {2}).outcome, ReadOutcome::syntax_error);
    EXPECT_EQ(run_reads("2*x", {2}).outcome, ReadOutcome::syntax_error);
}

// ---------------------------------------------------------------------------
// Number forms

TEST(FreeFormNumbers, AcceptedForms) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"150", 150.0},      {"1.5", 1.5},      {"-.5", -0.5},    {"+.5", 0.5},     {"5.", 5.0},      {"-5.", -5.0},
        {"007", 7.0},        {"1.5E2", 150.0},  {"1.5e2", 150.0}, {"1.5D2", 150.0}, {"1.5d2", 150.0}, {"1.5Q2", 150.0},
        {"1.5q2", 150.0},    {"1.5E+2", 150.0}, {"15e-1", 1.5},   {"1.5+2", 150.0}, {"1.5-2", 0.015}, {"15+0", 15.0},
        {"-1.5D-2", -0.015}, {".5e1", 5.0},     {"5.e1", 50.0},   {"0.1", 0.1},     {"1E0005", 1e5},
    };
    for (const auto& c : cases) EXPECT_EQ(read_one(c.text), c.value) << c.text;
}

TEST(FreeFormNumbers, MalformedFormsAreSyntaxErrors) {
    for (const char* text :
         {"5.0x",  "abc",   "+",   "-",   ".",    "1e",    "1e+",   "1+",    "1-",    "E5",      "e5",
          "D5",    "q5",    "+e5", ".e5", "1..2", "1.2.3", "1e5e3", "1e5.0", "1d2e3", "--1",     "+-1",
          "1-2-3", "1e+-2", "(1)", ")",   "'5'",  "\"5\"", "1 2x",  "0x10",  "1_000", "\xc2\xb5"}) {
        // Every form above is wrong in the first value ("1 2x" in its second).
        EXPECT_EQ(run_reads(text, {2}).outcome, ReadOutcome::syntax_error) << text;
    }
}

TEST(FreeFormNumbers, SignedZeros) {
    // An integer is converted as the integer: zero has no sign.
    EXPECT_FALSE(std::signbit(read_one("-0")));
    EXPECT_TRUE(std::signbit(read_one("-0.0")));
    EXPECT_TRUE(std::signbit(read_one("-0e5")));
    EXPECT_FALSE(std::signbit(read_one("0.000")));
}

TEST(FreeFormTruthValues, TrueAndFalse) {
    for (const char* text : {"T", "t", "true", "TRUE", ".TRUE.", ".t", "Tx*y"}) EXPECT_EQ(read_one(text), -1.0) << text;
    for (const char* text : {"F", "f", "false", ".false.", ".F", "Fred"}) {
        const double value = read_one(text);
        EXPECT_EQ(value, 0.0) << text;
        EXPECT_FALSE(std::signbit(value)) << text;
    }
    // A truth value ends at a blank, tab, comma, slash, right parenthesis or
    // line end, but not at an asterisk.
    EXPECT_EQ(run_reads("T*2,F\n", {2}).values, (Values{{-1.0, 0.0}}));
    EXPECT_EQ(run_reads("t/5\n", {2}).values, (Values{{-1.0, untouched}}));
    EXPECT_EQ(run_reads(".true.\tf\n", {2}).values, (Values{{-1.0, 0.0}}));
    EXPECT_EQ(run_reads("t)", {2}).outcome, ReadOutcome::syntax_error);
    // A sign before the letter makes it a malformed number.
    EXPECT_EQ(outcome_of_one("+T"), ReadOutcome::syntax_error);
    EXPECT_EQ(outcome_of_one(".x"), ReadOutcome::syntax_error);
}

// ---------------------------------------------------------------------------
// Range and rounding

TEST(FreeFormRange, OverflowFailsUnderflowIsZero) {
    EXPECT_EQ(outcome_of_one("1.0E999"), ReadOutcome::conversion_error);
    EXPECT_EQ(outcome_of_one("-1.0E999"), ReadOutcome::conversion_error);
    EXPECT_EQ(outcome_of_one("1e999999999999999999999999999"), ReadOutcome::conversion_error);
    EXPECT_EQ(outcome_of_one("1.7976931348623159e308"), ReadOutcome::conversion_error);
    EXPECT_EQ(outcome_of_one(("1" + std::string(400, '0')).c_str()), ReadOutcome::conversion_error);
    EXPECT_EQ(read_one("1.7976931348623157e308"), 0x1.fffffffffffffp+1023);

    EXPECT_EQ(read_one("1.0E-999"), 0.0);
    EXPECT_EQ(read_one("1e-99999999999999999999999"), 0.0);
    EXPECT_EQ(read_one("2e-324"), 0.0);
    EXPECT_TRUE(std::signbit(read_one("-1.0E-999")));
    EXPECT_EQ(read_one("3e-324"), 0x0.0000000000001p-1022);
    EXPECT_EQ(read_one("4.9406564584124654e-324"), 0x0.0000000000001p-1022);
    EXPECT_EQ(read_one("2.2250738585072014e-308"), 0x1p-1022);
    // Zero digits with any exponent are zero, not an overflow.
    EXPECT_EQ(read_one("0e999999999999999999999"), 0.0);
    EXPECT_EQ(read_one("0.0e999"), 0.0);
    // Digits and exponent pull in opposite directions.
    EXPECT_EQ(read_one("0." + std::string(500, '0') + "1e502"), 10.0);
    EXPECT_EQ(read_one("1" + std::string(500, '0') + "e-500"), 1.0);
}

TEST(FreeFormRounding, NearestBinary64) {
    EXPECT_EQ(read_one("0.1"), 0x1.999999999999ap-4);
    EXPECT_EQ(read_one("0.015"), 0x1.eb851eb851eb8p-7);
    EXPECT_EQ(read_one("1.5-2"), 0x1.eb851eb851eb8p-7);
    EXPECT_EQ(read_one("9007199254740991"), 0x1.fffffffffffffp+52);
    EXPECT_EQ(read_one("9007199254740995"), 0x1.0000000000002p+53);  // halfway, to even (up)
    EXPECT_EQ(read_one("123456789012345678901234567890"), 0x1.8ee90ff6c373ep+96);
}

TEST(FreeFormRounding, HalfwayCasesWithManyDigits) {
    const std::string halfway = "9007199254740993";  // 2^53 + 1, halfway between 2^53 and 2^53 + 2
    EXPECT_EQ(read_one(halfway), 0x1p+53);
    EXPECT_EQ(read_one(halfway + ".0"), 0x1p+53);
    // Zeros beyond the kept digits leave it exactly halfway ...
    EXPECT_EQ(read_one(halfway + std::string(3000, '0') + "e-3000"), 0x1p+53);
    EXPECT_EQ(read_one(halfway + "." + std::string(3000, '0')), 0x1p+53);
    // ... a nonzero digit far beyond them lifts it above.
    EXPECT_EQ(read_one(halfway + "." + std::string(3000, '0') + "1"), 0x1.0000000000001p+53);
    EXPECT_EQ(read_one(halfway + std::string(3000, '0') + "1e-3001"), 0x1.0000000000001p+53);
    EXPECT_EQ(read_one("-" + halfway + "." + std::string(3000, '0') + "1"), -0x1.0000000000001p+53);
    // Just below halfway, with the difference far out.
    EXPECT_EQ(read_one("9007199254740992." + std::string(3000, '9')), 0x1p+53);

    const std::string one_halfway = "1.00000000000000011102230246251565404236316680908203125";  // 1 + 2^-53
    EXPECT_EQ(read_one(one_halfway), 1.0);
    EXPECT_EQ(read_one(one_halfway + std::string(2000, '0') + "1"), 0x1.0000000000001p+0);
}

// The decimal digits of 5^n, exactly.
std::string power_of_five_digits(int n) {
    std::vector<int> digits{1};  // least significant first
    for (int i = 0; i < n; ++i) {
        int carry = 0;
        for (int& digit : digits) {
            const int product = digit * 5 + carry;
            digit = product % 10;
            carry = product / 10;
        }
        if (carry != 0) digits.push_back(carry);
    }
    std::string text;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) text += static_cast<char>('0' + *it);
    return text;
}

TEST(FreeFormRounding, HalfwayBelowTheSmallestSubnormal) {
    // 2^-1075 = 5^1075 x 10^-1075 exactly: 752 significant digits, halfway
    // between 0 and the smallest subnormal.
    const std::string digits = power_of_five_digits(1075);
    ASSERT_EQ(digits.size(), 752u);
    const std::string zeros_after_point(1075 - digits.size(), '0');
    const std::string halfway = digits + "e-1075";
    EXPECT_EQ(read_one(halfway), 0.0);
    EXPECT_EQ(read_one(digits + std::string(1000, '0') + "1e-2076"), 0x0.0000000000001p-1022);
    EXPECT_EQ(read_one("0." + zeros_after_point + digits + std::string(1000, '0') + "1"), 0x0.0000000000001p-1022);
    EXPECT_EQ(read_one("0." + zeros_after_point + digits + std::string(1000, '0')), 0.0);
    EXPECT_EQ(read_one("-0." + zeros_after_point + digits + "1"), -0x0.0000000000001p-1022);
}

// ---------------------------------------------------------------------------
// End of the text

TEST(FreeFormEndOfText, ValueStillNeeded) {
    EXPECT_EQ(run_reads("", {1}).outcome, ReadOutcome::end_of_file);
    EXPECT_EQ(run_reads("5\n", {1, 1}).outcome, ReadOutcome::end_of_file);
    EXPECT_EQ(run_reads("5\n\n\n  \r\n\t\n", {1, 1}).outcome, ReadOutcome::end_of_file);
    // A filled destination keeps its value when the next one meets the end.
    ReadsResult result = run_reads("20\n\n\n", {2});
    EXPECT_EQ(result.outcome, ReadOutcome::end_of_file);
    EXPECT_EQ(result.values, (Values{{20.0, untouched}}));
    EXPECT_EQ(run_reads("20,", {2}).outcome, ReadOutcome::end_of_file);
    EXPECT_EQ(run_reads("2*", {3}).outcome, ReadOutcome::end_of_file);
    // Reads that need nothing more succeed right at the end.
    EXPECT_EQ(run_reads("2*5", {2}).outcome, ReadOutcome::ok);
    EXPECT_EQ(run_reads("5 /", {2}).outcome, ReadOutcome::ok);
}

TEST(FreeFormFailures, FailureNumbers) {
    EXPECT_EQ(textio::failure_number_of(ReadOutcome::end_of_file), 24);
    EXPECT_EQ(textio::failure_number_of(ReadOutcome::syntax_error), 59);
    EXPECT_EQ(textio::failure_number_of(ReadOutcome::conversion_error), 64);
}

// ---------------------------------------------------------------------------
// The parameter file as the program reads it: a title line, then nine reads.

const std::vector<std::size_t> parameter_reads = {0, 1, 1, 1, 1, 2, 1, 1, 1, 2};

const std::string well_formed_parameters = "Parameters of the run 1 2 3\n"
                                           "0 0.05\n"
                                           "0.05 outer radius\n"
                                           "50.0\n"
                                           "20\n"
                                           "300, 20 ambient\n"
                                           "7800\n"
                                           "460.0\n"
                                           "45.0\n"
                                           "600 1200\n"
                                           "ignored 1\n";

const Values well_formed_values = {{},       {0.0},   {0.05}, {50.0},         {20.0}, {300.0, 20.0},
                                   {7800.0}, {460.0}, {45.0}, {600.0, 1200.0}};

TEST(FreeFormParameterFile, WellFormedFile) {
    ReadsResult result = run_reads(well_formed_parameters, parameter_reads);
    EXPECT_EQ(result.outcome, ReadOutcome::ok);
    EXPECT_EQ(result.values, well_formed_values);
    EXPECT_EQ(run_reads(crlf(well_formed_parameters), parameter_reads).values, well_formed_values);
}

TEST(FreeFormParameterFile, SingleNumberOnTheAmbientLineShiftsTheRest) {
    const std::string text = "title\n0\n0.05\n50\n20\n300\n20 999\n7800\n460\n45\n600 1200\n";
    const Values expected = {{},       {0.0},   {0.05}, {50.0},         {20.0}, {300.0, 20.0},
                             {7800.0}, {460.0}, {45.0}, {600.0, 1200.0}};
    EXPECT_EQ(run_reads(text, parameter_reads).values, expected);
    // Without the extra line the last read meets the end of the file.
    const std::string short_text = "title\n0\n0.05\n50\n20\n300\n20\n7800\n460\n45\n";
    ReadsResult result = run_reads(short_text, parameter_reads);
    EXPECT_EQ(result.outcome, ReadOutcome::end_of_file);
    EXPECT_EQ(result.values.size(), parameter_reads.size());
    EXPECT_EQ(result.values.back(), (std::vector<double>{untouched, untouched}));
}

TEST(FreeFormParameterFile, EmptyFileFailsOnTheTitleLine) {
    ReadsResult result = run_reads("", parameter_reads);
    EXPECT_EQ(result.outcome, ReadOutcome::end_of_file);
    EXPECT_EQ(result.values.size(), 1u);
}

TEST(FreeFormParameterFile, WordOnAValueLineIsASyntaxError) {
    ReadsResult result = run_reads("title\n0\n0.05\nabc\n", parameter_reads);
    EXPECT_EQ(result.outcome, ReadOutcome::syntax_error);
    EXPECT_EQ(result.values.size(), 4u);
}

// ---------------------------------------------------------------------------
// Chunk boundaries: every case read with tiny chunks must give what it gives
// with the default chunk, for every alignment of the text against the chunks.

struct ChunkCase {
    std::string text;
    std::vector<std::size_t> counts;
};

std::vector<ChunkCase> chunk_cases() {
    return {
        {well_formed_parameters, parameter_reads},
        {crlf(well_formed_parameters), parameter_reads},
        {"1\r\n\r\n\r\n2\r\n3\r4\r\n5", {1, 1, 1, 1}},
        {"123456789.125e-3 -98765.4321D+2\r\n2*0.5 ,, 3\r\n", {2, 4}},
        {"skip this long title line with 1 2 3\r\nT .false. 7\r\n", {0, 3}},
        {"20,\r\n,300 \r\n, 4 /\r\n5", {3, 2, 1}},
        {"\r\r\n5", {1}},
        {"12345678901234567890123\r\n1.5+2\r\n", {1, 1}},
        {"1e99999\r\n", {1}},
        {"5.0x\r\n", {1}},
        {"1 2\r\n", {1, 1}},
    };
}

class FreeFormChunks : public ::testing::TestWithParam<std::size_t> {};

TEST_P(FreeFormChunks, SameResultAsOneChunk) {
    for (const ChunkCase& c : chunk_cases()) {
        const ReadsResult expected = run_reads(c.text, c.counts);
        const ReadsResult actual = run_reads(c.text, c.counts, GetParam());
        EXPECT_EQ(actual.outcome, expected.outcome) << c.text;
        EXPECT_EQ(actual.values, expected.values) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(SmallChunks, FreeFormChunks, ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8, 13, 64));

TEST(FreeFormChunkCases, ExpectedResultsWithOneChunk) {
    // The reference results above are themselves right.
    const std::vector<ChunkCase> cases = chunk_cases();
    EXPECT_EQ(run_reads(cases[1].text, cases[1].counts).values, well_formed_values);
    EXPECT_EQ(run_reads(cases[2].text, cases[2].counts).values, (Values{{1.0}, {2.0}, {untouched}}));
    EXPECT_EQ(run_reads(cases[2].text, cases[2].counts).outcome, ReadOutcome::syntax_error);  // "3\r4"
    EXPECT_EQ(run_reads(cases[3].text, cases[3].counts).values,
              (Values{{123456.789125, -9876543.21}, {0.5, 0.5, untouched, 3.0}}));
    EXPECT_EQ(run_reads(cases[5].text, cases[5].counts).values,
              (Values{{20.0, untouched, 300.0}, {untouched, 4.0}, {5.0}}));
    EXPECT_EQ(run_reads(cases[6].text, cases[6].counts).outcome, ReadOutcome::syntax_error);  // "\r" is data
    EXPECT_EQ(run_reads(cases[7].text, cases[7].counts).values, (Values{{1.2345678901234568e22}, {150.0}}));
}

// ---------------------------------------------------------------------------
// Large inputs: handled by streaming, in time and memory that do not depend
// on the length of a line (no timing is asserted here).

TEST(FreeFormLargeInput, LongCommentLineAfterAValue) {
    const std::string text = "1.5 " + std::string(50u << 20, 'x') + "\n2.5\n";
    EXPECT_EQ(run_reads(text, {1, 1}).values, (Values{{1.5}, {2.5}}));
}

TEST(FreeFormLargeInput, LongFirstLineSkipped) {
    std::string text(50u << 20, '7');
    text += "\r\n3\n";
    EXPECT_EQ(run_reads(text, {0, 1}).values, (Values{{}, {3.0}}));
}

TEST(FreeFormLargeInput, MillionEmptyLines) {
    std::string text = "1\n";
    for (int i = 0; i < 1'000'000; ++i) text += (i % 2 == 0) ? "\n" : "\r\n";
    text += "2\n";
    EXPECT_EQ(run_reads(text, {2}).values, (Values{{1.0, 2.0}}));
    EXPECT_EQ(run_reads(text.substr(0, text.size() - 2), {2}).outcome, ReadOutcome::end_of_file);
}

TEST(FreeFormLargeInput, NumbersWithMillionsOfDigits) {
    EXPECT_EQ(read_one(std::string(3'000'000, '0') + "1.5"), 1.5);
    EXPECT_EQ(read_one("0." + std::string(3'000'000, '0') + "15e3000001"), 1.5);
    EXPECT_EQ(read_one("15" + std::string(3'000'000, '0') + "e-3000001"), 1.5);
    EXPECT_EQ(read_one("9007199254740993" + std::string(3'000'000, '0') + "1e-3000001"), 0x1.0000000000001p+53);
    EXPECT_EQ(outcome_of_one("1" + std::string(3'000'000, '0')), ReadOutcome::conversion_error);
    EXPECT_EQ(read_one("." + std::string(3'000'000, '0') + "1"), 0.0);
    EXPECT_EQ(read_one("1e" + std::string(3'000'000, '0') + "5"), 1e5);
    EXPECT_EQ(outcome_of_one("1e" + std::string(3'000'000, '9')), ReadOutcome::conversion_error);
    EXPECT_EQ(read_one("1e-" + std::string(3'000'000, '9')), 0.0);
    EXPECT_EQ(run_reads(std::string(3'000'000, '0') + "2*4", {2}).values, (Values{{4.0, 4.0}}));
}

// ---------------------------------------------------------------------------
// Streaming from a channel

TEST(FreeFormChannel, ReadsAFileAcrossManyChunks) {
    const std::filesystem::path directory = make_scratch_directory("free-form-reader");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(directory);
    {
        std::ofstream file("params.txt", std::ios::binary);
        // A title longer than several chunks, then values straddling chunk ends.
        file << std::string(300'000, 'T') << "\r\n";
        file << "0.5 " << std::string(200'000, '#') << "\r\n";
        file << "\r\n" << std::string(70'000, ' ') << "20\r\n300 1\r\n";
    }
    textio::Channel& channel = textio::open_unit(217, "params.txt");
    FreeFormReader reader = textio::make_channel_reader(channel);
    std::vector<double> none;
    std::vector<double> one(1, untouched);
    std::vector<double> two(2, untouched);
    EXPECT_EQ(textio::read_list(reader, none), ReadOutcome::ok);
    EXPECT_EQ(textio::read_list(reader, one), ReadOutcome::ok);
    EXPECT_EQ(textio::read_list(reader, two), ReadOutcome::ok);
    EXPECT_EQ(one, (std::vector<double>{0.5}));
    EXPECT_EQ(two, (std::vector<double>{20.0, 300.0}));
    EXPECT_EQ(textio::read_list(reader, one), ReadOutcome::end_of_file);
    textio::close_unit(217);
    std::filesystem::current_path(previous);
    remove_scratch_directory(directory);
}

}  // namespace
