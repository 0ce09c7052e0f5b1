// What a run remembers of the reference it cut, so that a rerun on the same
// reference, cut the same way, reads it neither for the check nor for the
// cutting: the reference's stamp and summary, how it was cut, and the stamps
// of the files the cutting left in the work folder. The memo is a speed-up
// only: one that is missing, unreadable or of another stamp is ignored, and
// the reference is read as on a first run.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/fasta_check.hpp"
#include "common/file_stamp.hpp"
#include "common/run_stamp.hpp"

namespace quilm {

// How a reference is cut into segments.
struct SegmentCut {
  int overlap = 0;
  std::int64_t segment_size = 0;
  int masked_toggle = 0;
  bool operator==(const SegmentCut&) const = default;
};

struct ReferenceMemo {
  FileStamp reference;
  FastaSummary summary;
  SegmentCut cut;
  int segments = 0;
  // The segment files 1..segments, then the segment index and the work sizes.
  std::vector<FileStamp> files;
  // The reference's content hash for the run stamp, once a run has hashed it.
  std::optional<ContentHash> content;
};

// The reference's stamp when it can be trusted to tell every later change:
// both its times lie kStampSettling before `now`. None otherwise, and for
// anything but a regular file.
std::optional<FileStamp> settled_reference_stamp(const std::string& ref_path,
                                                 std::chrono::system_clock::time_point now);

// The files a cutting leaves in the work folder, in the memo's order.
std::vector<std::string> cut_file_paths(const std::string& work_folder, int segments);

// The memo of the work folder; none when there is none or it is malformed.
std::optional<ReferenceMemo> read_reference_memo(const std::string& work_folder);

// True when every file of the memo's cutting is still the one it wrote.
bool cut_files_in_place(const std::string& work_folder, const ReferenceMemo& memo);

// The stamps of the files of a cutting just made; none when one is missing.
std::optional<std::vector<FileStamp>> cut_file_stamps(const std::string& work_folder, int segments);

// Writes the memo under a temporary name and renames it into place; a memo
// that cannot be written is left out (the next run reads the reference).
void write_reference_memo(const std::string& work_folder, const ReferenceMemo& memo);

// Adds the reference's content hash to the memo, when the memo is of the
// reference as it was (`stamp`) and still is, and holds no hash yet.
void remember_reference_content(const std::string& work_folder, const std::string& ref_path,
                                const FileStamp& stamp, const ContentHash& content);

// Removes the memo before the files it describes are written again.
void forget_reference_memo(const std::string& work_folder);

}  // namespace quilm
