// The small platform layer beneath the text channels: thin wrappers over the
// POSIX calls the channels need.  Every routine returns 0 or the errno value
// of the call that failed; none of them reports or stops anything.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace textio {

// The size of the buffers through which text moves between the program and
// its files: the free-form reader's chunks, the output buffers of the
// channels, whole-file reads.  Large enough that a system call per buffer
// costs little, small enough that memory use stays flat.
inline constexpr std::size_t io_buffer_size = 64 * 1024;

// Opening waits for a FIFO's other end; an open interrupted once SIGINT,
// SIGTERM or SIGHUP has been noticed gives EINTR.  A pipe, socket or device
// opened here is put in non-blocking mode: read_some and write_fully then
// wait for it between calls, in a way that a signal cannot slip past (see
// posix_file.cpp), and end the wait with EINTR once a signal is noticed.
//
// Opens `name`, relative to the working directory, for reading and writing
// and creates it when it is missing (mode 0666 before the umask).  When write
// access is refused the file is opened for reading only and `read_only` is
// set; a directory standing where the file should be counts as a refusal.
// The descriptor returned in `fd` is never 0, 1 or 2, so a standard stream
// that the program was started without never lands in a file.
// With `create` false a missing file is not created (ENOENT).
int open_read_write(std::string_view name, int& fd, bool& read_only, bool create = true);

// Writes all of `size` bytes, retrying after partial writes and after
// interruptions by a signal the program does not act on; a call
// interrupted (or cut short) once SIGINT, SIGTERM or SIGHUP has been noticed
// gives EINTR.  `written` tells how many reached the file, also on a
// failure.
int write_fully(int fd, const char* data, std::size_t size, std::size_t& written);

// Reads up to `size` bytes; `count` is 0 at the end of the file.  A read
// interrupted once SIGINT, SIGTERM or SIGHUP has been noticed gives EINTR.
int read_some(int fd, char* data, std::size_t size, std::size_t& count);

// Sets the end of the file at `length`.  Files that cannot be cut (pipes,
// terminals, devices) report EINVAL.
int cut_file_at(int fd, off_t length);

// The current offset of the file in `offset`.
int current_offset(int fd, off_t& offset);

// Takes an exclusive lock on the whole file without waiting; EWOULDBLOCK
// when another open file description holds a lock on it.  The kernel drops
// the lock when the descriptor is closed or the process ends.
int lock_exclusively(int fd);

// Makes writes to `fd` fail with EAGAIN instead of waiting.
int stop_waiting(int fd);

// Closes the descriptor; never retried, also after EINTR.
int close_file(int fd);

// Sets `same` when the open file `fd` is the file `name` (relative to the
// working directory): the same device and inode, as with a symbolic or hard
// link.  A `name` that does not exist is not the same file.
int is_same_file(int fd, std::string_view name, bool& same);

// The working directory joined with `name`, for messages and the length
// rule; `name` itself when the working directory has no path (it has been
// removed, or a directory above it cannot be searched).
std::string full_path_of(std::string_view name);

// Connects every standard stream the program was started without (0, 1, 2)
// to the null device, where there is one.
void reserve_standard_descriptors();

// Writes all of `text` to `fd`, retrying after interruptions and partial
// writes; a failure ends the write and is ignored (for messages that have
// nowhere left to be reported).
void write_all(int fd, std::string_view text);

// write_all to standard error; while the calling thread captures standard
// error, the text is appended to the capture instead.
void write_standard_error(std::string_view text);

// Makes write_standard_error of the calling thread append to `capture`
// (null: write to standard error again).  For callers that hand reports
// back as values instead of showing them (the Python module).
void capture_standard_error(std::string* capture);

}  // namespace textio
