#include "rclcpp/publisher.hpp"

namespace rclcpp
{

PublisherBase::PublisherBase(
  transport::Transport & transport, const transport::Endpoint & endpoint,
  Context::SharedPtr context)
: topic_name_(endpoint.name),
  context_(std::move(context)),
  link_(transport.add_publisher(endpoint))
{
}

void PublisherBase::publish_erased(std::shared_ptr<const void> message)
{
  if (context_->is_valid()) {
    link_->publish(std::move(message));
  }
}

}  // namespace rclcpp
