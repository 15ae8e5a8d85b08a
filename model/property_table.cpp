#include "model/property_table.h"

#include <charconv>
#include <cmath>

namespace model {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

// The number at the start of `text` (after blanks), advancing past it; false
// when there is none.
bool take_number(std::string_view& text, double& number) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end == text.data()) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

// Parses one row; an empty string on success, else why it is no row.
std::string parse_row(std::string_view line, double& temperature, double& value) {
    std::string_view rest = line;
    if (!take_number(rest, temperature)) return "the temperature is not a number";
    rest = trimmed(rest);
    if (!rest.empty() && (rest.front() == ',' || rest.front() == ';')) rest.remove_prefix(1);
    if (!take_number(rest, value)) return "the value is not a number";
    if (!trimmed(rest).empty()) return "more than two values on the line";
    if (!std::isfinite(temperature) || !std::isfinite(value)) return "a number is not finite";
    if (!(value > 0.0)) return "the value is not positive";
    return {};
}

}  // namespace

PropertyTable make_property_table(std::vector<double> temperature, std::vector<double> value) {
    PropertyTable table{std::move(temperature), std::move(value), {}};
    table.slope.assign(table.temperature.size(), 0.0);
    for (std::size_t k = 1; k < table.temperature.size(); ++k) {
        table.slope[k] = (table.value[k] - table.value[k - 1]) / (table.temperature[k] - table.temperature[k - 1]);
    }
    return table;
}

TableReading parse_property_table(std::string_view text) {
    TableReading reading;
    int line_number = 0;
    bool first_content = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++line_number;
        if (line.empty()) continue;
        double temperature = 0.0;
        double value = 0.0;
        std::string problem = parse_row(line, temperature, value);
        if (first_content && !problem.empty()) {
            // A first line that does not start with a number is a header.
            std::string_view start = line;
            double ignored = 0.0;
            first_content = false;
            if (!take_number(start, ignored)) continue;
        }
        first_content = false;
        if (!problem.empty()) {
            reading.line = line_number;
            reading.problem = problem;
            return reading;
        }
        if (!reading.table.temperature.empty() && !(temperature > reading.table.temperature.back())) {
            reading.line = line_number;
            reading.problem = "the temperatures do not increase";
            return reading;
        }
        reading.table.temperature.push_back(temperature);
        reading.table.value.push_back(value);
    }
    if (reading.table.temperature.size() < 2) {
        reading.line = 0;
        reading.problem = "fewer than two rows";
        return reading;
    }
    reading.table = make_property_table(std::move(reading.table.temperature), std::move(reading.table.value));
    return reading;
}

}  // namespace model
