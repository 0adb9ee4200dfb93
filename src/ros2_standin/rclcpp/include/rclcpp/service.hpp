// Service servers: call back on the thread that spins their node; the response goes out when
// the callback returns.
#ifndef RCLCPP__SERVICE_HPP_
#define RCLCPP__SERVICE_HPP_

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "rclcpp/detail/bounded_queue.hpp"
#include "rclcpp/detail/node_core.hpp"
#include "rclcpp/transport/transport.hpp"
#include "rmw/types.h"

namespace rclcpp
{

class ServiceBase : public detail::Executable
{
public:
  using SharedPtr = std::shared_ptr<ServiceBase>;

  ServiceBase(
    std::shared_ptr<detail::NodeCore> node, transport::Transport & transport,
    const transport::Endpoint & endpoint);
  ~ServiceBase() override;
  ServiceBase(const ServiceBase &) = delete;
  ServiceBase & operator=(const ServiceBase &) = delete;

  const char * get_service_name() const {return service_name_.c_str();}

  // Queues the request; a full queue drops its oldest request unanswered, as the KEEP_LAST
  // history of the service's QoS (KEEP_LAST 10 by default) has it.
  void deliver_request(const rmw_request_id_t & id, std::shared_ptr<void> request);
  bool execute_one() override;

protected:
  virtual void handle_request(std::shared_ptr<rmw_request_id_t> id, std::shared_ptr<void> request) = 0;
  void send_erased_response(const rmw_request_id_t & id, std::shared_ptr<void> response);

private:
  const std::shared_ptr<detail::NodeCore> node_;
  const std::string service_name_;
  detail::BoundedQueue<std::pair<rmw_request_id_t, std::shared_ptr<void>>> queue_;
  // The transport's way in. It is built before the link and destroyed after it, so a delivery
  // from another thread never reads this entity's vtable while the entity is built or torn down.
  struct Inbox : transport::RequestSink
  {
    explicit Inbox(ServiceBase & owner_arg) : owner(owner_arg) {}
    void deliver_request(const rmw_request_id_t & id, std::shared_ptr<void> request) override
    {
      owner.deliver_request(id, std::move(request));
    }
    ServiceBase & owner;
  } inbox_{*this};
  std::unique_ptr<transport::ServiceLink> link_;  // last: requests arrive once it exists
};

template<typename ServiceT>
class Service : public ServiceBase
{
public:
  using SharedPtr = std::shared_ptr<Service>;
  using Request = typename ServiceT::Request;
  using Response = typename ServiceT::Response;
  // Fills the response, which is sent when the callback returns.
  using CallbackType = std::function<void(std::shared_ptr<Request>, std::shared_ptr<Response>)>;
  // The same, also given the request header.
  using CallbackWithHeaderType = std::function<void(std::shared_ptr<rmw_request_id_t>,
      std::shared_ptr<Request>, std::shared_ptr<Response>)>;
  // Answers later, from any thread, with send_response().
  using DeferredCallbackType =
    std::function<void(std::shared_ptr<rmw_request_id_t>, std::shared_ptr<Request>)>;

  template<typename CallbackT>
  Service(
    std::shared_ptr<detail::NodeCore> node, transport::Transport & transport,
    const transport::Endpoint & endpoint, CallbackT && callback)
  : ServiceBase(std::move(node), transport, endpoint)
  {
    using Callback = std::decay_t<CallbackT>;
    if constexpr (std::is_invocable_v<Callback &, std::shared_ptr<Request>,
      std::shared_ptr<Response>>)
    {
      callback_ = std::forward<CallbackT>(callback);
    } else if constexpr (std::is_invocable_v<Callback &, std::shared_ptr<rmw_request_id_t>,
      std::shared_ptr<Request>, std::shared_ptr<Response>>)
    {
      callback_with_header_ = std::forward<CallbackT>(callback);
    } else {
      static_assert(std::is_invocable_v<Callback &, std::shared_ptr<rmw_request_id_t>,
        std::shared_ptr<Request>>,
        "service callbacks take (request, response), (request header, request, response) or "
        "(request header, request)");
      deferred_callback_ = std::forward<CallbackT>(callback);
    }
  }

  // Thread-safe.
  void send_response(rmw_request_id_t & req_id, Response & response)
  {
    send_erased_response(req_id, std::make_shared<Response>(std::move(response)));
  }

private:
  void handle_request(std::shared_ptr<rmw_request_id_t> id, std::shared_ptr<void> request) override
  {
    auto typed_request = std::static_pointer_cast<Request>(std::move(request));
    if (deferred_callback_) {
      deferred_callback_(std::move(id), std::move(typed_request));
      return;
    }
    auto response = std::make_shared<Response>();
    if (callback_with_header_) {
      callback_with_header_(id, std::move(typed_request), response);
    } else {
      callback_(std::move(typed_request), response);
    }
    send_erased_response(*id, std::move(response));
  }

  CallbackType callback_;
  CallbackWithHeaderType callback_with_header_;
  DeferredCallbackType deferred_callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SERVICE_HPP_
