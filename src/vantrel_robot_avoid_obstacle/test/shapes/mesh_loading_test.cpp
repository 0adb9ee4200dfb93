#include <cstdlib>
#include <filesystem>
#include <string>

#include <Eigen/Core>
#include <gtest/gtest.h>

#include "robot_model/shapes/mesh_operations.h"
#include "robot_model/shapes/mesh_resource.h"
#include "test/shapes/mesh_fixtures.h"
#include "test/support/console_capture.h"

namespace fs = std::filesystem;

namespace
{
const Eigen::Vector3d kUnitScale(1.0, 1.0, 1.0);
constexpr const char* kSource = "shapes/mesh_operations";
const std::string kAssimpBugHint =
    "This could be because of a resource filename that is too long for the Assimp library, a known bug. "
    "As a workaround shorten the filename/path.";

struct Bounds
{
  Eigen::Vector3d min;
  Eigen::Vector3d max;
};

Bounds boundsOf(const shapes::Mesh& mesh)
{
  Bounds b{ Eigen::Vector3d::Constant(1e300), Eigen::Vector3d::Constant(-1e300) };
  for (std::uint32_t i = 0; i < mesh.vertex_count; ++i)
  {
    const Eigen::Vector3d v(mesh.vertices[3 * i], mesh.vertices[3 * i + 1], mesh.vertices[3 * i + 2]);
    b.min = b.min.cwiseMin(v);
    b.max = b.max.cwiseMax(v);
  }
  return b;
}

void expectBounds(const shapes::Mesh& mesh, const Eigen::Vector3d& min, const Eigen::Vector3d& max)
{
  const Bounds b = boundsOf(mesh);
  EXPECT_LT((b.min - min).norm(), 1e-6) << b.min.transpose();
  EXPECT_LT((b.max - max).norm(), 1e-6) << b.max.transpose();
}

void expectRecord(const ConsoleCapture::Message& record, console_bridge::LogLevel level, int line, const std::string& text)
{
  EXPECT_EQ(record.level, level);
  EXPECT_EQ(record.source, kSource);
  EXPECT_EQ(record.line, line);
  EXPECT_EQ(record.text, text);
}

class MeshLoading : public ::testing::Test
{
protected:
  void SetUp() override
  {
    std::string pattern = (fs::temp_directory_path() / "rao_mesh_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }

  void TearDown() override
  {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Writes the file below the temporary directory and returns its "file://" URL.
  std::string fixture(const std::string& relative_path, const std::string& bytes)
  {
    const fs::path path = dir_ / relative_path;
    rao_test::writeFile(path, bytes);
    return shapes::meshResourceUrl(path.string(), "");
  }

  fs::path dir_;
};
}  // namespace

TEST_F(MeshLoading, BinaryStlGivesJoinedVerticesTrianglesAndNormals)
{
  const auto mesh =
      shapes::createMeshFromResource(fixture("box.stl", rao_test::binaryStl(rao_test::boxTriangles())), kUnitScale);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->triangle_count, 12u);
  EXPECT_EQ(mesh->vertex_count, 8u);
  expectBounds(*mesh, Eigen::Vector3d(0, 0, 0), Eigen::Vector3d(1, 2, 3));
  ASSERT_NE(mesh->triangle_normals, nullptr);
  ASSERT_NE(mesh->vertex_normals, nullptr);
  const double* n = &mesh->triangle_normals[0];
  EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0, 1e-9);
}

TEST_F(MeshLoading, ScaleMultipliesEveryAxis)
{
  const auto mesh = shapes::createMeshFromResource(
      fixture("box.stl", rao_test::binaryStl(rao_test::boxTriangles())), Eigen::Vector3d(0.001, 0.5, 2.0));
  ASSERT_NE(mesh, nullptr);
  expectBounds(*mesh, Eigen::Vector3d(0, 0, 0), Eigen::Vector3d(0.001, 1.0, 6.0));
}

TEST_F(MeshLoading, AsciiStlWithUpperCaseNameAndExtension)
{
  const auto mesh = shapes::createMeshFromResource(
      fixture("BRACKET.STL", rao_test::asciiStl("BRACKET", rao_test::boxTriangles())), kUnitScale);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->triangle_count, 12u);
  expectBounds(*mesh, Eigen::Vector3d(0, 0, 0), Eigen::Vector3d(1, 2, 3));
}

TEST_F(MeshLoading, ObjQuadsAreTriangulated)
{
  const auto mesh = shapes::createMeshFromResource(fixture("box.obj", rao_test::boxObj()), kUnitScale);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->triangle_count, 12u);
  EXPECT_EQ(mesh->vertex_count, 8u);
  expectBounds(*mesh, Eigen::Vector3d(0, 0, 0), Eigen::Vector3d(1, 2, 3));
}

TEST_F(MeshLoading, DaeChildTransformIsAppliedRootConversionIsNot)
{
  const auto mesh =
      shapes::createMeshFromResource(fixture("part.dae", rao_test::translatedChildDae()), Eigen::Vector3d(2, 2, 2));
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->triangle_count, 1u);
  expectBounds(*mesh, Eigen::Vector3d(2, 4, 6), Eigen::Vector3d(4, 6, 6));
}

TEST_F(MeshLoading, MissingFileLogsOneErrorAndGivesNoMesh)
{
  const std::string url = shapes::meshResourceUrl((dir_ / "absent.stl").string(), "");
  ConsoleCapture capture;
  EXPECT_EQ(shapes::createMeshFromResource(url, kUnitScale), nullptr);
  ASSERT_EQ(capture.messages().size(), 1u);
  const ConsoleCapture::Message& record = capture.messages()[0];
  EXPECT_EQ(record.level, console_bridge::CONSOLE_BRIDGE_LOG_ERROR);
  EXPECT_EQ(record.source, kSource);
  EXPECT_EQ(record.line, 277);
  const std::string prefix = "Error retrieving file [" + url + "]: ";
  EXPECT_EQ(record.text.substr(0, prefix.size()), prefix);
  EXPECT_GT(record.text.size(), prefix.size());
}

TEST_F(MeshLoading, EmptyFileWarnsOnce)
{
  const std::string url = fixture("empty.stl", "");
  ConsoleCapture capture;
  EXPECT_EQ(shapes::createMeshFromResource(url, kUnitScale), nullptr);
  ASSERT_EQ(capture.messages().size(), 1u);
  expectRecord(capture.messages()[0], console_bridge::CONSOLE_BRIDGE_LOG_WARN, 283,
               "Retrieved empty mesh for resource '" + url + "'");
}

TEST_F(MeshLoading, GarbageBytesGiveTheNoSceneWarnings)
{
  const char noise[] = "\x01\x7f garbage \xff\xfe\x00 not a mesh";
  const std::string url = fixture("noise.stl", std::string(noise, sizeof noise - 1));
  ConsoleCapture capture;
  EXPECT_EQ(shapes::createMeshFromResource(url, kUnitScale), nullptr);
  ASSERT_EQ(capture.messages().size(), 2u);
  expectRecord(capture.messages()[0], console_bridge::CONSOLE_BRIDGE_LOG_WARN, 290,
               "Assimp reports no scene in " + url + ".");
  expectRecord(capture.messages()[1], console_bridge::CONSOLE_BRIDGE_LOG_WARN, 291, kAssimpBugHint);
}

TEST_F(MeshLoading, LinesOnlyObjHasNoTriangles)
{
  // The upper-case extension shows up lower-cased as the format hint.
  const std::string url = fixture("LINES.OBJ", rao_test::linesOnlyObj());
  ConsoleCapture capture;
  EXPECT_EQ(shapes::createMeshFromResource(url, kUnitScale), nullptr);
  ASSERT_EQ(capture.messages().size(), 3u);
  expectRecord(capture.messages()[0], console_bridge::CONSOLE_BRIDGE_LOG_WARN, 351,
               "There are no triangles in the scene obj");
  expectRecord(capture.messages()[1], console_bridge::CONSOLE_BRIDGE_LOG_WARN, 290,
               "Assimp reports no scene in " + url + ".");
  expectRecord(capture.messages()[2], console_bridge::CONSOLE_BRIDGE_LOG_WARN, 291, kAssimpBugHint);
}

TEST_F(MeshLoading, EmptyBufferDecodesToNothing)
{
  EXPECT_EQ(shapes::createMeshFromBinary(nullptr, 0, kUnitScale, "x.stl"), nullptr);
  EXPECT_EQ(shapes::createMeshFromAsset(nullptr, kUnitScale, "stl"), nullptr);
}

TEST_F(MeshLoading, PackageMeshBelowARelativeDescriptionDirectory)
{
  rao_test::writeFile(dir_ / "desc" / "meshes" / "box.stl", rao_test::binaryStl(rao_test::boxTriangles()));
  const std::string relative_dir = fs::relative(dir_ / "desc", fs::current_path()).string() + "/";
  ASSERT_FALSE(fs::path(relative_dir).is_absolute());
  const std::string url = shapes::meshResourceUrl("package://meshes/box.stl", relative_dir);
  EXPECT_EQ(url.rfind("file:///", 0), 0u) << url;
  const auto mesh = shapes::createMeshFromResource(url, kUnitScale);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->triangle_count, 12u);
}

TEST_F(MeshLoading, PathsWithSpacePercentAndHashLoad)
{
  const std::string stl = rao_test::binaryStl(rao_test::boxTriangles());
  for (const std::string name : { "with space/box one.stl", "100%/box%20.stl", "set #2/box#2.stl" })
  {
    rao_test::writeFile(dir_ / "desc" / name, stl);
    const auto mesh =
        shapes::createMeshFromResource(shapes::meshResourceUrl("package://" + name, (dir_ / "desc").string() + "/"),
                                       kUnitScale);
    ASSERT_NE(mesh, nullptr) << name;
    EXPECT_EQ(mesh->triangle_count, 12u) << name;
  }
}

TEST(DescriptionMeshes, ConfiguredDescriptionMeshesLoad)
{
  // The configured description directory, relative to the repository root (the tests' working directory).
  const std::string dir = "./src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/";
  ConsoleCapture capture;

  const auto base = shapes::createMeshFromResource(shapes::meshResourceUrl("package://meshes/base_link.stl", dir),
                                                   kUnitScale);
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(base->triangle_count, 64u);
  expectBounds(*base, Eigen::Vector3d(-0.08, -0.08, 0.0), Eigen::Vector3d(0.08, 0.08, 0.22));

  const auto gripper = shapes::createMeshFromResource(
      shapes::meshResourceUrl("package://meshes/gripper_body.stl", dir), kUnitScale);
  ASSERT_NE(gripper, nullptr);
  EXPECT_EQ(gripper->triangle_count, 32u);
  const Bounds b = boundsOf(*gripper);
  EXPECT_NEAR(b.min.z(), -0.12, 1e-6);
  EXPECT_NEAR(b.max.z(), -0.04, 1e-6);

  const auto finger =
      shapes::createMeshFromResource(shapes::meshResourceUrl("package://meshes/finger.stl", dir), kUnitScale);
  ASSERT_NE(finger, nullptr);
  EXPECT_EQ(finger->triangle_count, 12u);
  expectBounds(*finger, Eigen::Vector3d(-0.01, -0.0075, 0.0), Eigen::Vector3d(0.01, 0.0075, 0.045));
  EXPECT_TRUE(capture.messages().empty());
}
