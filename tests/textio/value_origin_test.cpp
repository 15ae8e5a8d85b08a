// The optional record of where each value of a read came from: offsets of
// the token, comma or slash, the kind of source, and the span of each read.
// It must not change what a read gives.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "textio/free_form_reader.h"

namespace {

using textio::ReadOutcome;
using textio::ValueSource;

struct NotedReads {
    textio::ReadProvenance provenance;
    std::vector<double> values;
    ReadOutcome outcome = ReadOutcome::ok;
};

// One read per entry of `counts`, with a provenance record.
NotedReads read_noting(std::string_view text, std::initializer_list<std::size_t> counts) {
    NotedReads noted;
    textio::FreeFormReader reader = textio::make_memory_reader(text);
    reader.chunk_size = 3;  // origins must survive chunk refills
    reader.provenance = &noted.provenance;
    for (std::size_t count : counts) {
        std::array<double, 4> destinations{7.0, 7.0, 7.0, 7.0};
        noted.outcome = textio::read_list(reader, std::span<double>(destinations.data(), count));
        noted.values.insert(noted.values.end(), destinations.begin(), destinations.begin() + count);
        if (noted.outcome != ReadOutcome::ok) break;
    }
    return noted;
}

std::string_view token_of(std::string_view text, const textio::ValueOrigin& origin) {
    return text.substr(origin.begin, origin.end - origin.begin);
}

TEST(ValueOrigin, NumbersWordsAndTheirPlaces) {
    const std::string text = "title\r\n  0.05  rest\r\n20   temperature\n";
    const NotedReads noted = read_noting(text, {0, 1, 2});
    ASSERT_EQ(noted.outcome, ReadOutcome::ok);
    ASSERT_EQ(noted.provenance.values.size(), 3u);
    ASSERT_EQ(noted.provenance.reads.size(), 3u);
    EXPECT_EQ(noted.provenance.values[0].source, ValueSource::number);
    EXPECT_EQ(token_of(text, noted.provenance.values[0]), "0.05");
    EXPECT_EQ(noted.provenance.values[1].source, ValueSource::number);
    EXPECT_EQ(token_of(text, noted.provenance.values[1]), "20");
    EXPECT_EQ(noted.provenance.values[2].source, ValueSource::truth_word);
    EXPECT_EQ(token_of(text, noted.provenance.values[2]), "temperature");
    EXPECT_EQ(noted.values[2], -1.0);
    // Each read starts on its own line and ends right after its last value.
    EXPECT_EQ(noted.provenance.reads[1].begin, text.find("  0.05"));
    EXPECT_EQ(noted.provenance.reads[1].end, text.find("  rest"));
    EXPECT_EQ(noted.provenance.reads[2].first_value, 1u);
    EXPECT_EQ(noted.provenance.reads[2].value_count, 2u);
}

TEST(ValueOrigin, NullsRepeatsSlashesAndOtherLines) {
    const std::string text = "2*5,,\n3*\n.t\n\n8\n1/\n";
    const NotedReads noted = read_noting(text, {3, 1, 2, 2});
    ASSERT_EQ(noted.outcome, ReadOutcome::ok);
    const auto& v = noted.provenance.values;
    ASSERT_EQ(v.size(), 8u);
    EXPECT_EQ(v[0].source, ValueSource::repeat);
    EXPECT_EQ(token_of(text, v[0]), "2*5");
    EXPECT_EQ(v[1].begin, v[0].begin);
    EXPECT_EQ(v[2].source, ValueSource::null_value);
    EXPECT_EQ(v[2].begin, text.find(",,") + 1);
    EXPECT_EQ(v[3].source, ValueSource::repeat);
    EXPECT_TRUE(v[3].repeated_null);
    EXPECT_EQ(noted.values[3], 7.0);
    // The two-value read takes ".t" and then 8 from two lines further on.
    EXPECT_EQ(v[4].source, ValueSource::truth_word);
    EXPECT_EQ(v[5].source, ValueSource::number);
    EXPECT_EQ(v[5].begin, text.find('8'));
    EXPECT_EQ(v[6].source, ValueSource::number);
    EXPECT_EQ(v[7].source, ValueSource::untouched);
    EXPECT_EQ(noted.values[7], 7.0);
}

TEST(ValueOrigin, ReadsGiveTheSameValuesWithAndWithoutTheRecord) {
    const std::string text = "t\n1.5d2, 3\n-0.0\n2*T\n4 5 6\n";
    textio::FreeFormReader plain = textio::make_memory_reader(text);
    textio::FreeFormReader noting = textio::make_memory_reader(text);
    textio::ReadProvenance provenance;
    noting.provenance = &provenance;
    for (std::size_t count : {0u, 2u, 1u, 2u, 1u, 3u}) {
        std::array<double, 3> a{1.0, 1.0, 1.0}, b{1.0, 1.0, 1.0};
        const ReadOutcome first = textio::read_list(plain, std::span<double>(a.data(), count));
        const ReadOutcome second = textio::read_list(noting, std::span<double>(b.data(), count));
        EXPECT_EQ(first, second);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(std::signbit(a[k]), std::signbit(b[k]));
            EXPECT_EQ(a[k], b[k]);
        }
        if (first != ReadOutcome::ok) break;
    }
}

}  // namespace
