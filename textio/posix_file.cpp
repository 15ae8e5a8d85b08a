#include "textio/posix_file.h"

#include <cerrno>
#include <cstdlib>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "textio/interrupt_signals.h"

namespace textio {

namespace {

bool write_refused(int error) {
    return error == EACCES || error == EPERM || error == EROFS || error == EISDIR || error == ETXTBSY;
}

bool is_directory(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
}

// Moves a descriptor that took the place of a standard stream above 2.
int keep_above_standard_streams(int& fd) {
    if (fd > STDERR_FILENO) return 0;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int error = moved < 0 ? errno : 0;
    ::close(fd);
    fd = moved;
    return error;
}

// Whether a call that failed with `error` is tried again: only an
// interruption by a signal that the program does not act on.
bool try_again(int error) { return error == EINTR && interrupt_signal() == 0; }

// Waits until `fd` is ready for `events` (POLLIN or POLLOUT).  SIGINT,
// SIGTERM and SIGHUP are blocked from the look at the note until the wait
// begins, and let through only during the wait (ppoll), so that a signal
// that comes just before the wait still ends it.  EINTR once one has been
// noticed, else 0.
int wait_until_ready(int fd, short events) {
    sigset_t interrupting;
    sigemptyset(&interrupting);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interrupting, signal_number);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &interrupting, &previous);
    int error = 0;
    if (interrupt_signal() != 0) {
        error = EINTR;
    } else {
        sigset_t while_waiting = previous;
        for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigdelset(&while_waiting, signal_number);
        pollfd waiting{fd, events, 0};
        if (::ppoll(&waiting, 1, nullptr, &while_waiting) < 0 && errno != EINTR) error = errno;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (error == 0 && interrupt_signal() != 0) error = EINTR;
    return error;
}

// Files that can make a read or a write wait (pipes, sockets, terminals and
// other devices) are switched to non-blocking mode: their calls then return
// EAGAIN instead of waiting, and the wait happens in wait_until_ready, where
// an interruption cannot slip in between the look at the note and the wait.
// Only descriptions the program opened itself are switched; the standard
// streams, shared with other processes, are left as they are.
void wait_outside_calls(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return;
    if (!S_ISFIFO(status.st_mode) && !S_ISSOCK(status.st_mode) && !S_ISCHR(status.st_mode)) return;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// open(2), tried again after interruptions the program does not act on.
int open_retrying(const char* path, int flags, mode_t mode = 0) {
    for (;;) {
        const int fd = ::open(path, flags, mode);
        if (fd >= 0 || !try_again(errno)) return fd;
    }
}

}  // namespace

int open_read_write(std::string_view name, int& fd, bool& read_only, bool create) {
    const std::string path(name);
    read_only = false;
    fd = open_retrying(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0 && write_refused(errno)) {
        const int refusal = errno;
        fd = open_retrying(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 && is_directory(fd)) {
            ::close(fd);
            fd = -1;
        }
        if (fd < 0) return refusal;  // the refusal of write access is the reason
        read_only = true;
    }
    if (fd < 0) return errno;
    wait_outside_calls(fd);
    return keep_above_standard_streams(fd);
}

int write_fully(int fd, const char* data, std::size_t size, std::size_t& written) {
    written = 0;
    while (written < size) {
        const ssize_t count = ::write(fd, data + written, size - written);
        if (count < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (const int error = wait_until_ready(fd, POLLOUT); error != 0) return error;
                continue;
            }
            if (try_again(errno)) continue;
            return errno;
        }
        if (count == 0) return EIO;
        written += static_cast<std::size_t>(count);
        // A short write is where a blocked write ends when a signal comes.
        if (written < size && interrupt_signal() != 0) return EINTR;
    }
    return 0;
}

int read_some(int fd, char* data, std::size_t size, std::size_t& count) {
    for (;;) {
        const ssize_t got = ::read(fd, data, size);
        if (got >= 0) {
            count = static_cast<std::size_t>(got);
            return 0;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            const int error = wait_until_ready(fd, POLLIN);
            if (error == 0) continue;
            count = 0;
            return error;
        }
        if (!try_again(errno)) {
            count = 0;
            return errno;
        }
    }
}

int cut_file_at(int fd, off_t length) { return ::ftruncate(fd, length) == 0 ? 0 : errno; }

int current_offset(int fd, off_t& offset) {
    offset = ::lseek(fd, 0, SEEK_CUR);
    return offset < 0 ? errno : 0;
}

int lock_exclusively(int fd) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
        if (errno != EINTR) return errno;
    }
}

int stop_waiting(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return errno;
    return 0;
}

int close_file(int fd) { return ::close(fd) == 0 ? 0 : errno; }

int is_same_file(int fd, std::string_view name, bool& same) {
    same = false;
    struct stat open_file {};
    if (::fstat(fd, &open_file) != 0) return errno;
    struct stat named {};
    if (::stat(std::string(name).c_str(), &named) != 0) return errno == ENOENT ? 0 : errno;
    same = open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
    return 0;
}

std::string full_path_of(std::string_view name) {
    if (!name.empty() && name.front() == '/') return std::string(name);
    char* cwd = ::getcwd(nullptr, 0);
    if (cwd == nullptr) return std::string(name);
    std::string path = cwd;
    std::free(cwd);
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

void reserve_standard_descriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The descriptors below `fd` are open, so this one normally gets `fd`.
        // Without a null device the stream stays closed; the files the
        // program opens are kept above 2 all the same (open_read_write).
        const int null_fd = ::open("/dev/null", O_RDWR);
        if (null_fd < 0) continue;
        if (null_fd != fd) {
            ::dup2(null_fd, fd);
            ::close(null_fd);
        }
    }
}

void write_all(int fd, std::string_view text) {
    std::size_t written = 0;
    static_cast<void>(write_fully(fd, text.data(), text.size(), written));
}

namespace {
thread_local std::string* standard_error_capture = nullptr;
}

void write_standard_error(std::string_view text) {
    if (standard_error_capture != nullptr) {
        standard_error_capture->append(text);
        return;
    }
    write_all(STDERR_FILENO, text);
}

void capture_standard_error(std::string* capture) { standard_error_capture = capture; }

}  // namespace textio
