#include "rclcpp/subscription.hpp"

namespace rclcpp
{

SubscriptionBase::SubscriptionBase(
  std::shared_ptr<detail::NodeCore> node, transport::Transport & transport,
  const transport::Endpoint & endpoint)
: node_(std::move(node)),
  topic_name_(endpoint.name),
  queue_(endpoint.qos),
  link_(transport.add_subscription(endpoint, inbox_))
{
}

SubscriptionBase::~SubscriptionBase()
{
  // Stop deliveries before the queue goes away.
  link_.reset();
}

void SubscriptionBase::deliver(std::shared_ptr<const void> message)
{
  queue_.push(std::move(message));
  node_->notify();
}

bool SubscriptionBase::execute_one()
{
  std::shared_ptr<const void> message;
  if (!queue_.pop(message)) {
    return false;
  }
  handle_message(std::move(message));
  return true;
}

}  // namespace rclcpp
