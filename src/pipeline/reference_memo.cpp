#include "pipeline/reference_memo.hpp"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/paths.hpp"
#include "common/work_files.hpp"

namespace quilm {

namespace {

constexpr const char* kMemoTitle = "quilm reference memo 1";

std::string memo_path(const std::string& work_folder) {
  return join_path(work_folder, kReferenceMemoFile);
}

std::ostream& operator<<(std::ostream& out, const FileStamp& s) {
  return out << s.inode << ' ' << s.size << ' ' << s.modified_ns << ' ' << s.changed_ns;
}

bool read_stamp(std::istream& in, FileStamp& s) {
  return static_cast<bool>(in >> s.inode >> s.size >> s.modified_ns >> s.changed_ns);
}

// A line "<word> <fields>": the fields, when the line starts with `word`.
bool tagged_line(std::istream& in, const char* word, std::istringstream& fields) {
  std::string line;
  if (!std::getline(in, line)) return false;
  fields.clear();
  fields.str(line);
  std::string tag;
  return fields >> tag && tag == word;
}

std::string memo_text(const ReferenceMemo& m) {
  std::ostringstream out;
  out << kMemoTitle << '\n' << "reference " << m.reference << '\n';
  out << "cut " << m.cut.overlap << ' ' << m.cut.segment_size << ' ' << m.cut.masked_toggle << ' '
      << m.segments << '\n';
  const FastaSummary& f = m.summary;
  out << "summary " << f.letters << ' ' << f.lower_case << ' ' << f.blanks << ' '
      << f.sequences.size() << '\n';
  for (const FastaSequence& s : f.sequences)
    out << "sequence " << s.line << ' ' << s.length << ' ' << s.name << '\n';
  for (const FileStamp& s : m.files) out << "file " << s << '\n';
  if (m.content) out << "content " << m.content->hex << ' ' << m.content->bytes << '\n';
  out << "end\n";
  return out.str();
}

bool read_sequences(std::istream& in, std::size_t count, std::vector<FastaSequence>& out) {
  std::istringstream fields;
  for (std::size_t i = 0; i < count; ++i) {
    FastaSequence s;
    if (!tagged_line(in, "sequence", fields) || !(fields >> s.line >> s.length)) return false;
    // The name is the rest of the line after one blank: a header's first
    // word holds no blank.
    if (fields.get() != ' ' || !std::getline(fields, s.name) || s.name.empty()) return false;
    out.push_back(std::move(s));
  }
  return true;
}

std::optional<ReferenceMemo> parse_memo(std::istream& in) {
  ReferenceMemo m;
  std::string line;
  std::istringstream fields;
  std::size_t sequences = 0;
  if (!std::getline(in, line) || line != kMemoTitle) return std::nullopt;
  if (!tagged_line(in, "reference", fields) || !read_stamp(fields, m.reference))
    return std::nullopt;
  if (!tagged_line(in, "cut", fields) ||
      !(fields >> m.cut.overlap >> m.cut.segment_size >> m.cut.masked_toggle >> m.segments) ||
      m.segments < 1)
    return std::nullopt;
  FastaSummary& f = m.summary;
  if (!tagged_line(in, "summary", fields) ||
      !(fields >> f.letters >> f.lower_case >> f.blanks >> sequences) ||
      !read_sequences(in, sequences, f.sequences))
    return std::nullopt;
  for (int i = 0; i < m.segments + 2; ++i) {
    FileStamp s;
    if (!tagged_line(in, "file", fields) || !read_stamp(fields, s)) return std::nullopt;
    m.files.push_back(s);
  }
  if (!std::getline(in, line)) return std::nullopt;
  if (line.rfind("content ", 0) == 0) {
    std::istringstream content(line.substr(8));
    ContentHash hash;
    if (!(content >> hash.hex >> hash.bytes) || hash.hex.size() != 16 || hash.bytes < 0 ||
        !content.eof())
      return std::nullopt;
    m.content = hash;
    if (!std::getline(in, line)) return std::nullopt;
  }
  if (line != "end" || std::getline(in, line)) return std::nullopt;
  return m;
}

}  // namespace

std::optional<FileStamp> settled_reference_stamp(const std::string& ref_path,
                                                 std::chrono::system_clock::time_point now) {
  const std::optional<FileStamp> stamp = path_stamp(ref_path);
  if (!stamp || !stamp_settled(*stamp, now)) return std::nullopt;
  return stamp;
}

std::vector<std::string> cut_file_paths(const std::string& work_folder, int segments) {
  std::vector<std::string> paths;
  for (int k = 1; k <= segments; ++k)
    paths.push_back(numbered_path(work_folder, k, kSegmentSuffix));
  paths.push_back(join_path(work_folder, kSegmentIndexFile));
  paths.push_back(join_path(work_folder, kSegmentSizeFile));
  return paths;
}

std::optional<ReferenceMemo> read_reference_memo(const std::string& work_folder) {
  std::ifstream in(memo_path(work_folder));
  if (!in) return std::nullopt;
  return parse_memo(in);
}

std::optional<std::vector<FileStamp>> cut_file_stamps(const std::string& work_folder,
                                                      int segments) {
  std::vector<FileStamp> stamps;
  for (const std::string& path : cut_file_paths(work_folder, segments)) {
    const std::optional<FileStamp> s = path_stamp(path);
    if (!s) return std::nullopt;
    stamps.push_back(*s);
  }
  return stamps;
}

bool cut_files_in_place(const std::string& work_folder, const ReferenceMemo& memo) {
  const auto stamps = cut_file_stamps(work_folder, memo.segments);
  return stamps && *stamps == memo.files;
}

void write_reference_memo(const std::string& work_folder, const ReferenceMemo& memo) {
  const std::string path = memo_path(work_folder);
  const std::string temp = path + ".tmp." + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::trunc);
    out << memo_text(memo);
    out.close();
    if (out && std::rename(temp.c_str(), path.c_str()) == 0) return;
  }
  std::remove(temp.c_str());
}

void remember_reference_content(const std::string& work_folder, const std::string& ref_path,
                                const FileStamp& stamp, const ContentHash& content) {
  std::optional<ReferenceMemo> memo = read_reference_memo(work_folder);
  if (!memo || memo->content || memo->reference != stamp || path_stamp(ref_path) != stamp) return;
  memo->content = content;
  write_reference_memo(work_folder, *memo);
}

void forget_reference_memo(const std::string& work_folder) {
  std::remove(memo_path(work_folder).c_str());
}

}  // namespace quilm
