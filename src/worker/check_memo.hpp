// Memos of work already done on a file that has not changed since: the
// SHA-256 of a segment file and the full check of a stored index image. A
// memo is a one-line file "<kind> <inode> <size> <modified> <changed>
// <value>" beside the index store's images; it is only written for a file
// whose stamp has settled, and only recalled for the very same stamp, so a
// changed file is always worked on again. Memos are a speed-up only: one
// that cannot be read or written is ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/file_stamp.hpp"
#include "worker/store_entry.hpp"

namespace quilm {

// A name beside `path` for a file written before it is renamed there,
// unique among the processes of all machines sharing the folder.
std::string temporary_name_beside(const std::string& path);

// The value recorded for `stamp` under `kind`; none when the memo is
// missing, unreadable, not a trusted regular file (see store_entry.hpp), of
// another kind or of another stamp.
std::optional<std::string> recall_memo(const std::string& path, std::string_view kind,
                                       const FileStamp& stamp, const StoreFolderTrust& folder = {});

// Records `value` (one word) for `stamp` under `kind`, written under a
// temporary name (writable by its owner only) and renamed into place;
// nothing when the stamp has not settled or the memo cannot be written.
void remember_memo(const std::string& path, std::string_view kind, const FileStamp& stamp,
                   const std::string& value);

}  // namespace quilm
