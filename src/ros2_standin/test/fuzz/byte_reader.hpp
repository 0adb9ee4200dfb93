// Takes typed values off the front of a fuzz input; past its end every value reads as zero.
#ifndef ROS2_STANDIN_TEST_FUZZ_BYTE_READER_HPP_
#define ROS2_STANDIN_TEST_FUZZ_BYTE_READER_HPP_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

class ByteReader
{
public:
  ByteReader(const std::uint8_t * data, std::size_t size)
  : data_(data), size_(size) {}

  template<typename T>
  T take()
  {
    static_assert(std::is_trivially_copyable_v<T>, "plain values only");
    T value{};
    const std::size_t count = sizeof(T) < size_ ? sizeof(T) : size_;
    if (count > 0) {
      std::memcpy(&value, data_, count);
    }
    data_ += count;
    size_ -= count;
    return value;
  }

  bool empty() const {return size_ == 0;}
  std::size_t remaining() const {return size_;}
  const std::uint8_t * position() const {return data_;}

private:
  const std::uint8_t * data_;
  std::size_t size_;
};

#endif  // ROS2_STANDIN_TEST_FUZZ_BYTE_READER_HPP_
