// The fit of a boiling curve: the surface heat-transfer coefficient as a
// function of the surface temperature, found from a measured probe curve.
//
// The coefficient is a table of values at N surface-temperature nodes,
// interpolated linearly between them and held beyond the ends, exactly as
// a --coefficient-table file of temp1d is (model::table_value): the fitted
// table written to a file reproduces the fitted model in a run of temp1d.
// The unknowns are the natural logarithms of the N values, so that every
// value stays positive and a relative change weighs the same everywhere.
//
// The sum of squared residuals (measured minus model at the probe position)
// plus a smoothing term, lambda times the sum of the squared second
// differences of ln h over the node sequence, is minimised by
// Levenberg-Marquardt steps with a forward-difference Jacobian (one model
// run per node), each step limited to 0.3 in ln h per node: a longer step
// can carry a node the curve barely sees to values so high that the model
// no longer responds to it, and the fit would stay there.
//
// The weight lambda follows the discrepancy principle on the problem
// linearised at the current solution: the noise variance is estimated from
// the unsmoothed linear fit as RSS0 / (n - N), and the largest weight of a
// grid of 49 (a quarter decade apart, relative to the ratio of the traces
// of J'J and D'D) whose residual sum stays within n times that variance is
// taken, the smoothest curve that the noise of the data allows.  The fit is
// repeated from its last solution with the new weight until the weight
// changes by less than a quarter decade (at most four times).  The best
// constant coefficient (a grid of half decades from 10 to 1e5) is the start.
//
// The nodes: heavily smoothed fits (the weight a hundred times the ratio of
// the traces) on 5 and then 9 nodes spread evenly over the surface
// temperatures that the run passes through (first those of the best
// constant coefficient's run, then those of the fit before), each starting
// from the one before, find the shape of the curve without the runaway
// values that a weakly smoothed coarse table produces to make up for a
// change of regime it cannot follow.  Then all but three nodes are spread
// evenly and three more inserted evenly into the interval where that
// curve changes the most; their second differences weigh a tenth, so that
// a change of regime (film to nucleate boiling) is followed closely.  This
// fit chooses its weight as above; when its curve changes most in another
// interval, the three nodes move there and the fit is made once more.
// Measured on curves of an independent solver
// (tests/fit/boiling_curve_fit_test.cpp), the change is still spread over
// about one node spacing below it: the table is within 15 % of the truth
// more than about 85 K away from the change.
//
// The 95 % interval of each node is the Bayesian interval of a smoothing
// fit: the covariance of ln h is sigma^2 (J'J + lambda D'D)^-1 with
// sigma^2 = RSS / (n - trace A), A = J (J'J + lambda D'D)^-1 J', and the
// half-width is Student's t for n - trace A degrees of freedom times its
// square root.  An interval wider than a factor of 100 either way is
// reported as open: the curve does not decide that node.
#pragma once

#include <vector>

#include "fit/coefficient_search.h"
#include "model/property_table.h"
#include "model/table_step.h"

namespace fit {

// Limits of --nodes, and of the number chosen from the curve.
inline constexpr int fewest_nodes = 3;
inline constexpr int most_nodes = 40;
inline constexpr int fewest_default_nodes = 8;
inline constexpr int most_default_nodes = 16;

struct BoilingCurveProblem {
    // The parameters (line 4 is not used: the fitted table replaces it),
    // the probe position and the measured points.
    FitProblem curve;
    // The material tables; the coefficient pointer is ignored.
    model::MaterialTables materials;
    int nodes = 0;  // 0: chosen from the surface-temperature range
};

struct BoilingCurveResult {
    std::vector<double> temperature;   // the nodes, increasing
    std::vector<double> coefficient;   // h at each node, W/(m2 K), applied as given
    std::vector<double> interval_low;  // 95 % interval of each node; 0 / infinity when open
    std::vector<double> interval_high;
    double smoothing_weight = 0.0;      // lambda
    double effective_parameters = 0.0;  // trace of the influence matrix
    bool weight_at_grid_end = false;    // the largest weight of the grid was taken
    double rms_residual = 0.0;
    double largest_residual = 0.0;  // measured minus model, the largest in size
    std::size_t largest_at = 0;
    std::vector<double> model_values;    // the fitted model at the measured times
    std::vector<double> surface_values;  // its surface temperature at the same times
    int model_runs = 0;
    int steps_per_run = 0;
    int iterations = 0;            // Levenberg-Marquardt steps taken, all weights together
    bool converged = true;         // the last fit ended by its tolerance, not by its step limit
    bool at_search_limit = false;  // a node lies on lowest_coefficient or highest_coefficient
    bool minimum_found = true;     // false: no node changes the model's curve
    bool finite = true;            // false: the residual was never finite
    bool interrupted = false;
};

// The number of nodes for a surface-temperature range from `low` to `high`:
// one per 50 K and one more, between 8 and 16 (and, in the fit, at most one
// per three measured points).
int default_node_count(double low, double high);

// N nodes spread evenly from `low` to `high`.
std::vector<double> node_temperatures(double low, double high, int count);

// Fits the boiling curve.  The problem's parameters must have passed
// refusal_of_parameters and its points refusal_of_curve.
BoilingCurveResult fit_boiling_curve(const BoilingCurveProblem& problem);

// The fitted coefficient as a table, as --coefficient-table reads it.
model::PropertyTable fitted_table(const BoilingCurveResult& result);

// Whether a node's interval has an open end.
bool node_interval_open(const BoilingCurveResult& result, std::size_t node);

}  // namespace fit
