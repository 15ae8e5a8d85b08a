// Output files written whole or not at all: the bytes go to a temporary file
// in the target's folder, which is renamed over the target only when every
// file of the fit has been written.
#pragma once

#include <string>
#include <vector>

namespace fit {

struct PendingOutput {
    std::string target;
    std::string temporary;  // empty until written
};

// Writes `bytes` to a new temporary file next to `target`.  On failure
// returns a message naming the target and leaves nothing behind.
std::string stage_output(PendingOutput& output, const std::string& bytes);

// Renames every staged file into place; on a failure removes the staged
// files not yet renamed and returns a message.
std::string commit_outputs(std::vector<PendingOutput>& outputs);

// Removes every staged file.
void discard_outputs(std::vector<PendingOutput>& outputs);

}  // namespace fit
