#include "fit/input_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "fit/interruption.h"

namespace fit {

InputBytes read_input_file(const std::string& path) {
    InputBytes input;
    int fd = -1;
    while (fd < 0) {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (fd >= 0) break;
        if (errno != EINTR) {
            input.open_error = errno;
            return input;
        }
        if (interruption_signal() != 0) {
            input.interrupted = true;
            return input;
        }
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (interruption_signal() != 0) {
            input.interrupted = true;
            break;
        }
        if (got > 0) {
            input.bytes.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            input.read_error = errno;
            break;
        }
    }
    ::close(fd);  // read only: nothing to lose, and never retried
    return input;
}

}  // namespace fit
