#pragma once

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include <console_bridge/console.h>

// Records every console_bridge message, at every level, while it lives; restores the previous handler and level.
class ConsoleCapture : public console_bridge::OutputHandler
{
public:
  struct Message
  {
    console_bridge::LogLevel level;
    std::string source;
    int line;
    std::string text;
  };

  ConsoleCapture()
      : previous_handler_(console_bridge::getOutputHandler()), previous_level_(console_bridge::getLogLevel())
  {
    console_bridge::useOutputHandler(this);
    console_bridge::setLogLevel(console_bridge::CONSOLE_BRIDGE_LOG_DEBUG);
  }

  ~ConsoleCapture() override
  {
    console_bridge::setLogLevel(previous_level_);
    console_bridge::useOutputHandler(previous_handler_);
  }

  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  void log(const std::string& text, console_bridge::LogLevel level, const char* filename, int line) override
  {
    messages_.push_back({level, filename ? filename : "", line, text});
  }

  const std::vector<Message>& messages() const { return messages_; }
  void clear() { messages_.clear(); }

  // Messages at or above the given level, in order.
  std::vector<Message> atLeast(console_bridge::LogLevel level) const
  {
    std::vector<Message> found;
    std::copy_if(messages_.begin(), messages_.end(), std::back_inserter(found),
                 [level](const Message& m) { return m.level >= level; });
    return found;
  }

  // True when one message at exactly this level contains every one of the words.
  bool logged(console_bridge::LogLevel level, std::initializer_list<std::string> words) const
  {
    return std::any_of(messages_.begin(), messages_.end(), [&](const Message& m) {
      return m.level == level && std::all_of(words.begin(), words.end(), [&](const std::string& word) {
               return m.text.find(word) != std::string::npos;
             });
    });
  }

private:
  console_bridge::OutputHandler* previous_handler_;
  console_bridge::LogLevel previous_level_;
  std::vector<Message> messages_;
};
