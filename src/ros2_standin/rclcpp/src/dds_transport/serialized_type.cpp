#include "serialized_type.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#include "dds/ddsi/ddsi_serdata.h"
#include "dds/ddsi/ddsi_sertype.h"
#include "dds/ddsi/q_radmin.h"

namespace rclcpp
{
namespace dds
{

namespace
{

struct SerializedType
{
  ddsi_sertype base;
};

struct SerializedSample
{
  ddsi_serdata base;
  // Padded with zeros to a multiple of 4 bytes, as ROS 2 nodes send their samples; readers
  // accept the padding after the last field.
  std::vector<unsigned char> bytes;
};

// What from_sample and to_sample exchange: the serialised bytes.
using PlainSample = std::vector<unsigned char>;

SerializedSample * as_sample(ddsi_serdata * data)
{
  return reinterpret_cast<SerializedSample *>(data);
}
const SerializedSample * as_sample(const ddsi_serdata * data)
{
  return reinterpret_cast<const SerializedSample *>(data);
}

const ddsi_serdata_ops & serdata_operations();

SerializedSample * new_sample(
  const ddsi_sertype * type, ddsi_serdata_kind kind, std::vector<unsigned char> bytes)
{
  auto * sample = new SerializedSample();
  ddsi_serdata_init(&sample->base, type, kind);
  bytes.resize((bytes.size() + 3) & ~size_t{3}, 0);
  sample->bytes = std::move(bytes);
  return sample;
}

// Keyless topics: every sample is the one instance.
bool equal_key(const ddsi_serdata *, const ddsi_serdata *) {return true;}

uint32_t sample_size(const ddsi_serdata * data)
{
  return static_cast<uint32_t>(as_sample(data)->bytes.size());
}

void free_sample(ddsi_serdata * data) {delete as_sample(data);}

ddsi_serdata * from_fragments(
  const ddsi_sertype * type, ddsi_serdata_kind kind, const nn_rdata * fragment, size_t size)
{
  std::vector<unsigned char> bytes;
  bytes.reserve(size + 3);  // room for the padding
  bytes.resize(size);
  uint32_t filled = 0;
  // Fragments may overlap; each adds what lies beyond the bytes already filled.
  for (; fragment != nullptr; fragment = fragment->nextfrag) {
    const uint32_t end = std::min<uint32_t>(fragment->maxp1, static_cast<uint32_t>(size));
    if (end > filled && fragment->min <= filled) {
      const unsigned char * payload =
        NN_RMSG_PAYLOADOFF(fragment->rmsg, NN_RDATA_PAYLOAD_OFF(fragment));
      std::memcpy(bytes.data() + filled, payload + (filled - fragment->min), end - filled);
      filled = end;
    }
  }
  bytes.resize(filled);
  return &new_sample(type, kind, std::move(bytes))->base;
}

ddsi_serdata * from_iovecs(
  const ddsi_sertype * type, ddsi_serdata_kind kind, ddsrt_msg_iovlen_t count,
  const ddsrt_iovec_t * iov, size_t size)
{
  std::vector<unsigned char> bytes;
  bytes.reserve(size);
  for (ddsrt_msg_iovlen_t i = 0; i < count; ++i) {
    const auto * base = static_cast<const unsigned char *>(iov[i].iov_base);
    bytes.insert(bytes.end(), base, base + iov[i].iov_len);
  }
  return &new_sample(type, kind, std::move(bytes))->base;
}

ddsi_serdata * from_keyhash(const ddsi_sertype * type, const ddsi_keyhash *)
{
  return &new_sample(type, SDK_KEY, {0x00, 0x01, 0x00, 0x00})->base;
}

ddsi_serdata * from_plain(const ddsi_sertype * type, ddsi_serdata_kind kind, const void * plain)
{
  return &new_sample(type, kind, *static_cast<const PlainSample *>(plain))->base;
}

ddsi_serdata * to_untyped(const ddsi_serdata * data)
{
  return &new_sample(data->type, SDK_KEY, {0x00, 0x01, 0x00, 0x00})->base;
}

void to_bytes(const ddsi_serdata * data, size_t offset, size_t size, void * out)
{
  std::memcpy(out, as_sample(data)->bytes.data() + offset, size);
}

ddsi_serdata * to_bytes_ref(
  const ddsi_serdata * data, size_t offset, size_t size, ddsrt_iovec_t * ref)
{
  ref->iov_base = const_cast<unsigned char *>(as_sample(data)->bytes.data() + offset);
  ref->iov_len = static_cast<ddsrt_iov_len_t>(size);
  return ddsi_serdata_ref(data);
}

void to_bytes_unref(ddsi_serdata * data, const ddsrt_iovec_t *) {ddsi_serdata_unref(data);}

bool to_plain(const ddsi_serdata * data, void * plain, void **, void *)
{
  *static_cast<PlainSample *>(plain) = as_sample(data)->bytes;
  return true;
}

bool untyped_to_plain(const ddsi_sertype *, const ddsi_serdata *, void *, void **, void *)
{
  return true;
}

size_t print_sample(const ddsi_sertype *, const ddsi_serdata * data, char * buffer, size_t size)
{
  return static_cast<size_t>(
    std::snprintf(buffer, size, "(%zu serialised bytes)", as_sample(data)->bytes.size()));
}

void zero_keyhash(const ddsi_serdata *, ddsi_keyhash * keyhash, bool)
{
  std::memset(keyhash, 0, sizeof(*keyhash));
}

const ddsi_serdata_ops & serdata_operations()
{
  static const ddsi_serdata_ops operations = [] {
      ddsi_serdata_ops ops{};
      ops.eqkey = equal_key;
      ops.get_size = sample_size;
      ops.from_ser = from_fragments;
      ops.from_ser_iov = from_iovecs;
      ops.from_keyhash = from_keyhash;
      ops.from_sample = from_plain;
      ops.to_ser = to_bytes;
      ops.to_ser_ref = to_bytes_ref;
      ops.to_ser_unref = to_bytes_unref;
      ops.to_sample = to_plain;
      ops.to_untyped = to_untyped;
      ops.untyped_to_sample = untyped_to_plain;
      ops.free = free_sample;
      ops.print = print_sample;
      ops.get_keyhash = zero_keyhash;
      return ops;
    }();
  return operations;
}

void free_type(ddsi_sertype * type)
{
  ddsi_sertype_fini(type);
  delete reinterpret_cast<SerializedType *>(type);
}

void zero_plain(const ddsi_sertype *, void * samples, size_t count)
{
  auto * plain = static_cast<PlainSample *>(samples);
  for (size_t i = 0; i < count; ++i) {
    plain[i].clear();
  }
}

void realloc_plain(
  void ** pointers, const ddsi_sertype *, void * old, size_t old_count, size_t count)
{
  auto * grown = new PlainSample[count];
  auto * previous = static_cast<PlainSample *>(old);
  for (size_t i = 0; i < old_count && i < count; ++i) {
    grown[i] = std::move(previous[i]);
  }
  delete[] previous;
  for (size_t i = 0; i < count; ++i) {
    pointers[i] = &grown[i];
  }
}

void free_plain(const ddsi_sertype *, void ** pointers, size_t count, dds_free_op_t operation)
{
  if (count == 0) {
    return;
  }
  auto * plain = static_cast<PlainSample *>(pointers[0]);
  if (operation & DDS_FREE_ALL_BIT) {
    delete[] plain;
  } else {
    for (size_t i = 0; i < count; ++i) {
      plain[i].clear();
    }
  }
}

// Types are told apart by name alone, which Cyclone compares before calling this.
bool equal_type(const ddsi_sertype *, const ddsi_sertype *) {return true;}

uint32_t hash_type(const ddsi_sertype *) {return 0;}

const ddsi_sertype_ops & sertype_operations()
{
  static const ddsi_sertype_ops operations = [] {
      ddsi_sertype_ops ops{};
      ops.version = ddsi_sertype_v0;
      ops.free = free_type;
      ops.zero_samples = zero_plain;
      ops.realloc_samples = realloc_plain;
      ops.free_samples = free_plain;
      ops.equal = equal_type;
      ops.hash = hash_type;
      return ops;
    }();
  return operations;
}

}  // namespace

ddsi_sertype * make_serialized_type(const std::string & type_name)
{
  auto * type = new SerializedType();
  ddsi_sertype_init_flags(&type->base, type_name.c_str(), &sertype_operations(),
    &serdata_operations(), DDSI_SERTYPE_FLAG_TOPICKIND_NO_KEY);
  type->base.allowed_data_representation = DDS_DATA_REPRESENTATION_FLAG_XCDR1;
  return &type->base;
}

ddsi_serdata * make_serialized_sample(const ddsi_sertype * type, std::vector<unsigned char> bytes)
{
  return &new_sample(type, SDK_DATA, std::move(bytes))->base;
}

const std::vector<unsigned char> & serialized_bytes(const ddsi_serdata * sample)
{
  return as_sample(sample)->bytes;
}

}  // namespace dds
}  // namespace rclcpp
