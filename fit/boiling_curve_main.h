// temp1d-fit --boiling-curve: the coefficient against the surface
// temperature, fitted to a measured probe curve.
//
//   temp1d-fit --boiling-curve [--nodes N] [--table-out FILE]
//              [--conductivity-table FILE] [--specific-heat-table FILE]
//              [--position centre|surface] [--from T0] [--to T1] [--json]
//              [--chart FIT.svg] [--] PARAMS.txt CURVE.csv
//
// The exit statuses and the output rules are those of the constant
// coefficient's fit: 0 clean, 1 with warnings (every output written), 2 for
// bad input (a bad table included) with nothing written, 3 when the report
// or an output cannot be written, nothing replaced; INT, TERM and HUP end
// the fit by the same signal.
#pragma once

namespace fit {

// Whether the command line asks for the boiling-curve fit (--boiling-curve
// before any "--").
bool wants_boiling_curve(int argc, char** argv);

// The whole boiling-curve fit, from the command line to the exit status.
int boiling_curve_main(int argc, char** argv);

}  // namespace fit
