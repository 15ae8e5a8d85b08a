// Interruption by SIGINT, SIGTERM or SIGHUP.  The handlers only note the
// signal, and do not restart the call they interrupt: a blocked open, read
// or write returns, looks at the note and ends the work (file_channel.h).
// The program looks at the note at moments where its files hold whole
// records, writes out what it has finished and then ends by the same signal
// (end_process_by_signal), so that a parent sees the usual signal status.
#pragma once

#include <string_view>

namespace textio {

// Installs the noting handlers for SIGINT, SIGTERM and SIGHUP.  A signal
// that the program was started with ignored stays ignored.
void install_interrupt_handlers();

// The signal noted since the handlers were installed, or 0.
int interrupt_signal();

// "SIGINT", "SIGTERM", "SIGHUP", or "another signal".
std::string_view signal_name(int signal_number);

}  // namespace textio
