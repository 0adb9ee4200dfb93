// Service clients: send requests from any thread; responses complete futures and call back on
// the thread that spins the client's node.
#ifndef RCLCPP__CLIENT_HPP_
#define RCLCPP__CLIENT_HPP_

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "rclcpp/context.hpp"
#include "rclcpp/detail/node_core.hpp"
#include "rclcpp/transport/transport.hpp"

namespace rclcpp
{

class ClientBase : public detail::Executable
{
public:
  using SharedPtr = std::shared_ptr<ClientBase>;

  ClientBase(
    std::shared_ptr<detail::NodeCore> node, transport::Transport & transport,
    const transport::Endpoint & endpoint);
  ~ClientBase() override;
  ClientBase(const ClientBase &) = delete;
  ClientBase & operator=(const ClientBase &) = delete;

  const char * get_service_name() const {return service_name_.c_str();}
  bool service_is_ready() const {return link_->service_is_available();}

  // A negative time-out waits without limit; false on time-out or when the context shuts down.
  template<typename RepT = int64_t, typename RatioT = std::milli>
  bool wait_for_service(
    std::chrono::duration<RepT, RatioT> timeout = std::chrono::duration<RepT, RatioT>(-1))
  {
    return wait_for_service_nanoseconds(
      std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

  void deliver_response(int64_t sequence_number, std::shared_ptr<void> response);
  bool execute_one() override;

protected:
  bool wait_for_service_nanoseconds(std::chrono::nanoseconds timeout);

  // Sends the request and files the completion under its sequence number in one step, so that
  // a fast response always finds it.
  int64_t send_erased_request(
    std::shared_ptr<void> request, std::function<void(std::shared_ptr<void>)> on_response);

private:
  const std::shared_ptr<detail::NodeCore> node_;
  transport::Transport & transport_;
  const std::string service_name_;
  std::mutex pending_mutex_;
  std::map<int64_t, std::function<void(std::shared_ptr<void>)>> pending_;
  std::mutex queue_mutex_;
  std::deque<std::pair<int64_t, std::shared_ptr<void>>> queue_;
  // The transport's way in. It is built before the link and destroyed after it, so a delivery
  // from another thread never reads this entity's vtable while the entity is built or torn down.
  struct Inbox : transport::ResponseSink
  {
    explicit Inbox(ClientBase & owner_arg) : owner(owner_arg) {}
    void deliver_response(int64_t sequence_number, std::shared_ptr<void> response) override
    {
      owner.deliver_response(sequence_number, std::move(response));
    }
    ClientBase & owner;
  } inbox_{*this};
  std::unique_ptr<transport::ClientLink> link_;  // last: responses arrive once it exists
};

template<typename ServiceT>
class Client : public ClientBase
{
public:
  using SharedPtr = std::shared_ptr<Client>;
  using Request = typename ServiceT::Request;
  using Response = typename ServiceT::Response;
  using SharedRequest = std::shared_ptr<Request>;
  using SharedResponse = std::shared_ptr<Response>;
  using Promise = std::promise<SharedResponse>;
  using SharedFuture = std::shared_future<SharedResponse>;
  using CallbackType = std::function<void(SharedFuture)>;

  struct FutureAndRequestId
  {
    std::future<SharedResponse> future;
    int64_t request_id;

    SharedResponse get() {return future.get();}
    bool valid() const noexcept {return future.valid();}
    void wait() const {future.wait();}
    template<class Rep, class Period>
    std::future_status wait_for(const std::chrono::duration<Rep, Period> & timeout) const
    {
      return future.wait_for(timeout);
    }
    SharedFuture share() noexcept {return future.share();}
  };

  struct SharedFutureAndRequestId
  {
    SharedFuture future;
    int64_t request_id;

    SharedResponse get() const {return future.get();}
    template<class Rep, class Period>
    std::future_status wait_for(const std::chrono::duration<Rep, Period> & timeout) const
    {
      return future.wait_for(timeout);
    }
  };

  using ClientBase::ClientBase;

  // The future completes when the client's node is spun after the response arrived.
  FutureAndRequestId async_send_request(SharedRequest request)
  {
    auto promise = std::make_shared<Promise>();
    auto future = promise->get_future();
    const int64_t id = send_erased_request(copy(request),
        [promise](std::shared_ptr<void> response) {
          promise->set_value(std::static_pointer_cast<Response>(std::move(response)));
        });
    return FutureAndRequestId{std::move(future), id};
  }

  // The callback runs on the client node's thread with the completed future.
  template<typename CallbackT>
  SharedFutureAndRequestId async_send_request(SharedRequest request, CallbackT && callback)
  {
    auto promise = std::make_shared<Promise>();
    SharedFuture future = promise->get_future().share();
    const int64_t id = send_erased_request(copy(request),
        [promise, future, callback = CallbackType(std::forward<CallbackT>(callback))](
          std::shared_ptr<void> response) {
          promise->set_value(std::static_pointer_cast<Response>(std::move(response)));
          callback(future);
        });
    return SharedFutureAndRequestId{std::move(future), id};
  }

private:
  // The server gets its own copy, so neither side sees the other's later changes.
  static std::shared_ptr<void> copy(const SharedRequest & request)
  {
    return std::make_shared<Request>(*request);
  }
};

}  // namespace rclcpp

#endif  // RCLCPP__CLIENT_HPP_
