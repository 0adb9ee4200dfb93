#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "grab/grab_geometry.h"
#include "grab/grab_manager.h"
#include "kinematics/kinematics_interface.h"

namespace
{
constexpr double kHalfPi = 1.5707963267948966;

// Back-off distances: d(i) for the upright and horizontal approaches, e(i) for the tilted one.
double backOff(int i)
{
  return 0.04 + 0.01 * i;
}
double tiltedBackOff(int i)
{
  return 0.05 + 0.01 * i;
}

// Tries the tilt indices 0, 1, .., max, then -1, .., -max, until one succeeds.
template <typename Try>
bool tryTilts(int max, Try&& try_tilt)
{
  for (int k = 0; k <= max; ++k)
  {
    if (try_tilt(k))
    {
      return true;
    }
  }
  for (int k = -1; k >= -max; --k)
  {
    if (try_tilt(k))
    {
      return true;
    }
  }
  return false;
}

// The angle whose cosine is `cosine`, the cosine first clamped to [-1, 1] with a note when it lies outside.
double clampedAngle(double cosine, const char* name)
{
  if (cosine > 1.0)
  {
    std::printf("%s > 1.0", name);
    cosine = 1.0;
  }
  else if (cosine < -1.0)
  {
    std::printf("%s < -1.0", name);
    cosine = -1.0;
  }
  return std::acos(cosine);
}

void printSuccess(int line, const std::vector<double>& out)
{
  std::cout << "======================grab transition ======================" << std::endl;
  std::cout << "\033[42m Solve grab Transition Point success " << line << "\033[0m" << std::endl;
  for (const double q : out)
  {
    std::printf("%lf,", q);
  }
  std::printf("\n");
}
}  // namespace

bool GrabManager::tryTransitionPose(const Eigen::Matrix4d& pose, const Eigen::Matrix4d& tool_matrix,
                                    const std::vector<double>& grab_joints, std::vector<double>& out)
{
  std::vector<std::vector<double>> solutions;
  std::vector<double> chosen;
  if (CheckOutOfRange(pose, tool_matrix, solutions) != 0 ||
      selectNearestIkSolution(solutions, chosen, grab_joints, joint_limits_) != 0)
  {
    return false;
  }
  out = std::move(chosen);
  return true;
}

int GrabManager::findTransitionPoint(std::vector<double> grab_joints, Eigen::Matrix4d tool_matrix,
                                     std::vector<double>& out, double min_z)
{
  scene_->restoreGripperPadding();
  const KinematicsInterface* kinematics = scene_->getKinematics();
  if (!kinematics)
  {
    std::puts("kinematics_interface_ptr_==null!");
    return -1;
  }
  const Eigen::MatrixXd flange_pose = kinematics->forwardKinematics(grab_joints);
  if (flange_pose.rows() != 4 || flange_pose.cols() != 4)
  {
    return -1;
  }
  const Eigen::Matrix4d tool_pose = Eigen::Matrix4d(flange_pose) * tool_matrix;

  switch (static_cast<GrabPrincipalAxisType>(getGrabPrincipalAxisType(tool_pose)))
  {
  case GrabPrincipalAxisType::HORIZONTAL:
    return searchAboveHorizontalApproach(tool_pose, tool_matrix, grab_joints, out);
  case GrabPrincipalAxisType::VERTICAL:
    return searchBesideVerticalApproach(tool_pose, tool_matrix, grab_joints, out, min_z);
  case GrabPrincipalAxisType::OTHER_DIRECTION:
    break;
  }
  return searchAlongTiltedApproach(tool_pose, tool_matrix, grab_joints, out);
}

int GrabManager::searchAboveHorizontalApproach(const Eigen::Matrix4d& tool_pose, const Eigen::Matrix4d& tool_matrix,
                                               const std::vector<double>& grab_joints, std::vector<double>& out)
{
  std::cout << "=========start GrabPrincipalAxisType::HORIZONTAL find Transition Point =========" << std::endl;
  for (int i = 1; i <= 16; ++i)
  {
    const Eigen::Matrix4d above = offsetPoseTranslation(tool_pose, backOff(i), 0.0);
    if (tryTilts(6, [&](int k) {
          return tryTransitionPose(rotatePoseAboutRadialNormal(above, k * kGrabTurnStep), tool_matrix, grab_joints,
                                   out);
        }))
    {
      printSuccess(1, out);
      return 0;
    }
  }
  return -1;
}

int GrabManager::searchBesideVerticalApproach(const Eigen::Matrix4d& tool_pose, const Eigen::Matrix4d& tool_matrix,
                                              const std::vector<double>& grab_joints, std::vector<double>& out,
                                              double min_z)
{
  std::cout << "=========start GrabPrincipalAxisType::VERTICAL find Transition Point =========" << std::endl;
  for (int i = 1; i <= 50; ++i)
  {
    const Eigen::Matrix4d inward = offsetPoseTranslation(tool_pose, backOff(i), kHalfPi);
    if (tryTilts(9, [&](int k) {
          return tryTransitionPose(rotatePoseAboutRadialNormal(inward, k * kGrabTurnStep), tool_matrix, grab_joints,
                                   out);
        }))
    {
      printSuccess(3, out);
      return 0;
    }
  }
  for (int i = 1; i <= 50; ++i)
  {
    const Eigen::Matrix4d above = offsetPoseTranslation(tool_pose, backOff(i), 0.0);
    if (min_z > above(2, 3))
    {
      continue;
    }
    if (tryTransitionPose(above, tool_matrix, grab_joints, out))
    {
      printSuccess(2, out);
      return 0;
    }
  }
  std::cout << "=========GrabPrincipalAxisType::VERTICAL find Transition Point ERROR!=========" << std::endl;
  return -1;
}

int GrabManager::searchAlongTiltedApproach(const Eigen::Matrix4d& tool_pose, const Eigen::Matrix4d& tool_matrix,
                                           const std::vector<double>& grab_joints, std::vector<double>& out)
{
  std::cout << "=========start GrabPrincipalAxisType::OTHER_DIRECTION find Transition Point =========" << std::endl;
  std::cout << "calRotateRangeOfToolZAxis:" << tool_pose << std::endl;
  const Eigen::Vector3d position = tool_pose.topRightCorner<3, 1>();
  // The tool's tilt from straight down, and the radial direction's.
  const double tool_tilt = clampedAngle(-tool_pose(2, 2), "cos_value1");
  const double radial_tilt = clampedAngle(-position.z() / position.norm(), "cos_value2");
  const double range = radial_tilt - tool_tilt;
  std::printf("det_theta========%lf\n", range);

  // Offset angles from the tool's own tilt towards the radial direction's, or back towards straight up.
  const bool increasing = range > 0.0;
  const double span = increasing ? range : tool_tilt;
  // A span that is not a finite, non-negative number leaves nothing to sweep.
  const int steps = std::isfinite(span) && span >= 0.0 ? static_cast<int>(std::min(span / kGrabTurnStep, 1e6)) : -1;
  for (int m = 0; m <= steps; ++m)
  {
    const double theta = increasing ? m * kGrabTurnStep + tool_tilt : tool_tilt - m * kGrabTurnStep;
    std::printf("find TransitionPoint rotate theta=%lf,end_theta=%lf,start_theta=%lf\n", theta,
                increasing ? radial_tilt : 0.0, tool_tilt);
    for (int i = 0; i <= 16; ++i)
    {
      const Eigen::Matrix4d backed = offsetPoseTranslation(tool_pose, tiltedBackOff(i), theta);
      if (tryTilts(9, [&](int k) {
            return tryTransitionPose(rotatePoseAboutRadialNormal(backed, k * kGrabTurnStep), tool_matrix, grab_joints,
                                     out);
          }))
      {
        printSuccess(increasing ? 4 : 5, out);
        return 0;
      }
    }
  }
  if (increasing)
  {
    std::cout << "\033[41m ERROR: OTHER_DIRECTION can not find TransitionPoint, det_theta_range>0.0, error code=-33 "
                 "\033[0m"
              << std::endl;
    return -33;
  }
  std::cout << "\033[41m ERROR: OTHER_DIRECTION can not find TransitionPoint, det_theta_range<0.0, error code=-44 "
               "\033[0m"
            << std::endl;
  return -44;
}
