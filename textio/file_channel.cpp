#include "textio/file_channel.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "textio/failure_report.h"

namespace textio {

namespace {

// Records are gathered in a buffer of this size and written in one call.
constexpr std::size_t output_buffer_size = 64 * 1024;
// The longest full path name a file may have.
constexpr std::size_t longest_full_path = 255;
// Units that may be connected at the same time (the standard streams included).
constexpr std::size_t channel_slots = 16;

std::array<Channel, channel_slots> channels;
bool standard_streams_connected = false;
bool stopping = false;  // set while stop_program closes the files

bool in_use(const Channel& channel) { return channel.unit != 0; }

// A standard stream that the program was started without is connected to
// the null device.  Otherwise the first file opened would take its
// descriptor, and what is meant for that stream (a failure report, a report
// of the numerical library) would be written into the parameter or result
// file.
void reserve_standard_descriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The descriptors below `fd` are open, so this one normally gets `fd`.
        const int null_fd = ::open("/dev/null", O_RDWR);
        if (null_fd < 0) return;
        if (null_fd != fd) {
            ::dup2(null_fd, fd);
            ::close(null_fd);
        }
    }
}

void connect_standard_streams() {
    if (standard_streams_connected) return;
    standard_streams_connected = true;
    reserve_standard_descriptors();
    // A write to a pipe whose reader has gone, or beyond the file-size limit
    // of the process, fails with an error instead of killing the process, so
    // that the program still reports it, closes its files with every whole
    // record in them and ends with its own status.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    Channel& input = channels[0];
    input.unit = standard_input_unit;
    input.fd = STDIN_FILENO;
    input.cut_pending = false;
    input.full_path = "stdin";
    Channel& output = channels[1];
    output.unit = standard_output_unit;
    output.fd = STDOUT_FILENO;
    output.cut_pending = false;
    output.full_path = "stdout";
    output.out.resize(output_buffer_size);
}

Channel* find_unit(int unit) {
    connect_standard_streams();
    for (Channel& channel : channels) {
        if (in_use(channel) && channel.unit == unit) return &channel;
    }
    return nullptr;
}

// The name resolved against the working directory.  A working directory
// without a path (one that has been removed) leaves the name as it is, so
// that the open still refers to the working directory and fails there,
// instead of reaching a file of that name in the root directory.
std::string resolve_full_path(std::string_view name) {
    if (!name.empty() && name.front() == '/') return std::string(name);
    char* cwd = ::getcwd(nullptr, 0);
    if (cwd == nullptr) return std::string(name);
    std::string path = cwd;
    std::free(cwd);
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

bool write_refused(int error) {
    return error == EACCES || error == EPERM || error == EROFS || error == EISDIR || error == ETXTBSY;
}

// The failure number of an open that failed with `error`; `os_error` is set
// when the report shows the system's own text.
int classify_open_failure(int error, int& os_error) {
    os_error = 0;
    switch (error) {
        case ENOENT:
        case ENOTDIR: return failure_file_not_found;
        case EMFILE:
        case ENFILE: return failure_open;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY: return failure_access_denied;
        case ENODEV:
        case ENXIO: return failure_no_such_device;
        case ENAMETOOLONG:
        case EINVAL:
        case EILSEQ: return failure_file_name;
        default: os_error = error; return failure_open;
    }
}

bool is_directory(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
}

// Writes all of `data`; returns 0 or the errno of the failed write.
// Writes all of `data`; returns 0 or the errno of the failed write, and in
// `written` how many bytes reached the file.
int write_fully(int fd, const char* data, std::size_t size, std::size_t& written) {
    written = 0;
    while (written < size) {
        ssize_t count = ::write(fd, data + written, size - written);
        if (count < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (count == 0) return EIO;
        written += static_cast<std::size_t>(count);
    }
    return 0;
}

// After a write that failed part-way (a full disk, a file-size limit), the
// file ends inside a record.  It is cut back to the end of the last complete
// record, so that it holds whole records only.  Nothing is done for files
// that cannot be cut (pipes, devices).
void cut_back_to_last_record(const Channel& channel, std::size_t written) {
    const off_t end = ::lseek(channel.fd, 0, SEEK_CUR);
    if (end < 0) return;
    std::size_t complete = written;
    while (complete > 0 && channel.out[complete - 1] != '\n') --complete;
    const off_t partial = static_cast<off_t>(written - complete);
    if (partial > 0 && partial <= end) {
        [[maybe_unused]] const int ignored = ::ftruncate(channel.fd, end - partial);
    }
}

void release(Channel& channel) {
    if (channel.owns_fd && channel.fd >= 0) ::close(channel.fd);
    channel = Channel{};
}

// The first record cuts the file after it; for a file that is not a regular
// file (a terminal, a pipe) there is nothing to cut.
void cut_before_first_record(Channel& channel) {
    if (channel.read_only) report_failure(failure_write_read_only, channel.unit, channel.full_path);
    channel.cut_pending = false;
    if (::ftruncate(channel.fd, 0) != 0 && errno != EINVAL) {
        report_failure(failure_write, channel.unit, channel.full_path, errno);
    }
}

}  // namespace

Channel& open_unit(int unit, std::string_view name) {
    close_unit(unit);
    std::string full_path = resolve_full_path(name);
    if (full_path.size() > longest_full_path || name.empty()) {
        report_failure(failure_file_name, unit, full_path);
    }
    Channel* slot = nullptr;
    for (Channel& channel : channels) {
        if (!in_use(channel)) {
            slot = &channel;
            break;
        }
    }
    if (slot == nullptr) report_failure(failure_open, unit, full_path);

    bool read_only = false;
    int fd = ::open(full_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && write_refused(errno)) {
        int refusal = errno;
        fd = ::open(full_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 && is_directory(fd)) {
            // A directory stands where the file should be.
            ::close(fd);
            fd = -1;
        }
        if (fd >= 0) {
            read_only = true;
        } else {
            errno = refusal;  // the refusal of write access is the reason to report
        }
    }
    if (fd < 0) {
        int os_error = 0;
        int number = classify_open_failure(errno, os_error);
        report_failure(number, unit, full_path, os_error);
    }

    Channel& channel = *slot;
    channel.unit = unit;
    channel.fd = fd;
    channel.owns_fd = true;
    channel.read_only = read_only;
    channel.cut_pending = true;
    channel.full_path = std::move(full_path);
    channel.used = 0;
    return channel;
}

Channel& unit_channel(int unit) {
    if (Channel* channel = find_unit(unit)) return *channel;
    return open_unit(unit, "unit" + std::to_string(unit) + ".txt");
}

void flush_channel(Channel& channel) {
    if (channel.used == 0) return;
    std::size_t size = channel.used;
    channel.used = 0;
    std::size_t written = 0;
    const int error = write_fully(channel.fd, channel.out.data(), size, written);
    if (error == 0) return;
    cut_back_to_last_record(channel, written);
    if (!stopping) report_failure(failure_write, channel.unit, channel.full_path, error);
}

char* reserve_bytes(Channel& channel, std::size_t size) {
    if (channel.cut_pending) cut_before_first_record(channel);
    if (channel.out.empty()) channel.out.resize(output_buffer_size);
    if (channel.used + size > channel.out.size()) {
        flush_channel(channel);
        if (size > channel.out.size()) channel.out.resize(size);
    }
    return channel.out.data() + channel.used;
}

void commit_bytes(Channel& channel, std::size_t size) { channel.used += size; }

void write_record(Channel& channel, std::string_view record) {
    char* target = reserve_bytes(channel, record.size() + 2);
    std::memcpy(target, record.data(), record.size());
    target[record.size()] = '\r';
    target[record.size() + 1] = '\n';
    commit_bytes(channel, record.size() + 2);
}

std::size_t read_bytes(Channel& channel, char* data, std::size_t size) {
    for (;;) {
        ssize_t count = ::read(channel.fd, data, size);
        if (count >= 0) return static_cast<std::size_t>(count);
        if (errno == EINTR) continue;
        report_failure(failure_read, channel.unit, channel.full_path, errno);
    }
}

void close_unit(int unit) {
    Channel* channel = find_unit(unit);
    if (channel == nullptr) return;
    flush_channel(*channel);
    if (channel->owns_fd) release(*channel);
}

void close_all_units() {
    connect_standard_streams();
    for (Channel& channel : channels) {
        if (!in_use(channel)) continue;
        flush_channel(channel);
        if (channel.owns_fd) release(channel);
    }
}

void stop_program(std::uint32_t status) {
    // A write that fails while the files are closed on the way out cannot be
    // reported a second time; the first report stands.
    stopping = true;
    close_all_units();
    std::exit(static_cast<int>(status));
}

}  // namespace textio
