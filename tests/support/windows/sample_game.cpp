// A stand-in game for the Windows tests: it leaves "<its own file name>.ran" in its current
// directory, so a test can tell that the shell started it, and where, then exits.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 1 || argv[0] == nullptr) {
    return 1;
  }
  const char* name = argv[0];
  for (const char* at = argv[0]; *at != '\0'; ++at) {
    if (*at == '\\' || *at == '/') {
      name = at + 1;
    }
  }
  char marker[300];
  if (std::snprintf(marker, sizeof marker, "%s.ran", name) >= static_cast<int>(sizeof marker)) {
    return 1;
  }
  // Written under another name first: a test that sees the marker sees all of it.
  char partial[310];
  std::snprintf(partial, sizeof partial, "%s.part", marker);
  std::FILE* file = std::fopen(partial, "wb");
  if (file == nullptr) {
    return 1;
  }
  const bool written = std::fputs("ran\n", file) >= 0;
  if (std::fclose(file) != 0 || !written) {
    return 1;
  }
  return std::rename(partial, marker) == 0 ? 0 : 1;
}
