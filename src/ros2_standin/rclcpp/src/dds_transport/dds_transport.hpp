// Delivery between processes over DDS, in the conventions that let ROS 2 nodes of other
// programs on the same domain talk to this one.
#ifndef RCLCPP__DDS__DDS_TRANSPORT_HPP_
#define RCLCPP__DDS__DDS_TRANSPORT_HPP_

#include <memory>
#include <vector>

#include "rclcpp/transport/transport.hpp"

namespace rclcpp
{
namespace dds
{

class LocalGraph;
class Participant;

class DdsTransport : public transport::Transport
{
public:
  // Joins the domain ROS_DOMAIN_ID names (0 when unset or empty); throws std::runtime_error
  // when the variable is no domain id or DDS cannot start.
  DdsTransport();
  ~DdsTransport() override;

  std::unique_ptr<transport::PublisherLink> add_publisher(
    const transport::Endpoint & endpoint) override;
  std::unique_ptr<transport::SubscriptionLink> add_subscription(
    const transport::Endpoint & endpoint, transport::MessageSink & sink) override;
  std::unique_ptr<transport::ServiceLink> add_service(
    const transport::Endpoint & endpoint, transport::RequestSink & sink) override;
  std::unique_ptr<transport::ClientLink> add_client(
    const transport::Endpoint & endpoint, transport::ResponseSink & sink) override;

  std::vector<transport::Endpoint> endpoints() const override;

  void add_graph_waker(detail::Waker & waker) override;
  void remove_graph_waker(detail::Waker & waker) override;

private:
  std::shared_ptr<Participant> participant_;
  std::shared_ptr<LocalGraph> graph_;
};

}  // namespace dds
}  // namespace rclcpp

#endif  // RCLCPP__DDS__DDS_TRANSPORT_HPP_
