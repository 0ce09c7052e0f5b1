// The version every program reports (in the @PG lines of the export).
#pragma once

namespace quilm {

inline const char* system_version() {
  return "1.0.0";
}

}  // namespace quilm
