// The link between a filter and one registered callback.
#ifndef MESSAGE_FILTERS__CONNECTION_H_
#define MESSAGE_FILTERS__CONNECTION_H_

#include <functional>
#include <utility>

namespace message_filters
{

class Connection
{
public:
  using VoidDisconnectFunction = std::function<void()>;

  Connection() = default;
  explicit Connection(VoidDisconnectFunction disconnect)
  : disconnect_(std::move(disconnect)) {}

  // Removes the callback; later calls do nothing.
  void disconnect()
  {
    if (disconnect_) {
      disconnect_();
      disconnect_ = nullptr;
    }
  }

private:
  VoidDisconnectFunction disconnect_;
};

}  // namespace message_filters

#endif  // MESSAGE_FILTERS__CONNECTION_H_
