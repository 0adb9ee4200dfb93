#include <cstdint>
#include <functional>
#include <stdexcept>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <Eigen/Core>
#include <gtest/gtest.h>

#include "robot_model/shapes/isolated_call.h"
#include "robot_model/shapes/mesh_operations.h"
#include "robot_model/shapes/mesh_resource.h"
#include "robot_model/shapes/resource_fetcher.h"
#include "test/urdf_parser/logged.h"

namespace fs = std::filesystem;
using shapes::meshResourceUrl;

namespace
{
const Eigen::Vector3d kUnitScale(1.0, 1.0, 1.0);

// The box [0, 1] x [0, 2] x [0, 3] as six outward quads.
const float kCorners[8][3] = { { 0, 0, 0 }, { 1, 0, 0 }, { 1, 2, 0 }, { 0, 2, 0 },
                               { 0, 0, 3 }, { 1, 0, 3 }, { 1, 2, 3 }, { 0, 2, 3 } };
const int kQuads[6][4] = { { 0, 3, 2, 1 }, { 4, 5, 6, 7 }, { 0, 1, 5, 4 }, { 1, 2, 6, 5 }, { 2, 3, 7, 6 }, { 3, 0, 4, 7 } };

std::string coordinates(const float (&c)[3])
{
  return std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]);
}

// The box's 12 triangles as binary STL, or as ASCII STL when a solid name is given.
std::string boxStl(const std::string& ascii_name = "")
{
  const bool binary = ascii_name.empty();
  const std::uint32_t count = 12;
  const float normal[3] = { 0, 0, 0 };
  std::string out = binary ? std::string(80, ' ') + std::string(reinterpret_cast<const char*>(&count), 4) :
                             "solid " + ascii_name + "\n";
  for (const auto& q : kQuads)
    for (int k = 1; k <= 2; ++k)
    {
      out += binary ? std::string(reinterpret_cast<const char*>(normal), 12) : "facet normal 0 0 0\nouter loop\n";
      for (int corner : { q[0], q[k], q[k + 1] })
        out += binary ? std::string(reinterpret_cast<const char*>(kCorners[corner]), 12) :
                        "vertex " + coordinates(kCorners[corner]) + "\n";
      out += binary ? std::string(2, '\0') : "endloop\nendfacet\n";
    }
  return binary ? out : out + "endsolid " + ascii_name + "\n";
}

// The same box, its quads numbered from 1.
std::string boxObj()
{
  std::string out = "o box\n";
  for (const auto& c : kCorners)
    out += "v " + coordinates(c) + "\n";
  return out + "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n";
}

// One triangle (0,0,0) (1,0,0) (0,1,0) in a node translated by (1, 2, 3) below a parent node; the document
// declares Z up, which would turn y into z if the root's transformation were applied.
const char* const kTranslatedChildDae = R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<asset><unit name="meter" meter="1"/><up_axis>Z_UP</up_axis></asset>
<library_geometries><geometry id="tri"><mesh>
<source id="pos"><float_array id="pos-array" count="9">0 0 0 1 0 0 0 1 0</float_array><technique_common>
<accessor source="#pos-array" count="3" stride="3"><param name="X" type="float"/><param name="Y" type="float"/>
<param name="Z" type="float"/></accessor></technique_common></source>
<vertices id="vtx"><input semantic="POSITION" source="#pos"/></vertices>
<triangles count="1"><input semantic="VERTEX" source="#vtx" offset="0"/><p>0 1 2</p></triangles>
</mesh></geometry></library_geometries>
<library_visual_scenes><visual_scene id="scene"><node id="assembly"><node id="part"><translate>1 2 3</translate>
<instance_geometry url="#tri"/></node></node></visual_scene></library_visual_scenes>
<scene><instance_visual_scene url="#scene"/></scene>
</COLLADA>
)";

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

  // Writes the file below the temporary directory and returns its "file://" URL.
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

TEST(MeshResourceUrl, PackageFileAndRelativeNames)
{
  EXPECT_EQ(meshResourceUrl("package://arm/meshes/base.STL", "/opt/desc/"), "file:///opt/desc/arm/meshes/base.STL");
  EXPECT_EQ(meshResourceUrl("package://meshes/a.stl", "/opt/desc"), "file:///opt/descmeshes/a.stl");  // no separator
  EXPECT_EQ(meshResourceUrl("file:///data/a b.dae", "/opt/desc/"), "file:///data/a b.dae");  // used as it is
  EXPECT_EQ(meshResourceUrl("/data/base.dae", "/opt/desc/"), "file:///data/base.dae");
  EXPECT_EQ(shapes::percentEncodePath("/a b/c%d#e?f~_-.stl"), "/a%20b/c%25d%23e%3Ff~_-.stl");
  EXPECT_EQ(shapes::percentEncodePath("/\xc3\xa9"), "/%C3%A9");
}

TEST_F(MeshLoading, GeneratedFixturesLoadWithTheirTrianglesAndBounds)
{
  const struct
  {
    std::string file, bytes;
    Eigen::Vector3d scale;
    unsigned triangles;
    Eigen::Vector3d min, max;
  } cases[] = {
    { "box.stl", boxStl(), kUnitScale, 12, { 0, 0, 0 }, { 1, 2, 3 } },
    { "scaled.stl", boxStl(), { 0.001, 0.5, 2.0 }, 12, { 0, 0, 0 }, { 0.001, 1, 6 } },
    { "BRACKET.STL", boxStl("BRACKET"), kUnitScale, 12, { 0, 0, 0 }, { 1, 2, 3 } },
    { "box.obj", boxObj(), kUnitScale, 12, { 0, 0, 0 }, { 1, 2, 3 } },
    // The child's translation is applied, scaled; the root's axis conversion is not.
    { "part.dae", kTranslatedChildDae, { 2, 2, 2 }, 1, { 2, 4, 6 }, { 4, 6, 6 } },
  };
  for (const auto& c : cases)
  {
    const auto mesh = shapes::createMeshFromResource(fixture(c.file, c.bytes), c.scale);
    ASSERT_NE(mesh, nullptr) << c.file;
    EXPECT_EQ(mesh->triangle_count, c.triangles) << c.file;
    EXPECT_NE(mesh->triangle_normals, nullptr) << c.file;
    const Eigen::Map<const Eigen::Matrix3Xd> vertices(mesh->vertices.get(), 3, mesh->vertex_count);
    EXPECT_LT((vertices.rowwise().minCoeff() - c.min).norm(), 1e-6) << c.file;
    EXPECT_LT((vertices.rowwise().maxCoeff() - c.max).norm(), 1e-6) << c.file;
  }
}

// The exact-output check of mesh loading.
TEST_F(MeshLoading, UnreadableResourcesGiveTheirMessagesAndNoMesh)
{
  const std::string hint = "This could be because of a resource filename that is too long for the Assimp library, "
                           "a known bug. As a workaround shorten the filename/path.";
  const char noise[] = "\x01\x7f garbage \xff\xfe\x00 not a mesh";
  const std::string missing = meshResourceUrl((dir_ / "absent.stl").string(), "");
  const std::string empty = fixture("empty.stl", "");
  const std::string garbage = fixture("noise.stl", std::string(noise, sizeof noise - 1));
  const std::string lines = fixture("LINES.OBJ", "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2\nl 2 3\n");
  const auto warn = console_bridge::CONSOLE_BRIDGE_LOG_WARN;
  const struct
  {
    std::string url;
    std::vector<ConsoleCapture::Message> records;  // a missing file's text ends with the fetcher's reason
  } cases[] = {
    { missing, { { console_bridge::CONSOLE_BRIDGE_LOG_ERROR, "", 277, "Error retrieving file [" + missing + "]: " } } },
    { empty, { { warn, "", 283, "Retrieved empty mesh for resource '" + empty + "'" } } },
    { garbage, { { warn, "", 290, "Assimp reports no scene in " + garbage + "." }, { warn, "", 291, hint } } },
    // The upper-case extension shows up lower-cased as the format hint.
    { lines,
      { { warn, "", 351, "There are no triangles in the scene obj" },
        { warn, "", 290, "Assimp reports no scene in " + lines + "." },
        { warn, "", 291, hint } } },
  };
  for (const auto& c : cases)
  {
    ConsoleCapture capture;
    EXPECT_EQ(shapes::createMeshFromResource(c.url, kUnitScale), nullptr) << c.url;
    ASSERT_EQ(capture.messages().size(), c.records.size()) << c.url;
    for (std::size_t i = 0; i < c.records.size(); ++i)
    {
      const ConsoleCapture::Message& got = capture.messages()[i];
      EXPECT_EQ(got.level, c.records[i].level) << c.url;
      EXPECT_EQ(got.source, "shapes/mesh_operations");
      EXPECT_EQ(got.line, c.records[i].line) << c.url;
      const std::string& want = c.records[i].text;
      EXPECT_EQ(c.url == missing ? got.text.substr(0, want.size()) : got.text, want);
      EXPECT_TRUE(c.url != missing || got.text.size() > want.size());
    }
  }
  EXPECT_EQ(shapes::createMeshFromBinary(nullptr, 0, kUnitScale, "x.stl"), nullptr);
  EXPECT_EQ(shapes::createMeshFromAsset(nullptr, kUnitScale, "stl"), nullptr);
}

TEST_F(MeshLoading, PackageMeshesBelowARelativeDirectoryWithSpacePercentAndHashLoad)
{
  const std::string relative_dir = fs::relative(dir_ / "desc", fs::current_path()).string() + "/";
  ASSERT_FALSE(fs::path(relative_dir).is_absolute());
  for (const std::string name : { "meshes/box.stl", "with space/box one.stl", "100%/box%20.stl", "set #2/box#2.stl" })
  {
    fixture("desc/" + name, boxStl());
    const auto mesh = shapes::createMeshFromResource(meshResourceUrl("package://" + name, relative_dir), kUnitScale);
    ASSERT_NE(mesh, nullptr) << name;
    EXPECT_EQ(mesh->triangle_count, 12u) << name;
  }
}

// Files that crashed the importer, made it ask for 3 GB or leak, and geometry that would stall distance queries:
// no mesh and a reason, and this process goes on.
TEST_F(MeshLoading, MalformedFilesAndUnusableGeometryGiveNoMesh)
{
  std::string empty_array = kTranslatedChildDae;  // declared empty, yet holding values
  empty_array.replace(empty_array.find("count=\"9\""), 9, "count=\"0\"");
  std::string huge_array = kTranslatedChildDae;
  huge_array.replace(huge_array.find("count=\"9\""), 9, "count=\"750000000\"");
  const std::string triangle = "v 1 0 0\nv 0 1 0\nf 1 2 3\n";
  const struct
  {
    std::string file, bytes;
    Eigen::Vector3d scale;
  } cases[] = {
    { "empty_array.dae", empty_array, kUnitScale },
    { "huge_array.dae", huge_array, kUnitScale },
    { "cut.stl", "solid cut\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n", kUnitScale },
    { "nofacet.stl", "solid n\nvertex 0 0 0\nendsolid n\n", kUnitScale },
    { "nan.obj", "v nan 0 0\n" + triangle, kUnitScale },
    { "inf.obj", "v inf 0 0\n" + triangle, kUnitScale },
    { "far.obj", "v 1e28 0 0\n" + triangle, kUnitScale },
    { "collinear.obj", "v 0 0 0\nv 1 0 0\nv 2 0 0\nf 1 2 3\n", kUnitScale },
    { "scaled.stl", boxStl(), { 1e30, 1, 1 } },
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
    EXPECT_TRUE(logged(capture, console_bridge::CONSOLE_BRIDGE_LOG_ERROR, { url })) << url;
  }
}

TEST(IsolatedCall, TheChildsEndIsReportedAndThisProcessGoesOn)
{
  const shapes::IsolatedCallLimits limits{ std::chrono::milliseconds(300), 16, std::size_t(1) << 30 };
  const shapes::IsolatedCallResult done = shapes::callIsolated([] { return std::vector<char>(16, 'x'); }, limits);
  EXPECT_TRUE(done.failure.empty()) << done.failure;
  EXPECT_EQ(done.output, std::vector<char>(16, 'x'));
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
  {
    const shapes::IsolatedCallResult result = shapes::callIsolated(produce, limits);
    EXPECT_FALSE(result.failure.empty());
  }
}
