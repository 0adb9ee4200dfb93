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
    return close == std::string::npos ? std::make_pair(std::size_t(0), close)
                                      : std::make_pair(open + 2, close - open - 2);
  }

  void mutateOnce(std::string& text)
  {
    static const char kBytes[] = "<>/\"'=&% \t\n0123456789-.eE!?";
    static const char* const kValues[] = {"",        "-1",        "1e999",    "nan",    "%s%n%s",   " 1 2 3 ",
                                          "0 0",     "1 2 3 4",   "-0.5 1 1", "0",      "revolute", "Planar",
                                          "fixed",   "base_link", "joint1",   "arm",    "1.0",      "2.0",
                                          "1 0 0 2", "&amp;",     "\xff\xfe", "1e-400", "1\t2\t3",  "  base_link  "};
    const std::size_t kind = below(10);
    const std::size_t at = below(text.size());
    if (kind == 0)
    {
      text[at] ^= static_cast<char>(1u << below(8));
    }
    else if (kind == 1)
    {
      text[at] = kBytes[below(sizeof(kBytes) - 1)];
    }
    else if (kind == 2)
    {
      text.erase(at, 1 + below(64));
    }
    else if (kind == 3)
    {
      text.insert(below(text.size() + 1), text.substr(at, 1 + below(64)));
    }
    else if (kind == 4)
    {
      text.resize(at);
    }
    else if (kind <= 7)  // a line removed (5), copied (6) or moved (7)
    {
      const auto line = lineAround(text, at);
      const std::string copy = text.substr(line.first, line.second - line.first);
      text.erase(line.first, kind == 6 ? 0 : copy.size());
      text.insert(kind == 5 ? 0 : lineAround(text, below(text.size() + 1)).first, kind == 5 ? "" : copy);
    }
    else
    {
      // A listed value, or another attribute's value (duplicate names, cycles, self joints, unknown links).
      const auto target = attributeValue(text);
      const auto source = kind == 8 ? target : attributeValue(text);
      if (target.second != std::string::npos && source.second != std::string::npos)
      {
        text.replace(target.first, target.second,
                     kind == 8 ? kValues[below(sizeof(kValues) / sizeof(kValues[0]))] :
                                 text.substr(source.first, source.second));
      }
    }
  }

  std::uint64_t state_;
};
