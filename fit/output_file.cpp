#include "fit/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace

std::string stage_output(PendingOutput& output, const std::string& bytes) {
    const std::filesystem::path target(output.target);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::string name = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    DescriptorGuard guard(::mkstemp(name.data()));
    if (guard.fd < 0) return failure(output.target, errno);
    // The new file gets the usual permissions of a created file, not the
    // owner-only ones of a temporary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(guard.fd, 0666 & ~mask);
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(guard.fd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            ::unlink(name.c_str());
            return failure(output.target, error);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(guard.fd) != 0 && errno != EINVAL) {
        const int error = errno;
        ::unlink(name.c_str());
        return failure(output.target, error);
    }
    const int fd = guard.fd;
    guard.fd = -1;
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(name.c_str());
        return failure(output.target, error);
    }
    output.temporary = name;
    return {};
}

std::string commit_outputs(std::vector<PendingOutput>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (::rename(outputs[i].temporary.c_str(), outputs[i].target.c_str()) != 0) {
            const std::string message = failure(outputs[i].target, errno);
            for (std::size_t k = i; k < outputs.size(); ++k) ::unlink(outputs[k].temporary.c_str());
            return message;
        }
        outputs[i].temporary.clear();
    }
    return {};
}

void discard_outputs(std::vector<PendingOutput>& outputs) {
    for (PendingOutput& output : outputs) {
        if (!output.temporary.empty()) ::unlink(output.temporary.c_str());
        output.temporary.clear();
    }
}

}  // namespace fit
