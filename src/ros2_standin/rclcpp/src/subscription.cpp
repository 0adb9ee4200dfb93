#include "rclcpp/subscription.hpp"

namespace rclcpp
{

SubscriptionBase::SubscriptionBase(
  std::shared_ptr<detail::NodeCore> node, transport::Transport & transport,
  const transport::Endpoint & endpoint)
: node_(std::move(node)),
  topic_name_(endpoint.name),
  qos_(QoSInitialization::from_rmw(endpoint.qos), endpoint.qos),
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
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    const auto & qos = qos_.get_rmw_qos_profile();
    if (qos.history != RMW_QOS_POLICY_HISTORY_KEEP_ALL && qos.depth > 0 &&
      queue_.size() >= qos.depth)
    {
      queue_.pop_front();
    }
    queue_.push_back(std::move(message));
  }
  node_->notify();
}

bool SubscriptionBase::execute_one()
{
  std::shared_ptr<const void> message;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (queue_.empty()) {
      return false;
    }
    message = std::move(queue_.front());
    queue_.pop_front();
  }
  handle_message(std::move(message));
  return true;
}

}  // namespace rclcpp
