// A filter with one output: a stream of shared pointers to constant messages.
#ifndef MESSAGE_FILTERS__SIMPLE_FILTER_H_
#define MESSAGE_FILTERS__SIMPLE_FILTER_H_

#include <memory>
#include <utility>

#include "message_filters/connection.h"
#include "message_filters/signal.h"

namespace message_filters
{

template<class M>
class SimpleFilter
{
public:
  using MConstPtr = std::shared_ptr<M const>;

  // The callback receives each message as `const MConstPtr &`.
  template<typename C>
  Connection registerCallback(C && callback)
  {
    return signal_.addCallback(std::forward<C>(callback));
  }

protected:
  void signalMessage(const MConstPtr & message) {signal_.call(message);}

private:
  Signal<MConstPtr> signal_;
};

}  // namespace message_filters

#endif  // MESSAGE_FILTERS__SIMPLE_FILTER_H_
