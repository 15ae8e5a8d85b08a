// How the program's lines end.
//
// Lines end with CR LF (`record_end`) in what the compatible run writes: the
// records of the result file and of every other unit written through a
// channel (the numerical library's reports included), the failure reports of
// this layer, and temp1d's own report lines on standard error (the usage
// line, "in use by another run", "no time step", the line of an
// interruption).  temp1d-fit repeats this layer's failure report, CR LF
// included, when it cannot read its parameter file.
//
// Lines end with a line feed alone in the outputs that have no compatible
// counterpart: temp1d's --help, --version and --check report (text and
// JSON), and everything else temp1d-fit writes.  temp1d's progress line on
// a terminal has no line end: it starts with a carriage return and is
// written over in place.
#pragma once

#include <string_view>

namespace textio {

// The end of every record and every report line: carriage return and line feed.
inline constexpr std::string_view record_end = "\r\n";

}  // namespace textio
