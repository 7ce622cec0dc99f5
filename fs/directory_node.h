// An in-memory tree of a directory and everything below it, listed when it is constructed.
#pragma once

#include <memory>
#include <vector>

#include "core/string.h"

namespace fs {

class DirectoryNode {
 public:
  // Lists `path` and every sub-directory below it. `filter`, when not null, keeps only the
  // entries whose extension (the text after the first '.') occurs in it; it is not copied.
  DirectoryNode(const char* path, const char* filter);
  DirectoryNode(const DirectoryNode&) = delete;
  DirectoryNode& operator=(const DirectoryNode&) = delete;

  String path;
  std::vector<std::unique_ptr<DirectoryNode>> directories;  // owned, freed with the parent
  std::vector<String> files;
};

}  // namespace fs
