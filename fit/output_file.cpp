#include "fit/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "fit/interruption.h"

namespace fit {

namespace {

// Closes the descriptor when the staging ends, whichever way.
struct DescriptorGuard {
    int fd = -1;
    explicit DescriptorGuard(int descriptor) : fd(descriptor) {}
    DescriptorGuard(const DescriptorGuard&) = delete;
    DescriptorGuard& operator=(const DescriptorGuard&) = delete;
    ~DescriptorGuard() {
        if (fd >= 0) ::close(fd);
    }
};

std::string failure(const std::string& target, int error) {
    return target + ": cannot be written: " + std::strerror(error);
}

std::filesystem::path folder_of(const std::string& target) {
    const std::filesystem::path path(target);
    return path.has_parent_path() ? path.parent_path() : ".";
}

// A unique hidden name next to `target` with the given tag, created as an
// empty file (mkstemp); the descriptor is returned, -1 on failure.
int make_hidden_file(const std::string& target, const char* tag, std::string& name) {
    const std::filesystem::path path(target);
    name = (folder_of(target) / ("." + path.filename().string() + tag + "XXXXXX")).string();
    return ::mkstemp(name.data());
}

const char* kind_of(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Two targets name one file when both exist as the same file, or when they
// have the same name in the same folder (reached by whatever path).
bool same_target(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0) return same_file(first, second);
    if (std::filesystem::path(a).filename() != std::filesystem::path(b).filename()) return false;
    if (::stat(folder_of(a).c_str(), &first) == 0 && ::stat(folder_of(b).c_str(), &second) == 0) {
        return same_file(first, second);
    }
    return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
}

}  // namespace

std::string refusal_of_targets(const std::vector<std::string>& targets, const std::vector<InputFile>& inputs) {
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const std::string& target = targets[i];
        struct stat status {};
        if (::lstat(target.c_str(), &status) == 0) {
            if (S_ISLNK(status.st_mode)) {
                return target + ": is a symbolic link; outputs are not written through links (name the file itself)";
            }
            if (!S_ISREG(status.st_mode)) {
                return target + ": is " + kind_of(status.st_mode) + "; an output replaces regular files only";
            }
            for (const InputFile& input : inputs) {
                struct stat input_status {};
                if (::stat(input.path.c_str(), &input_status) == 0 && same_file(status, input_status)) {
                    return target + ": is " + input.role + " " + input.path + "; an output never replaces an input";
                }
            }
        }
        for (std::size_t k = 0; k < i; ++k) {
            if (same_target(targets[k], target)) {
                return targets[k] + " and " + target + " are the same file; each output needs a file of its own";
            }
        }
    }
    return {};
}

std::string stage_output(PendingOutput& output, const std::string& bytes) {
    std::string name;
    DescriptorGuard guard(make_hidden_file(output.target, ".", name));
    if (guard.fd < 0) return failure(output.target, errno);
    // The new file gets the usual permissions of a created file, not the
    // owner-only ones of a temporary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(guard.fd, 0666 & ~mask);
    const auto fail = [&](int error) {
        ::unlink(name.c_str());
        return interruption_signal() != 0 ? output.target + ": writing interrupted" : failure(output.target, error);
    };
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(guard.fd, data, left);
        if (interruption_signal() != 0) return fail(EINTR);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return fail(written < 0 ? errno : ENOSPC);
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    while (::fsync(guard.fd) != 0) {
        if (errno == EINVAL) break;  // a file system without it
        if (errno != EINTR || interruption_signal() != 0) return fail(errno);
    }
    const int fd = guard.fd;
    guard.fd = -1;
    if (::close(fd) != 0) return fail(errno);
    output.temporary = name;
    return {};
}

std::string commit_outputs(std::vector<PendingOutput>& outputs) {
    // The old contents of the first target, kept under a second name until
    // the last rename has succeeded.
    std::string backup;
    if (outputs.size() > 1) {
        struct stat status {};
        if (::lstat(outputs[0].target.c_str(), &status) == 0) {
            int error = EEXIST;
            for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
                const int fd = make_hidden_file(outputs[0].target, ".old.", backup);
                if (fd < 0) {
                    error = errno;
                    break;
                }
                ::close(fd);
                ::unlink(backup.c_str());
                error = ::link(outputs[0].target.c_str(), backup.c_str()) == 0 ? 0 : errno;
            }
            if (error != 0) {
                discard_outputs(outputs);
                return outputs[0].target +
                       ": cannot keep its old contents while the outputs are replaced: " + std::strerror(error) +
                       "; nothing replaced";
            }
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (::rename(outputs[i].temporary.c_str(), outputs[i].target.c_str()) == 0) {
            outputs[i].temporary.clear();
            continue;
        }
        std::string message = failure(outputs[i].target, errno);
        discard_outputs(outputs);
        if (i > 0) {
            // Put the first target back as it was.
            const bool restored = backup.empty() ? ::unlink(outputs[0].target.c_str()) == 0
                                                 : ::rename(backup.c_str(), outputs[0].target.c_str()) == 0;
            if (restored) {
                message += "; " + outputs[0].target + " is back as it was";
                backup.clear();
            } else {
                message += "; " + outputs[0].target + " could not be put back" +
                           (backup.empty() ? std::string() : ": its old contents are in " + backup);
                return message;
            }
        } else {
            message += "; nothing replaced";
        }
        if (!backup.empty()) ::unlink(backup.c_str());
        return message;
    }
    if (!backup.empty()) ::unlink(backup.c_str());
    return {};
}

void discard_outputs(std::vector<PendingOutput>& outputs) {
    for (PendingOutput& output : outputs) {
        if (!output.temporary.empty()) ::unlink(output.temporary.c_str());
        output.temporary.clear();
    }
}

}  // namespace fit
