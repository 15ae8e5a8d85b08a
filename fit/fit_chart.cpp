#include "fit/fit_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "fit/fit_parameters.h"
#include "fit/fit_report.h"

namespace fit {

namespace {

constexpr int width = 900;
constexpr int height = 560;
constexpr int left = 80;
constexpr int right = 870;
constexpr int top = 90;
constexpr int bottom = 500;
constexpr std::size_t most_path_points = 800;

std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

std::string xml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// A tick step of 1, 2 or 5 times a power of ten giving about six intervals.
double tick_step(double span) {
    const double raw = span / 6.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double m = raw / power;
    return (m < 1.5 ? 1.0 : m < 3.5 ? 2.0 : m < 7.5 ? 5.0 : 10.0) * power;
}

struct Axis {
    double low, high, step;
};

Axis make_axis(double low, double high) {
    if (!(high > low)) {
        const double span = std::max(std::fabs(low) * 0.05, 1.0);
        low -= span;
        high += span;
    }
    const double step = tick_step(high - low);
    return {std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

std::string tick_format(const Axis& axis) {
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(axis.step) + 1e-9)));
    return "%." + std::to_string(decimals) + "f";
}

}  // namespace

std::string fit_chart_svg(const FitChartInput& in) {
    const FitProblem& problem = *in.problem;
    const FitResult& result = *in.result;
    const RecordSink& fitted = *in.fitted;

    double t_high = problem.times.back();
    double y_low = problem.temperatures.front();
    double y_high = y_low;
    for (double t : problem.temperatures) {
        y_low = std::min(y_low, t);
        y_high = std::max(y_high, t);
    }
    for (std::size_t i = 0; i < fitted.time.size() && fitted.time[i] <= t_high; ++i) {
        y_low = std::min(y_low, fitted.temperature[i]);
        y_high = std::max(y_high, fitted.temperature[i]);
    }
    const Axis x_axis = make_axis(0.0, t_high);
    const Axis y_axis = make_axis(y_low, y_high);
    auto x_pixel = [&](double t) { return left + (t - x_axis.low) / (x_axis.high - x_axis.low) * (right - left); };
    auto y_pixel = [&](double y) { return bottom - (y - y_axis.low) / (y_axis.high - y_axis.low) * (bottom - top); };

    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
           std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) +
           "\">\n";
    svg += "<title>temp1d-fit " + xml(in.curve_file) + "</title>\n";
    svg += "<style>\n"
           "text { font-family: sans-serif; font-size: 13px; fill: #222; }\n"
           ".title { font-size: 16px; font-weight: bold; } .note { font-size: 12px; fill: #555; }\n"
           ".grid { stroke: #ddd; stroke-width: 1; } .frame { fill: none; stroke: #444; stroke-width: 1; }\n"
           ".series { fill: none; stroke-width: 1.6; stroke-linejoin: round; stroke-linecap: round; }\n"
           ".fitted { stroke: #c0392b; } .measured { fill: #1f5fbf; fill-opacity: 0.7; }\n"
           ".window { fill: #fbf3e4; }\n"
           "</style>\n";
    svg += "<rect width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\" fill=\"#fff\"/>\n";
    const char* position = problem.position == ProbePosition::centre ? "centre" : "surface";
    svg += "<text x=\"450.0\" y=\"26.0\" text-anchor=\"middle\" class=\"title\">temp1d-fit: " + xml(in.curve_file) +
           "</text>\n";
    std::string note = "physical h = " + format("%.6g", result.physical_coefficient) + " W/(m2 K) (Bi " +
                       format("%.3g", biot_number(problem.parameters, result.physical_coefficient)) +
                       "; parameter file " + format("%.6g", result.coefficient) + "); RMS residual " +
                       format("%.3g", result.rms_residual) + " K; " + std::to_string(problem.times.size()) +
                       " points at the " + position;
    svg += "<text x=\"450.0\" y=\"46.0\" text-anchor=\"middle\" class=\"note\">" + xml(note) + "</text>\n";

    // The fitted window.
    const double x_from = x_pixel(problem.times.front());
    const double x_to = x_pixel(problem.times.back());
    svg += "<rect class=\"window\" x=\"" + format("%.2f", x_from) + "\" y=\"" + std::to_string(top) + "\" width=\"" +
           format("%.2f", x_to - x_from) + "\" height=\"" + std::to_string(bottom - top) + "\"/>\n";

    const std::string x_format = tick_format(x_axis);
    for (double v = x_axis.low; v <= x_axis.high + x_axis.step * 1e-6; v += x_axis.step) {
        const double x = x_pixel(v);
        svg += "<line class=\"grid\" x1=\"" + format("%.2f", x) + "\" y1=\"" + std::to_string(top) + "\" x2=\"" +
               format("%.2f", x) + "\" y2=\"" + std::to_string(bottom) + "\"/>\n";
        svg += "<text x=\"" + format("%.1f", x) + "\" y=\"" + std::to_string(bottom + 18) +
               ".0\" text-anchor=\"middle\" class=\"tick\">" + format(x_format.c_str(), v) + "</text>\n";
    }
    const std::string y_format = tick_format(y_axis);
    for (double v = y_axis.low; v <= y_axis.high + y_axis.step * 1e-6; v += y_axis.step) {
        const double y = y_pixel(v);
        svg += "<line class=\"grid\" x1=\"" + std::to_string(left) + "\" y1=\"" + format("%.2f", y) + "\" x2=\"" +
               std::to_string(right) + "\" y2=\"" + format("%.2f", y) + "\"/>\n";
        svg += "<text x=\"" + std::to_string(left - 8) + ".0\" y=\"" + format("%.1f", y + 4) +
               "\" text-anchor=\"end\" class=\"tick\">" + format(y_format.c_str(), v) + "</text>\n";
    }
    svg += "<rect class=\"frame\" x=\"" + std::to_string(left) + "\" y=\"" + std::to_string(top) + "\" width=\"" +
           std::to_string(right - left) + "\" height=\"" + std::to_string(bottom - top) + "\"/>\n";
    svg += "<text x=\"475.0\" y=\"536.0\" text-anchor=\"middle\" class=\"axis\">Time, s</text>\n";
    svg += "<text x=\"0\" y=\"0\" transform=\"translate(22 295.0) rotate(-90)\" text-anchor=\"middle\" "
           "class=\"axis\">Temperature, degrees</text>\n";

    // The fitted curve, thinned to about eight hundred points, one per pixel.
    std::size_t last = 0;
    while (last + 1 < fitted.time.size() && fitted.time[last] < t_high) ++last;
    const std::size_t stride = std::max<std::size_t>(1, (last + 1) / most_path_points);
    std::string path;
    for (std::size_t i = 0; i <= last; i += stride) {
        path += (i == 0 ? "M" : " L") + format("%.2f", x_pixel(fitted.time[i])) + "," +
                format("%.2f", y_pixel(fitted.temperature[i]));
        if (i != last && i + stride > last) i = last - stride;  // always end on the last record
    }
    svg += "<path class=\"series fitted\" d=\"" + path + "\"/>\n";
    for (std::size_t i = 0; i < problem.times.size(); ++i) {
        svg += "<circle class=\"measured\" cx=\"" + format("%.2f", x_pixel(problem.times[i])) + "\" cy=\"" +
               format("%.2f", y_pixel(problem.temperatures[i])) + "\" r=\"2.5\"/>\n";
    }

    // Legend, above the plot.
    svg += "<circle class=\"measured\" cx=\"94.0\" cy=\"70.0\" r=\"3.5\"/>\n";
    svg += "<text x=\"114.0\" y=\"74.0\" text-anchor=\"start\" class=\"legend\">measured</text>\n";
    svg += "<line class=\"series fitted\" x1=\"250.0\" y1=\"70\" x2=\"278.0\" y2=\"70\"/>\n";
    svg += "<text x=\"284.0\" y=\"74.0\" text-anchor=\"start\" class=\"legend\">model, fitted coefficient</text>\n";
    svg += "</svg>\n";
    return svg;
}

}  // namespace fit
