#include "rclcpp_action/client.hpp"

#include "rclcpp/detail/graph_wait.hpp"

namespace rclcpp_action
{

ClientBase::ClientBase(
  rclcpp::Node::SharedPtr node, rclcpp::ClientBase::SharedPtr send_goal_client,
  rclcpp::ClientBase::SharedPtr get_result_client, rclcpp::ClientBase::SharedPtr cancel_client)
: node_(std::move(node)),
  send_goal_client_(std::move(send_goal_client)),
  get_result_client_(std::move(get_result_client)),
  cancel_client_(std::move(cancel_client))
{
}

bool ClientBase::action_server_is_ready() const
{
  return send_goal_client_->service_is_ready() && get_result_client_->service_is_ready() &&
         cancel_client_->service_is_ready();
}

bool ClientBase::wait_for_action_server_nanoseconds(std::chrono::nanoseconds timeout)
{
  return rclcpp::detail::wait_for_graph(node_->get_transport(), *node_->get_node_core()->context(),
           timeout, [this] {return action_server_is_ready();});
}

}  // namespace rclcpp_action
