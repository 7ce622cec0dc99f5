// The process-wide log of the library layers. Its three outputs (a file, the standard error
// stream and a sink object) are all off unless someone switches them on; the launcher never
// does, so its lines are formatted and go nowhere.
#pragma once

#include <cstdio>

class LogSink {
 public:
  virtual ~LogSink() = default;
  // The indent prefix and the message, without a line end.
  virtual void write(const char* prefix, const char* message) = 0;
};

// Holds the log file's stream, if any, and closes it at program exit.
struct LogFile {
  ~LogFile();
  FILE* stream = nullptr;
};

// The holder comes into being on first use.
LogFile& logFile();

extern bool logToStderr;
extern LogSink* logSink;

void logMessage(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void logIndent();
void logUnindent();
