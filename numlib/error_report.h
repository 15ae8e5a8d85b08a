// The report printer of the numerical library.
#pragma once

namespace numlib::detail {

// Writes the pending error report of the current stack level on the message
// unit (UMACH slot 3): a blank line, the first line with the type word, the
// error code, the routine name and the start of the message text, the
// continuation lines, and a traceback when the failing routine was called by
// another library routine.  Does nothing when no message is pending; empties
// the message and the parameter list after printing, so a second call for the
// same error writes nothing.
void print_error_report();

}  // namespace numlib::detail
