// A filter fed by a topic subscription on a node.
#ifndef MESSAGE_FILTERS__SUBSCRIBER_H_
#define MESSAGE_FILTERS__SUBSCRIBER_H_

#include <memory>
#include <string>

#include "message_filters/simple_filter.h"
#include "rclcpp/rclcpp.hpp"
#include "rmw/qos_profiles.h"

namespace message_filters
{

template<class M, class NodeType = rclcpp::Node>
class Subscriber : public SimpleFilter<M>
{
public:
  using NodePtr = std::shared_ptr<NodeType>;

  // Made unsubscribed; subscribe() connects it later.
  Subscriber() = default;

  Subscriber(NodeType * node, const std::string & topic,
    const rmw_qos_profile_t qos = rmw_qos_profile_default)
  {
    subscribe(node, topic, qos);
  }

  Subscriber(NodePtr node, const std::string & topic,
    const rmw_qos_profile_t qos = rmw_qos_profile_default)
  {
    subscribe(node.get(), topic, qos);
  }

  Subscriber(const Subscriber &) = delete;
  Subscriber & operator=(const Subscriber &) = delete;

  // Replaces any earlier subscription. Messages are passed on from the node's spinning thread.
  void subscribe(NodeType * node, const std::string & topic,
    const rmw_qos_profile_t qos = rmw_qos_profile_default)
  {
    unsubscribe();
    subscription_ = node->template create_subscription<M>(topic,
        rclcpp::QoS(rclcpp::QoSInitialization::from_rmw(qos), qos),
        [this](std::shared_ptr<M const> message) {this->signalMessage(message);});
  }

  void subscribe(NodePtr node, const std::string & topic,
    const rmw_qos_profile_t qos = rmw_qos_profile_default)
  {
    subscribe(node.get(), topic, qos);
  }

  void unsubscribe() {subscription_.reset();}

  std::string getTopic() const
  {
    return subscription_ ? subscription_->get_topic_name() : std::string();
  }

  const typename rclcpp::Subscription<M>::SharedPtr getSubscriber() const {return subscription_;}

private:
  typename rclcpp::Subscription<M>::SharedPtr subscription_;
};

}  // namespace message_filters

#endif  // MESSAGE_FILTERS__SUBSCRIBER_H_
