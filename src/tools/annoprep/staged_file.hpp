// An output file written under a temporary name beside its final path and
// renamed into place by commit(); dropped without commit, the temporary file
// is removed. A failed run therefore leaves earlier outputs untouched.
#pragma once

#include <string>

namespace quilm::annoprep {

class StagedFile {
 public:
  explicit StagedFile(std::string final_path);
  // Where a StagedFile for `final_path` writes.
  static std::string temporary_path_of(const std::string& final_path);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Where to write until commit().
  const std::string& path() const { return temp_path_; }
  const std::string& final_path() const { return final_path_; }
  void commit();

 private:
  std::string final_path_;
  std::string temp_path_;
  bool committed_ = false;
};

}  // namespace quilm::annoprep
