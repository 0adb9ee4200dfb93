// Options of context initialisation.
#ifndef RCLCPP__INIT_OPTIONS_HPP_
#define RCLCPP__INIT_OPTIONS_HPP_

namespace rclcpp
{

// The path a context's nodes talk over: DDS reaches other processes; the in-process path joins
// the nodes of this process only. FromEnvironment reads RAO_TRANSPORT ("dds" or "in_process"),
// DDS when it is unset.
enum class TransportKind
{
  FromEnvironment,
  InProcess,
  Dds,
};

class InitOptions
{
public:
  // Whether init() installs the SIGINT/SIGTERM handlers that shut the default context down.
  bool shutdown_on_signal = true;
  TransportKind transport = TransportKind::FromEnvironment;
};

}  // namespace rclcpp

#endif  // RCLCPP__INIT_OPTIONS_HPP_
