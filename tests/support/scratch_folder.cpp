#include "scratch_folder.h"

#include <algorithm>
#include <random>

namespace fs = std::filesystem;

fs::path make_scratch_directory(const std::string& label) {
    static std::mt19937_64 generator{std::random_device{}()};
    fs::path directory = fs::temp_directory_path() / ("temp1d-" + label + "-" + std::to_string(generator()));
    fs::create_directories(directory);
    fs::permissions(directory, fs::perms::all);
    return directory;
}

void remove_scratch_directory(const fs::path& directory) {
    std::error_code ignored;
    // Make everything removable again, whatever a test did to it.
    for (auto it = fs::recursive_directory_iterator(directory, ignored); it != fs::recursive_directory_iterator();
         ++it) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::permissions(directory, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(directory, ignored);
}

void ScratchFolder::SetUp() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string label = test != nullptr ? test->test_suite_name() : "scratch";
    // A parameterised suite is named "Prefix/Suite": one folder, not two.
    std::replace(label.begin(), label.end(), '/', '-');
    directory = make_scratch_directory(label);
}

void ScratchFolder::TearDown() { remove_scratch_directory(directory); }
