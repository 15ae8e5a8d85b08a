#include "textio/interrupt_signals.h"

#include <csignal>

namespace textio {

namespace {

volatile std::sig_atomic_t noted_signal = 0;

extern "C" void note_signal(int signal_number) {
    if (noted_signal == 0) noted_signal = signal_number;
}

constexpr int interrupting_signals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

void install_interrupt_handlers() {
    for (int signal_number : interrupting_signals) {
        struct sigaction current {};
        if (sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = note_signal;
        sigemptyset(&action.sa_mask);
        // No SA_RESTART: a blocked open, read or write returns with EINTR,
        // so that the program can look at the note.
        action.sa_flags = 0;
        sigaction(signal_number, &action, nullptr);
    }
}

int interrupt_signal() { return noted_signal; }

std::string_view signal_name(int signal_number) {
    switch (signal_number) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
        default: return "another signal";
    }
}

}  // namespace textio
