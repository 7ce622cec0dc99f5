#include "core/log.h"

#include <cstdarg>
#include <cstring>

namespace {

constexpr int kMaxDepth = 30;
int depth = 0;
char prefix[32] = {0};
char message[65536];

}  // namespace

bool logToStderr = false;
LogSink* logSink = nullptr;

LogFile::~LogFile() {
  if (stream != nullptr) std::fclose(stream);
  stream = nullptr;
}

LogFile& logFile() {
  static LogFile holder;
  return holder;
}

void logMessage(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof(message), format, arguments);
  va_end(arguments);

  LogFile& file = logFile();
  if (file.stream != nullptr) std::fprintf(file.stream, "%s%s\n", prefix, message);
  if (logToStderr) std::fprintf(stderr, "%s%s\n", prefix, message);
  if (logSink != nullptr) logSink->write(prefix, message);
}

void logIndent() {
  if (depth >= kMaxDepth) return;
  ++depth;
  std::memset(prefix, '\t', static_cast<std::size_t>(depth));
  prefix[depth] = '\0';
}

void logUnindent() {
  if (depth <= 0) return;
  --depth;
  prefix[depth] = '\0';
}
