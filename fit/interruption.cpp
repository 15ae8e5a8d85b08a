#include "fit/interruption.h"

#include <csignal>
#include <cstdlib>
#include <initializer_list>
#include <unistd.h>

namespace fit {

namespace {

volatile std::sig_atomic_t noted_signal = 0;

void note_signal(int signal) {
    if (noted_signal == 0) noted_signal = signal;
}

}  // namespace

void install_interruption_handlers() {
    struct sigaction action = {};
    action.sa_handler = note_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: blocked calls return with EINTR
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

int interruption_signal() { return noted_signal; }

const char* signal_name(int signal) {
    switch (signal) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
        default: return "a signal";
    }
}

void end_by_signal(int signal) {
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    std::_Exit(128 + signal);  // not reached
}

}  // namespace fit
