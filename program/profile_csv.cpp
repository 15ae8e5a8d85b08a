#include "program/profile_csv.h"

#include <charconv>
#include <cstdlib>
#include <sys/stat.h>

#include "model/parameter_file.h"
#include "model/result_file.h"
#include "textio/file_channel.h"

namespace program {

namespace {

constexpr std::string_view line_feed = "\n";

// Whether `target` names the file `name` of the working directory: its
// last component is `name` and its folder is the working directory (the
// folders resolved, so "a/../name" counts).  A file reached through a link
// is caught by same_file once it exists.
bool names_file(std::string_view target, std::string_view name) {
    const std::size_t slash = target.rfind('/');
    const std::string_view base = slash == std::string_view::npos ? target : target.substr(slash + 1);
    if (base != name) return false;
    const std::string folder = slash == std::string_view::npos ? "." : std::string(target.substr(0, slash + 1));
    char* resolved = ::realpath(folder.c_str(), nullptr);
    char* working = ::realpath(".", nullptr);
    const bool same = resolved != nullptr && working != nullptr && std::string_view(resolved) == working;
    std::free(resolved);
    std::free(working);
    return same;
}

bool same_file(const struct stat& target, std::string_view name) {
    struct stat other {};
    if (::stat(std::string(name).c_str(), &other) != 0) return false;
    return target.st_dev == other.st_dev && target.st_ino == other.st_ino;
}

void append_number(std::string& text, double value) {
    char buffer[32];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, result.ptr);
}

}  // namespace

std::string refusal_of_csv_target(std::string_view target, std::span<const std::string> tables) {
    if (target == "-") return {};
    const std::string shown = "--csv " + std::string(target);
    if (names_file(target, model::parameter_file_name)) return shown + ": that is the parameter file";
    if (names_file(target, model::result_file_name)) return shown + ": that is the result file";
    for (const std::string& table : tables) {
        if (!table.empty() && names_file(target, table)) return shown + ": that is the table " + table;
    }
    struct stat status {};
    if (::stat(std::string(target).c_str(), &status) != 0) return {};
    if (!S_ISREG(status.st_mode)) return shown + ": exists and is not a regular file";
    if (same_file(status, model::parameter_file_name)) return shown + ": that is the parameter file (a link)";
    if (same_file(status, model::result_file_name)) return shown + ": that is the result file (a link)";
    for (const std::string& table : tables) {
        if (!table.empty() && same_file(status, table)) return shown + ": that is the table " + table + " (a link)";
    }
    return {};
}

std::string shortest_number_text(double value) {
    std::string text;
    append_number(text, value);
    return text;
}

std::string profile_csv_header(std::span<const double> radii) {
    std::string header = "time";
    for (const double radius : radii) {
        header += ",T_r";
        append_number(header, radius);
    }
    header += ",dT";
    return header;
}

textio::Channel& open_profile_csv(std::string_view target, std::span<const double> radii) {
    textio::Channel& channel = target == "-" ? textio::unit_channel(textio::standard_output_unit)
                                             : textio::open_unit(profile_csv_unit, target);
    channel.line_end = line_feed;
    textio::write_record(channel, profile_csv_header(radii));
    return channel;
}

void write_profile_rows(textio::Channel& channel, const model::ProfileRows& rows, std::size_t point_count) {
    std::string line;
    for (std::size_t row = 0; row < rows.time.size(); ++row) {
        line.clear();
        append_number(line, rows.time[row]);
        for (std::size_t k = 0; k < point_count; ++k) {
            line += ',';
            append_number(line, rows.temperature[row * point_count + k]);
        }
        line += ',';
        append_number(line, rows.dT[row]);
        textio::write_record(channel, line);
    }
}

}  // namespace program
