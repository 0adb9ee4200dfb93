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
constexpr char kDigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                               "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                               "8081828384858687888990919293949596979899";
constexpr double kDecades[] = { 1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5 };

// The six digits of n < 1000000, zero-padded.
char* writeSixDigits(char* out, std::uint32_t n)
{
  std::memcpy(out, kDigitPairs + 2 * (n / 10000), 2);
  std::memcpy(out + 2, kDigitPairs + 2 * (n / 100 % 100), 2);
  std::memcpy(out + 4, kDigitPairs + 2 * (n % 100), 2);
  return out + 6;
}

// The digits of n without padding.
char* writeDigits(char* out, std::uint64_t n)
{
  char reversed[20];
  int count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  while (count > 0) {
    *out++ = reversed[--count];
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
  std::uint64_t n;
  if (!roundScaled(a, 5 - exponent, n)) {
    return false;
  }
  if (n == 1000000 && exponent < 5) {
    // Rounded up into the next decade.
    n = 100000;
    ++exponent;
  }
  if (n < 100000 || n > 999999) {
    return false;
  }
  // The six significant digits, then the point placed by the exponent and trailing zeros dropped.
  char digits[6];
  writeSixDigits(digits, static_cast<std::uint32_t>(n));
  int last = 5;
  while (last > exponent && last > 0 && digits[last] == '0') {
    --last;
  }
  if (value < 0.0) {
    *out++ = '-';
  }
  if (exponent >= 0) {
    for (int i = 0; i <= last; ++i) {
      if (i == exponent + 1) {
        *out++ = '.';
      }
      *out++ = digits[i];
    }
  } else {
    *out++ = '0';
    *out++ = '.';
    for (int i = exponent; i < -1; ++i) {
      *out++ = '0';
    }
    for (int i = 0; i <= last; ++i) {
      *out++ = digits[i];
    }
  }
  return true;
}

// "%lf" for the common magnitudes; false leaves it to std::to_chars.
bool writeFixedFast(char*& out, double value)
{
  std::uint64_t n;
  if (!(std::fabs(value) < 1e9) || !roundScaled(std::fabs(value), 6, n)) {
    return false;
  }
  if (std::signbit(value)) {
    *out++ = '-';
  }
  out = writeDigits(out, n / 1000000);
  *out++ = '.';
  out = writeSixDigits(out, static_cast<std::uint32_t>(n % 1000000));
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
    if (used_ + length + 2 > sizeof(buffer_)) {
      // Longer than the whole buffer: it goes out on its own.
      std::fwrite(text, 1, length, stdout);
      return;
    }
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
