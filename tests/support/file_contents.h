// Whole files and folders as the tests look at them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The bytes of `path`, or nothing when it cannot be opened.
std::optional<std::string> read_file(const std::filesystem::path& path);

// Replaces the contents of `path` by `bytes`.
void write_file(const std::filesystem::path& path, const std::string& bytes);

// The names of the entries of `directory`, sorted.
std::vector<std::string> directory_listing(const std::filesystem::path& directory);
