#pragma once

// Records console_bridge output for tests: while alive, every message that passes the log level is kept
// with its level, source file name and line instead of being printed.

#include <string>
#include <vector>

#include <console_bridge/console.h>

namespace rao_test
{
struct LogRecord
{
  console_bridge::LogLevel level;
  std::string file;
  int line;
  std::string text;
};

class ConsoleCapture : public console_bridge::OutputHandler
{
public:
  // level: the lowest level recorded for the capture's lifetime (console_bridge filters before the handler).
  explicit ConsoleCapture(console_bridge::LogLevel level = console_bridge::getLogLevel())
    : previous_level_(console_bridge::getLogLevel())
  {
    console_bridge::setLogLevel(level);
    console_bridge::useOutputHandler(this);
  }

  ~ConsoleCapture() override
  {
    console_bridge::restorePreviousOutputHandler();
    console_bridge::setLogLevel(previous_level_);
  }

  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  void log(const std::string& text, console_bridge::LogLevel level, const char* filename, int line) override
  {
    records_.push_back({ level, filename != nullptr ? filename : "", line, text });
  }

  const std::vector<LogRecord>& records() const
  {
    return records_;
  }

  void clear()
  {
    records_.clear();
  }

private:
  console_bridge::LogLevel previous_level_;
  std::vector<LogRecord> records_;
};

}  // namespace rao_test
