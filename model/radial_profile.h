// Temperatures across the radius of a running model: at chosen relative
// radii, interpolated linearly between the nodes, for each step or every
// N-th step.  The CSV profile of temp1d and the Python module take their
// values from here.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "model/heat_model.h"
#include "model/table_step.h"

namespace textio {
struct Channel;
}

namespace model {

// A relative radius r/R placed on the mesh: it counts from the centre node
// (0) to the surface node (1), and lies `weight` of the way from node `node`
// to the next one.  Weight 0 is the node itself.
struct RadialPoint {
    int node = 1;
    double weight = 0.0;
};

// Places a relative radius; it must lie in [0, 1] (the caller checks).
RadialPoint place_relative_radius(double relative_radius);

// The temperature of the model at `point`: the node's own value when the
// point is a node (bit for bit, so the centre and the surface are exactly
// the result file's tc and tpov), otherwise T(node) + weight * (T(node + 1)
// - T(node)).
double temperature_at(const HeatModel& model, RadialPoint point);

// The rows of a profile: one per kept step, with the time at the end of the
// step, the temperature at each point (row after row), tc, tpov and dT of
// the step's record.
struct ProfileRows {
    std::vector<double> time;
    std::vector<double> temperature;  // rows x points, row-major
    std::vector<double> centre;
    std::vector<double> surface;
    std::vector<double> dT;
};

// Which steps a profile keeps: every `every`-th step (step numbers that are
// multiples of it) and always `last_step`, the run's last.
struct ProfileSampling {
    std::vector<RadialPoint> points;
    std::int64_t every = 1;
    std::int64_t last_step = 0;
};

// run_steps (heat_model.h) that also appends the kept steps to `rows`.
// Records go to `result_file` when it is not null.  With `tables` the steps
// are those of the table mode (table_step.h).
std::int64_t run_steps_with_profile(HeatModel& model, std::int64_t first_step, std::int64_t last_step,
                                    textio::Channel* result_file, const ProfileSampling& sampling, ProfileRows& rows,
                                    const TableRun* tables = nullptr);

// Empties the rows (keeping their storage).
void clear_profile_rows(ProfileRows& rows);

}  // namespace model
