#include "textio/file_channel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "textio/interrupt_signals.h"
#include "textio/posix_file.h"

namespace textio {

namespace {

// The longest full path name a file may have.
constexpr std::size_t longest_full_path = 255;

// A call that failed with `error` ends the work: by the interruption that
// cut it short (EINTR once a signal has been noticed: no report, the program
// decides what to say), or with the failure report `number`.
[[noreturn]] void fail(int number, int unit, const std::string& full_path, int error) {
    if (error == EINTR) stop_if_interrupted();
    report_failure(number, unit, full_path, error);
}

// The first record cuts the file after it; for a file that is not a regular
// file (a terminal, a pipe) there is nothing to cut.
void cut_before_first_record(Channel& channel) {
    if (channel.read_only) report_failure(failure_write_read_only, channel.unit, channel.full_path);
    channel.cut_pending = false;
    const int error = cut_file_at(channel.fd, 0);
    if (error != 0 && error != EINVAL) fail(failure_write, channel.unit, channel.full_path, error);
}

}  // namespace

namespace {

Channel& open_unit_creating(int unit, std::string_view name, bool create) {
    close_unit(unit);
    // The file is opened by its name relative to the working directory; the
    // full path serves the messages and the length rule only.
    std::string full_path = full_path_of(name);
    if (full_path.size() > longest_full_path || name.empty()) {
        report_failure(failure_file_name, unit, full_path);
    }
    Channel* slot = free_slot();
    if (slot == nullptr) report_failure(failure_open, unit, full_path);

    int fd = -1;
    bool read_only = false;
    const int error = open_read_write(name, fd, read_only, create);
    if (error != 0) {
        if (error == EINTR) stop_if_interrupted();
        const OpenFailure failure = open_failure_of(error);
        report_failure(failure.number, unit, full_path, failure.os_error);
    }

    Channel& channel = *slot;
    channel.connected = true;
    channel.unit = unit;
    channel.fd = fd;
    channel.owns_fd = true;
    channel.read_only = read_only;
    channel.cut_pending = true;
    channel.full_path = std::move(full_path);
    channel.used = 0;
    return channel;
}

}  // namespace

Channel& open_unit(int unit, std::string_view name) { return open_unit_creating(unit, name, true); }

Channel& open_existing_unit(int unit, std::string_view name) { return open_unit_creating(unit, name, false); }

bool lock_channel(Channel& channel) {
    const int error = lock_exclusively(channel.fd);
    return error != EWOULDBLOCK && error != EAGAIN;
}

bool is_same_file(const Channel& channel, std::string_view name) {
    bool same = false;
    return is_same_file(channel.fd, name, same) == 0 && same;
}

Channel& unit_channel(int unit) {
    if (Channel* channel = find_channel(unit)) return *channel;
    return open_unit(unit, "unit" + std::to_string(unit) + ".txt");
}

void flush_channel(Channel& channel) {
    const int error = drain_channel(channel);
    if (error != 0) fail(failure_write, channel.unit, channel.full_path, error);
}

char* begin_record(Channel& channel, std::size_t length) {
    const std::size_t size = length + channel.line_end.size();
    if (channel.cut_pending) cut_before_first_record(channel);
    if (channel.out.empty()) channel.out.resize(io_buffer_size);
    if (channel.used + size > channel.out.size()) {
        flush_channel(channel);
        if (size > channel.out.size()) channel.out.resize(size);
    }
    return channel.out.data() + channel.used;
}

void end_record(Channel& channel, std::size_t length) {
    char* const end = channel.out.data() + channel.used + length;
    // A copy of fixed size for the two-byte ends (CR LF, and any other of
    // two bytes), which the compiler turns into one store: a data record
    // of the result file ends here millions of times in a long run.
    if (channel.line_end.size() == 2) {
        std::memcpy(end, channel.line_end.data(), 2);
    } else {
        std::memcpy(end, channel.line_end.data(), channel.line_end.size());
    }
    channel.used += length + channel.line_end.size();
}

void write_record(Channel& channel, std::string_view record) {
    char* target = begin_record(channel, record.size());
    std::memcpy(target, record.data(), record.size());
    end_record(channel, record.size());
}

std::size_t read_bytes(Channel& channel, char* data, std::size_t size) {
    std::size_t count = 0;
    const int error = read_some(channel.fd, data, size, count);
    if (error != 0) fail(failure_read, channel.unit, channel.full_path, error);
    if (channel.input_copy != nullptr && channel.input_copy->size() < channel.input_copy_limit) {
        channel.input_copy->append(data, std::min(count, channel.input_copy_limit - channel.input_copy->size()));
    }
    // A file that never ends and never blocks (/dev/zero) is left here.
    stop_if_interrupted();
    return count;
}

void close_unit(int unit) {
    Channel* channel = find_channel(unit);
    if (channel == nullptr) return;
    const int error = drain_channel(*channel);
    if (error != 0) fail(failure_write, channel->unit, channel->full_path, error);
    disconnect_channel(*channel);
}

}  // namespace textio
