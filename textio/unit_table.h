// The table of connected units: which unit number is connected to which file
// descriptor, with each channel's output buffer.  The table knows nothing of
// failure reports; its operations return errno values to their callers.
//
// Units 5 (standard input) and 6 (standard output) are connected when the
// table is first used.  Each thread has a table of its own, so that runs in
// concurrent threads (the Python module) never share a unit or a buffer; the
// program itself has one thread.  A slot is free when it is not `connected`, so every
// unit number, 0 included, can be connected.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textio/line_ends.h"

namespace textio {

inline constexpr int standard_input_unit = 5;
inline constexpr int standard_output_unit = 6;

struct Channel {
    bool connected = false;
    int unit = 0;
    int fd = -1;
    bool owns_fd = false;     // false for the standard streams
    bool read_only = false;   // opened through the read-only fallback
    bool cut_pending = true;  // the first record written still has to cut the file
    std::string full_path;    // the name resolved against the working directory
    std::vector<char> out;    // output buffer (io_buffer_size bytes); holds whole records only
    std::size_t used = 0;     // bytes of `out` waiting to be written
    // What ends each record: CR LF for the files of the compatible run, a
    // line feed alone for the newer outputs (the CSV profile).
    std::string_view line_end = record_end;
    // When set, every byte read from the channel is also appended here, up
    // to `input_copy_limit` bytes in all (for reports that show where in
    // the file a value came from).
    std::string* input_copy = nullptr;
    std::size_t input_copy_limit = 0;
};

// The connected channel of `unit`, or null.
Channel* find_channel(int unit);

// A free slot, or null when every slot is taken.
Channel* free_slot();

// Every slot of the table, connected or not, in table order.
std::span<Channel> all_slots();

// Writes out the channel's buffer.  After a write that failed part-way (a
// full disk, a file-size limit) the file is cut back to the end of its last
// whole record, so it never ends inside a record.  The buffer is empty
// afterwards either way.  Returns 0 or the errno of the failed write.
int drain_channel(Channel& channel);

// Writes out and disconnects the channel, closing its descriptor when it
// owns one; the standard streams are written out and stay connected.
// Returns 0 or the errno of the failed write.
int disconnect_channel(Channel& channel);

}  // namespace textio
