#include "cdr_codec.hpp"

#include <cstring>
#include <stdexcept>

#include "rosidl_typesupport_introspection_cpp/field_types.hpp"

namespace rclcpp
{
namespace dds
{

namespace
{

namespace ts = rosidl_typesupport_introspection_cpp;
using ts::MessageMember;

// Size on the wire of a primitive field; 0 for strings and nested messages.
size_t primitive_size(uint8_t type_id)
{
  switch (type_id) {
    case ts::ROS_TYPE_BOOLEAN: case ts::ROS_TYPE_OCTET: case ts::ROS_TYPE_UINT8:
    case ts::ROS_TYPE_INT8: case ts::ROS_TYPE_CHAR:
      return 1;
    case ts::ROS_TYPE_UINT16: case ts::ROS_TYPE_INT16: case ts::ROS_TYPE_WCHAR:
      return 2;
    case ts::ROS_TYPE_UINT32: case ts::ROS_TYPE_INT32: case ts::ROS_TYPE_FLOAT:
      return 4;
    case ts::ROS_TYPE_UINT64: case ts::ROS_TYPE_INT64: case ts::ROS_TYPE_DOUBLE:
      return 8;
    case ts::ROS_TYPE_LONG_DOUBLE:
      return 16;
    default:
      return 0;
  }
}

size_t alignment_of(size_t size) {return size > 8 ? 8 : size;}

const MessageMembers & nested(const MessageMember & member)
{
  return *static_cast<const MessageMembers *>(member.members_->data);
}

bool is_sequence(const MessageMember & member)
{
  return member.is_array_ && (member.array_size_ == 0 || member.is_upper_bound_);
}

class Writer
{
public:
  explicit Writer(std::vector<unsigned char> & out)
  : out_(out) {}

  void align(size_t alignment)
  {
    const size_t position = out_.size() - kEncapsulationSize;
    out_.resize(out_.size() + (alignment - position % alignment) % alignment, 0);
  }

  void put(const void * data, size_t size)
  {
    const auto * bytes = static_cast<const unsigned char *>(data);
    out_.insert(out_.end(), bytes, bytes + size);
  }

  void put_u32(uint32_t value)
  {
    align(4);
    put(&value, 4);
  }

  void message(const MessageMembers & members, const char * message)
  {
    for (uint32_t i = 0; i < members.member_count_; ++i) {
      const MessageMember & member = members.members_[i];
      const char * field = message + member.offset_;
      if (!member.is_array_) {
        single(member, field);
      } else if (!is_sequence(member)) {
        elements(member, field, member.array_size_);
      } else {
        const size_t count = member.size_function(field);
        if (member.is_upper_bound_ && count > member.array_size_) {
          throw std::length_error(std::string("sequence '") + member.name_ + "' of " +
                  std::to_string(count) + " elements exceeds its bound of " +
                  std::to_string(member.array_size_));
        }
        put_u32(static_cast<uint32_t>(count));
        elements(member, field, count);
      }
    }
  }

private:
  void single(const MessageMember & member, const char * field)
  {
    switch (member.type_id_) {
      case ts::ROS_TYPE_STRING:
        string(member, *reinterpret_cast<const std::string *>(field));
        return;
      case ts::ROS_TYPE_WSTRING:
        wstring(*reinterpret_cast<const std::u16string *>(field));
        return;
      case ts::ROS_TYPE_MESSAGE:
        message(nested(member), field);
        return;
      case ts::ROS_TYPE_BOOLEAN: {
          const unsigned char value = *reinterpret_cast<const bool *>(field) ? 1 : 0;
          put(&value, 1);
          return;
        }
      default: {
          const size_t size = primitive_size(member.type_id_);
          align(alignment_of(size));
          put(field, size);
        }
    }
  }

  void elements(const MessageMember & member, const char * field, size_t count)
  {
    if (count == 0) {
      return;
    }
    switch (member.type_id_) {
      case ts::ROS_TYPE_STRING:
        for (size_t i = 0; i < count; ++i) {
          string(member, *static_cast<const std::string *>(member.get_const_function(field, i)));
        }
        return;
      case ts::ROS_TYPE_WSTRING:
        for (size_t i = 0; i < count; ++i) {
          wstring(*static_cast<const std::u16string *>(member.get_const_function(field, i)));
        }
        return;
      case ts::ROS_TYPE_MESSAGE:
        for (size_t i = 0; i < count; ++i) {
          message(nested(member), static_cast<const char *>(member.get_const_function(field, i)));
        }
        return;
      case ts::ROS_TYPE_BOOLEAN:
        // std::vector<bool> has no contiguous storage.
        for (size_t i = 0; i < count; ++i) {
          bool value = false;
          member.fetch_function(field, i, &value);
          const unsigned char byte = value ? 1 : 0;
          put(&byte, 1);
        }
        return;
      default: {
          const size_t size = primitive_size(member.type_id_);
          align(alignment_of(size));
          put(member.get_const_function(field, 0), size * count);
        }
    }
  }

  void string(const MessageMember & member, const std::string & value)
  {
    if (member.string_upper_bound_ != 0 && value.size() > member.string_upper_bound_) {
      throw std::length_error(std::string("string '") + member.name_ + "' of " +
              std::to_string(value.size()) + " characters exceeds its bound of " +
              std::to_string(member.string_upper_bound_));
    }
    put_u32(static_cast<uint32_t>(value.size() + 1));
    put(value.c_str(), value.size() + 1);
  }

  void wstring(const std::u16string & value)
  {
    put_u32(static_cast<uint32_t>(value.size()));
    for (char16_t c : value) {
      const uint32_t wide = c;
      put(&wide, 4);
    }
  }

  std::vector<unsigned char> & out_;
};

// Smallest number of bytes one element of `member` can take on the wire; bounds the element
// count a sample of a given size can claim.
size_t minimum_element_size(const MessageMember & member);

size_t minimum_message_size(const MessageMembers & members)
{
  size_t total = 0;
  for (uint32_t i = 0; i < members.member_count_; ++i) {
    const MessageMember & member = members.members_[i];
    if (is_sequence(member)) {
      total += 4;
    } else {
      total += minimum_element_size(member) * (member.is_array_ ? member.array_size_ : 1);
    }
  }
  return total;
}

size_t minimum_element_size(const MessageMember & member)
{
  switch (member.type_id_) {
    case ts::ROS_TYPE_STRING: case ts::ROS_TYPE_WSTRING:
      return 4;
    case ts::ROS_TYPE_MESSAGE:
      return minimum_message_size(nested(member));
    default:
      return primitive_size(member.type_id_);
  }
}

class Reader
{
public:
  Reader(const unsigned char * data, size_t size, std::string & error)
  : data_(data), size_(size), error_(error) {}

  size_t left() const {return size_ - position_;}

  bool fail(const std::string & message)
  {
    error_ = message;
    return false;
  }

  bool align(size_t alignment)
  {
    const size_t padding = (alignment - position_ % alignment) % alignment;
    if (padding > left()) {
      return fail("sample truncated");
    }
    position_ += padding;
    return true;
  }

  bool get(void * out, size_t size)
  {
    if (size > left()) {
      return fail("sample truncated");
    }
    std::memcpy(out, data_ + position_, size);
    position_ += size;
    return true;
  }

  bool get_u32(uint32_t & value) {return align(4) && get(&value, 4);}

  bool message(const MessageMembers & members, char * message)
  {
    for (uint32_t i = 0; i < members.member_count_; ++i) {
      const MessageMember & member = members.members_[i];
      char * field = message + member.offset_;
      bool ok = true;
      if (!member.is_array_) {
        ok = single(member, field);
      } else if (!is_sequence(member)) {
        ok = elements(member, field, member.array_size_);
      } else {
        ok = sequence(member, field);
      }
      if (!ok) {
        return false;
      }
    }
    return true;
  }

private:
  bool sequence(const MessageMember & member, char * field)
  {
    uint32_t count = 0;
    if (!get_u32(count)) {
      return false;
    }
    if (member.is_upper_bound_ && count > member.array_size_) {
      return fail(std::string("sequence '") + member.name_ + "' claims " + std::to_string(count) +
               " elements, more than its bound of " + std::to_string(member.array_size_));
    }
    const size_t element_size = std::max<size_t>(1, minimum_element_size(member));
    if (count > left() / element_size) {
      return fail(std::string("sequence '") + member.name_ + "' claims " + std::to_string(count) +
               " elements, more than the " + std::to_string(left()) + " bytes left can hold");
    }
    member.resize_function(field, count);
    return elements(member, field, count);
  }

  bool single(const MessageMember & member, char * field)
  {
    switch (member.type_id_) {
      case ts::ROS_TYPE_STRING:
        return string(member, *reinterpret_cast<std::string *>(field));
      case ts::ROS_TYPE_WSTRING:
        return wstring(member, *reinterpret_cast<std::u16string *>(field));
      case ts::ROS_TYPE_MESSAGE:
        return message(nested(member), field);
      case ts::ROS_TYPE_BOOLEAN: {
          unsigned char byte = 0;
          if (!get(&byte, 1)) {
            return false;
          }
          *reinterpret_cast<bool *>(field) = byte != 0;
          return true;
        }
      default: {
          const size_t size = primitive_size(member.type_id_);
          return align(alignment_of(size)) && get(field, size);
        }
    }
  }

  bool elements(const MessageMember & member, char * field, size_t count)
  {
    if (count == 0) {
      return true;
    }
    switch (member.type_id_) {
      case ts::ROS_TYPE_STRING:
        for (size_t i = 0; i < count; ++i) {
          if (!string(member, *static_cast<std::string *>(member.get_function(field, i)))) {
            return false;
          }
        }
        return true;
      case ts::ROS_TYPE_WSTRING:
        for (size_t i = 0; i < count; ++i) {
          if (!wstring(member, *static_cast<std::u16string *>(member.get_function(field, i)))) {
            return false;
          }
        }
        return true;
      case ts::ROS_TYPE_MESSAGE:
        for (size_t i = 0; i < count; ++i) {
          if (!message(nested(member), static_cast<char *>(member.get_function(field, i)))) {
            return false;
          }
        }
        return true;
      case ts::ROS_TYPE_BOOLEAN:
        for (size_t i = 0; i < count; ++i) {
          unsigned char byte = 0;
          if (!get(&byte, 1)) {
            return false;
          }
          const bool value = byte != 0;
          member.assign_function(field, i, &value);
        }
        return true;
      default: {
          const size_t size = primitive_size(member.type_id_);
          if (!align(alignment_of(size))) {
            return false;
          }
          if (count > left() / size) {
            return fail("sample truncated");
          }
          return get(member.get_function(field, 0), size * count);
        }
    }
  }

  bool string(const MessageMember & member, std::string & value)
  {
    uint32_t length = 0;
    if (!get_u32(length)) {
      return false;
    }
    if (length == 0) {
      value.clear();
      return true;
    }
    if (length > left()) {
      return fail(std::string("string '") + member.name_ + "' claims " + std::to_string(length) +
               " bytes, more than the " + std::to_string(left()) + " left");
    }
    const char * text = reinterpret_cast<const char *>(data_ + position_);
    if (text[length - 1] != '\0') {
      return fail(std::string("string '") + member.name_ + "' is not terminated");
    }
    if (member.string_upper_bound_ != 0 && length - 1 > member.string_upper_bound_) {
      return fail(std::string("string '") + member.name_ + "' of " + std::to_string(length - 1) +
               " characters exceeds its bound of " + std::to_string(member.string_upper_bound_));
    }
    value.assign(text, length - 1);
    position_ += length;
    return true;
  }

  bool wstring(const MessageMember & member, std::u16string & value)
  {
    uint32_t count = 0;
    if (!get_u32(count)) {
      return false;
    }
    if (count > left() / 4) {
      return fail(std::string("wide string '") + member.name_ + "' claims " +
               std::to_string(count) + " characters, more than the bytes left hold");
    }
    if (member.string_upper_bound_ != 0 && count > member.string_upper_bound_) {
      return fail(std::string("wide string '") + member.name_ + "' exceeds its bound");
    }
    value.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t wide = 0;
      get(&wide, 4);
      value[i] = static_cast<char16_t>(wide);
    }
    return true;
  }

  const unsigned char * data_;
  size_t size_;
  size_t position_ = 0;
  std::string & error_;
};

}  // namespace

std::vector<unsigned char> encode(
  const MessageMembers & members, const void * message, const RequestHeader * header)
{
  // Little-endian XCDR1, no options.
  std::vector<unsigned char> out = {0x00, 0x01, 0x00, 0x00};
  Writer writer(out);
  if (header) {
    writer.put(&header->client_id, 8);
    writer.put(&header->sequence_number, 8);
  }
  writer.message(members, static_cast<const char *>(message));
  return out;
}

DecodedMessage decode(
  const MessageMembers & members, const unsigned char * data, size_t size,
  RequestHeader * header, std::string & error)
{
  if (size < kEncapsulationSize) {
    error = "sample shorter than its encapsulation header";
    return nullptr;
  }
  if (data[0] != 0x00 || data[1] != 0x01) {
    static const char digits[] = "0123456789abcdef";
    error = std::string("unsupported encapsulation 0x") + digits[data[0] >> 4] +
      digits[data[0] & 15] + digits[data[1] >> 4] + digits[data[1] & 15] +
      " (only little-endian plain CDR is read)";
    return nullptr;
  }
  Reader reader(data + kEncapsulationSize, size - kEncapsulationSize, error);
  if (header &&
    !(reader.get(&header->client_id, 8) && reader.get(&header->sequence_number, 8)))
  {
    return nullptr;
  }
  void * storage = ::operator new(members.size_of_);
  try {
    members.init_function(storage, rosidl_runtime_cpp::MessageInitialization::ALL);
  } catch (...) {
    ::operator delete(storage);
    throw;
  }
  auto fini = members.fini_function;
  DecodedMessage message(storage, [fini](void * pointer) {
      fini(pointer);
      ::operator delete(pointer);
    });
  if (!reader.message(members, static_cast<char *>(storage))) {
    return nullptr;
  }
  return message;
}

}  // namespace dds
}  // namespace rclcpp
