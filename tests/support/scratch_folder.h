// Scratch folders for tests that run programs or write files: each test gets
// a fresh, empty folder that is removed again after it, whatever the test did
// to its permissions.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// A fresh, empty directory under the system's temporary directory, removed
// again by remove_scratch_directory.  Accessible to every user, so that a
// program can also run as an unprivileged user in it.
std::filesystem::path make_scratch_directory(const std::string& label);
void remove_scratch_directory(const std::filesystem::path& directory);

// Test fixture: `directory` is a fresh scratch directory named after the
// test suite; param() and result() are the program's two files in it.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path param() const { return directory / "DataInpTemp1d.txt"; }
    std::filesystem::path result() const { return directory / "temperat.txt"; }
    std::filesystem::path directory;
};
