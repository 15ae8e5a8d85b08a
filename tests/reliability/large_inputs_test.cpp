// Parameter files far larger than any real one: a 100 MB comment, a million
// empty lines, numbers with a million digits.  Each is read to the same
// eleven values as the plain file it stands for, so the run must write the
// very same result file, and the program's memory must stay small: the
// reader streams the file in fixed chunks and keeps no line or token whole.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <string>

#include "support/file_contents.h"
#include "support/measured_run.h"
#include "support/parameter_texts.h"
#include "support/program_runner.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

// Far above what the program needs (a few MiB), far below the size of the
// inputs: a reader that held a line, a token or the file would exceed it.
constexpr long memory_bound_kib = 64 * 1024;

class LargeInputs : public ScratchFolder {
protected:
    static void SetUpTestSuite() {
        const fs::path directory = make_scratch_directory("reference");
        write_file(directory / "DataInpTemp1d.txt", plain_parameters);
        const ProgramRun run = run_program(directory);
        ASSERT_EQ(run.status, 0) << run.standard_error;
        reference_result = read_file(directory / "temperat.txt").value_or("");
        remove_scratch_directory(directory);
        ASSERT_NE(reference_result.find(" dTmax="), std::string::npos);
    }

    // Runs the program and checks that it wrote the reference result within
    // the memory bound.
    void expect_reference_result(const std::string& what) {
        const MeasuredRun run = run_measured(directory);
        EXPECT_EQ(run.status, 0) << what << ": " << run.standard_error;
        EXPECT_EQ(run.standard_error, "") << what;
        EXPECT_EQ(read_file(directory / "temperat.txt"), reference_result) << what;
        EXPECT_GT(run.peak_memory_kib, 0) << what;
        EXPECT_LT(run.peak_memory_kib, memory_bound_kib) << what;
        std::cout << "[ memory   ] " << what << ": peak resident set " << run.peak_memory_kib << " KiB\n";
    }

    static std::string reference_result;
};

std::string LargeInputs::reference_result;

// Appends `count` copies of `text` to the stream, in large writes.
void write_repeated(std::ofstream& out, const std::string& text, std::size_t count) {
    const std::size_t per_block = std::max<std::size_t>(1, (1u << 20) / text.size());
    std::string block;
    block.reserve(per_block * text.size());
    for (std::size_t i = 0; i < per_block; ++i) block += text;
    while (count >= per_block) {
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
        count -= per_block;
    }
    for (; count > 0; --count) out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

TEST_F(LargeInputs, HundredMegabytesOfCommentAreSkippedInConstantMemory) {
    {
        // A 60 MB title line, then a value line whose comment runs for 40 MB.
        std::ofstream out(param(), std::ios::binary);
        write_repeated(out, "title text ", 60'000'000 / 11);
        out << "\n0 ";
        write_repeated(out, "comment ", 40'000'000 / 8);
        out << "\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 6\n";
    }
    ASSERT_GT(fs::file_size(param()), 100'000'000u * 99 / 100);
    expect_reference_result("100 MB of comment");
}

TEST_F(LargeInputs, MillionsOfEmptyAndBlankLinesArePassedOver) {
    {
        std::ofstream out(param(), std::ios::binary);
        out << "title\n";
        write_repeated(out, "\n", 1'000'000);
        out << "0\n0.05\n";
        write_repeated(out, "\r\n", 1'000'000);
        out << "5000\n850\n20\n";
        write_repeated(out, " \t \r\n", 1'000'000);  // between the two values of one read
        out << "20\n7800\n460\n45\n6 6\n";
    }
    expect_reference_result("three million empty and blank lines");
}

TEST_F(LargeInputs, ValuesAfterAMillionBlanksAndWithAMillionDigitsReadExactly) {
    const std::string zeros(1'000'000, '0');
    {
        std::ofstream out(param(), std::ios::binary);
        out << "title\n";
        out << std::string(1'000'000, ' ') << "0." << zeros << "1E-5\n";  // underflows to 0
        out << "0.05" << zeros << "\n";                                   // trailing zeros
        out << "5000" << zeros << "E-1000000\n";                          // scaled back down
        out << "850E+" << zeros << "0\n";                                 // exponent with a million digits
        out << "20 20" << zeros << "d-1000000\n";
        out << "0." << zeros << "78E1000004\n";  // leading zeros
        out << "460." << zeros << "\n";
        out << "44." << std::string(1'000'000, '9') << "\n";  // nearest binary64 is 45
        out << "6 6\n";
    }
    expect_reference_result("numbers with a million digits");
}

TEST_F(LargeInputs, AMillionDigitIntegerIsAConversionError) {
    write_file(param(), "title\n1" + std::string(1'000'000, '0') + "\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 6\n");
    const MeasuredRun run = run_measured(directory);
    EXPECT_EQ(run.status, 64);
    EXPECT_EQ(run.standard_error,
              "textio: severe (64): input conversion error, unit 217, file " + param().string() + "\r\n");
    EXPECT_FALSE(fs::exists(directory / "temperat.txt"));
    EXPECT_LT(run.peak_memory_kib, memory_bound_kib);
}

}  // namespace
