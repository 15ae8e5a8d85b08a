// INT, TERM and HUP during a fit: the handlers only note the signal, and
// every blocking read or write, every model run and every phase of the fit
// looks at the note, so that the fit can leave no temporary file behind and
// end by the same signal.
#pragma once

namespace fit {

// Installs the handlers, without SA_RESTART, so that a blocked open, read or
// write returns with EINTR and its loop can look at the note.
void install_interruption_handlers();

// The signal that interrupted the fit, or 0.
int interruption_signal();

// The name of an interrupting signal: "SIGINT", "SIGTERM" or "SIGHUP".
const char* signal_name(int signal);

// Ends the process by `signal`: the default action is restored and the
// signal raised again.
[[noreturn]] void end_by_signal(int signal);

}  // namespace fit
