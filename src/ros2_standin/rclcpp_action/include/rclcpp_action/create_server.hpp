// Factory of action servers.
#ifndef RCLCPP_ACTION__CREATE_SERVER_HPP_
#define RCLCPP_ACTION__CREATE_SERVER_HPP_

#include <memory>
#include <string>

#include "rclcpp/node.hpp"
#include "rclcpp_action/server.hpp"

namespace rclcpp_action
{

template<typename ActionT>
typename Server<ActionT>::SharedPtr create_server(
  const rclcpp::Node::SharedPtr & node, const std::string & name,
  typename Server<ActionT>::GoalCallback handle_goal,
  typename Server<ActionT>::CancelCallback handle_cancel,
  typename Server<ActionT>::AcceptedCallback handle_accepted)
{
  return std::make_shared<Server<ActionT>>(node, name,
           std::move(handle_goal), std::move(handle_cancel), std::move(handle_accepted));
}

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CREATE_SERVER_HPP_
