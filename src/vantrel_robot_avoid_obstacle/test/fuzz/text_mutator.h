#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

// Deterministic byte and structure mutations of an XML text, the same on every platform.
class TextMutator
{
public:
  explicit TextMutator(std::uint64_t seed) : state_(seed) {}

  // One to three mutations of the text.
  std::string mutate(std::string text)
  {
    const std::size_t count = 1 + below(3);
    for (std::size_t i = 0; i < count && !text.empty(); ++i)
    {
      mutateOnce(text);
    }
    return text;
  }

private:
  std::uint64_t next()
  {
    // splitmix64
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

  std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(next() % n); }

  // The [begin, end) of the line holding the byte at `at`, its newline included.
  static std::pair<std::size_t, std::size_t> lineAround(const std::string& text, std::size_t at)
  {
    const std::size_t newline = at == 0 ? std::string::npos : text.rfind('\n', at - 1);
    const std::size_t end = text.find('\n', at);
    return {newline == std::string::npos ? 0 : newline + 1, end == std::string::npos ? text.size() : end + 1};
  }

  // The text between the quotes of a randomly chosen attribute value, as (begin, length); length npos if none.
  std::pair<std::size_t, std::size_t> attributeValue(const std::string& text)
  {
    std::size_t open = text.find("=\"", below(text.size()));
    open = open == std::string::npos ? text.find("=\"") : open;
    const std::size_t close = open == std::string::npos ? open : text.find('"', open + 2);
    if (close == std::string::npos)
    {
      return {0, std::string::npos};
    }
    return {open + 2, close - open - 2};
  }

  void mutateOnce(std::string& text)
  {
    static const char kBytes[] = "<>/\"'=&% \t\n0123456789-.eE!?";
    static const char* const kValues[] = {"",        "-1",        "1e999",    "nan",    "%s%n%s",   " 1 2 3 ",
                                          "0 0",     "1 2 3 4",   "-0.5 1 1", "0",      "revolute", "Planar",
                                          "fixed",   "base_link", "joint1",   "arm",    "1.0",      "2.0",
                                          "1 0 0 2", "&amp;",     "\xff\xfe", "1e-400", "1\t2\t3",  "  base_link  "};
    const std::size_t kind = below(10);
    switch (kind)
    {
      case 0:
        text[below(text.size())] ^= static_cast<char>(1u << below(8));
        break;
      case 1:
        text[below(text.size())] = kBytes[below(sizeof(kBytes) - 1)];
        break;
      case 2:
      {
        const std::size_t at = below(text.size());
        text.erase(at, 1 + below(64));
        break;
      }
      case 3:
      {
        const std::size_t at = below(text.size());
        const std::string span = text.substr(at, 1 + below(64));
        text.insert(below(text.size() + 1), span);
        break;
      }
      case 4:
        text.resize(below(text.size()));
        break;
      case 5:  // a line removed
      case 6:  // a line copied
      case 7:  // a line moved
      {
        const auto line = lineAround(text, below(text.size()));
        const std::string copy = text.substr(line.first, line.second - line.first);
        if (kind != 6)
        {
          text.erase(line.first, copy.size());
        }
        if (kind != 5)
        {
          text.insert(lineAround(text, below(text.size() + 1)).first, copy);
        }
        break;
      }
      case 8:
      {
        const auto value = attributeValue(text);
        if (value.second != std::string::npos)
        {
          text.replace(value.first, value.second, kValues[below(sizeof(kValues) / sizeof(kValues[0]))]);
        }
        break;
      }
      default:
      {
        // Another attribute's value in place of this one: duplicate names, cycles, self joints, unknown links.
        const auto target = attributeValue(text);
        const auto source = attributeValue(text);
        if (target.second != std::string::npos && source.second != std::string::npos)
        {
          text.replace(target.first, target.second, text.substr(source.first, source.second));
        }
        break;
      }
    }
  }

  std::uint64_t state_;
};
