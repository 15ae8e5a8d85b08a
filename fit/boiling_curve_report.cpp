#include "fit/boiling_curve_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace fit {

namespace {

std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

std::string json_number(double value) { return std::isfinite(value) ? format("%.10g", value) : "null"; }

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned char>(c));
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
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

const char* position_name(ProbePosition position) { return position == ProbePosition::centre ? "centre" : "surface"; }

bool open_low(const BoilingCurveResult& r, std::size_t k) { return !(r.interval_low[k] > 0.0); }
bool open_high(const BoilingCurveResult& r, std::size_t k) {
    return !(r.interval_high[k] < std::numeric_limits<double>::infinity());
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

// One panel of the chart: its frame in pixels and its axes.
struct Panel {
    double left, right, top, bottom;
    Axis x, y;
    bool log_y = false;  // y values are log10 of the quantity
    double px(double v) const { return left + (v - x.low) / (x.high - x.low) * (right - left); }
    double py(double v) const { return bottom - (v - y.low) / (y.high - y.low) * (bottom - top); }
};

std::string panel_frame(const Panel& p, const std::string& x_label, const std::string& y_label) {
    std::string svg;
    const std::string xf = tick_format(p.x);
    for (double v = p.x.low; v <= p.x.high + p.x.step * 1e-6; v += p.x.step) {
        const double x = p.px(v);
        svg += "<line class=\"grid\" x1=\"" + format("%.2f", x) + "\" y1=\"" + format("%.1f", p.top) + "\" x2=\"" +
               format("%.2f", x) + "\" y2=\"" + format("%.1f", p.bottom) + "\"/>\n";
        svg += "<text x=\"" + format("%.1f", x) + "\" y=\"" + format("%.1f", p.bottom + 16) +
               "\" text-anchor=\"middle\">" + format(xf.c_str(), v) + "</text>\n";
    }
    const std::string yf = tick_format(p.y);
    for (double v = p.y.low; v <= p.y.high + p.y.step * 1e-6; v += p.y.step) {
        const double y = p.py(v);
        svg += "<line class=\"grid\" x1=\"" + format("%.1f", p.left) + "\" y1=\"" + format("%.2f", y) + "\" x2=\"" +
               format("%.1f", p.right) + "\" y2=\"" + format("%.2f", y) + "\"/>\n";
        const std::string label = p.log_y ? format("%g", std::pow(10.0, v)) : format(yf.c_str(), v);
        svg += "<text x=\"" + format("%.1f", p.left - 8) + "\" y=\"" + format("%.1f", y + 4) +
               "\" text-anchor=\"end\">" + label + "</text>\n";
    }
    svg += "<rect class=\"frame\" x=\"" + format("%.1f", p.left) + "\" y=\"" + format("%.1f", p.top) + "\" width=\"" +
           format("%.1f", p.right - p.left) + "\" height=\"" + format("%.1f", p.bottom - p.top) + "\"/>\n";
    svg += "<text x=\"" + format("%.1f", 0.5 * (p.left + p.right)) + "\" y=\"" + format("%.1f", p.bottom + 34) +
           "\" text-anchor=\"middle\">" + xml(x_label) + "</text>\n";
    svg += "<text x=\"0\" y=\"0\" transform=\"translate(20 " + format("%.1f", 0.5 * (p.top + p.bottom)) +
           ") rotate(-90)\" text-anchor=\"middle\">" + xml(y_label) + "</text>\n";
    return svg;
}

}  // namespace

std::vector<std::string> boiling_curve_warnings(const BoilingCurveResult& r) {
    std::vector<std::string> warnings;
    std::vector<std::string> open;
    for (std::size_t k = 0; k < r.temperature.size(); ++k) {
        if (open_low(r, k) || open_high(r, k)) open.push_back(format("%g", r.temperature[k]));
    }
    if (!open.empty()) {
        std::string list;
        for (std::size_t j = 0; j < open.size(); ++j) list += (j > 0 ? ", " : "") + open[j];
        warnings.push_back("the 95 % interval has an open end at the node" + std::string(open.size() > 1 ? "s " : " ") +
                           list + " C: the curve hardly depends on the coefficient there");
    }
    if (r.at_search_limit) {
        warnings.push_back("a node lies on an end of the search range (" + format("%g", lowest_coefficient) + " .. " +
                           format("%g", highest_coefficient) + " W/(m2 K)): the curve does not determine it");
    }
    if (r.weight_at_grid_end) {
        warnings.push_back("the smoothing weight lies on the largest value tried: the curve allows a straight line "
                           "of ln h between the nodes, and the table shows no more than that");
    }
    if (!r.converged) {
        warnings.push_back("the minimisation stopped at its step limit before its tolerance; the table may be a "
                           "little off the least-squares solution");
    }
    return warnings;
}

std::string boiling_curve_report_text(const BoilingCurveReportInput& in) {
    const BoilingCurveProblem& problem = *in.problem;
    const BoilingCurveResult& r = *in.result;
    const FitProblem& curve = problem.curve;
    std::string out;
    out += "curve: " + in.curve_file + ", " + std::to_string(curve.times.size()) + " points from " +
           format("%g", curve.times.front()) + " to " + format("%g", curve.times.back()) + " s, " +
           position_name(curve.position) + " temperature\n";
    for (const std::string& table : in.material_tables) out += "material table: " + table + "\n";
    out += "boiling curve: " + std::to_string(r.temperature.size()) + " nodes from " +
           format("%.1f", r.temperature.front()) + " to " + format("%.1f", r.temperature.back()) +
           " C; h against the surface temperature, applied as given (line 4 is not used)\n";
    out += "  surface C   h, W/(m2 K)   95 % interval\n";
    for (std::size_t k = 0; k < r.temperature.size(); ++k) {
        char line[160];
        const std::string low = open_low(r, k) ? "open" : format("%.6g", r.interval_low[k]);
        const std::string high = open_high(r, k) ? "open" : format("%.6g", r.interval_high[k]);
        std::snprintf(line, sizeof line, "  %9.1f   %11.6g   %s .. %s\n", r.temperature[k], r.coefficient[k],
                      low.c_str(), high.c_str());
        out += line;
    }
    out += "smoothing weight:   " + format("%.4g", r.smoothing_weight) + " (discrepancy principle), " +
           format("%.2f", r.effective_parameters) + " effective parameters\n";
    out += "RMS residual:       " + format("%.4g", r.rms_residual) + " K\n";
    out += "largest residual:   " + format("%.4g", r.largest_residual) + " K at " +
           format("%g", curve.times[r.largest_at]) + " s (line " + std::to_string(in.lines[r.largest_at]) + ")\n";
    out += "model runs:         " + std::to_string(r.model_runs) + " (up to " + std::to_string(r.steps_per_run) +
           " steps each), " + std::to_string(r.iterations) + " iterations\n";
    out += "time taken:         " + format("%.3f", in.seconds) + " s\n";
    for (const std::string& warning : boiling_curve_warnings(r)) out += "warning: " + warning + "\n";
    return out;
}

std::string boiling_curve_report_json(const BoilingCurveReportInput& in) {
    const BoilingCurveProblem& problem = *in.problem;
    const BoilingCurveResult& r = *in.result;
    const FitProblem& curve = problem.curve;
    std::string out = "{\n";
    out += "  \"mode\": \"boiling-curve\",\n";
    out += "  \"curve\": " + json_string(in.curve_file) + ",\n";
    out += "  \"position\": \"" + std::string(position_name(curve.position)) + "\",\n";
    out += "  \"points\": " + std::to_string(curve.times.size()) + ",\n";
    out += "  \"first_time\": " + json_number(curve.times.front()) + ",\n";
    out += "  \"last_time\": " + json_number(curve.times.back()) + ",\n";
    out += "  \"table\": [\n";
    for (std::size_t k = 0; k < r.temperature.size(); ++k) {
        out += "    {\"temperature\": " + json_number(r.temperature[k]) +
               ", \"coefficient\": " + json_number(r.coefficient[k]) + ", \"interval_95\": [" +
               (open_low(r, k) ? std::string("null") : json_number(r.interval_low[k])) + ", " +
               (open_high(r, k) ? std::string("null") : json_number(r.interval_high[k])) + "]}" +
               (k + 1 < r.temperature.size() ? ",\n" : "\n");
    }
    out += "  ],\n";
    out += "  \"smoothing_weight\": " + json_number(r.smoothing_weight) + ",\n";
    out += "  \"effective_parameters\": " + json_number(r.effective_parameters) + ",\n";
    out += "  \"rms_residual\": " + json_number(r.rms_residual) + ",\n";
    out += "  \"largest_residual\": {\"value\": " + json_number(r.largest_residual) +
           ", \"time\": " + json_number(curve.times[r.largest_at]) +
           ", \"line\": " + std::to_string(in.lines[r.largest_at]) + "},\n";
    out += "  \"model_runs\": " + std::to_string(r.model_runs) + ",\n";
    out += "  \"steps_per_run\": " + std::to_string(r.steps_per_run) + ",\n";
    out += "  \"iterations\": " + std::to_string(r.iterations) + ",\n";
    out += "  \"seconds\": " + format("%.6f", in.seconds) + ",\n";
    out += "  \"warnings\": [";
    const std::vector<std::string> warnings = boiling_curve_warnings(r);
    for (std::size_t j = 0; j < warnings.size(); ++j) out += (j > 0 ? ", " : "") + json_string(warnings[j]);
    out += "]\n}\n";
    return out;
}

std::string boiling_curve_table_text(const BoilingCurveResult& r) {
    std::string out = "temperature_C,coefficient_W_m2K\n";
    for (std::size_t k = 0; k < r.temperature.size(); ++k) {
        out += format("%.10g", r.temperature[k]) + "," + format("%.10g", r.coefficient[k]) + "\n";
    }
    return out;
}

std::string boiling_curve_chart_svg(const BoilingCurveChartInput& in) {
    const FitProblem& curve = in.problem->curve;
    const BoilingCurveResult& r = *in.result;
    const RecordSink& fitted = *in.fitted;
    constexpr int width = 900;
    constexpr int height = 1060;

    // Panel 1: log10 h against the surface temperature, with the band.
    double h_low = std::numeric_limits<double>::infinity();
    double h_high = 0.0;
    for (std::size_t k = 0; k < r.temperature.size(); ++k) {
        h_low = std::min(h_low, open_low(r, k) ? r.coefficient[k] : r.interval_low[k]);
        h_high = std::max(h_high, open_high(r, k) ? r.coefficient[k] : r.interval_high[k]);
    }
    Panel hp{80, 870, 80, 400, make_axis(r.temperature.front(), r.temperature.back()), {}, true};
    hp.y = {std::floor(std::log10(h_low)), std::ceil(std::log10(h_high)), 1.0};
    if (!(hp.y.high > hp.y.low)) hp.y.high = hp.y.low + 1.0;

    // Panel 2: measured and modelled temperatures against time.
    const double t_high = curve.times.back();
    double y_low = curve.temperatures.front();
    double y_high = y_low;
    for (double t : curve.temperatures) {
        y_low = std::min(y_low, t);
        y_high = std::max(y_high, t);
    }
    for (std::size_t i = 0; i < fitted.time.size() && fitted.time[i] <= t_high; ++i) {
        y_low = std::min(y_low, fitted.temperature[i]);
        y_high = std::max(y_high, fitted.temperature[i]);
    }
    const Panel tp{80, 870, 470, 760, make_axis(0.0, t_high), make_axis(y_low, y_high)};

    // Panel 3: residuals against time.
    double largest = 0.0;
    for (std::size_t i = 0; i < curve.times.size(); ++i) {
        largest = std::max(largest, std::fabs(curve.temperatures[i] - r.model_values[i]));
    }
    if (!(largest > 0.0)) largest = 1.0;
    const Panel rp{80, 870, 830, 1000, make_axis(0.0, t_high), make_axis(-largest, largest)};

    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
           std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) +
           "\">\n";
    svg += "<title>temp1d-fit --boiling-curve " + xml(in.curve_file) + "</title>\n";
    svg += "<style>\n"
           "text { font-family: sans-serif; font-size: 13px; fill: #222; }\n"
           ".title { font-size: 16px; font-weight: bold; } .note { font-size: 12px; fill: #555; }\n"
           ".grid { stroke: #ddd; stroke-width: 1; } .frame { fill: none; stroke: #444; stroke-width: 1; }\n"
           ".series { fill: none; stroke-width: 1.6; stroke-linejoin: round; stroke-linecap: round; }\n"
           ".fitted { stroke: #c0392b; } .measured { fill: #1f5fbf; fill-opacity: 0.7; }\n"
           ".band { fill: #c0392b; fill-opacity: 0.18; stroke: none; } .node { fill: #c0392b; }\n"
           ".zero { stroke: #888; stroke-width: 1; } .residual { fill: #1f5fbf; }\n"
           "</style>\n";
    svg += "<rect width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\" fill=\"#fff\"/>\n";
    svg += "<text x=\"450.0\" y=\"26.0\" text-anchor=\"middle\" class=\"title\">temp1d-fit --boiling-curve: " +
           xml(in.curve_file) + "</text>\n";
    const std::string note = std::to_string(r.temperature.size()) + " nodes; RMS residual " +
                             format("%.3g", r.rms_residual) + " K; " + std::to_string(curve.times.size()) +
                             " points at the " + position_name(curve.position) + "; band: 95 % interval";
    svg += "<text x=\"450.0\" y=\"46.0\" text-anchor=\"middle\" class=\"note\">" + xml(note) + "</text>\n";

    svg += panel_frame(hp, "Surface temperature, degrees", "h, W/(m2 K)");
    // The band: upper ends left to right, lower ends back (an open end is
    // drawn at the panel's edge).
    std::string band;
    for (std::size_t k = 0; k < r.temperature.size(); ++k) {
        const double v = open_high(r, k) ? hp.y.high : std::min(std::log10(r.interval_high[k]), hp.y.high);
        band += (k == 0 ? "M" : " L") + format("%.2f", hp.px(r.temperature[k])) + "," + format("%.2f", hp.py(v));
    }
    for (std::size_t k = r.temperature.size(); k-- > 0;) {
        const double v = open_low(r, k) ? hp.y.low : std::max(std::log10(r.interval_low[k]), hp.y.low);
        band += " L" + format("%.2f", hp.px(r.temperature[k])) + "," + format("%.2f", hp.py(v));
    }
    svg += "<path class=\"band\" d=\"" + band + " Z\"/>\n";
    // h is linear in T between the nodes: drawn with 20 pieces per interval
    // on the logarithmic axis.
    std::string path;
    for (std::size_t k = 0; k + 1 < r.temperature.size(); ++k) {
        for (int j = (k == 0 ? 0 : 1); j <= 20; ++j) {
            const double t = r.temperature[k] + (r.temperature[k + 1] - r.temperature[k]) * j / 20.0;
            const double h = r.coefficient[k] + (r.coefficient[k + 1] - r.coefficient[k]) * j / 20.0;
            path += (path.empty() ? "M" : " L") + format("%.2f", hp.px(t)) + "," + format("%.2f", hp.py(std::log10(h)));
        }
    }
    svg += "<path class=\"series fitted\" d=\"" + path + "\"/>\n";
    for (std::size_t k = 0; k < r.temperature.size(); ++k) {
        svg += "<circle class=\"node\" cx=\"" + format("%.2f", hp.px(r.temperature[k])) + "\" cy=\"" +
               format("%.2f", hp.py(std::log10(r.coefficient[k]))) + "\" r=\"3\"/>\n";
    }

    svg += panel_frame(tp, "Time, s", "Temperature, degrees");
    std::string model_path;
    for (std::size_t i = 0; i < fitted.time.size() && fitted.time[i] <= t_high * (1.0 + 1e-12); ++i) {
        model_path += (i == 0 ? "M" : " L") + format("%.2f", tp.px(fitted.time[i])) + "," +
                      format("%.2f", tp.py(fitted.temperature[i]));
    }
    svg += "<path class=\"series fitted\" d=\"" + model_path + "\"/>\n";
    for (std::size_t i = 0; i < curve.times.size(); ++i) {
        svg += "<circle class=\"measured\" cx=\"" + format("%.2f", tp.px(curve.times[i])) + "\" cy=\"" +
               format("%.2f", tp.py(curve.temperatures[i])) + "\" r=\"2.5\"/>\n";
    }
    svg += "<circle class=\"measured\" cx=\"94.0\" cy=\"446.0\" r=\"3.5\"/>\n";
    svg += "<text x=\"104.0\" y=\"450.0\">measured</text>\n";
    svg += "<line class=\"series fitted\" x1=\"200.0\" y1=\"446\" x2=\"228.0\" y2=\"446\"/>\n";
    svg += "<text x=\"234.0\" y=\"450.0\">model with the fitted table</text>\n";

    svg += panel_frame(rp, "Time, s", "Residual, K");
    svg += "<line class=\"zero\" x1=\"80\" y1=\"" + format("%.2f", rp.py(0.0)) + "\" x2=\"870\" y2=\"" +
           format("%.2f", rp.py(0.0)) + "\"/>\n";
    for (std::size_t i = 0; i < curve.times.size(); ++i) {
        svg += "<circle class=\"residual\" cx=\"" + format("%.2f", rp.px(curve.times[i])) + "\" cy=\"" +
               format("%.2f", rp.py(curve.temperatures[i] - r.model_values[i])) + "\" r=\"2\"/>\n";
    }
    svg += "<text x=\"94.0\" y=\"820.0\">measured minus model</text>\n";
    svg += "</svg>\n";
    return svg;
}

}  // namespace fit
