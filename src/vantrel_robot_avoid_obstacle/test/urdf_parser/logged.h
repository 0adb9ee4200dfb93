#pragma once

#include <initializer_list>
#include <string>

#include "test/support/console_capture.h"

// True when one message at exactly this level contains every one of the words.
inline bool logged(const ConsoleCapture& capture, console_bridge::LogLevel level,
                   std::initializer_list<std::string> words)
{
  for (const ConsoleCapture::Message& m : capture.messages())
  {
    bool all = m.level == level;
    for (const std::string& word : words)
    {
      all = all && m.text.find(word) != std::string::npos;
    }
    if (all)
    {
      return true;
    }
  }
  return false;
}
