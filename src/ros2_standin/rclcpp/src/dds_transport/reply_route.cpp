#include "reply_route.hpp"

#include <vector>

namespace rclcpp
{
namespace dds
{

std::string user_data_value(const dds_qos_t * qos, const std::string & key)
{
  void * data = nullptr;
  size_t size = 0;
  if (qos == nullptr || !dds_qget_userdata(qos, &data, &size) || data == nullptr) {
    return "";
  }
  const std::string text(static_cast<const char *>(data), size);
  dds_free(data);
  const std::string prefix = key + "=";
  for (size_t start = 0; start < text.size(); ) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    if (text.compare(start, prefix.size(), prefix) == 0) {
      return text.substr(start + prefix.size(), end - start - prefix.size());
    }
    start = end + 1;
  }
  return "";
}

ReplyRoute reply_route(
  dds_entity_t request_reader, dds_entity_t reply_writer, dds_instance_handle_t request_writer)
{
  dds_builtintopic_endpoint_t * writer =
    dds_get_matched_publication_data(request_reader, request_writer);
  if (writer == nullptr) {
    return ReplyRoute::ClientGone;
  }
  const std::string client = user_data_value(writer->qos, "clientid");
  dds_builtintopic_free_endpoint(writer);
  if (client.empty()) {
    return ReplyRoute::Ready;
  }
  std::vector<dds_instance_handle_t> readers(64);
  dds_return_t count = dds_get_matched_subscriptions(reply_writer, readers.data(), readers.size());
  if (count > static_cast<dds_return_t>(readers.size())) {
    readers.resize(static_cast<size_t>(count));
    count = dds_get_matched_subscriptions(reply_writer, readers.data(), readers.size());
  }
  for (dds_return_t i = 0; i < count && static_cast<size_t>(i) < readers.size(); ++i) {
    dds_builtintopic_endpoint_t * reader = dds_get_matched_subscription_data(reply_writer,
        readers[i]);
    if (reader != nullptr) {
      const bool same = user_data_value(reader->qos, "clientid") == client;
      dds_builtintopic_free_endpoint(reader);
      if (same) {
        return ReplyRoute::Ready;
      }
    }
  }
  return ReplyRoute::Waiting;
}

}  // namespace dds
}  // namespace rclcpp
