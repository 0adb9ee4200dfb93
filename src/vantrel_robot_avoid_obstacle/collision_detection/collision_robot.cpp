#include "collision_detection/collision_robot.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "robot_model/core/link_model.h"
#include "robot_model/core/robot_model.h"

namespace collision_detection
{
namespace
{
// NaN is caught too: it is neither finite nor comparable.
bool acceptablePadding(double padding)
{
  if (padding < 0.0)
  {
    printf("collision_detection---Padding cannot be negative");
    return false;
  }
  if (!std::isfinite(padding))
  {
    printf("collision_detection---Padding must be finite");
    return false;
  }
  return true;
}

bool acceptableScale(double scale)
{
  if (scale < std::numeric_limits<double>::epsilon())
  {
    printf("collision_detection---Scale must be positive");
    return false;
  }
  if (!std::isfinite(scale))
  {
    printf("collision_detection---Scale must be finite");
    return false;
  }
  return true;
}
}  // namespace

CollisionRobot::CollisionRobot(const std::shared_ptr<const robot_model::core::RobotModel>& model, double padding,
                               double scale)
  : robot_model_(model)
{
  if (!acceptableScale(scale))
    scale = 1.0;
  if (!acceptablePadding(padding))
    padding = 0.0;
  for (const robot_model::core::LinkModel* link : robot_model_->getLinkModelsWithCollisionGeometry())
  {
    link_padding_[link->getName()] = padding;
    link_scale_[link->getName()] = scale;
  }
}

void CollisionRobot::setLinkPadding(const std::string& link_name, double padding)
{
  if (!acceptablePadding(padding))
    return;
  const double old_padding = getLinkPadding(link_name);
  link_padding_[link_name] = padding;
  if (padding != old_padding)
    updatedPaddingOrScaling({ link_name });
}

double CollisionRobot::getLinkPadding(const std::string& link_name) const
{
  auto it = link_padding_.find(link_name);
  return it == link_padding_.end() ? 0.0 : it->second;
}

double CollisionRobot::getLinkScale(const std::string& link_name) const
{
  auto it = link_scale_.find(link_name);
  return it == link_scale_.end() ? 1.0 : it->second;
}

void CollisionRobot::updatedPaddingOrScaling(const std::vector<std::string>& /*links*/)
{
}
}  // namespace collision_detection
