#include "textio/unit_table.h"

#include <array>
#include <csignal>
#include <unistd.h>

#include "textio/posix_file.h"

namespace textio {

namespace {

// Units that may be connected at the same time (the standard streams included).
constexpr std::size_t channel_slots = 16;

thread_local std::array<Channel, channel_slots> channels;
thread_local bool standard_streams_connected = false;

void connect_standard_channel(Channel& channel, int unit, int fd, const char* full_path) {
    channel.connected = true;
    channel.unit = unit;
    channel.fd = fd;
    channel.cut_pending = false;
    channel.full_path = full_path;
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
    connect_standard_channel(channels[0], standard_input_unit, STDIN_FILENO, "stdin");
    connect_standard_channel(channels[1], standard_output_unit, STDOUT_FILENO, "stdout");
    channels[1].out.resize(io_buffer_size);
}

}  // namespace

Channel* find_channel(int unit) {
    connect_standard_streams();
    for (Channel& channel : channels) {
        if (channel.connected && channel.unit == unit) return &channel;
    }
    return nullptr;
}

Channel* free_slot() {
    connect_standard_streams();
    for (Channel& channel : channels) {
        if (!channel.connected) return &channel;
    }
    return nullptr;
}

std::span<Channel> all_slots() {
    connect_standard_streams();
    return channels;
}

int drain_channel(Channel& channel) {
    if (channel.used == 0) return 0;
    const std::size_t size = channel.used;
    channel.used = 0;
    std::size_t written = 0;
    const int error = write_fully(channel.fd, channel.out.data(), size, written);
    if (error == 0) return 0;
    // Cut off the part of a record that reached the file; nothing is done
    // for files that cannot be cut.
    std::size_t complete = written;
    while (complete > 0 && channel.out[complete - 1] != '\n') --complete;
    const off_t partial = static_cast<off_t>(written - complete);
    off_t end = 0;
    if (partial > 0 && current_offset(channel.fd, end) == 0 && partial <= end) {
        [[maybe_unused]] const int ignored = cut_file_at(channel.fd, end - partial);
    }
    return error;
}

int disconnect_channel(Channel& channel) {
    const int error = drain_channel(channel);
    if (channel.owns_fd) {
        if (channel.fd >= 0) close_file(channel.fd);
        channel = Channel{};
    }
    return error;
}

}  // namespace textio
