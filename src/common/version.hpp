// The version that every program prints for --version: the project version
// and, for a build from a git checkout, its commit, as in
// "1.0.0 (commit 1a2b3c4)" or "1.0.0 (commit 1a2b3c4-dirty)". The text is
// generated at build time (cmake/version_text.cmake).
#pragma once

namespace quilm {

const char* version_text();

}  // namespace quilm
