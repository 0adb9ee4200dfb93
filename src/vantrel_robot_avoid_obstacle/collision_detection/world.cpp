#include "collision_detection/world.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace collision_detection
{
World::Object::Object(const std::string& id) : id_(id)
{
}

World::Object::~Object()
{
  puts("+++++++++++++++++++++++=~Object");
}

namespace
{
// Unique across all worlds, so that a handle of one world never matches an observer of another.
std::uint64_t nextObserverId()
{
  static std::atomic<std::uint64_t> next{ 1 };
  return next.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

World::~World() = default;

World::ObserverHandle World::addObserver(const ObserverCallbackFn& callback)
{
  auto observer = std::make_shared<const Observer>(nextObserverId(), callback);
  observers_.push_back(observer);
  return ObserverHandle(observer->id_);
}

std::vector<World::ObserverPtr>::const_iterator World::findObserver(std::uint64_t id) const
{
  return std::find_if(observers_.begin(), observers_.end(),
                      [id](const ObserverPtr& observer) { return observer->id_ == id; });
}

void World::removeObserver(const ObserverHandle& handle)
{
  auto it = findObserver(handle.id_);
  if (it != observers_.end())
    observers_.erase(it);
}

void World::notifyObserverAllObjects(const ObserverHandle& handle, Action action) const
{
  auto it = findObserver(handle.id_);
  if (it == observers_.end())
    return;
  const ObserverPtr observer = *it;
  for (const auto& entry : objects_)
    observer->callback_(entry.second, action);
}

// A callback may add or remove observers: the ones registered when the notification began are
// called, unless removed before their turn.
void World::notify(const ObjectConstPtr& object, Action action)
{
  const std::vector<ObserverPtr> snapshot = observers_;
  for (const ObserverPtr& observer : snapshot)
    if (findObserver(observer->id_) != observers_.end())
      observer->callback_(object, action);
}

void World::addToObject(const std::string& id, const std::shared_ptr<const shapes::Shape>& shape,
                        const Eigen::Isometry3d& pose)
{
  int action = ADD_SHAPE;
  ObjectPtr& object = objects_[id];
  if (!object)
  {
    object = std::make_shared<Object>(id);
    action |= CREATE;
  }
  // Someone still holds the object: leave their copy as it is and change a fresh one.
  if (object.use_count() != 1)
  {
    auto copy = std::make_shared<Object>(id);
    copy->shapes_ = object->shapes_;
    copy->shape_poses_ = object->shape_poses_;
    object = copy;
  }
  addToObjectInternal(object, shape, pose);
  notify(object, static_cast<Action>(action));
}

void World::addToObjectInternal(const ObjectPtr& object, const std::shared_ptr<const shapes::Shape>& shape,
                                const Eigen::Isometry3d& pose)
{
  object->shapes_.push_back(shape);
  object->shape_poses_.push_back(pose);
}

bool World::removeObject(const std::string& id)
{
  const auto entry = objects_.find(id);
  if (entry == objects_.end())
    return false;
  // Held here, so that an observer that changes the map cannot free it while it is being told.
  const ObjectPtr object = entry->second;
  notify(object, DESTROY);
  objects_.erase(id);
  return true;
}

void World::clearObjects()
{
  for (const auto& entry : objects_)
    notify(entry.second, DESTROY);
  objects_.clear();
}
}  // namespace collision_detection
