// Shapes; mesh loading from the mesh fuzz seeds, its messages, and hostile files that give no mesh and no crash.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <Eigen/Core>
#include <gtest/gtest.h>
#include <octomap/OcTree.h>

#include "robot_model/shapes/isolated_call.h"
#include "robot_model/shapes/mesh_operations.h"
#include "robot_model/shapes/mesh_resource.h"
#include "robot_model/shapes/resource_fetcher.h"
#include "robot_model/shapes/shapes.h"
#include "test/support/arm_descriptions.h"
#include "test/support/console_capture.h"

namespace fs = std::filesystem;
using shapes::meshResourceUrl;

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A regular tetrahedron around the origin, triangles wound outward.
std::unique_ptr<shapes::Mesh> tetrahedron()
{
  auto mesh = std::make_unique<shapes::Mesh>(4, 4);
  const double v[12] = { 1, 1, 1, 1, -1, -1, -1, 1, -1, -1, -1, 1 };
  const std::uint32_t t[12] = { 0, 1, 2, 0, 3, 1, 0, 2, 3, 1, 3, 2 };
  std::copy(v, v + 12, mesh->vertices.get());
  std::copy(t, t + 12, mesh->triangles.get());
  return mesh;
}
const Eigen::Vector3d kUnitScale(1.0, 1.0, 1.0);

// A seed file of the mesh fuzz target without its first byte, the fuzzer's format pick.
std::string seed(const std::string& name)
{
  return arm_descriptions::readFile(std::string(RAO_SOURCE_DIR) +
                                    "/src/vantrel_robot_avoid_obstacle/test/fuzz/corpus/mesh/" + name)
      .substr(1);
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
  void TearDown() override { fs::remove_all(dir_); }

  // Returns the written file's "file://" URL.
  std::string fixture(const std::string& relative_path, const std::string& bytes)
  {
    const fs::path path = dir_ / relative_path;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return meshResourceUrl(path.string(), "");
  }

  fs::path dir_;
};
}  // namespace

// Negative or non-finite sizes are refused and leave the shape as it was; sizes are scaled first, then padded (a
// cylinder's length at both ends, a mesh's vertices along their rays from the centroid).
TEST(Shapes, ScaleThenPadAndRefuseUnusableSizes)
{
  EXPECT_NO_THROW(shapes::Box(0, 0, 0));
  EXPECT_THROW((void)shapes::Box(0.1, -0.001, 0.1), std::runtime_error);
  EXPECT_THROW((void)shapes::Sphere(kInf), std::runtime_error);
  EXPECT_THROW((void)shapes::Cylinder(1, -kInf), std::runtime_error);

  shapes::Sphere sphere(0.05);
  EXPECT_THROW(sphere.scaleAndPad(1.0, -0.1), std::runtime_error);
  EXPECT_THROW(sphere.scaleAndPad(kInf, 0.0), std::runtime_error);
  EXPECT_EQ(sphere.radius, 0.05);
  sphere.scaleAndPad(1.0, 0.01);
  EXPECT_DOUBLE_EQ(sphere.radius, 0.06);
  // The length would stay positive, the radius not: nothing is stored.
  shapes::Cylinder cylinder(0.2, 0.05);
  EXPECT_THROW(cylinder.scaleAndPad(1.0, -0.06), std::runtime_error);
  EXPECT_EQ(cylinder.length, 0.2);
  cylinder.scaleAndPad(2.0, 0.01);
  EXPECT_DOUBLE_EQ(cylinder.radius, 0.11);
  EXPECT_DOUBLE_EQ(cylinder.length, 0.42);
  // Only the last side would turn negative.
  shapes::Box box(1.0, 1.0, 0.1);
  EXPECT_THROW(box.scaleAndPad(1.0, -0.06), std::runtime_error);
  EXPECT_TRUE(box.size[0] == 1.0 && box.size[2] == 0.1);
  box.scaleAndPad(2.0, 0.01);
  EXPECT_TRUE(Eigen::Map<const Eigen::Vector3d>(box.size).isApprox(Eigen::Vector3d(2.02, 2.02, 0.22), 1e-15));

  auto mesh = tetrahedron();
  for (std::uint32_t i = 0; i < 12; ++i)
    mesh->vertices[i] += 5.0;  // centroid (5, 5, 5), every vertex sqrt(3) away
  mesh->scaleAndPad(2.0, std::sqrt(3.0));  // new distance 3 sqrt(3) along the same ray
  EXPECT_NEAR(mesh->vertices[0], 5.0 + 3.0, 1e-12);
  EXPECT_NEAR(mesh->vertices[4], 5.0 - 3.0, 1e-12);
  EXPECT_THROW(mesh->scaleAndPad(kNaN, 0.0), std::runtime_error);
  EXPECT_THROW(mesh->scaleAndPad(1.0, kInf), std::runtime_error);
  EXPECT_NEAR(mesh->vertices[0], 5.0 + 3.0, 1e-12);
  EXPECT_NO_THROW(shapes::Mesh(0, 0).scaleAndPad(2.0, 0.1));
}

TEST(Shapes, PrintTexts)
{
  std::ostringstream out;
  shapes::Sphere(0.5).print(out);
  shapes::Cylinder(0.2, 0.05).print(out);
  shapes::Box(1, 2, 3).print(out);
  shapes::Mesh(4, 2).print(out);
  shapes::OcTree(nullptr).print(out);
  EXPECT_EQ(out.str(), "Sphere[radius=0.5]\nCylinder[radius=0.05, length=0.2]\nBox[x=length=1, y=width=2z=height=3]\n"
                       "Mesh[vertices=4, triangles=2]\nOcTree[NULL]\n");
}

// Clones are deep, keep missing normals missing, and an octree's clone keeps the tree alive.
TEST(Shapes, ClonesAreDeepAndKeepTheOcTreeAlive)
{
  auto tree = std::make_shared<octomap::OcTree>(0.05);
  const std::weak_ptr<octomap::OcTree> watch = tree;
  auto original = std::make_unique<shapes::OcTree>(tree);
  tree.reset();
  const std::unique_ptr<shapes::OcTree> copy(original->clone());
  original.reset();
  ASSERT_FALSE(watch.expired());
  EXPECT_EQ(copy->octree.get(), watch.lock().get());

  auto mesh = tetrahedron();
  mesh->computeTriangleNormals();
  mesh->vertex_normals.reset();
  const std::unique_ptr<shapes::Mesh> mesh_copy(mesh->clone());
  EXPECT_EQ(mesh_copy->vertex_normals, nullptr);
  ASSERT_NE(mesh_copy->triangle_normals, nullptr);
  EXPECT_NE(mesh_copy->triangle_normals.get(), mesh->triangle_normals.get());
  mesh_copy->vertices[0] = 9.0;
  EXPECT_EQ(mesh->vertices[0], 1.0);
}

// Package meshes below a relative description directory, in directories and files with spaces, "%" and "#".
TEST_F(MeshLoading, FixturesLoadWithTheirTrianglesAndBounds)
{
  const std::string relative_dir = fs::relative(dir_ / "desc", fs::current_path()).string() + "/";
  const struct
  {
    std::string file, seed;
    Eigen::Vector3d scale;
    unsigned triangles;
    Eigen::Vector3d min, max;
  } cases[] = {
    { "with space/tetra one.stl", "tetra_binary.stl", kUnitScale, 4, { 0, 0, 0 }, { 1, 1, 1 } },
    { "100%/scaled%20.stl", "tetra_binary.stl", { 0.001, 0.5, 2.0 }, 4, { 0, 0, 0 }, { 0.001, 0.5, 2 } },
    { "set #2/TETRA#2.STL", "tetra_ascii.stl", kUnitScale, 4, { 0, 0, 0 }, { 1, 1, 1 } },
    { "meshes/tetra.obj", "tetra.obj", kUnitScale, 4, { 0, 0, 0 }, { 1, 1, 1 } },
    // A triangle below a child node translated by (1, 2, 3): the translation is applied, scaled; the root's axis
    // conversion (the document declares Z up) is not.
    { "meshes/part.dae", "triangle.dae", { 2, 2, 2 }, 1, { 2, 4, 6 }, { 4, 6, 6 } },
  };
  for (const auto& c : cases)
  {
    fixture("desc/" + c.file, seed(c.seed));
    const auto mesh = shapes::createMeshFromResource(meshResourceUrl("package://" + c.file, relative_dir), c.scale);
    ASSERT_NE(mesh, nullptr) << c.file;
    EXPECT_EQ(mesh->triangle_count, c.triangles) << c.file;
    EXPECT_NE(mesh->triangle_normals, nullptr) << c.file;
    const Eigen::Map<const Eigen::Matrix3Xd> vertices(mesh->vertices.get(), 3, mesh->vertex_count);
    EXPECT_LT((vertices.rowwise().minCoeff() - c.min).norm(), 1e-6) << c.file;
    EXPECT_LT((vertices.rowwise().maxCoeff() - c.max).norm(), 1e-6) << c.file;
  }
}

TEST_F(MeshLoading, UnreadableResourcesGiveTheirMessagesAndNoMesh)
{
  const std::string hint = "This could be because of a resource filename that is too long for the Assimp library, "
                           "a known bug. As a workaround shorten the filename/path.";
  const char noise[] = "\x01\x7f garbage \xff\xfe\x00 not a mesh";
  const std::string missing = meshResourceUrl((dir_ / "absent.stl").string(), "");
  const std::string empty = fixture("empty.stl", "");
  const std::string garbage = fixture("noise.stl", std::string(noise, sizeof noise - 1));
  const std::string lines = fixture("LINES.OBJ", "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2\nl 2 3\n");
  const struct
  {
    std::string url;
    std::vector<std::string> records;  // "<level> <line> <text>"
  } cases[] = {
    { missing, { "ERROR 277 Error retrieving file [" + missing + "]: " } },
    { empty, { "WARN 283 Retrieved empty mesh for resource '" + empty + "'" } },
    { garbage, { "WARN 290 Assimp reports no scene in " + garbage + ".", "WARN 291 " + hint } },
    // The upper-case extension shows up lower-cased as the format hint.
    { lines,
      { "WARN 351 There are no triangles in the scene obj", "WARN 290 Assimp reports no scene in " + lines + ".",
        "WARN 291 " + hint } },
  };
  const char* const levels[] = { "DEBUG", "INFO", "WARN", "ERROR", "NONE" };
  for (const auto& c : cases)
  {
    ConsoleCapture capture;
    EXPECT_EQ(shapes::createMeshFromResource(c.url, kUnitScale), nullptr) << c.url;
    std::vector<std::string> records;
    for (const ConsoleCapture::Message& m : capture.messages())
    {
      EXPECT_EQ(m.source, "shapes/mesh_operations");
      records.push_back(std::string(levels[m.level]) + " " + std::to_string(m.line) + " " + m.text);
    }
    // A missing file's text ends with the fetcher's reason.
    if (c.url == missing && records.size() == 1 && records[0].size() > c.records[0].size())
      records[0].resize(c.records[0].size());
    EXPECT_EQ(records, c.records);
  }
  EXPECT_EQ(shapes::createMeshFromBinary(nullptr, 0, kUnitScale, "x.stl"), nullptr);
  EXPECT_EQ(shapes::createMeshFromAsset(nullptr, kUnitScale, "stl"), nullptr);
}

// Files that crashed the importer, made it ask for 3 GB or leak, and geometry that would stall distance queries:
// no mesh and a reason, and this process goes on.
TEST_F(MeshLoading, MalformedFilesAndUnusableGeometryGiveNoMesh)
{
  const std::string triangle = "v 1 0 0\nv 0 1 0\nf 1 2 3\n";
  const struct
  {
    std::string file, bytes;
    Eigen::Vector3d scale;
  } cases[] = {
    { "empty_array.dae", seed("empty_array.dae"), kUnitScale },  // count 0, yet holding values
    { "huge_array.dae", seed("huge_array.dae"), kUnitScale },
    { "cut.stl", seed("cut_ascii.stl"), kUnitScale },
    { "nofacet.stl", "solid n\nvertex 0 0 0\nendsolid n\n", kUnitScale },
    { "nan.obj", "v nan 0 0\n" + triangle, kUnitScale },
    { "far.obj", "v 1e28 0 0\n" + triangle, kUnitScale },
    { "collinear.obj", "v 0 0 0\nv 1 0 0\nv 2 0 0\nf 1 2 3\n", kUnitScale },
    { "scaled.stl", seed("tetra_binary.stl"), { 1e30, 1, 1 } },
  };
  for (const auto& c : cases)
  {
    ConsoleCapture capture;
    EXPECT_EQ(shapes::createMeshFromResource(fixture(c.file, c.bytes), c.scale), nullptr) << c.file;
    EXPECT_FALSE(capture.atLeast(console_bridge::CONSOLE_BRIDGE_LOG_WARN).empty()) << c.file;
  }
  // Degenerate triangles are dropped, the rest is kept.
  ConsoleCapture capture;
  const auto mesh = shapes::createMeshFromResource(
      fixture("mixed.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 2 0 0\nf 1 2 3\nf 1 2 4\nf 1 1 3\n"), kUnitScale);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->triangle_count, 1u);
}

TEST_F(MeshLoading, OnlyRegularFilesUpToTheSizeCapAreRead)
{
  const fs::path pipe = dir_ / "pipe.stl";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const fs::path huge = dir_ / "huge.stl";
  std::ofstream(huge).close();
  fs::resize_file(huge, resource_fetcher::kMaxResourceBytes + 1);  // sparse
  // Each would be read without end, block forever or exhaust memory.
  for (const std::string& url : { std::string("file:///dev/zero"), meshResourceUrl(pipe.string(), ""),
                                 meshResourceUrl(huge.string(), "") })
  {
    ConsoleCapture capture;
    EXPECT_EQ(shapes::createMeshFromResource(url, kUnitScale), nullptr);
    EXPECT_EQ(capture.messages().size(), 1u) << url;
    EXPECT_TRUE(capture.logged(console_bridge::CONSOLE_BRIDGE_LOG_ERROR, { url })) << url;
  }
}

TEST(IsolatedCall, TheChildsEndIsReportedAndThisProcessGoesOn)
{
  const shapes::IsolatedCallLimits limits{ std::chrono::milliseconds(300), 16, std::size_t(1) << 30 };
  const std::function<std::vector<char>()> faults[] = {
    []() -> std::vector<char> { std::abort(); },
    []() -> std::vector<char> { throw std::runtime_error("importer"); },
    []() -> std::vector<char> {
      for (;;)
        ::pause();
    },
    [] { return std::vector<char>(17, 'x'); },
  };
  for (const auto& produce : faults)
    EXPECT_FALSE(shapes::callIsolated(produce, limits).failure.empty());
}
