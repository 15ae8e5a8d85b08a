#include "fit/measured_curve.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "fit/input_file.h"

namespace fit {

namespace {

std::string at_line(std::string_view file_name, int line) {
    return std::string(file_name) + ":" + std::to_string(line) + ": ";
}

// Splits a line (comment and line end already removed) into its fields: at
// `separator` (a comma or a semicolon) when the line has one, each field
// trimmed of blanks; otherwise at runs of blanks and tabs.
std::vector<std::string> split_fields(std::string_view line, char separator) {
    std::vector<std::string> fields;
    const bool comma_separated = line.find(separator) != std::string_view::npos;
    std::size_t i = 0;
    while (i <= line.size()) {
        if (!comma_separated) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
            if (i >= line.size()) break;
        }
        std::size_t end = i;
        while (end < line.size() &&
               (comma_separated ? line[end] != separator : (line[end] != ' ' && line[end] != '\t'))) {
            ++end;
        }
        std::string_view field = line.substr(i, end - i);
        while (!field.empty() && (field.front() == ' ' || field.front() == '\t')) field.remove_prefix(1);
        while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.remove_suffix(1);
        fields.emplace_back(field);
        i = end + 1;
        if (!comma_separated) i = end;
        if (comma_separated && end >= line.size()) break;
    }
    return fields;
}

// The whole field as a decimal number, or false.  Hexadecimal forms and
// words such as "nan" and "inf" are not numbers of a measurement file.
bool parse_number(const std::string& field, double& value) {
    if (field.empty()) return false;
    for (char c : field) {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-' || c == 'e' ||
              c == 'E')) {
            return false;
        }
    }
    errno = 0;
    char* end = nullptr;
    value = std::strtod(field.c_str(), &end);
    return end == field.c_str() + field.size() && errno != ERANGE && std::isfinite(value);
}

// The field as quoted in a message: at most 40 characters, anything that is
// not printable ASCII shown as "?".
std::string shown(const std::string& field) {
    std::string text = "\"";
    for (std::size_t i = 0; i < field.size() && i < 40; ++i) {
        const unsigned char c = static_cast<unsigned char>(field[i]);
        text += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    if (field.size() > 40) text += "...";
    return text + "\"";
}

// A decimal comma: one comma with a digit on each side becomes a point.
bool convert_decimal_comma(std::string& field) {
    const std::size_t comma = field.find(',');
    if (comma == std::string::npos || field.find(',', comma + 1) != std::string::npos || comma == 0 ||
        comma + 1 >= field.size() || !std::isdigit(static_cast<unsigned char>(field[comma - 1])) ||
        !std::isdigit(static_cast<unsigned char>(field[comma + 1]))) {
        return false;
    }
    field[comma] = '.';
    return true;
}

}  // namespace

CurveReading parse_measured_curve(std::string_view text, std::string_view file_name, CurveColumns columns) {
    CurveReading reading;
    MeasuredCurve& curve = reading.curve;
    int line_number = 0;
    bool seen_content = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++line_number;
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.remove_suffix(1);
        }
        const bool semicolons = line.find(';') != std::string_view::npos;
        std::vector<std::string> fields = split_fields(line, semicolons ? ';' : ',');
        if (fields.empty()) continue;
        bool decimal_comma = false;
        if (semicolons) {
            for (std::string& field : fields) decimal_comma = convert_decimal_comma(field) || decimal_comma;
        }

        std::vector<double> values(fields.size());
        std::size_t numbers = 0;
        for (std::size_t k = 0; k < fields.size(); ++k) {
            if (parse_number(fields[k], values[k])) ++numbers;
        }
        if (!seen_content && numbers == 0) {  // a header row: column names, units
            ++reading.header_rows;
            continue;
        }
        seen_content = true;
        reading.semicolons = reading.semicolons || semicolons;
        reading.decimal_comma = reading.decimal_comma || decimal_comma;
        const std::size_t time_column = static_cast<std::size_t>(columns.time) - 1;
        const std::size_t temperature_column = static_cast<std::size_t>(columns.temperature) - 1;
        const std::size_t needed = std::max(time_column, temperature_column) + 1;
        if (columns.given ? fields.size() < needed : fields.size() != 2) {
            reading.error = at_line(file_name, line_number) +
                            (columns.given ? "expected at least " + std::to_string(needed) + " columns (--columns " +
                                                 std::to_string(columns.time) + "," +
                                                 std::to_string(columns.temperature) + "), found "
                                           : std::string("expected two columns, time and temperature, found ")) +
                            std::to_string(fields.size());
            // Commas that split numbers: whole numbers in three or four
            // fields look like a decimal comma in a file separated by
            // commas; other numbers in more columns, like several channels.
            const auto whole_number = [](const std::string& field) {
                return !field.empty() && std::all_of(field.begin(), field.end(), [](char c) {
                    return std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+';
                });
            };
            if (!columns.given && !semicolons && (fields.size() == 3 || fields.size() == 4) &&
                line.find(',') != std::string_view::npos && std::all_of(fields.begin(), fields.end(), whole_number)) {
                reading.error += "; a decimal comma needs a semicolon as the separator (0,5;849,5)";
            } else if (!columns.given && numbers == fields.size() && fields.size() > 2) {
                reading.error += "; choose two with --columns TIME,TEMP";
            }
            return reading;
        }
        for (std::size_t k = 0; k < 2; ++k) {
            const std::size_t column = k == 0 ? time_column : temperature_column;
            if (!parse_number(fields[column], values[column])) {
                reading.error =
                    at_line(file_name, line_number) + (k == 0 ? "the time " : "the temperature ") +
                    (fields[column].empty() ? std::string("is missing") : shown(fields[column]) + " is not a number");
                if (!semicolons && fields[column].find(';') == std::string::npos &&
                    fields[column].find(',') != std::string::npos) {
                    reading.error += " (a decimal comma needs a semicolon as the separator)";
                }
                return reading;
            }
        }
        values = {values[time_column], values[temperature_column]};
        fields = {fields[time_column], fields[temperature_column]};
        if (values[0] < 0.0) {
            reading.error =
                at_line(file_name, line_number) + "the time " + fields[0] + " s lies before the start of the run (0 s)";
            return reading;
        }
        if (!curve.time.empty() && !(values[0] > curve.time.back())) {
            reading.error = at_line(file_name, line_number) + "the times do not increase: " + fields[0] +
                            " s does not come after the time on line " + std::to_string(curve.line.back());
            return reading;
        }
        curve.time.push_back(values[0]);
        curve.temperature.push_back(values[1]);
        curve.line.push_back(line_number);
    }
    if (curve.time.size() < 3) {
        reading.error = std::string(file_name) + ": " + std::to_string(curve.time.size()) +
                        (curve.time.size() == 1 ? " measured point" : " measured points") + "; at least 3 are needed";
    }
    return reading;
}

CurveReading read_measured_curve(const std::string& path, CurveColumns columns) {
    InputBytes input = read_input_file(path);
    if (input.interrupted || input.open_error != 0 || input.read_error != 0) {
        CurveReading reading;
        reading.error = input.interrupted
                            ? path + ": reading interrupted"
                            : path + ": cannot be read: " +
                                  std::strerror(input.open_error != 0 ? input.open_error : input.read_error);
        return reading;
    }
    return parse_measured_curve(input.bytes, path, columns);
}

}  // namespace fit
