#include "textio/free_form_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

#include "textio/failure_report.h"
#include "textio/file_channel.h"

namespace textio {

namespace {

// ---------------------------------------------------------------------------
// Byte source
//
// The text is seen one symbol at a time: a byte (0..255), the end of a line
// (a line feed, or a carriage return directly followed by one) or the end of
// the text.  Only the unread rest of the current chunk is kept; a refill moves
// that rest (at most one byte, a carriage return waiting for its partner) to
// the front and fetches more behind it.

constexpr int end_of_text = -1;
constexpr int end_of_line = -2;

std::size_t chunk_capacity(const FreeFormReader& reader) { return std::max<std::size_t>(reader.chunk_size, 2); }

// Fetches more bytes behind the unread ones; sets `source_exhausted` when the
// source has nothing more.
void refill(FreeFormReader& reader) {
    const std::size_t capacity = chunk_capacity(reader);
    if (reader.chunk.size() != capacity) {
        // The chunk only ever holds the unread rest, which is at most one
        // byte when a refill is asked for, so resizing never loses data.
        std::vector<char> resized(capacity);
        std::copy(reader.chunk.begin() + static_cast<std::ptrdiff_t>(reader.position),
                  reader.chunk.begin() + static_cast<std::ptrdiff_t>(reader.length), resized.begin());
        reader.chunk.swap(resized);
    } else {
        std::memmove(reader.chunk.data(), reader.chunk.data() + reader.position, reader.length - reader.position);
    }
    reader.chunk_begin += reader.position;
    reader.length -= reader.position;
    reader.position = 0;
    if (reader.source_exhausted) return;

    char* free_space = reader.chunk.data() + reader.length;
    const std::size_t free_size = capacity - reader.length;
    if (reader.channel != nullptr) {
        // read_bytes stops the program itself when the system fails to read,
        // so a failed read never comes back here.
        const std::size_t fetched = read_bytes(*reader.channel, free_space, free_size);
        if (fetched == 0) reader.source_exhausted = true;
        reader.length += fetched;
    } else {
        const std::size_t offset = std::min(reader.chunk_begin + reader.length, reader.memory.size());
        const std::size_t fetched = std::min(free_size, reader.memory.size() - offset);
        if (fetched > 0) std::memcpy(free_space, reader.memory.data() + offset, fetched);
        reader.length += fetched;
        if (offset + fetched == reader.memory.size()) reader.source_exhausted = true;
    }
}

// The next symbol, not consumed.
int peek(FreeFormReader& reader) {
    while (reader.position == reader.length) {
        if (reader.source_exhausted) return end_of_text;
        refill(reader);
    }
    const char byte = reader.chunk[reader.position];
    if (byte == '\n') return end_of_line;
    if (byte == '\r') {
        // The line feed that makes this carriage return a line end may wait
        // in the next chunk.
        while (reader.length - reader.position < 2 && !reader.source_exhausted) refill(reader);
        if (reader.length - reader.position >= 2 && reader.chunk[reader.position + 1] == '\n') return end_of_line;
    }
    return static_cast<unsigned char>(byte);
}

// Consumes the symbol that peek has just returned.
void advance(FreeFormReader& reader) {
    const bool crlf = reader.chunk[reader.position] == '\r' && reader.length - reader.position >= 2 &&
                      reader.chunk[reader.position + 1] == '\n';
    reader.position += crlf ? 2 : 1;
}

// Consumes the rest of the current line with its line end.  Searches whole
// chunks at a time, so a line of any length costs time in proportion to its
// length and no memory.
void skip_rest_of_line(FreeFormReader& reader) {
    for (;;) {
        if (reader.position == reader.length) {
            if (reader.source_exhausted) return;
            refill(reader);
            continue;
        }
        const char* start = reader.chunk.data() + reader.position;
        const void* line_feed = std::memchr(start, '\n', reader.length - reader.position);
        if (line_feed != nullptr) {
            reader.position += static_cast<std::size_t>(static_cast<const char*>(line_feed) - start) + 1;
            return;
        }
        reader.position = reader.length;
    }
}

// ---------------------------------------------------------------------------
// Character classes

bool is_blank(int symbol) { return symbol == ' ' || symbol == '\t'; }
bool is_digit(int symbol) { return symbol >= '0' && symbol <= '9'; }
bool is_sign(int symbol) { return symbol == '+' || symbol == '-'; }
bool is_exponent_letter(int symbol) {
    return symbol == 'D' || symbol == 'd' || symbol == 'E' || symbol == 'e' || symbol == 'Q' || symbol == 'q';
}
bool is_truth_letter(int symbol) { return symbol == 'T' || symbol == 't' || symbol == 'F' || symbol == 'f'; }

// What ends a truth value.
bool ends_truth_value(int symbol) {
    return is_blank(symbol) || symbol == ',' || symbol == '/' || symbol == ')' || symbol == end_of_line ||
           symbol == end_of_text;
}

// What ends any other value (a repeat count included).
bool ends_value(int symbol) { return ends_truth_value(symbol) || symbol == '*'; }

// ---------------------------------------------------------------------------
// Numbers
//
// The digits are gathered in a bounded buffer: leading zeros are dropped (the
// position of the decimal point is tracked instead), at most
// `kept_digits_limit` significant digits are kept, and any nonzero digit
// beyond them is remembered as one sticky digit.  A decimal number needs at
// most 767 significant digits to tell on which side of a halfway point
// between two binary64 values it lies, so the sticky digit keeps the rounding
// of std::from_chars exact while a token of any length takes constant memory.

constexpr std::size_t kept_digits_limit = 800;
// Exponents saturate here; anything this far out is beyond the binary64 range.
constexpr std::int64_t exponent_saturation = 1'000'000'000'000'000'000;
// The decimal exponent handed to std::from_chars is clamped to this; the
// outcome (overflow or underflow) is the same as for the exact exponent.
constexpr std::int64_t exponent_text_limit = 99'999;
// Repeat counts are 32-bit signed integers greater than zero.
constexpr std::int64_t largest_repeat_count = std::numeric_limits<std::int32_t>::max();

enum class NumberState {
    start,            // nothing yet
    sign,             // a leading sign
    point_first,      // a decimal point with no digit before it
    integer_digits,   // digits, no point yet
    fraction_digits,  // a point with at least one mantissa digit
    exponent_letter,  // D, E or Q
    exponent_sign,    // the exponent's sign (or a sign right after the digits)
    exponent_digits,  // digits of the exponent
    malformed,        // something not allowed in a number
};

struct NumberText {
    NumberState state = NumberState::start;
    bool negative = false;
    bool decimal_point = false;
    bool exponent = false;
    bool unsigned_digits_only = true;  // could still be a repeat count
    std::int64_t repeat_count = 0;     // saturates above largest_repeat_count

    std::array<char, kept_digits_limit> digits{};
    std::size_t kept = 0;             // significant digits in `digits`
    bool dropped_nonzero = false;     // a nonzero digit beyond `digits`
    std::int64_t point_exponent = 0;  // value = 0.<digits> x 10^(point_exponent + exponent_value)
    bool exponent_negative = false;
    std::int64_t exponent_value = 0;
};

std::int64_t saturating_step(std::int64_t value, std::int64_t step) {
    return std::clamp(value + step, -exponent_saturation, exponent_saturation);
}

void add_mantissa_digit(NumberText& number, char digit, bool in_fraction) {
    if (number.kept == 0 && digit == '0') {
        // A leading zero: only its place matters.
        if (in_fraction) number.point_exponent = saturating_step(number.point_exponent, -1);
        return;
    }
    if (!in_fraction) number.point_exponent = saturating_step(number.point_exponent, 1);
    if (number.kept < number.digits.size()) {
        number.digits[number.kept++] = digit;
    } else if (digit != '0') {
        number.dropped_nonzero = true;
    }
}

void add_exponent_digit(NumberText& number, char digit) {
    if (number.exponent_value > exponent_saturation / 10) {
        number.exponent_value = exponent_saturation;
    } else {
        number.exponent_value = std::min(number.exponent_value * 10 + (digit - '0'), exponent_saturation);
    }
}

// Feeds one character of a numeric token through the number's grammar.
void add_number_char(NumberText& number, int symbol) {
    if (!is_digit(symbol)) number.unsigned_digits_only = false;
    if (number.unsigned_digits_only) {
        number.repeat_count = std::min(number.repeat_count * 10 + (symbol - '0'), largest_repeat_count + 1);
    }
    const char c = static_cast<char>(symbol);
    switch (number.state) {
        case NumberState::start:
            if (is_sign(symbol)) {
                number.negative = symbol == '-';
                number.state = NumberState::sign;
                return;
            }
            [[fallthrough]];
        case NumberState::sign:
            if (is_digit(symbol)) {
                add_mantissa_digit(number, c, false);
                number.state = NumberState::integer_digits;
            } else if (symbol == '.') {
                number.decimal_point = true;
                number.state = NumberState::point_first;
            } else {
                number.state = NumberState::malformed;
            }
            return;
        case NumberState::point_first:
            if (is_digit(symbol)) {
                add_mantissa_digit(number, c, true);
                number.state = NumberState::fraction_digits;
            } else {
                number.state = NumberState::malformed;
            }
            return;
        case NumberState::integer_digits:
        case NumberState::fraction_digits: {
            const bool in_fraction = number.state == NumberState::fraction_digits;
            if (is_digit(symbol)) {
                add_mantissa_digit(number, c, in_fraction);
            } else if (symbol == '.' && !in_fraction) {
                number.decimal_point = true;
                number.state = NumberState::fraction_digits;
            } else if (is_exponent_letter(symbol)) {
                number.exponent = true;
                number.state = NumberState::exponent_letter;
            } else if (is_sign(symbol)) {
                // A sign right after the digits starts the exponent.
                number.exponent = true;
                number.exponent_negative = symbol == '-';
                number.state = NumberState::exponent_sign;
            } else {
                number.state = NumberState::malformed;
            }
            return;
        }
        case NumberState::exponent_letter:
            if (is_sign(symbol)) {
                number.exponent_negative = symbol == '-';
                number.state = NumberState::exponent_sign;
                return;
            }
            [[fallthrough]];
        case NumberState::exponent_sign:
        case NumberState::exponent_digits:
            if (is_digit(symbol)) {
                add_exponent_digit(number, c);
                number.state = NumberState::exponent_digits;
            } else {
                number.state = NumberState::malformed;
            }
            return;
        case NumberState::malformed: return;
    }
}

bool is_complete(const NumberText& number) {
    return number.state == NumberState::integer_digits || number.state == NumberState::fraction_digits ||
           number.state == NumberState::exponent_digits;
}

// The binary64 value nearest to a complete number; halfway cases go to the
// value with the even last bit.  Fails with conversion_error above the
// binary64 range; below it the value is zero.
ReadOutcome convert_number(const NumberText& number, double& value) {
    if (number.kept == 0) {
        // All digits zero.  An integer is converted as the integer, which has
        // no sign when it is zero; other forms keep the sign of the text.
        const bool integer_form = !number.decimal_point && !number.exponent;
        value = number.negative && !integer_form ? -0.0 : 0.0;
        return ReadOutcome::ok;
    }
    const std::int64_t exponent = number.exponent_negative ? -number.exponent_value : number.exponent_value;
    const std::int64_t decimal_exponent =
        std::clamp(number.point_exponent + exponent, -exponent_text_limit, exponent_text_limit);

    // "0.<digits>[1]e<exponent>"
    std::array<char, kept_digits_limit + 24> text{};
    char* out = text.data();
    *out++ = '0';
    *out++ = '.';
    out = std::copy_n(number.digits.data(), number.kept, out);
    if (number.dropped_nonzero) *out++ = '1';
    *out++ = 'e';
    out = std::to_chars(out, text.data() + text.size(), decimal_exponent).ptr;

    double magnitude = 0.0;
    const std::from_chars_result result = std::from_chars(text.data(), out, magnitude);
    if (result.ec == std::errc::result_out_of_range) {
        // The mantissa lies in [0.1, 1), so the exponent's sign tells an
        // overflow from an underflow.
        if (decimal_exponent > 0) return ReadOutcome::conversion_error;
        magnitude = 0.0;
    } else if (result.ec != std::errc{} || result.ptr != out) {
        return ReadOutcome::syntax_error;  // cannot happen for the text built above
    }
    value = number.negative ? -magnitude : magnitude;
    return ReadOutcome::ok;
}

// ---------------------------------------------------------------------------
// Tokens and items

enum class TokenKind { value, repeat_count };

struct Token {
    TokenKind kind = TokenKind::value;
    bool truth = false;  // a truth value rather than a number
    double value = 0.0;
    std::int32_t count = 0;
};

// Reads one token starting at a character that is not a blank, a comma, a
// slash or a line end: a truth value, a number, or a repeat count with its
// asterisk.  The whole token is consumed before a failure is decided, so a
// token that ends in an asterisk is judged as a repeat count.
ReadOutcome scan_token(FreeFormReader& reader, Token& token) {
    NumberText number;
    int symbol = peek(reader);
    if (symbol == '.') {
        advance(reader);
        add_number_char(number, '.');
        symbol = peek(reader);
    }
    token.truth = is_truth_letter(symbol);
    if (token.truth) {
        token.kind = TokenKind::value;
        token.value = (symbol == 'T' || symbol == 't') ? -1.0 : 0.0;
        while (!ends_truth_value(symbol)) {
            advance(reader);
            symbol = peek(reader);
        }
        return ReadOutcome::ok;
    }
    while (!ends_value(symbol)) {
        add_number_char(number, symbol);
        advance(reader);
        symbol = peek(reader);
    }
    if (symbol == '*') {
        advance(reader);
        const bool valid_count = number.unsigned_digits_only && number.state == NumberState::integer_digits &&
                                 number.repeat_count >= 1 && number.repeat_count <= largest_repeat_count;
        if (!valid_count) return ReadOutcome::conversion_error;
        token.kind = TokenKind::repeat_count;
        token.count = static_cast<std::int32_t>(number.repeat_count);
        return ReadOutcome::ok;
    }
    if (!is_complete(number)) return ReadOutcome::syntax_error;
    token.kind = TokenKind::value;
    return convert_number(number, token.value);
}

enum class ItemKind {
    number,           // a number
    truth_word,       // a truth value
    null_value,       // a comma that stands for a null value
    repeated_number,  // "r*v" with a number v
    repeated_truth,   // "r*v" with a truth value v
    repeated_null,    // "r*": r null values
    slash,            // the slash that ends the read
};

// One step of a read: a value or a null value, `count` times, or a slash,
// with the text it was read from (`begin`..`end`, offsets in the text).
struct Item {
    ItemKind kind = ItemKind::number;
    double value = 0.0;
    std::int32_t count = 1;
    std::size_t begin = 0;
    std::size_t end = 0;
};

bool gives_value(ItemKind kind) {
    return kind == ItemKind::number || kind == ItemKind::truth_word || kind == ItemKind::repeated_number ||
           kind == ItemKind::repeated_truth;
}

// Finds and reads the next item, passing over blanks, tabs, line ends and the
// one comma that may separate it from the item before.  `separator_pending`
// is true while the item before has not yet been followed by its comma, so a
// comma then is a separator and any other comma a null value.  Before the
// read's first item, a line end makes a comma first on the next line a
// separator too (`first_item`).  On success `item` holds the item with its
// span in the text; on a failure it is left as it was.
ReadOutcome next_item(FreeFormReader& reader, bool first_item, bool& separator_pending, Item& item) {
    std::size_t begin = 0;
    for (;;) {
        const int symbol = peek(reader);
        begin = text_offset(reader);
        if (is_blank(symbol) || symbol == end_of_line) {
            if (symbol == end_of_line && first_item) separator_pending = true;
            advance(reader);
        } else if (symbol == end_of_text) {
            return ReadOutcome::end_of_file;
        } else if (symbol == ',') {
            advance(reader);
            if (separator_pending) {
                separator_pending = false;
                continue;
            }
            item = Item{ItemKind::null_value, 0.0, 1, begin, text_offset(reader)};
            return ReadOutcome::ok;
        } else if (symbol == '/') {
            advance(reader);
            item = Item{ItemKind::slash, 0.0, 1, begin, text_offset(reader)};
            return ReadOutcome::ok;
        } else {
            break;
        }
    }

    Token token;
    ReadOutcome outcome = scan_token(reader, token);
    if (outcome != ReadOutcome::ok) return outcome;
    separator_pending = true;
    if (token.kind == TokenKind::value) {
        const ItemKind kind = token.truth ? ItemKind::truth_word : ItemKind::number;
        item = Item{kind, token.value, 1, begin, text_offset(reader)};
        return ReadOutcome::ok;
    }

    // "r*" followed by a separator gives r null values, "r*v" r times v.
    const std::int32_t count = token.count;
    const int symbol = peek(reader);
    if (is_blank(symbol) || symbol == ',' || symbol == '/' || symbol == end_of_line || symbol == end_of_text) {
        item = Item{ItemKind::repeated_null, 0.0, count, begin, text_offset(reader)};
        return ReadOutcome::ok;
    }
    outcome = scan_token(reader, token);
    if (outcome != ReadOutcome::ok) return outcome;
    if (token.kind != TokenKind::value) return ReadOutcome::syntax_error;  // "2*3*4"
    const ItemKind kind = token.truth ? ItemKind::repeated_truth : ItemKind::repeated_number;
    item = Item{kind, token.value, count, begin, text_offset(reader)};
    return ReadOutcome::ok;
}

// Where the values of an item come from.
ValueOrigin origin_of(const Item& item) {
    ValueOrigin origin;
    origin.begin = item.begin;
    origin.end = item.end;
    switch (item.kind) {
        case ItemKind::number: origin.source = ValueSource::number; break;
        case ItemKind::truth_word: origin.source = ValueSource::truth_word; break;
        case ItemKind::null_value: origin.source = ValueSource::null_value; break;
        case ItemKind::repeated_number: origin.source = ValueSource::repeat; break;
        case ItemKind::repeated_truth:
            origin.source = ValueSource::repeat;
            origin.repeated_truth = true;
            break;
        case ItemKind::repeated_null:
            origin.source = ValueSource::repeat;
            origin.repeated_null = true;
            break;
        case ItemKind::slash: origin.source = ValueSource::untouched; break;
    }
    return origin;
}

}  // namespace

FreeFormReader make_memory_reader(std::string_view text) {
    FreeFormReader reader;
    reader.memory = text;
    return reader;
}

FreeFormReader make_channel_reader(Channel& channel) {
    FreeFormReader reader;
    reader.channel = &channel;
    return reader;
}

std::size_t text_offset(const FreeFormReader& reader) { return reader.chunk_begin + reader.position; }

ReadOutcome read_list(FreeFormReader& reader, std::span<double> destinations) {
    // What the previous read left on its last line is discarded.
    if (!reader.at_line_start) {
        skip_rest_of_line(reader);
        reader.at_line_start = true;
    }

    // With a provenance record, the read and each value note where they stand.
    ReadRecord* record = nullptr;
    if (reader.provenance != nullptr) {
        ReadProvenance& provenance = *reader.provenance;
        ReadRecord read;
        read.begin = text_offset(reader);
        read.first_value = provenance.values.size();
        read.value_count = destinations.size();
        provenance.values.resize(read.first_value + destinations.size());
        provenance.reads.push_back(read);
        record = &provenance.reads.back();
    }

    if (destinations.empty()) {
        if (peek(reader) == end_of_text) return ReadOutcome::end_of_file;
        skip_rest_of_line(reader);
        if (record != nullptr) record->end = text_offset(reader);
        return ReadOutcome::ok;
    }

    reader.at_line_start = false;
    bool separator_pending = false;
    bool first_item = true;
    std::size_t next = 0;
    while (next < destinations.size()) {
        Item item;
        const ReadOutcome outcome = next_item(reader, first_item, separator_pending, item);
        first_item = false;
        if (record != nullptr) record->end = text_offset(reader);
        if (outcome != ReadOutcome::ok) return outcome;
        if (item.kind == ItemKind::slash) return ReadOutcome::ok;
        // Repetitions beyond the last destination are discarded.
        const std::size_t reach = std::min(destinations.size() - next, static_cast<std::size_t>(item.count));
        if (record != nullptr) {
            const auto first =
                reader.provenance->values.begin() + static_cast<std::ptrdiff_t>(record->first_value + next);
            std::fill_n(first, reach, origin_of(item));
        }
        if (gives_value(item.kind)) {
            std::fill_n(destinations.begin() + static_cast<std::ptrdiff_t>(next), reach, item.value);
        }
        next += reach;
    }
    return ReadOutcome::ok;
}

int failure_number_of(ReadOutcome outcome) {
    switch (outcome) {
        case ReadOutcome::ok: return 0;
        case ReadOutcome::end_of_file: return failure_end_of_file;
        case ReadOutcome::syntax_error: return failure_syntax;
        case ReadOutcome::conversion_error: return failure_conversion;
    }
    return 0;
}

}  // namespace textio
