// Link geometry: bounding boxes of shapes and meshes, and which origins are not the identity.
#include <gtest/gtest.h>

#include <cmath>

#include "robot_model/core/link_model.h"
#include "robot_model/shapes/shapes.h"

namespace {

using robot_model::core::LinkModel;
using Origins = std::vector<Eigen::Isometry3d, Eigen::aligned_allocator<Eigen::Isometry3d>>;

Eigen::Isometry3d translation(double x, double y, double z) {
  Eigen::Isometry3d t = Eigen::Isometry3d::Identity();
  t.translation() = Eigen::Vector3d(x, y, z);
  return t;
}

TEST(LinkModel, BoxOfShapesAwayFromTheOriginOrRotated) {
  LinkModel link("parts", 0);
  link.setGeometry({std::make_shared<const shapes::Sphere>(0.1)}, Origins{translation(1.0, 0.0, 0.0)});
  EXPECT_TRUE(link.getShapeExtentsAtOrigin().isApprox(Eigen::Vector3d(0.2, 0.2, 0.2), 1e-15));
  EXPECT_TRUE(link.getCenteredBoundingBoxOffset().isApprox(Eigen::Vector3d(1.0, 0.0, 0.0), 1e-15));
  EXPECT_EQ(link.areCollisionOriginTransformsIdentity(), std::vector<int>{0});

  // Turned by 45 degrees, the 1 x 2 box spans 3 / sqrt(2) along x and y.
  Eigen::Isometry3d turned = Eigen::Isometry3d::Identity();
  turned.rotate(Eigen::AngleAxisd(M_PI / 4, Eigen::Vector3d::UnitZ()));
  link.setGeometry({std::make_shared<const shapes::Box>(1.0, 2.0, 3.0)}, Origins{turned});
  const double diagonal = 3.0 * std::sqrt(0.5);
  EXPECT_TRUE(link.getShapeExtentsAtOrigin().isApprox(Eigen::Vector3d(diagonal, diagonal, 3.0), 1e-12));

  link.setGeometry(
      {std::make_shared<const shapes::Box>(1.0, 2.0, 3.0), std::make_shared<const shapes::Cylinder>(1.0, 0.5)},
      Origins{Eigen::Isometry3d::Identity(), translation(0.0, 0.0, 2.0)});
  // z spans the box [-1.5, 1.5] and the cylinder [1.5, 2.5].
  EXPECT_TRUE(link.getShapeExtentsAtOrigin().isApprox(Eigen::Vector3d(1.0, 2.0, 4.0), 1e-12));
  EXPECT_TRUE(link.getCenteredBoundingBoxOffset().isApprox(Eigen::Vector3d(0.0, 0.0, 0.5), 1e-12));
  EXPECT_EQ(link.areCollisionOriginTransformsIdentity(), (std::vector<int>{1, 0}));
}

TEST(LinkModel, MeshBoxComesFromItsTransformedVertices) {
  auto mesh = std::make_shared<shapes::Mesh>(2, 0);
  const double vertices[] = {-1.0, 0.0, 0.0, 1.0, 0.5, 0.25};
  std::copy(vertices, vertices + 6, mesh->vertices.get());
  LinkModel link("mesh", 0);
  Eigen::Isometry3d pose = translation(0.0, 0.0, 1.0);
  pose.rotate(Eigen::AngleAxisd(M_PI / 2, Eigen::Vector3d::UnitZ()));
  link.setGeometry({mesh}, Origins{pose});
  // Rotated by 90 degrees about z: x' = -y, y' = x.
  EXPECT_TRUE(link.getShapeExtentsAtOrigin().isApprox(Eigen::Vector3d(0.5, 2.0, 0.25), 1e-12));
  EXPECT_TRUE(link.getCenteredBoundingBoxOffset().isApprox(Eigen::Vector3d(-0.25, 0.0, 1.125), 1e-12));
}

}  // namespace
