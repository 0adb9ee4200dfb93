#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <Eigen/Geometry>
#include <Eigen/StdVector>
#include <boost/function.hpp>

namespace shapes
{
class Shape;
}

namespace collision_detection
{
// Named obstacles, each a list of shapes with poses in the world frame. Every change is reported
// synchronously to the registered observers.
class World
{
public:
  struct Object
  {
    explicit Object(const std::string& id);
    ~Object();

    EIGEN_MAKE_ALIGNED_OPERATOR_NEW

    std::string id_;
    std::vector<std::shared_ptr<const shapes::Shape>> shapes_;
    std::vector<Eigen::Isometry3d, Eigen::aligned_allocator<Eigen::Isometry3d>> shape_poses_;
  };
  using ObjectPtr = std::shared_ptr<Object>;
  using ObjectConstPtr = std::shared_ptr<const Object>;

  // Bit flags; several may be combined in one notification.
  enum Action
  {
    CREATE = 1,
    DESTROY = 2,
    ADD_SHAPE = 8,
    REMOVE_SHAPE = 16,
  };

  using ObserverCallbackFn = boost::function<void(const ObjectConstPtr&, Action)>;

  // Identifies one registration; equal only to itself, also after it was removed and others were made.
  class ObserverHandle
  {
  public:
    ObserverHandle() = default;
    bool operator==(const ObserverHandle& other) const { return id_ == other.id_; }
    bool operator!=(const ObserverHandle& other) const { return id_ != other.id_; }

  private:
    friend class World;
    explicit ObserverHandle(std::uint64_t id) : id_(id) {}
    std::uint64_t id_ = 0;
  };

  World() = default;
  World(const World&) = delete;
  World& operator=(const World&) = delete;
  virtual ~World();

  ObserverHandle addObserver(const ObserverCallbackFn& callback);
  void removeObserver(const ObserverHandle& handle);
  void notifyObserverAllObjects(const ObserverHandle& handle, Action action) const;
  void notify(const ObjectConstPtr& object, Action action);

  void addToObject(const std::string& id, const std::shared_ptr<const shapes::Shape>& shape,
                   const Eigen::Isometry3d& pose);
  // Tells the observers that the object is destroyed, then drops it; false when there is none of that id.
  bool removeObject(const std::string& id);
  void clearObjects();

  std::map<std::string, ObjectPtr> objects_;

protected:
  virtual void addToObjectInternal(const ObjectPtr& object, const std::shared_ptr<const shapes::Shape>& shape,
                                   const Eigen::Isometry3d& pose);

private:
  struct Observer
  {
    Observer(std::uint64_t id, const ObserverCallbackFn& callback) : id_(id), callback_(callback) {}
    std::uint64_t id_;
    ObserverCallbackFn callback_;
  };
  using ObserverPtr = std::shared_ptr<const Observer>;

  std::vector<ObserverPtr>::const_iterator findObserver(std::uint64_t id) const;

  // Shared, so that a notification holds each observer it calls even when the call removes it.
  std::vector<ObserverPtr> observers_;
};

using WorldPtr = std::shared_ptr<World>;
using WorldConstPtr = std::shared_ptr<const World>;
}  // namespace collision_detection
