// The tab-separated lines of the work files: a line's fields, a strand
// field, and the error for a line that is not what its file holds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quilm {

// Tab-separated fields of a line, without copying.
void split_fields(std::string_view line, std::vector<std::string_view>& fields);

// A strand field: '+', '-' or '.'; false for anything else.
bool parse_strand(std::string_view field, char& strand);

// Throws InputError "'<path>' line <line>: <why>".
[[noreturn]] void throw_bad_line(const std::string& path, long line, const std::string& why);

}  // namespace quilm
