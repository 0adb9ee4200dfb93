// A list of callbacks that all receive the same arguments, in registration order.
#ifndef MESSAGE_FILTERS__SIGNAL_H_
#define MESSAGE_FILTERS__SIGNAL_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "message_filters/connection.h"

namespace message_filters
{

template<typename... Args>
class Signal
{
public:
  Signal() = default;
  Signal(const Signal &) = delete;
  Signal & operator=(const Signal &) = delete;

  template<typename C>
  Connection addCallback(C && callback)
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const uint64_t id = state_->next_id++;
    state_->callbacks.emplace(id, std::function<void(const Args &...)>(std::forward<C>(callback)));
    std::weak_ptr<State> weak = state_;
    return Connection([weak, id] {
               if (auto state = weak.lock()) {
                 std::lock_guard<std::mutex> lock(state->mutex);
                 state->callbacks.erase(id);
               }
             });
  }

  void call(const Args &... args)
  {
    std::map<uint64_t, std::function<void(const Args &...)>> callbacks;
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      callbacks = state_->callbacks;
    }
    for (auto & entry : callbacks) {
      entry.second(args...);
    }
  }

private:
  struct State
  {
    std::mutex mutex;
    uint64_t next_id = 0;
    std::map<uint64_t, std::function<void(const Args &...)>> callbacks;
  };
  const std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace message_filters

#endif  // MESSAGE_FILTERS__SIGNAL_H_
