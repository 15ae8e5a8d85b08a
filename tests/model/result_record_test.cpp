// Data records of the result file: a record whose fields are kept from the
// record before must read exactly as if every field were rendered afresh.
// Sequences of values that hover about rounding boundaries, cross zero and
// leave the range of the shortcut are written as records and each record is
// compared with one rendered field by field.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "model/result_file.h"
#include "support/file_contents.h"
#include "support/scratch_folder.h"
#include "textio/field_editing.h"
#include "textio/file_channel.h"

using namespace model;

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

std::string expected_record(const double (&values)[4]) {
    std::string record = " ";
    for (double v : values) {
        char field[12];
        textio::format_fixed(v, 12, 2, field);
        record += ' ';
        record.append(field, 12);
    }
    return record + "\r\n";
}

TEST(ResultRecord, KeptFieldsReadAsFreshlyRenderedOnes) {
    // Values close to the boundaries between hundredths, ties, values
    // rounding to zero from either side, the limits of the field width and
    // values the shortcut leaves alone.
    std::vector<double> pool = {
        0.0,           -0.0,   0.004, -0.004, 0.005,  -0.005,        0.0050000001,  0.00499999999, -0.006,
        0.125,         -0.125, 2.675, 1.005,  1.015,  999999999.994, 999999999.995, 999999999.996, -99999999.994,
        -99999999.995, 1e12,   1e13,  1e14,   1e15,   -1e16,         inf,           -inf,          std::nan(""),
        5e-324,        0.01,   0.015, 12.345, 12.355, -12.345};
    for (int k = -50; k <= 50; ++k) {
        const double base = 0.005 + k * 0.01;  // about halfway between hundredths
        pool.push_back(base);
        pool.push_back(std::nextafter(base, inf));
        pool.push_back(std::nextafter(base, -inf));
        pool.push_back(std::nextafter(std::nextafter(base, inf), inf));
    }
    std::mt19937_64 random(55);
    std::vector<std::vector<double>> records;
    double walk[4] = {0.0, 850.0, -3.0, 0.0};
    for (int r = 0; r < 60000; ++r) {
        std::vector<double> values(4);
        for (int f = 0; f < 4; ++f) {
            if (r % 3 == 0) {
                values[f] = pool[random() % pool.size()];
            } else {
                // A slow walk: most records repeat the rounded value before.
                walk[f] += std::uniform_real_distribution<double>(-0.004, 0.004)(random);
                values[f] = walk[f];
            }
        }
        records.push_back(values);
    }

    const std::filesystem::path directory = make_scratch_directory("result-record");
    const std::filesystem::path path = directory / "temperat.txt";
    textio::Channel& channel = textio::open_unit(314, path.string());
    for (const auto& v : records) write_step_record(channel, v[0], v[1], v[2], v[3]);
    textio::close_unit(314);
    const std::string text = read_file(path).value_or("");
    remove_scratch_directory(directory);

    ASSERT_EQ(text.size(), records.size() * 55);
    for (std::size_t r = 0; r < records.size(); ++r) {
        const double values[4] = {records[r][0], records[r][1], records[r][2], records[r][3]};
        ASSERT_EQ(text.substr(r * 55, 55), expected_record(values)) << "record " << r + 1;
    }
}

TEST(ResultRecord, SizeOfAResultFileIsWhatTheWriterWrites) {
    const std::filesystem::path directory = make_scratch_directory("result-size");
    const std::filesystem::path path = directory / "temperat.txt";
    for (const std::int32_t steps : {0, 1, 7, 1000}) {
        textio::Channel& channel = textio::open_unit(314, path.string());
        write_result_header(channel);
        for (std::int32_t k = 0; k < steps; ++k) write_step_record(channel, k * 0.5, 850.0 - k, 20.0 + k, 1.0);
        write_result_closing(channel, 123.45);
        textio::close_unit(314);
        EXPECT_EQ(std::filesystem::file_size(path), result_file_size(steps)) << steps << " records";
    }
    // A count below one writes no record.
    EXPECT_EQ(result_file_size(-5), result_file_size(0));
    EXPECT_EQ(result_file_size(std::numeric_limits<std::int32_t>::min()), result_file_size(0));
    remove_scratch_directory(directory);
}

}  // namespace
