#include "fit/boiling_curve_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "fit/interruption.h"
#include "fit/table_sampling.h"

namespace fit {

namespace {

using Matrix = std::vector<std::vector<double>>;

// Model runs for a vector of ln h at fixed nodes.
struct Evaluator {
    const BoilingCurveProblem& problem;
    std::vector<double> nodes;
    int runs = 0;
    int steps = 0;
    bool interrupted = false;
};

// The model at the measured times for ln h = `log_h` (and the surface
// temperature when `surface` is not null); false after an interruption.
bool evaluate(Evaluator& e, const std::vector<double>& log_h, std::vector<double>& values,
              std::vector<double>* surface = nullptr) {
    if (e.interrupted || interruption_signal() != 0) {
        e.interrupted = true;
        return false;
    }
    std::vector<double> h(log_h.size());
    for (std::size_t k = 0; k < h.size(); ++k) h[k] = std::exp(log_h[k]);
    const model::PropertyTable table = model::make_property_table(e.nodes, h);
    model::MaterialTables tables = e.problem.materials;
    tables.coefficient = &table;
    values.assign(e.problem.curve.times.size(), 0.0);
    SampleSink sink{e.problem.curve.times, values};
    e.steps = run_table_model_into(e.problem.curve.parameters, tables, e.problem.curve.position, sink, surface);
    ++e.runs;
    if (interruption_signal() != 0) e.interrupted = true;
    return !e.interrupted;
}

double sum_of_squares(const std::vector<double>& measured, const std::vector<double>& model) {
    double sum = 0.0;
    for (std::size_t i = 0; i < measured.size(); ++i) {
        const double r = measured[i] - model[i];
        sum += r * r;
    }
    return sum;
}

// The smoothing term p' D'WD p.
double roughness(const std::vector<double>& p, const Matrix& dtd) {
    double sum = 0.0;
    for (std::size_t a = 0; a < p.size(); ++a)
        for (std::size_t b = 0; b < p.size(); ++b) sum += p[a] * dtd[a][b] * p[b];
    return sum;
}

// D'WD for the second differences D and the weights W of each difference.
Matrix second_difference_normal(std::size_t n, const std::vector<double>& weight) {
    Matrix m(n, std::vector<double>(n, 0.0));
    for (std::size_t k = 1; k + 1 < n; ++k) {
        const std::size_t idx[3] = {k - 1, k, k + 1};
        const double w[3] = {1.0, -2.0, 1.0};
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) m[idx[a]][idx[b]] += weight[k - 1] * w[a] * w[b];
    }
    return m;
}

// Cholesky factor of a symmetric positive definite matrix in place (lower
// triangle); false when a pivot is not positive.
bool cholesky(Matrix& a) {
    const std::size_t n = a.size();
    for (std::size_t j = 0; j < n; ++j) {
        double d = a[j][j];
        for (std::size_t k = 0; k < j; ++k) d -= a[j][k] * a[j][k];
        if (!(d > 0.0) || !std::isfinite(d)) return false;
        a[j][j] = std::sqrt(d);
        for (std::size_t i = j + 1; i < n; ++i) {
            double s = a[i][j];
            for (std::size_t k = 0; k < j; ++k) s -= a[i][k] * a[j][k];
            a[i][j] = s / a[j][j];
        }
    }
    return true;
}

std::vector<double> cholesky_solve(const Matrix& l, std::vector<double> b) {
    const std::size_t n = l.size();
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < i; ++k) b[i] -= l[i][k] * b[k];
        b[i] /= l[i][i];
    }
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t k = i + 1; k < n; ++k) b[i] -= l[k][i] * b[k];
        b[i] /= l[i][i];
    }
    return b;
}

// Factors `a`, adding a ridge of growing size when it is not positive
// definite (a node that neither the curve nor the smoothing pins down).
Matrix factor_with_ridge(const Matrix& a) {
    double scale = 0.0;
    for (std::size_t k = 0; k < a.size(); ++k) scale = std::max(scale, a[k][k]);
    if (!(scale > 0.0)) scale = 1.0;
    for (double ridge = 0.0;; ridge = ridge == 0.0 ? 1e-12 * scale : ridge * 100.0) {
        Matrix l = a;
        for (std::size_t k = 0; k < a.size(); ++k) l[k][k] += ridge;
        if (cholesky(l) || ridge > scale) return l;
    }
}

struct Linearisation {
    std::vector<double> log_h;
    std::vector<double> values;   // model at log_h
    std::vector<double> surface;  // surface temperature at log_h
    Matrix jacobian;              // n x N, d model / d ln h
    Matrix normal;                // J'J
};

constexpr double difference_step = 1e-3;
constexpr double max_step = 0.3;

// The Jacobian at `lin.log_h` (values already there) by forward differences.
bool fill_jacobian(Evaluator& e, Linearisation& lin) {
    const std::size_t n = lin.values.size();
    const std::size_t m = lin.log_h.size();
    lin.jacobian.assign(n, std::vector<double>(m, 0.0));
    std::vector<double> shifted;
    for (std::size_t k = 0; k < m; ++k) {
        std::vector<double> p = lin.log_h;
        p[k] += difference_step;
        if (!evaluate(e, p, shifted)) return false;
        for (std::size_t i = 0; i < n; ++i) lin.jacobian[i][k] = (shifted[i] - lin.values[i]) / difference_step;
    }
    lin.normal.assign(m, std::vector<double>(m, 0.0));
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t a = 0; a < m; ++a)
            for (std::size_t b = 0; b < m; ++b) lin.normal[a][b] += lin.jacobian[i][a] * lin.jacobian[i][b];
    return true;
}

// The residual sum of squares of the problem linearised at `lin` for the
// weight `lambda`: the pseudo-data z = r + J p are fitted by
// p(lambda) = H^-1 J'z with H = J'J + lambda D'D.  Also returns the trace of
// the influence matrix J H^-1 J'.
double linear_rss(const Linearisation& lin, const std::vector<double>& measured, const Matrix& dtd, double lambda,
                  double& trace) {
    const std::size_t n = measured.size();
    const std::size_t m = lin.log_h.size();
    Matrix h = lin.normal;
    for (std::size_t a = 0; a < m; ++a)
        for (std::size_t b = 0; b < m; ++b) h[a][b] += lambda * dtd[a][b];
    const Matrix l = factor_with_ridge(h);
    std::vector<double> z(n);
    for (std::size_t i = 0; i < n; ++i) {
        z[i] = measured[i] - lin.values[i];
        for (std::size_t k = 0; k < m; ++k) z[i] += lin.jacobian[i][k] * lin.log_h[k];
    }
    std::vector<double> jtz(m, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t k = 0; k < m; ++k) jtz[k] += lin.jacobian[i][k] * z[i];
    const std::vector<double> p = cholesky_solve(l, jtz);
    double rss = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        double r = z[i];
        for (std::size_t k = 0; k < m; ++k) r -= lin.jacobian[i][k] * p[k];
        rss += r * r;
    }
    // trace(H^-1 J'J), column by column.
    trace = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
        std::vector<double> column(m);
        for (std::size_t a = 0; a < m; ++a) column[a] = lin.normal[a][k];
        trace += cholesky_solve(l, column)[k];
    }
    return rss;
}

double weight_scale(const Linearisation& lin, const Matrix& dtd) {
    double trace_normal = 0.0, trace_smoothing = 0.0;
    for (std::size_t k = 0; k < dtd.size(); ++k) {
        trace_normal += lin.normal[k][k];
        trace_smoothing += dtd[k][k];
    }
    return trace_smoothing > 0.0 && trace_normal > 0.0 ? trace_normal / trace_smoothing : 1.0;
}

// The weight by the discrepancy principle on the problem linearised at
// `lin`: the noise variance is estimated from the unsmoothed linear fit
// (the smallest weight of the grid) as RSS0 / (n - N), and the largest
// weight of a grid of 49, a quarter decade apart relative to the ratio of
// the traces of J'J and D'D, whose RSS stays within n times that variance
// is taken: the smoothest curve that the noise of the data allows.
double choose_weight(const Linearisation& lin, const std::vector<double>& measured, const Matrix& dtd,
                     bool& at_grid_end) {
    const double scale = weight_scale(lin, dtd);
    constexpr int lowest_exponent = -40;  // 1e-10 of the scale
    constexpr int highest_exponent = 8;   // 1e2 of the scale
    const double n = static_cast<double>(measured.size());
    const double m = static_cast<double>(lin.log_h.size());
    double trace = 0.0;
    const double unsmoothed = linear_rss(lin, measured, dtd, scale * std::pow(10.0, lowest_exponent / 4.0), trace);
    const double allowed = unsmoothed * n / std::max(n - m, 1.0);
    double chosen = scale * std::pow(10.0, lowest_exponent / 4.0);
    int chosen_exponent = lowest_exponent;
    for (int k = lowest_exponent + 1; k <= highest_exponent; ++k) {
        const double lambda = scale * std::pow(10.0, k / 4.0);
        if (!(linear_rss(lin, measured, dtd, lambda, trace) <= allowed)) break;
        chosen = lambda;
        chosen_exponent = k;
    }
    at_grid_end = chosen_exponent == highest_exponent;
    return chosen;
}

struct Minimisation {
    int iterations = 0;
    bool converged = false;
};

// Levenberg-Marquardt for the weight `lambda`, from `lin` (values and
// Jacobian at its point); leaves `lin` at the minimum with its Jacobian.
bool minimise(Evaluator& e, Linearisation& lin, const std::vector<double>& measured, const Matrix& dtd, double lambda,
              Minimisation& outcome) {
    const std::size_t m = lin.log_h.size();
    const std::size_t n = measured.size();
    const double low = std::log(lowest_coefficient);
    const double high = std::log(highest_coefficient);
    double damping = 1e-3;
    double objective = sum_of_squares(measured, lin.values) + lambda * roughness(lin.log_h, dtd);
    constexpr int most_iterations = 25;
    outcome.converged = false;
    for (int iteration = 0; iteration < most_iterations; ++iteration) {
        std::vector<double> gradient(m, 0.0);  // J'r - lambda D'D p
        for (std::size_t i = 0; i < n; ++i) {
            const double r = measured[i] - lin.values[i];
            for (std::size_t k = 0; k < m; ++k) gradient[k] += lin.jacobian[i][k] * r;
        }
        for (std::size_t a = 0; a < m; ++a)
            for (std::size_t b = 0; b < m; ++b) gradient[a] -= lambda * dtd[a][b] * lin.log_h[b];
        bool accepted = false;
        double step_size = 0.0;
        double decrease = 0.0;
        for (int attempt = 0; attempt < 12 && !accepted; ++attempt) {
            Matrix h = lin.normal;
            for (std::size_t a = 0; a < m; ++a)
                for (std::size_t b = 0; b < m; ++b) h[a][b] += lambda * dtd[a][b];
            for (std::size_t a = 0; a < m; ++a) h[a][a] += damping * (h[a][a] + 1e-9);
            std::vector<double> step = cholesky_solve(factor_with_ridge(h), gradient);
            // At most a change by a third (0.3 in ln h) per node and step:
            // a longer step can carry a node the curve barely sees to
            // values so high that the model no longer responds to it.
            double largest = 0.0;
            for (double s : step) largest = std::max(largest, std::fabs(s));
            if (largest > max_step)
                for (double& s : step) s *= max_step / largest;
            std::vector<double> trial(m);
            for (std::size_t k = 0; k < m; ++k) trial[k] = std::clamp(lin.log_h[k] + step[k], low, high);
            std::vector<double> values;
            std::vector<double> surface;
            if (!evaluate(e, trial, values, &surface)) return false;
            const double trial_objective = sum_of_squares(measured, values) + lambda * roughness(trial, dtd);
            if (std::isfinite(trial_objective) && trial_objective < objective) {
                step_size = 0.0;
                for (std::size_t k = 0; k < m; ++k) step_size = std::max(step_size, std::fabs(trial[k] - lin.log_h[k]));
                decrease = (objective - trial_objective) / objective;
                objective = trial_objective;
                lin.log_h = trial;
                lin.values = values;
                lin.surface = surface;
                damping = std::max(damping / 3.0, 1e-9);
                accepted = true;
            } else {
                damping *= 4.0;
            }
        }
        ++outcome.iterations;
        if (!accepted) {
            // No step lowers the objective: the point is a minimum to the
            // precision of the runs.
            outcome.converged = true;
            return fill_jacobian(e, lin);
        }
        if (!fill_jacobian(e, lin)) return false;
        if (step_size < 1e-4 || decrease < 1e-5) {
            outcome.converged = true;
            return true;
        }
    }
    return true;
}

model::PropertyTable fitted_table_of(const std::vector<double>& nodes, const std::vector<double>& log_h) {
    std::vector<double> h(log_h.size());
    for (std::size_t k = 0; k < h.size(); ++k) h[k] = std::exp(log_h[k]);
    return model::make_property_table(nodes, h);
}

}  // namespace

int default_node_count(double low, double high) {
    const double span = std::fabs(high - low);
    if (!std::isfinite(span)) return most_default_nodes;
    const double count = std::ceil(span / 50.0) + 1.0;
    return static_cast<int>(std::clamp(count, double{fewest_default_nodes}, double{most_default_nodes}));
}

std::vector<double> node_temperatures(double low, double high, int count) {
    std::vector<double> nodes(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) nodes[static_cast<std::size_t>(k)] = low + (high - low) * k / (count - 1);
    nodes.back() = high;
    return nodes;
}

model::PropertyTable fitted_table(const BoilingCurveResult& result) {
    return model::make_property_table(result.temperature, result.coefficient);
}

bool node_interval_open(const BoilingCurveResult& result, std::size_t node) {
    return !(result.interval_low[node] > 0.0) ||
           !(result.interval_high[node] < std::numeric_limits<double>::infinity());
}

BoilingCurveResult fit_boiling_curve(const BoilingCurveProblem& problem) {
    BoilingCurveResult result;
    const std::vector<double>& measured = problem.curve.temperatures;
    const std::size_t n = measured.size();
    const model::ParameterSet& p = problem.curve.parameters;
    Evaluator e{problem, {p.initial_temperature - 1.0, p.initial_temperature}};
    const auto finish_interrupted = [&]() {
        result.interrupted = true;
        result.model_runs = e.runs;
        return result;
    };

    // A constant coefficient first: ln h on a grid of half decades from 10
    // to 1e5, then the best of them, for the start and for the range of
    // surface temperatures that the run passes through.
    double best_log = std::log(1000.0);
    double best_sum = std::numeric_limits<double>::infinity();
    double lowest_sum = std::numeric_limits<double>::infinity();
    double highest_sum = -std::numeric_limits<double>::infinity();
    std::vector<double> values;
    std::vector<double> surface;
    std::vector<double> best_surface;
    for (int k = 2; k <= 10; ++k) {
        const double log_h = std::log(10.0) * k / 2.0;
        if (!evaluate(e, {log_h, log_h}, values, &surface)) return finish_interrupted();
        const double sum = sum_of_squares(measured, values);
        if (!std::isfinite(sum)) continue;
        lowest_sum = std::min(lowest_sum, sum);
        highest_sum = std::max(highest_sum, sum);
        if (sum < best_sum) {
            best_sum = sum;
            best_log = log_h;
            best_surface = surface;
        }
    }
    if (!std::isfinite(best_sum)) {
        result.finite = false;
        result.model_runs = e.runs;
        return result;
    }
    if (!(lowest_sum < highest_sum)) {
        result.minimum_found = false;
        result.model_runs = e.runs;
        return result;
    }

    Linearisation lin;
    bool weight_at_end = false;
    double lambda = 0.0;
    Minimisation outcome;
    Matrix smoothing;  // D'WD of the last fit
    // Fits at the nodes `nodes` from ln h = `start`: heavily smoothed first
    // when `smooth_start` (the weight a hundred times the ratio of the
    // traces of J'J and D'D, so that the later fits start from a smooth
    // curve), then with the weight chosen anew at the solution, again
    // until the weight changes by less than a quarter decade.  0 when done,
    // 1 when interrupted, 2 when no node changes the model's curve.
    const auto fit_at = [&](const std::vector<double>& nodes, const std::vector<double>& start, bool smooth_start,
                            const std::vector<double>& row_weight) {
        e.nodes = nodes;
        lin = Linearisation{};
        lin.log_h = start;
        if (!evaluate(e, lin.log_h, lin.values, &lin.surface) || !fill_jacobian(e, lin)) return 1;
        const Matrix dtd = second_difference_normal(nodes.size(), row_weight);
        double sensitivity = 0.0;
        for (std::size_t k = 0; k < nodes.size(); ++k) sensitivity += lin.normal[k][k];
        if (!(sensitivity > 0.0) || !std::isfinite(sensitivity)) {
            result.minimum_found = sensitivity == 0.0;
            result.finite = std::isfinite(sensitivity);
            return 2;
        }
        lambda = smooth_start ? 100.0 * weight_scale(lin, dtd) : choose_weight(lin, measured, dtd, weight_at_end);
        if (smooth_start) {
            Minimisation step;
            if (!minimise(e, lin, measured, dtd, lambda, step)) return 1;
            outcome.iterations += step.iterations;
            outcome.converged = step.converged;
            smoothing = dtd;
            return 0;
        }
        for (int round = 0; round < 4; ++round) {
            Minimisation step;
            if (!minimise(e, lin, measured, dtd, lambda, step)) return 1;
            outcome.iterations += step.iterations;
            outcome.converged = step.converged;
            const double chosen = choose_weight(lin, measured, dtd, weight_at_end);
            const bool settled = std::fabs(std::log10(chosen / lambda)) < 0.24;
            lambda = chosen;
            if (settled) break;
        }
        smoothing = dtd;
        return 0;
    };
    // ln h of the current fit carried over onto other nodes.
    const auto carried_over = [&](const std::vector<double>& nodes) {
        std::vector<double> old_h(lin.log_h.size());
        for (std::size_t k = 0; k < old_h.size(); ++k) old_h[k] = std::exp(lin.log_h[k]);
        const model::PropertyTable previous = model::make_property_table(e.nodes, old_h);
        std::vector<double> start(nodes.size());
        for (std::size_t k = 0; k < nodes.size(); ++k) start[k] = std::log(model::table_value(previous, nodes[k]));
        return start;
    };
    const auto surface_range = [&](const std::vector<double>& seen, double& low, double& high) {
        low = high = p.initial_temperature;
        for (double t : seen) {
            low = std::min(low, t);
            high = std::max(high, t);
        }
        if (!(high - low > 1.0)) high = low + 1.0;
    };
    const auto stop = [&](int outcome_code) {
        if (outcome_code == 1) return finish_interrupted();
        result.model_runs = e.runs;
        return result;
    };

    // The nodes (see the header): heavily smoothed fits on 5 and 9 nodes
    // over the surface temperatures of the run before find the shape of the
    // curve; then all but three nodes spread evenly, and three more where
    // that shape changes the most.
    double low = 0.0;
    double high = 0.0;
    surface_range(best_surface, low, high);
    // A count chosen from the range takes at most one node per three points.
    const auto node_count = [&](double from, double to) {
        return problem.nodes > 0
                   ? problem.nodes
                   : std::min(default_node_count(from, to), std::max(fewest_nodes, static_cast<int>(n / 3)));
    };
    std::vector<double> nodes;
    for (int stage = 0; stage < 2; ++stage) {
        if (stage > 0) surface_range(lin.surface, low, high);
        nodes = node_temperatures(low, high, stage == 0 ? 5 : 9);
        const std::vector<double> start =
            stage == 0 ? std::vector<double>(nodes.size(), best_log) : carried_over(nodes);
        const std::vector<double> even(nodes.size() - 2, 1.0);
        if (const int code = fit_at(nodes, start, true, even); code != 0) return stop(code);
    }
    std::size_t steepest = 0;
    for (std::size_t k = 0; k + 1 < nodes.size(); ++k) {
        if (std::fabs(lin.log_h[k + 1] - lin.log_h[k]) > std::fabs(lin.log_h[steepest + 1] - lin.log_h[steepest]))
            steepest = k;
    }
    // The middle of the interval where ln h changes the most.
    const double change = 0.5 * (nodes[steepest] + nodes[steepest + 1]);
    surface_range(lin.surface, low, high);
    const int count = node_count(low, high);
    const int inserted = count >= fewest_default_nodes ? 3 : 0;
    const std::vector<double> even_nodes = node_temperatures(low, high, count - inserted);
    // The final nodes, with the inserted ones in the interval of the even
    // nodes that holds `change`, and their smoothing weights.
    const auto refine = [&](double at, std::vector<double>& weight) {
        std::vector<double> refined = even_nodes;
        weight.assign(refined.size() - 2, 1.0);
        if (inserted == 0) return refined;
        std::size_t k = 0;
        while (k + 2 < even_nodes.size() && even_nodes[k + 1] < at) ++k;
        refined.assign(even_nodes.begin(), even_nodes.begin() + static_cast<std::ptrdiff_t>(k) + 1);
        for (int j = 1; j <= inserted; ++j) {
            refined.push_back(even_nodes[k] + (even_nodes[k + 1] - even_nodes[k]) * j / (inserted + 1));
        }
        refined.insert(refined.end(), even_nodes.begin() + static_cast<std::ptrdiff_t>(k) + 1, even_nodes.end());
        // The second differences centred on the inserted nodes weigh a
        // tenth, so that the change of regime stays as sharp as the data
        // make it.
        weight.assign(refined.size() - 2, 1.0);
        for (std::size_t j = k + 1; j <= k + static_cast<std::size_t>(inserted); ++j) weight[j - 1] = 0.1;
        return refined;
    };
    std::vector<double> row_weight;
    nodes = refine(change, row_weight);
    if (const int code = fit_at(nodes, carried_over(nodes), false, row_weight); code != 0) return stop(code);
    // When the fitted curve changes most in another interval of the even
    // nodes, the inserted nodes move there and the fit is made once more.
    if (inserted > 0) {
        const model::PropertyTable fitted = fitted_table_of(e.nodes, lin.log_h);
        std::size_t steepest_even = 0;
        double largest_change = -1.0;
        for (std::size_t k = 0; k + 1 < even_nodes.size(); ++k) {
            const double a = std::log(model::table_value(fitted, even_nodes[k]));
            const double b = std::log(model::table_value(fitted, even_nodes[k + 1]));
            if (std::fabs(b - a) > largest_change) {
                largest_change = std::fabs(b - a);
                steepest_even = k;
            }
        }
        const double moved = 0.5 * (even_nodes[steepest_even] + even_nodes[steepest_even + 1]);
        std::vector<double> moved_weight;
        const std::vector<double> moved_nodes = refine(moved, moved_weight);
        if (moved_nodes != nodes) {
            const std::vector<double> start = carried_over(moved_nodes);
            nodes = moved_nodes;
            if (const int code = fit_at(nodes, start, false, moved_weight); code != 0) return stop(code);
        }
    }

    // The result at the solution.
    const Matrix& dtd = smoothing;
    const std::size_t m = e.nodes.size();
    double trace = 0.0;
    (void)linear_rss(lin, measured, dtd, lambda, trace);
    const double rss = sum_of_squares(measured, lin.values);
    result.temperature = e.nodes;
    result.coefficient.resize(m);
    result.interval_low.assign(m, 0.0);
    result.interval_high.assign(m, std::numeric_limits<double>::infinity());
    Matrix h = lin.normal;
    for (std::size_t a = 0; a < m; ++a)
        for (std::size_t b = 0; b < m; ++b) h[a][b] += lambda * dtd[a][b];
    Matrix l = h;
    const bool factored = cholesky(l);
    const double free = static_cast<double>(n) - trace;
    const double variance = free > 0.0 ? rss / free : std::numeric_limits<double>::infinity();
    const double t = student_t_95(std::max(1, static_cast<int>(std::floor(free))));
    const double low_limit = std::log(lowest_coefficient);
    const double high_limit = std::log(highest_coefficient);
    for (std::size_t k = 0; k < m; ++k) {
        result.coefficient[k] = std::exp(lin.log_h[k]);
        if (lin.log_h[k] <= low_limit + 1e-9 || lin.log_h[k] >= high_limit - 1e-9) result.at_search_limit = true;
        if (!factored) continue;
        std::vector<double> unit(m, 0.0);
        unit[k] = 1.0;
        const double c = cholesky_solve(l, unit)[k];
        const double half = t * std::sqrt(variance * c);
        // An interval wider than a factor of 100 either way says that the
        // curve does not decide the node: it is reported as open.
        if (std::isfinite(half) && c > 0.0 && half <= std::log(100.0)) {
            result.interval_low[k] = std::exp(lin.log_h[k] - half);
            result.interval_high[k] = std::exp(lin.log_h[k] + half);
            if (!(result.interval_low[k] > 0.0)) result.interval_low[k] = 0.0;
        }
    }
    result.smoothing_weight = lambda;
    result.effective_parameters = trace;
    result.weight_at_grid_end = weight_at_end;
    result.rms_residual = std::sqrt(rss / static_cast<double>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const double r = measured[i] - lin.values[i];
        if (i == 0 || std::fabs(r) > std::fabs(result.largest_residual)) {
            result.largest_residual = r;
            result.largest_at = i;
        }
    }
    result.model_values = lin.values;
    result.surface_values = lin.surface;
    result.model_runs = e.runs;
    result.steps_per_run = e.steps;
    result.iterations = outcome.iterations;
    result.converged = outcome.converged;
    result.finite = std::isfinite(rss);
    return result;
}

}  // namespace fit
