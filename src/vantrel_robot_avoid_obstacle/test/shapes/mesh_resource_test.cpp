#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "robot_model/shapes/mesh_resource.h"

TEST(MeshResourceUrl, PackageNamesAreReadFromTheDescriptionDirectory)
{
  EXPECT_EQ(shapes::meshResourceUrl("package://arm/meshes/base.STL", "/opt/desc/"),
            "file:///opt/desc/arm/meshes/base.STL");
  // Joined as they stand: no separator is added.
  EXPECT_EQ(shapes::meshResourceUrl("package://meshes/a.stl", "/opt/desc"), "file:///opt/descmeshes/a.stl");
  EXPECT_EQ(shapes::meshResourceUrl("package://", "/opt/desc/"), "");
}

TEST(MeshResourceUrl, FileUrlsAreKeptAndPlainPathsPrefixed)
{
  EXPECT_EQ(shapes::meshResourceUrl("file:///data/meshes/base.dae", "/opt/desc/"), "file:///data/meshes/base.dae");
  EXPECT_EQ(shapes::meshResourceUrl("/data/meshes/base.dae", "/opt/desc/"), "file:///data/meshes/base.dae");
}

TEST(MeshResourceUrl, RelativePathsBecomeAbsolute)
{
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(shapes::meshResourceUrl("package://meshes/a.stl", "./desc/"),
            "file://" + shapes::percentEncodePath(cwd + "/desc/meshes/a.stl"));
  EXPECT_EQ(shapes::meshResourceUrl("meshes/a.stl", "/opt/desc/"),
            "file://" + shapes::percentEncodePath(cwd + "/meshes/a.stl"));
}

TEST(MeshResourceUrl, ReservedBytesArePercentEncoded)
{
  EXPECT_EQ(shapes::percentEncodePath("/a b/c%d#e?f.stl"), "/a%20b/c%25d%23e%3Ff.stl");
  EXPECT_EQ(shapes::percentEncodePath("/A-z_0.9~/"), "/A-z_0.9~/");
  EXPECT_EQ(shapes::percentEncodePath("/\xc3\xa9"), "/%C3%A9");
  EXPECT_EQ(shapes::meshResourceUrl("package://m/x y.stl", "/d 1/"), "file:///d%201/m/x%20y.stl");
}
