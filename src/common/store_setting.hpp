// Where the workers of a run keep their seed indexes: the driver writes the
// folder into "index_store.txt" in the work folder, one line; an empty line
// turns the store off. Without the file (workers started by hand) the store
// is the folder "index" inside the work folder.
#pragma once

#include <string>

#include "common/work_files.hpp"

namespace quilm {

inline constexpr const char* kDefaultIndexStore = "index";

// The store folder that a run without a store option uses.
std::string default_index_store(const std::string& work_folder);

// Writes the setting; `folder` empty = no store. Throws IoError.
void write_index_store_setting(const std::string& work_folder, const std::string& folder);

// The store folder for the workers, empty when the store is off. Throws
// InputError when the file exists but cannot be read.
std::string read_index_store_setting(const std::string& work_folder);

}  // namespace quilm
