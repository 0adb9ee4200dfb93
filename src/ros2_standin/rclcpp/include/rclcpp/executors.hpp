// Executors and the spin functions for a single node.
#ifndef RCLCPP__EXECUTORS_HPP_
#define RCLCPP__EXECUTORS_HPP_

#include <memory>

#include "rclcpp/executor.hpp"
#include "rclcpp/executors/single_threaded_executor.hpp"

namespace rclcpp
{

class Node;

// Runs what of the node is ready now, once, without waiting.
void spin_some(std::shared_ptr<Node> node_ptr);

// Runs the node's callbacks until the default context shuts down.
void spin(std::shared_ptr<Node> node_ptr);

}  // namespace rclcpp

#endif  // RCLCPP__EXECUTORS_HPP_
