// Text channels: the numbered units through which the program reads and
// writes its files.  These are the operations that fail through the failure
// report: each failure of the layers beneath (the unit table, the POSIX
// layer) is turned into its report here, and the program stops.
//
// A unit is opened by file name relative to the working directory with
// status "unknown": an existing file is used, a missing one is created.  The
// open asks for reading and writing; when write access is refused it falls
// back to reading only.  Records written to a channel are collected in a
// buffer and reach the file in large writes that always end at a record
// boundary; the first record written cuts the file off after it, so a file
// that was longer before holds only what this run wrote.
//
// Units 5 (standard input) and 6 (standard output) are connected from the
// start.  Every connected channel is written out and closed when the program
// ends (end_process), so nothing written is lost.
//
// A read, write or open that a signal cuts short once SIGINT, SIGTERM or
// SIGHUP has been noticed ends the work with a Stop that carries the signal
// and no report; so does every read once the signal is noticed, so that a
// file that never ends (/dev/zero) is left too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "textio/failure_report.h"
#include "textio/line_ends.h"
#include "textio/unit_table.h"

namespace textio {

// Opens `unit` on the file `name` (relative to the working directory) with
// status "unknown".  A failure ends the program with the failure report that
// classifies it.  Opening a unit that is already open closes it first.
Channel& open_unit(int unit, std::string_view name);

// Opens `unit` on the existing file `name` (status "old"): like open_unit,
// but a missing file is not created; it ends the work with failure 29.
Channel& open_existing_unit(int unit, std::string_view name);

// Takes an exclusive lock on the channel's file for as long as the process
// holds it open.  Returns false when another process holds a lock on the
// file; a file system without locks counts as a lock taken.
bool lock_channel(Channel& channel);

// Whether the channel's file is the file `name` (relative to the working
// directory): the same device and inode, as through a link.
bool is_same_file(const Channel& channel, std::string_view name);

// The channel connected to `unit`.  A unit that is not connected, whatever
// its number, is opened on the file "unit<N>.txt" in the working directory.
Channel& unit_channel(int unit);

// Flushes and closes `unit`; closing a unit that is not open does nothing.
// The standard streams are flushed but stay connected.
void close_unit(int unit);

// Appends one record (without its line end) and the channel's line end
// (CR LF unless the channel was given another).
// Write failures end the program with their failure report.
void write_record(Channel& channel, std::string_view record);

// Room for a record of `length` characters at the end of the channel's
// buffer; the caller fills them and then calls end_record, which adds the
// line end.  Lets a writer render a record straight into the buffer.
char* begin_record(Channel& channel, std::size_t length);
void end_record(Channel& channel, std::size_t length);

// Writes out everything buffered for the channel.
void flush_channel(Channel& channel);

// Reads up to `size` bytes from the channel's file; returns the count, 0 at
// the end of the file.  A failure of the operating system ends the program
// with "error during read".
std::size_t read_bytes(Channel& channel, char* data, std::size_t size);

}  // namespace textio
