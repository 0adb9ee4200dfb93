// Factory of action clients.
#ifndef RCLCPP_ACTION__CREATE_CLIENT_HPP_
#define RCLCPP_ACTION__CREATE_CLIENT_HPP_

#include <memory>
#include <string>

#include "rclcpp/node.hpp"
#include "rclcpp_action/client.hpp"

namespace rclcpp_action
{

template<typename ActionT>
typename Client<ActionT>::SharedPtr create_client(
  const rclcpp::Node::SharedPtr & node, const std::string & name)
{
  return std::make_shared<Client<ActionT>>(node, name);
}

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CREATE_CLIENT_HPP_
