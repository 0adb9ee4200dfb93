// Options of context initialisation.
#ifndef RCLCPP__INIT_OPTIONS_HPP_
#define RCLCPP__INIT_OPTIONS_HPP_

namespace rclcpp
{

class InitOptions
{
public:
  // Whether init() installs the SIGINT/SIGTERM handlers that shut the default context down.
  bool shutdown_on_signal = true;
};

}  // namespace rclcpp

#endif  // RCLCPP__INIT_OPTIONS_HPP_
