#include "fit/parameter_rewrite.h"

#include <cstdio>

namespace fit {

std::string coefficient_text(double coefficient) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.10g", coefficient);
    return buffer;
}

std::string rewrite_coefficient(const FitParameters& fit, double coefficient) {
    const std::string number = coefficient_text(coefficient);
    const std::string& text = fit.text;
    std::size_t rest = fit.coefficient_end;
    // A longer number takes blanks from the gap after it, keeping at least
    // one, so that the comment stays where it was.
    std::size_t gap = 0;
    while (rest + gap < text.size() && (text[rest + gap] == ' ')) ++gap;
    const std::size_t old_length = fit.coefficient_end - fit.coefficient_begin;
    std::string out = text.substr(0, fit.coefficient_begin) + number;
    if (gap > 0 && rest + gap < text.size() && text[rest + gap] != '\r' && text[rest + gap] != '\n') {
        const std::size_t column_gap = old_length + gap > number.size() ? old_length + gap - number.size() : 1;
        out.append(column_gap < 1 ? 1 : column_gap, ' ');
        rest += gap;
    }
    out += text.substr(rest);
    return out;
}

}  // namespace fit
