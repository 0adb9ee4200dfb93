#include "rclcpp/service.hpp"

namespace rclcpp
{

ServiceBase::ServiceBase(
  std::shared_ptr<detail::NodeCore> node, transport::Transport & transport,
  const transport::Endpoint & endpoint)
: node_(std::move(node)),
  service_name_(endpoint.name),
  queue_(endpoint.qos),
  link_(transport.add_service(endpoint, inbox_))
{
}

ServiceBase::~ServiceBase()
{
  link_.reset();
}

void ServiceBase::deliver_request(const rmw_request_id_t & id, std::shared_ptr<void> request)
{
  queue_.push({id, std::move(request)});
  node_->notify();
}

bool ServiceBase::execute_one()
{
  std::pair<rmw_request_id_t, std::shared_ptr<void>> item;
  if (!queue_.pop(item)) {
    return false;
  }
  handle_request(std::make_shared<rmw_request_id_t>(item.first), std::move(item.second));
  return true;
}

void ServiceBase::send_erased_response(const rmw_request_id_t & id, std::shared_ptr<void> response)
{
  link_->send_response(id, std::move(response));
}

}  // namespace rclcpp
