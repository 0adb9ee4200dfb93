#include "rclcpp/client.hpp"

#include <algorithm>

#include "rclcpp/detail/graph_wait.hpp"

namespace rclcpp
{

ClientBase::ClientBase(
  std::shared_ptr<detail::NodeCore> node, transport::Transport & transport,
  const transport::Endpoint & endpoint)
: node_(std::move(node)),
  transport_(transport),
  service_name_(endpoint.name),
  link_(transport.add_client(endpoint, inbox_))
{
}

ClientBase::~ClientBase()
{
  link_.reset();
}

bool ClientBase::wait_for_service_nanoseconds(std::chrono::nanoseconds timeout)
{
  return detail::wait_for_graph(transport_, *node_->context(), timeout,
           [this] {return service_is_ready();});
}

int64_t ClientBase::send_erased_request(
  std::shared_ptr<void> request, std::function<void(std::shared_ptr<void>)> on_response)
{
  std::lock_guard<std::mutex> lock(pending_mutex_);
  const int64_t id = link_->send_request(std::move(request));
  pending_.emplace(id, std::move(on_response));
  return id;
}

void ClientBase::deliver_response(int64_t sequence_number, std::shared_ptr<void> response)
{
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    queue_.emplace_back(sequence_number, std::move(response));
  }
  node_->notify();
}

bool ClientBase::execute_one()
{
  std::pair<int64_t, std::shared_ptr<void>> item;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (queue_.empty()) {
      return false;
    }
    item = std::move(queue_.front());
    queue_.pop_front();
  }
  std::function<void(std::shared_ptr<void>)> on_response;
  {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    auto found = pending_.find(item.first);
    if (found == pending_.end()) {
      return true;
    }
    on_response = std::move(found->second);
    pending_.erase(found);
  }
  on_response(std::move(item.second));
  return true;
}

}  // namespace rclcpp
