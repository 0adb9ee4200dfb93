#include "kinematics/joint_values_printer.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace {

// Room for one value of any finite magnitude in fixed notation, its separator and the newline.
constexpr std::size_t kValueRoom = 330;

class LineWriter
{
public:
  void append(const char* text)
  {
    const std::size_t length = std::strlen(text);
    makeRoom(length);
    std::memcpy(buffer_ + used_, text, length);
    used_ += length;
  }

  void appendValue(double value, std::chars_format format, int precision, char separator)
  {
    makeRoom(kValueRoom);
    char* end = buffer_ + sizeof(buffer_) - 2;
    const auto result = std::to_chars(buffer_ + used_, end, value, format, precision);
    used_ = static_cast<std::size_t>(result.ptr - buffer_);
    if (separator != '\0') {
      buffer_[used_++] = separator;
    }
  }

  void finish()
  {
    buffer_[used_++] = '\n';
    std::fwrite(buffer_, 1, used_, stdout);
  }

private:
  void makeRoom(std::size_t length)
  {
    if (used_ + length + 2 > sizeof(buffer_)) {
      std::fwrite(buffer_, 1, used_, stdout);
      used_ = 0;
    }
  }

  char buffer_[1024];
  std::size_t used_ = 0;
};

}  // namespace

void printJointValues(const char* prefix, const double* values, std::size_t count)
{
  LineWriter line;
  line.append(prefix);
  for (std::size_t i = 0; i < count; ++i) {
    line.appendValue(values[i], std::chars_format::general, 6, i + 1 < count ? ',' : '\0');
  }
  line.finish();
}

void printJointValuesFixed(const double* values, std::size_t count)
{
  LineWriter line;
  for (std::size_t i = 0; i < count; ++i) {
    line.appendValue(values[i], std::chars_format::fixed, 6, ',');
  }
  line.finish();
}
