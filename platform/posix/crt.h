// Microsoft C run-time names that have no standard counterpart.
#pragma once

#include <cstdio>
#include <cstdint>

typedef int errno_t;
typedef std::int64_t __time64_t;

int _chdir(const char* path);
char* _getcwd(char* buffer, int size);
int _access(const char* path, int mode);
__time64_t _time64(__time64_t* destination);
errno_t fopen_s(FILE** stream, const char* path, const char* mode);
// The stream position in 64 bits, where ftell may not reach.
std::int64_t _ftelli64(FILE* stream);
