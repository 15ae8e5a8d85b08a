// Text channels: the numbered units through which the program reads and
// writes its files, and the small platform layer beneath them.
//
// A unit is opened by file name in the working directory with status
// "unknown": an existing file is used, a missing one is created.  The open
// asks for reading and writing; when write access is refused it falls back to
// reading only.  Records written to a channel are collected in a buffer and
// reach the file in large writes; the first record written cuts the file off
// after it, so a file that was longer before holds only what this run wrote.
//
// Units 5 (standard input) and 6 (standard output) are connected from the
// start.  Every open channel is flushed and closed when the program stops,
// whichever way it stops (see stop_program), so nothing written is lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace textio {

inline constexpr int standard_input_unit = 5;
inline constexpr int standard_output_unit = 6;

struct Channel {
    int unit = 0;
    int fd = -1;
    bool owns_fd = false;        // false for the standard streams
    bool read_only = false;      // opened through the read-only fallback
    bool cut_pending = true;     // the first record written still has to cut the file
    std::string full_path;       // the name resolved against the working directory
    std::vector<char> out;       // output buffer, allocated once at open
    std::size_t used = 0;        // bytes of `out` waiting to be written
};

// Opens `unit` on the file `name` (relative to the working directory) with
// status "unknown".  A failure ends the program with the failure report that
// classifies it.  Opening a unit that is already open closes it first.
Channel& open_unit(int unit, std::string_view name);

// The channel connected to `unit`.  A unit that is not connected is opened on
// the file "unit<N>.txt" in the working directory.
Channel& unit_channel(int unit);

// Flushes and closes `unit`; closing a unit that is not open does nothing.
// The standard streams are flushed but stay connected.
void close_unit(int unit);

// Appends one record (without its line end) and the CR LF that ends it.
// Write failures end the program with their failure report.
void write_record(Channel& channel, std::string_view record);

// Room for `size` more bytes at the end of the channel's buffer; the caller
// fills them and then calls commit_bytes.  Lets a writer render a record
// straight into the buffer without a copy.
char* reserve_bytes(Channel& channel, std::size_t size);
void commit_bytes(Channel& channel, std::size_t size);

// Writes out everything buffered for the channel.
void flush_channel(Channel& channel);

// Reads up to `size` bytes from the channel's file; returns the count, 0 at
// the end of the file.  A failure of the operating system ends the program
// with "error during read".
std::size_t read_bytes(Channel& channel, char* data, std::size_t size);

// Flushes and closes every open channel, then ends the process with
// `status`.  Only the low 8 bits of the status reach a parent on Linux.
[[noreturn]] void stop_program(std::uint32_t status);

// Flushes and closes every open channel (used by stop_program and at a
// normal end of the program).
void close_all_units();

}  // namespace textio
