// Expected texts with the CR LF record ends the programs write, kept
// readable in the tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The text with every LF preceded by CR.
std::string crlf(std::string_view text);

// Each line followed by CR LF.
std::string records(const std::vector<std::string>& lines);
