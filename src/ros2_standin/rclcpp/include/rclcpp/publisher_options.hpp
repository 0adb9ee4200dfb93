// Options of a publisher.
#ifndef RCLCPP__PUBLISHER_OPTIONS_HPP_
#define RCLCPP__PUBLISHER_OPTIONS_HPP_

#include <memory>

#include "rclcpp/qos_overriding_options.hpp"

namespace rclcpp
{

struct PublisherOptionsBase
{
  // The policies that the parameters "qos_overrides.<topic>.publisher.<policy>" may set.
  QosOverridingOptions qos_overriding_options;
};

template<typename Allocator>
struct PublisherOptionsWithAllocator : public PublisherOptionsBase
{
  PublisherOptionsWithAllocator() = default;
  explicit PublisherOptionsWithAllocator(const PublisherOptionsBase & base)
  : PublisherOptionsBase(base) {}
};

using PublisherOptions = PublisherOptionsWithAllocator<std::allocator<void>>;

}  // namespace rclcpp

#endif  // RCLCPP__PUBLISHER_OPTIONS_HPP_
