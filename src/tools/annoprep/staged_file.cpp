#include "tools/annoprep/staged_file.hpp"

#include <cstdio>

#include "common/errors.hpp"

namespace quilm::annoprep {

StagedFile::StagedFile(std::string final_path)
    : final_path_(std::move(final_path)), temp_path_(temporary_path_of(final_path_)) {}

std::string StagedFile::temporary_path_of(const std::string& final_path) {
  return final_path + ".annoprep-partial";
}

StagedFile::~StagedFile() {
  if (!committed_) std::remove(temp_path_.c_str());
}

void StagedFile::commit() {
  if (std::rename(temp_path_.c_str(), final_path_.c_str()) != 0)
    throw_io_error("cannot rename '" + temp_path_ + "' to", final_path_);
  committed_ = true;
}

}  // namespace quilm::annoprep
