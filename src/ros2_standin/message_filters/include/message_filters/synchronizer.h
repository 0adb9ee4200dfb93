// Joins the outputs of several filters into one callback through a synchronisation policy.
#ifndef MESSAGE_FILTERS__SYNCHRONIZER_H_
#define MESSAGE_FILTERS__SYNCHRONIZER_H_

#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "message_filters/connection.h"

namespace message_filters
{

template<class Policy>
class Synchronizer : public Policy
{
public:
  template<class F0, class F1>
  Synchronizer(const Policy & policy, F0 & f0, F1 & f1)
  : Policy(policy)
  {
    connectInput(f0, f1);
  }

  template<class F0, class F1, class F2>
  Synchronizer(const Policy & policy, F0 & f0, F1 & f1, F2 & f2)
  : Policy(policy)
  {
    connectInput(f0, f1, f2);
  }

  ~Synchronizer() {disconnectAll();}
  Synchronizer(const Synchronizer &) = delete;
  Synchronizer & operator=(const Synchronizer &) = delete;

  Policy * getPolicy() {return this;}

  // Connects one filter per stream, in stream order.
  template<class... Fs>
  void connectInput(Fs &... filters)
  {
    static_assert(sizeof...(Fs) == Policy::kStreamCount, "one filter per stream");
    disconnectAll();
    connect(std::index_sequence_for<Fs...>(), filters...);
  }

private:
  template<size_t... Is, class... Fs>
  void connect(std::index_sequence<Is...>, Fs &... filters)
  {
    (input_connections_.push_back(filters.registerCallback(
      [this](const std::shared_ptr<const std::tuple_element_t<Is, typename Policy::Messages>> &
      message) {this->template add<Is>(message);})), ...);
  }

  void disconnectAll()
  {
    for (auto & connection : input_connections_) {
      connection.disconnect();
    }
    input_connections_.clear();
  }

  std::vector<Connection> input_connections_;
};

}  // namespace message_filters

#endif  // MESSAGE_FILTERS__SYNCHRONIZER_H_
