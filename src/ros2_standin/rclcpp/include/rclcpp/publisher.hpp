// Publishers: hand messages to every matching subscription.
#ifndef RCLCPP__PUBLISHER_HPP_
#define RCLCPP__PUBLISHER_HPP_

#include <memory>
#include <string>
#include <utility>

#include "rclcpp/context.hpp"
#include "rclcpp/transport/transport.hpp"

namespace rclcpp
{

class PublisherBase
{
public:
  using SharedPtr = std::shared_ptr<PublisherBase>;

  PublisherBase(
    transport::Transport & transport, const transport::Endpoint & endpoint,
    Context::SharedPtr context);
  virtual ~PublisherBase() = default;
  PublisherBase(const PublisherBase &) = delete;
  PublisherBase & operator=(const PublisherBase &) = delete;

  const char * get_topic_name() const {return topic_name_.c_str();}
  size_t get_subscription_count() const {return link_->matched_subscriptions();}

protected:
  // After shutdown, publishing does nothing, as with a middleware whose context has ended.
  void publish_erased(std::shared_ptr<const void> message);

private:
  const std::string topic_name_;
  const Context::SharedPtr context_;
  const std::unique_ptr<transport::PublisherLink> link_;
};

template<typename MessageT>
class Publisher : public PublisherBase
{
public:
  using SharedPtr = std::shared_ptr<Publisher>;
  using ROSMessageType = MessageT;

  using PublisherBase::PublisherBase;

  // Thread-safe. The message is shared with the subscriptions as it is: no copy is made.
  void publish(std::unique_ptr<MessageT> msg)
  {
    publish_erased(std::shared_ptr<const MessageT>(std::move(msg)));
  }

  // Thread-safe. Copies the message once.
  void publish(const MessageT & msg)
  {
    publish(std::make_unique<MessageT>(msg));
  }
};

}  // namespace rclcpp

#endif  // RCLCPP__PUBLISHER_HPP_
