// Takes typed values off the front of a fuzz input; past its end every value reads as zero.
#ifndef ROS2_STANDIN_TEST_FUZZ_BYTE_READER_HPP_
#define ROS2_STANDIN_TEST_FUZZ_BYTE_READER_HPP_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class ByteReader
{
public:
  ByteReader(const std::uint8_t * data, std::size_t size)
  : data_(data), end_(data + size) {}

  template<typename T>
  T take()
  {
    T value{};
    const std::size_t count = std::min<std::size_t>(sizeof(T), end_ - data_);
    if (count > 0) {
      std::memcpy(&value, data_, count);
    }
    data_ += count;
    return value;
  }

  std::vector<std::uint8_t> rest()
  {
    std::vector<std::uint8_t> bytes(data_, end_);
    data_ = end_;
    return bytes;
  }

  bool empty() const {return data_ == end_;}

private:
  const std::uint8_t * data_;
  const std::uint8_t * end_;
};

#endif  // ROS2_STANDIN_TEST_FUZZ_BYTE_READER_HPP_
