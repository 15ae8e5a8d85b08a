// The unit table and the platform layer beneath the channels: every unit
// number can be connected, and the files never take a standard stream's
// descriptor.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/file_contents.h"
#include "support/scratch_folder.h"
#include "textio/file_channel.h"
#include "textio/posix_file.h"

namespace fs = std::filesystem;

namespace {

// Runs the test body in a fresh scratch directory as the working directory.
class InScratchDirectory : public ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        previous = fs::current_path();
        fs::current_path(directory);
    }
    void TearDown() override {
        fs::current_path(previous);
        ScratchFolder::TearDown();
    }
    static std::string contents(const fs::path& path) { return read_file(path).value_or(""); }
    fs::path previous;
};

TEST_F(InScratchDirectory, EveryUnitNumberStaysConnectedOnceOpened) {
    for (int unit : {0, -7, 41}) {
        SCOPED_TRACE(unit);
        textio::write_record(textio::unit_channel(unit), "first");
        textio::write_record(textio::unit_channel(unit), "second");
        textio::close_unit(unit);
        EXPECT_EQ(textio::find_channel(unit), nullptr);
        EXPECT_EQ(contents("unit" + std::to_string(unit) + ".txt"), "first\r\nsecond\r\n");
    }
}

TEST_F(InScratchDirectory, RecordsEndWithCarriageReturnAndLineFeed) {
    textio::Channel& channel = textio::open_unit(77, "records.txt");
    char* record = textio::begin_record(channel, 3);
    record[0] = 'a';
    record[1] = 'b';
    record[2] = 'c';
    textio::end_record(channel, 3);
    textio::write_record(channel, "");
    textio::close_unit(77);
    EXPECT_EQ(contents("records.txt"), "abc\r\n\r\n");
}

using StandardDescriptorsDeathTest = InScratchDirectory;

// Opens a file with standard input and standard error closed; the child
// ends with status 0 only when the file got a descriptor above 2.
[[noreturn]] void open_without_standard_streams() {
    ::close(STDIN_FILENO);
    ::close(STDERR_FILENO);
    int fd = -1;
    bool read_only = false;
    const int error = textio::open_read_write("opened.txt", fd, read_only);
    std::_Exit(error == 0 && fd > STDERR_FILENO && ::fcntl(STDIN_FILENO, F_GETFD) == -1 ? 0 : 1);
}

TEST_F(StandardDescriptorsDeathTest, FilesNeverTakeTheDescriptorOfAStandardStream) {
    EXPECT_EXIT(open_without_standard_streams(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
