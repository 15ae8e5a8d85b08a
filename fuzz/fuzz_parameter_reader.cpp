// Fuzz target: the parameter file reader on arbitrary bytes.
//
// The bytes are read as a whole parameter file (title line and nine
// free-form reads) from memory.  Besides crashes, hangs and undefined
// behaviour, the harness aborts when one of these properties fails:
//
// - the outcome is ok or exactly one of the failures a file can give
//   (end of file, syntax error, conversion error; a memory source cannot
//   fail to read);
// - no value is ever infinite or NaN: numbers beyond the binary64 range are
//   conversion errors, everything else is finite;
// - reading is deterministic and does not depend on how the text is cut
//   into chunks: the same bytes read with the smallest chunk, a chunk size
//   chosen by the input and the default chunk give the same outcome and the
//   same bits in every value;
// - the reader never invents a value: starting from other values than 0.0,
//   every parameter either receives the same value as before or, where the
//   first read left 0.0 (a null value, a slash, a read that failed before
//   reaching it), keeps the value it started with;
// - text after a complete read changes nothing: when the read succeeds,
//   appending a line end and more text gives the same values; when it fails
//   on a value (syntax or conversion), appending them gives the same failure
//   (unless the text ends in a carriage return, which a line feed would turn
//   into a line end).
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model/parameter_fields.h"
#include "model/parameter_file.h"
#include "textio/free_form_reader.h"

using namespace model;

namespace {

using textio::ReadOutcome;

constexpr int parameter_count = static_cast<int>(parameter_fields.size());

struct Reading {
    ReadOutcome outcome = ReadOutcome::ok;
    std::array<std::uint64_t, parameter_count> bits{};
};

std::array<double*, parameter_count> fields(ParameterSet& p) {
    std::array<double*, parameter_count> pointers{};
    for (int i = 0; i < parameter_count; ++i) pointers[i] = &(p.*parameter_fields[i].member);
    return pointers;
}

Reading read_text(std::string_view text, std::size_t chunk_size, double start_value) {
    textio::FreeFormReader reader = textio::make_memory_reader(text);
    reader.chunk_size = chunk_size;
    ParameterSet parameters;
    for (double* field : fields(parameters)) *field = start_value;
    Reading reading;
    reading.outcome = read_parameter_set(reader, parameters);
    const auto values = fields(parameters);
    for (int i = 0; i < parameter_count; ++i) reading.bits[i] = std::bit_cast<std::uint64_t>(*values[i]);
    return reading;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "parameter reader property violated: %s\n", what);
    std::abort();
}

bool same(const Reading& a, const Reading& b) { return a.outcome == b.outcome && a.bits == b.bits; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Reading reference = read_text(text, textio::io_buffer_size, 0.0);

    switch (reference.outcome) {
        case ReadOutcome::ok:
        case ReadOutcome::end_of_file:
        case ReadOutcome::syntax_error:
        case ReadOutcome::conversion_error: break;
        default: fail("an outcome outside the enumeration");
    }
    for (std::uint64_t bits : reference.bits) {
        if (!std::isfinite(std::bit_cast<double>(bits))) fail("a value is infinite or NaN");
    }

    // Chunk sizes: the smallest, one taken from the input, the default again.
    const std::size_t chosen_chunk = size == 0 ? 3 : 2 + data[size - 1] % 61;
    if (!same(read_text(text, 2, 0.0), reference)) fail("chunk size 2 reads differently");
    if (!same(read_text(text, chosen_chunk, 0.0), reference)) fail("a small chunk size reads differently");
    if (!same(read_text(text, textio::io_buffer_size, 0.0), reference)) fail("a second read differs");

    // Values the read does not assign keep what they held.
    constexpr double start_value = 271.828;
    const Reading from_other_start = read_text(text, chosen_chunk, start_value);
    if (from_other_start.outcome != reference.outcome) fail("the start values changed the outcome");
    for (int i = 0; i < parameter_count; ++i) {
        const bool unchanged = from_other_start.bits[i] == reference.bits[i];
        const bool kept_start = reference.bits[i] == std::bit_cast<std::uint64_t>(0.0) &&
                                from_other_start.bits[i] == std::bit_cast<std::uint64_t>(start_value);
        if (!unchanged && !kept_start) fail("a value depends on the start value");
    }

    // Text after the end of a decided read is never looked at.
    const bool decided_on_a_value =
        reference.outcome == ReadOutcome::syntax_error || reference.outcome == ReadOutcome::conversion_error;
    const bool ends_in_carriage_return = !text.empty() && text.back() == '\r';
    if (reference.outcome == ReadOutcome::ok || (decided_on_a_value && !ends_in_carriage_return)) {
        std::string extended(text);
        extended += "\n1 2 3\nabc\n1e999\n";
        if (!same(read_text(extended, chosen_chunk, 0.0), reference)) fail("text after the read changed it");
    }
    return 0;
}
