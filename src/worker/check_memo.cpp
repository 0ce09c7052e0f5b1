#include "worker/check_memo.hpp"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace quilm {

namespace {

std::string memo_line(std::string_view kind, const FileStamp& s, const std::string& value) {
  std::ostringstream line;
  line << kind << ' ' << s.inode << ' ' << s.size << ' ' << s.modified_ns << ' ' << s.changed_ns
       << ' ' << value << '\n';
  return line.str();
}

}  // namespace

std::string temporary_name_beside(const std::string& path) {
  char host[256] = "host";
  ::gethostname(host, sizeof host - 1);
  host[sizeof host - 1] = '\0';
  return path + ".tmp." + host + "." + std::to_string(::getpid());
}

std::optional<std::string> recall_memo(const std::string& path, std::string_view kind,
                                       const FileStamp& stamp) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  const std::size_t value_at = line.rfind(' ');
  if (value_at == std::string::npos) return std::nullopt;
  std::string value = line.substr(value_at + 1);
  if (value.empty() || memo_line(kind, stamp, value) != line + '\n') return std::nullopt;
  return value;
}

void remember_memo(const std::string& path, std::string_view kind, const FileStamp& stamp,
                   const std::string& value) {
  if (!stamp_settled(stamp, std::chrono::system_clock::now())) return;
  const std::string temp = temporary_name_beside(path);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << memo_line(kind, stamp, value);
    out.close();
    if (!out) {
      std::remove(temp.c_str());
      return;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) std::remove(temp.c_str());
}

}  // namespace quilm
