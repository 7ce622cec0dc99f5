#include "fs/directory_node.h"

#include "fs/file_system.h"

namespace fs {

DirectoryNode::DirectoryNode(const char* text, const char* filter) : path(text) {
  actualFileSystem()->listDirectory(text, filter, this);
}

}  // namespace fs
