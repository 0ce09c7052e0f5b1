// Work-folder paths: folder, one separator, file name.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quilm {

inline constexpr char kPathSeparator = '/';

std::string join_path(std::string_view folder, std::string_view name);

// "<folder>/<number><suffix>", as in the segment and result files "1.txt", "1.r".
std::string numbered_path(std::string_view folder, long number, std::string_view suffix);

// The numbered read file that a mapping cycle of this seed length reads:
// "0.fastq" for 14, then "14.fastq", "12.fastq", "10.fastq", "8.fastq".
// Throws UsageError for any other seed length.
std::string cycle_read_file(const std::string& work_folder, int seed_length);

// Creates a folder and its parents; throws IoError naming the folder on failure.
void make_folders(const std::string& folder);

// Copies a file byte for byte, replacing the target.
void copy_file_over(const std::string& from, const std::string& to);

// quilm2sam writes its output as "<output>.part<pid>" until it is complete,
// and its other temporary files under names that begin with that one.
std::string export_part_path(const std::string& output, long pid);

// Calls `f` with the path of every entry of the prefix's folder whose path
// begins with `prefix`; a folder that cannot be read has none.
void for_each_file_starting_with(const std::string& prefix,
                                 const std::function<void(const std::string&)>& f);

// Removes every file whose path begins with `prefix` (in the folder of the
// prefix); files that cannot be removed are left.
void remove_files_starting_with(const std::string& prefix);

}  // namespace quilm
