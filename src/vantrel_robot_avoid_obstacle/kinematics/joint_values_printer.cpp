#include "kinematics/joint_values_printer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint64_t kPowersOfTen[] = { 1ULL,         10ULL,         100ULL,         1000ULL,
                                           10000ULL,     100000ULL,     1000000ULL,     10000000ULL,
                                           100000000ULL, 1000000000ULL };
constexpr double kDecades[] = { 1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5 };

// Digits of n, zero-padded to width.
char* writeDigits(char* out, std::uint64_t n, int width)
{
  char reversed[20];
  int count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  while (count < width) {
    reversed[count++] = '0';
  }
  while (count > 0) {
    *out++ = reversed[--count];
  }
  return out;
}

// n / 10^decimals in fixed notation, optionally without trailing fraction zeros.
char* writeScaled(char* out, bool negative, std::uint64_t n, int decimals, bool strip_zeros)
{
  if (negative) {
    *out++ = '-';
  }
  out = writeDigits(out, n / kPowersOfTen[decimals], 1);
  std::uint64_t fraction = n % kPowersOfTen[decimals];
  int digits = decimals;
  while (strip_zeros && digits > 0 && fraction % 10 == 0) {
    fraction /= 10;
    --digits;
  }
  if (digits > 0) {
    *out++ = '.';
    out = writeDigits(out, fraction, digits);
  }
  return out;
}

// a * 10^decimals rounded to the nearest integer, when the product's own rounding error cannot
// change the result (a tie or near-tie is left to the exact formatter).
bool roundScaled(double a, int decimals, std::uint64_t& n)
{
  const double scaled = a * static_cast<double>(kPowersOfTen[decimals]);
  if (!(scaled < 4e15)) {
    return false;
  }
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  if (std::fabs(fraction - 0.5) <= scaled * 2.3e-16) {
    return false;
  }
  n = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
  return true;
}

// "%g" with six significant digits for the common magnitudes; false leaves it to std::to_chars.
bool writeGeneralFast(char*& out, double value)
{
  const double a = std::fabs(value);
  if (!(a >= 1e-4 && a < 999999.5)) {
    return false;
  }
  int exponent = -4;
  while (exponent < 5 && a >= kDecades[exponent + 5]) {
    ++exponent;
  }
  int decimals = 5 - exponent;
  std::uint64_t n;
  if (!roundScaled(a, decimals, n)) {
    return false;
  }
  if (n == 1000000 && decimals > 0) {
    // Rounded up into the next decade.
    n = 100000;
    --decimals;
  }
  if (n < 100000 || n > 999999) {
    return false;
  }
  out = writeScaled(out, value < 0.0, n, decimals, true);
  return true;
}

// "%lf" for the common magnitudes; false leaves it to std::to_chars.
bool writeFixedFast(char*& out, double value)
{
  std::uint64_t n;
  if (!(std::fabs(value) < 1e9) || !roundScaled(std::fabs(value), 6, n)) {
    return false;
  }
  out = writeScaled(out, std::signbit(value), n, 6, false);
  return true;
}

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

  void appendValue(double value, std::chars_format format, char separator)
  {
    makeRoom(kValueRoom);
    char* out = buffer_ + used_;
    const bool written =
        format == std::chars_format::fixed ? writeFixedFast(out, value) : writeGeneralFast(out, value);
    if (!written) {
      out = std::to_chars(out, buffer_ + sizeof(buffer_) - 2, value, format, 6).ptr;
    }
    used_ = static_cast<std::size_t>(out - buffer_);
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
    line.appendValue(values[i], std::chars_format::general, i + 1 < count ? ',' : '\0');
  }
  line.finish();
}

void printJointValuesFixed(const double* values, std::size_t count)
{
  LineWriter line;
  for (std::size_t i = 0; i < count; ++i) {
    line.appendValue(values[i], std::chars_format::fixed, ',');
  }
  line.finish();
}
