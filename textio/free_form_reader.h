// Free-form (list-directed) reading of numbers from text.
//
// The text is read as lines: a line ends at a line feed, and a carriage
// return directly before the line feed is not part of it.  Each read takes a
// list of binary64 destinations and fills them from the text wherever the
// values stand; what is left on the last line a read looked at is discarded,
// and the next read starts on the following line.  Values are separated by
// blanks, tabs, one comma, or the end of a line; two commas give a null value
// (the destination keeps its value), a slash ends the read, "r*v" repeats a
// value and "r*" supplies r null values.  Numbers take an optional exponent
// introduced by D, E or Q in either case, or by a sign right after the
// digits; truth values (T..., F..., .T..., .F...) give -1.0 and 0.0.
//
// The reader works on an in-memory buffer or streams from an open channel in
// fixed-size chunks, so its memory use does not grow with the length of a
// line or of the file.  It reports its outcome to the caller instead of
// stopping; the program's edge turns a failure into the failure report.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textio/posix_file.h"

namespace textio {

struct Channel;
struct ReadProvenance;

enum class ReadOutcome {
    ok,
    end_of_file,       // the text ended while a line or a value was still needed
    syntax_error,      // a value that is not a well-formed number or truth value
    conversion_error,  // a number beyond the binary64 range, or a bad repeat count
};

struct FreeFormReader {
    // Exactly one of the two sources is used: `memory` when `channel` is null.
    std::string_view memory;
    Channel* channel = nullptr;

    // Streaming state: the current chunk and the position in it.  Both
    // sources go through the same chunk logic; a memory source copies windows
    // of at most `chunk_size` bytes.  Sizes below 2 count as 2 (a carriage
    // return and the line feed after it must fit together).
    std::size_t chunk_size = io_buffer_size;
    std::vector<char> chunk;
    std::size_t chunk_begin = 0;  // offset in `memory` of the current chunk (memory source)
    std::size_t position = 0;     // next byte in the current chunk
    std::size_t length = 0;       // bytes in the current chunk
    bool source_exhausted = false;

    // Position bookkeeping between reads.
    bool at_line_start = true;  // nothing of the current line has been consumed yet

    // Optional record of where every value came from (see ReadProvenance);
    // null in a plain read.
    ReadProvenance* provenance = nullptr;
};

// The offset from the start of the text (the file) of the next byte the
// reader has not consumed.  After a read whose last destination received a
// value, that is just past the value's text.
std::size_t text_offset(const FreeFormReader& reader);

// Where a destination's value came from.  Offsets count bytes from the start
// of the text (the file).
enum class ValueSource {
    untouched,   // the read ended (slash) before reaching the destination
    number,      // a number token
    truth_word,  // a truth value: a word that begins with T or F
    null_value,  // a null value: the destination keeps what it held
    repeat,      // "r*v" or "r*": `begin`..`end` spans the whole form
};

struct ValueOrigin {
    ValueSource source = ValueSource::untouched;
    bool repeated_null = false;   // "r*" without a value
    bool repeated_truth = false;  // "r*T..."
    std::size_t begin = 0;        // first byte of the token, comma or slash
    std::size_t end = 0;          // one past its last byte
};

struct ReadRecord {
    std::size_t begin = 0;        // first byte of the read's first line
    std::size_t end = 0;          // one past the last byte the read consumed
    std::size_t first_value = 0;  // index of its first destination in `values`
    std::size_t value_count = 0;
};

// Filled by read_list when the reader points at one: a record per read and
// an origin per destination, appended in reading order.
struct ReadProvenance {
    std::vector<ReadRecord> reads;
    std::vector<ValueOrigin> values;
};

// A reader over `text`, which must outlive the reader.
FreeFormReader make_memory_reader(std::string_view text);

// A reader that streams from `channel`.
FreeFormReader make_channel_reader(Channel& channel);

// One free-form read into `destinations`.  A read with no destinations
// consumes exactly one line.  Destinations that the read does not reach (a
// null value, a slash) keep their values; on a failure the ones filled so
// far keep what they received.
//
// Details of the accepted text:
// - A carriage return that is not directly before a line feed is an ordinary
//   character (in a value it is a syntax error).
// - A comma that follows a value or a repeat form, with nothing but blanks,
//   tabs and line ends between them, separates it from the next item; any
//   other comma is a null value.  So a comma first on a later line is a
//   separator after a line that ended with a value ("1\n,2" gives 1 and 2)
//   and a null value after a line that ended with a comma ("1,\n,2" gives
//   1, a null value and 2).
// - Before the read's first item, a comma on the read's first line is a
//   null value for the first destination.  Once the read has passed a line
//   end (the lines before held no item), the first comma is a separator and
//   any further one a null value.
// - A number needs at least one mantissa digit and, when it has an exponent,
//   at least one exponent digit: "+", ".", "1e", "1e+" and "1+" are syntax
//   errors, as is any character outside the number forms (quotes and
//   parentheses included).
// - A number exactly halfway between two binary64 values becomes the one with
//   the even last bit.  A zero keeps its sign ("-0.0" is negative zero),
//   except an integer zero: "-0" is converted as the integer 0.
// - A repeat count is an integer from 1 to 2147483647 written with digits
//   only; anything else before an asterisk, zero and an empty count included,
//   is a conversion error.  The value after "r*" may not be another repeat.
// - A truth value runs to the next blank, tab, comma, slash, right
//   parenthesis or line end, so "T*2" is one truth value.
ReadOutcome read_list(FreeFormReader& reader, std::span<double> destinations);

// The failure number of the report for a failed read.
int failure_number_of(ReadOutcome outcome);

}  // namespace textio
