#include "collision_detection/world.h"

#include <algorithm>
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

World::~World()
{
  while (!observers_.empty())
    removeObserver(ObserverHandle(observers_.front()));
}

World::ObserverHandle World::addObserver(const ObserverCallbackFn& callback)
{
  observers_.push_back(new Observer(callback));
  return ObserverHandle(observers_.back());
}

void World::removeObserver(const ObserverHandle& handle)
{
  auto it = std::find(observers_.begin(), observers_.end(), handle.observer_);
  if (it == observers_.end())
    return;
  delete *it;
  observers_.erase(it);
}

void World::notifyObserverAllObjects(const ObserverHandle& handle, Action action) const
{
  auto it = std::find(observers_.begin(), observers_.end(), handle.observer_);
  if (it == observers_.end())
    return;
  for (const auto& entry : objects_)
    (*it)->callback_(entry.second, action);
}

void World::notify(const ObjectConstPtr& object, Action action)
{
  for (Observer* observer : observers_)
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

void World::clearObjects()
{
  for (const auto& entry : objects_)
    notify(entry.second, DESTROY);
  objects_.clear();
}
}  // namespace collision_detection
