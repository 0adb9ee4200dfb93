// Timers that call back periodically on the thread that spins their node.
#ifndef RCLCPP__TIMER_HPP_
#define RCLCPP__TIMER_HPP_

#include <chrono>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

#include "rclcpp/detail/node_core.hpp"

namespace rclcpp
{

class TimerBase : public detail::Executable
{
public:
  using SharedPtr = std::shared_ptr<TimerBase>;

  explicit TimerBase(std::chrono::nanoseconds period);

  // Wall timers run on the steady clock.
  bool is_steady() const {return true;}

  std::chrono::nanoseconds time_until_trigger() const;

  bool execute_one() override;
  std::chrono::steady_clock::time_point next_deadline() const override;

protected:
  virtual void execute_callback() = 0;

private:
  const std::chrono::nanoseconds period_;
  mutable std::mutex mutex_;
  std::chrono::steady_clock::time_point next_call_;
};

template<typename FunctorT>
class WallTimer : public TimerBase
{
public:
  using SharedPtr = std::shared_ptr<WallTimer>;

  WallTimer(std::chrono::nanoseconds period, FunctorT && callback)
  : TimerBase(period), callback_(std::forward<FunctorT>(callback)) {}

protected:
  void execute_callback() override
  {
    if constexpr (std::is_invocable_v<FunctorT &, TimerBase &>) {
      callback_(*this);
    } else {
      callback_();
    }
  }

private:
  FunctorT callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__TIMER_HPP_
