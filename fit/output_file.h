// Output files written whole or not at all.  Each file's bytes go to a
// temporary file in its target's folder, written and flushed to the disk;
// only when every file of the fit is staged are they renamed over their
// targets, the first, then the second.  When the second rename fails the
// first target is put back from a hard link to its old contents taken just
// before (a crash between the two renames leaves the first target new, the
// second old, and the link and the second temporary file as hidden files
// beside them).
//
// Targets never replace an input or anything but a regular file: a target
// that names one of the inputs (the same file, also through another link),
// names the same file as the other target, is a directory, device, named
// pipe or socket, or is a symbolic link is refused.  Symbolic links are
// refused rather than followed: a rename replaces the link itself, and
// following it would write into a folder that was never named.
#pragma once

#include <string>
#include <vector>

namespace fit {

struct PendingOutput {
    std::string target;
    std::string temporary;  // empty until written
};

// A file the outputs must not replace, with the words that name it in a
// refusal ("the parameter file").
struct InputFile {
    std::string path;
    std::string role;
};

// Why the targets cannot be written, or an empty string.
std::string refusal_of_targets(const std::vector<std::string>& targets, const std::vector<InputFile>& inputs);

// Writes `bytes` to a new temporary file next to `target` and flushes it to
// the disk.  On failure, or when INT, TERM or HUP interrupts it, returns a
// message naming the target and leaves nothing behind.
std::string stage_output(PendingOutput& output, const std::string& bytes);

// Renames every staged file into place, all or none (see above); on a
// failure removes every staged file and returns a message.
std::string commit_outputs(std::vector<PendingOutput>& outputs);

// Removes every staged file.
void discard_outputs(std::vector<PendingOutput>& outputs);

}  // namespace fit
