// Subscriptions: queue what arrives and call back on the thread that spins their node.
#ifndef RCLCPP__SUBSCRIPTION_HPP_
#define RCLCPP__SUBSCRIPTION_HPP_

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "rclcpp/detail/bounded_queue.hpp"
#include "rclcpp/detail/node_core.hpp"
#include "rclcpp/transport/transport.hpp"

namespace rclcpp
{

class SubscriptionBase : public detail::Executable
{
public:
  using SharedPtr = std::shared_ptr<SubscriptionBase>;

  SubscriptionBase(
    std::shared_ptr<detail::NodeCore> node, transport::Transport & transport,
    const transport::Endpoint & endpoint);
  ~SubscriptionBase() override;
  SubscriptionBase(const SubscriptionBase &) = delete;
  SubscriptionBase & operator=(const SubscriptionBase &) = delete;

  const char * get_topic_name() const {return topic_name_.c_str();}
  size_t get_publisher_count() const {return link_->matched_publishers();}

  // Queues the message; with KEEP_LAST a full queue drops its oldest message.
  void deliver(std::shared_ptr<const void> message);
  bool execute_one() override;

protected:
  virtual void handle_message(std::shared_ptr<const void> message) = 0;

private:
  const std::shared_ptr<detail::NodeCore> node_;
  const std::string topic_name_;
  detail::BoundedQueue<std::shared_ptr<const void>> queue_;
  // The transport's way in. It is built before the link and destroyed after it, so a delivery
  // from another thread never reads this entity's vtable while the entity is built or torn down.
  struct Inbox : transport::MessageSink
  {
    explicit Inbox(SubscriptionBase & owner_arg) : owner(owner_arg) {}
    void deliver(std::shared_ptr<const void> message) override {owner.deliver(std::move(message));}
    SubscriptionBase & owner;
  } inbox_{*this};
  std::unique_ptr<transport::SubscriptionLink> link_;  // last: deliveries start once it exists
};

template<typename MessageT>
class Subscription : public SubscriptionBase
{
public:
  using SharedPtr = std::shared_ptr<Subscription>;
  using ConstMessageSharedPtr = std::shared_ptr<const MessageT>;

  template<typename CallbackT>
  Subscription(
    std::shared_ptr<detail::NodeCore> node, transport::Transport & transport,
    const transport::Endpoint & endpoint, CallbackT && callback)
  : SubscriptionBase(std::move(node), transport, endpoint),
    callback_(adapt(std::forward<CallbackT>(callback)))
  {
  }

private:
  // Callbacks take the message as a shared pointer to const, by const reference or as a shared
  // pointer to a copy of their own; any result they return is dropped.
  template<typename CallbackT>
  static std::function<void(ConstMessageSharedPtr)> adapt(CallbackT && callback)
  {
    using Callback = std::decay_t<CallbackT>;
    if constexpr (std::is_invocable_v<Callback &, ConstMessageSharedPtr>) {
      return [callback = Callback(std::forward<CallbackT>(callback))](
        ConstMessageSharedPtr message) mutable {callback(std::move(message));};
    } else if constexpr (std::is_invocable_v<Callback &, std::shared_ptr<MessageT>>) {
      // The delivered message is shared with other subscriptions, so a mutable one is a copy.
      return [callback = Callback(std::forward<CallbackT>(callback))](
        ConstMessageSharedPtr message) mutable {callback(std::make_shared<MessageT>(*message));};
    } else {
      static_assert(std::is_invocable_v<Callback &, const MessageT &>,
        "subscription callbacks take std::shared_ptr<const MessageT>, const MessageT & or "
        "std::shared_ptr<MessageT>");
      return [callback = Callback(std::forward<CallbackT>(callback))](
        ConstMessageSharedPtr message) mutable {callback(*message);};
    }
  }

  void handle_message(std::shared_ptr<const void> message) override
  {
    callback_(std::static_pointer_cast<const MessageT>(std::move(message)));
  }

  std::function<void(ConstMessageSharedPtr)> callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SUBSCRIPTION_HPP_
