#include "robot_model/shapes/mesh_operations.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <Eigen/Geometry>
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <console_bridge/console.h>

#include "robot_model/shapes/isolated_call.h"
#include "robot_model/shapes/resource_fetcher.h"

namespace shapes
{
namespace
{
constexpr const char* kLogSource = "shapes/mesh_operations";

// Everything but the meshes: normals, tangents, colours, texture coordinates, bone weights,
// animations, textures, lights, cameras and materials.
constexpr int kRemovedComponents = 3070;
constexpr unsigned int kImportSteps = aiProcess_JoinIdenticalVertices | aiProcess_Triangulate |
                                      aiProcess_RemoveComponent | aiProcess_SortByPType |
                                      aiProcess_ValidateDataStructure;
constexpr unsigned int kSceneSteps = aiProcess_OptimizeMeshes | aiProcess_OptimizeGraph;

// The importer crashes, loops or leaks on some malformed files, so it runs in a child process within these bounds.
const IsolatedCallLimits kImportLimits{ std::chrono::seconds(60), std::size_t(2) << 30, std::size_t(4) << 30 };

// Farther from the link origin than any robot part reaches; beyond it (or not finite) a vertex spoils every
// distance computed against the mesh.
constexpr double kMaxCoordinate = 1e4;
// A triangle whose height is below this fraction of its longest edge has no usable normal.
constexpr double kMinRelativeHeight = 1e-12;

void logMessage(console_bridge::LogLevel level, int line, const char* format, const std::string& argument)
{
  console_bridge::log(kLogSource, line, level, format, argument.c_str());
}

// The lower-cased text after the last "."; the whole resource when there is none.
std::string formatHint(const std::string& resource)
{
  const std::size_t dot = resource.rfind('.');
  if (dot == std::string::npos || dot + 1 == resource.size())
    return resource;
  std::string hint = resource.substr(dot + 1);
  for (char& c : hint)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return hint;
}

// What the importer made of a file, as it crosses from the child process.
struct ImportedMesh
{
  enum Outcome : std::uint32_t
  {
    kTriangles,
    kNoScene,
    kNoMeshes
  };
  std::uint32_t outcome = kNoScene;
  std::vector<double> vertices;  // x, y, z of each vertex
  std::vector<std::uint32_t> indices;
};

void extractMeshData(const aiScene* scene, const aiNode* node, const aiMatrix4x4& parent_transform,
                     const Eigen::Vector3d& scale, ImportedMesh& out)
{
  const aiMatrix4x4 transform = parent_transform * node->mTransformation;
  for (unsigned int m = 0; m < node->mNumMeshes; ++m)
  {
    if (node->mMeshes[m] >= scene->mNumMeshes)
      continue;
    const aiMesh* mesh = scene->mMeshes[node->mMeshes[m]];
    const auto offset = static_cast<std::uint32_t>(out.vertices.size() / 3);
    for (unsigned int v = 0; v < mesh->mNumVertices; ++v)
    {
      const aiVector3D& p = mesh->mVertices[v];
      const float x = transform.a1 * p.x + transform.a2 * p.y + transform.a3 * p.z + transform.a4;
      const float y = transform.b1 * p.x + transform.b2 * p.y + transform.b3 * p.z + transform.b4;
      const float z = transform.c1 * p.x + transform.c2 * p.y + transform.c3 * p.z + transform.c4;
      out.vertices.insert(out.vertices.end(), { x * scale.x(), y * scale.y(), z * scale.z() });
    }
    for (unsigned int f = 0; f < mesh->mNumFaces; ++f)
    {
      const aiFace& face = mesh->mFaces[f];
      if (face.mNumIndices != 3)
        continue;
      for (unsigned int k = 0; k < 3; ++k)
        out.indices.push_back(face.mIndices[k] + offset);
    }
  }
  for (unsigned int c = 0; c < node->mNumChildren; ++c)
    extractMeshData(scene, node->mChildren[c], transform, scale, out);
}

ImportedMesh importScene(const aiScene* scene, const Eigen::Vector3d& scale)
{
  ImportedMesh imported;
  if (scene == nullptr || scene->mRootNode == nullptr)
    return imported;
  imported.outcome = scene->HasMeshes() ? ImportedMesh::kTriangles : ImportedMesh::kNoMeshes;
  if (imported.outcome == ImportedMesh::kTriangles)
    extractMeshData(scene, scene->mRootNode, aiMatrix4x4(), scale, imported);
  return imported;
}

ImportedMesh importBinary(const char* buffer, std::size_t size, const Eigen::Vector3d& scale, const std::string& hint)
{
  Assimp::Importer importer;
  importer.SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS, kRemovedComponents);
  const aiScene* scene = importer.ReadFileFromMemory(buffer, size, kImportSteps, hint.c_str());
  if (scene == nullptr || scene->mRootNode == nullptr)
    return ImportedMesh();
  // The file's own root transformation (axis conventions, units) is not applied.
  scene->mRootNode->mTransformation = aiMatrix4x4();
  return importScene(importer.ApplyPostProcessing(kSceneSteps), scale);
}

template <typename T>
void append(std::vector<char>& bytes, const T* values, std::size_t count)
{
  if (count == 0)
    return;
  const auto* begin = reinterpret_cast<const char*>(values);
  bytes.insert(bytes.end(), begin, begin + count * sizeof(T));
}

template <typename T>
bool take(const std::vector<char>& bytes, std::size_t& at, T* values, std::size_t count)
{
  if (count > (bytes.size() - at) / sizeof(T))
    return false;
  if (count > 0)
    std::memcpy(values, bytes.data() + at, count * sizeof(T));
  at += count * sizeof(T);
  return true;
}

std::vector<char> serialize(const ImportedMesh& mesh)
{
  std::vector<char> bytes;
  const std::uint64_t counts[2] = { mesh.vertices.size(), mesh.indices.size() };
  append(bytes, &mesh.outcome, 1);
  append(bytes, counts, 2);
  append(bytes, mesh.vertices.data(), mesh.vertices.size());
  append(bytes, mesh.indices.data(), mesh.indices.size());
  return bytes;
}

bool deserialize(const std::vector<char>& bytes, ImportedMesh& mesh)
{
  std::size_t at = 0;
  std::uint64_t counts[2] = { 0, 0 };
  if (!take(bytes, at, &mesh.outcome, 1) || !take(bytes, at, counts, 2) ||
      counts[0] > bytes.size() / sizeof(double) || counts[1] > bytes.size() / sizeof(std::uint32_t))
    return false;
  mesh.vertices.resize(counts[0]);
  mesh.indices.resize(counts[1]);
  return take(bytes, at, mesh.vertices.data(), counts[0]) && take(bytes, at, mesh.indices.data(), counts[1]) &&
         at == bytes.size();
}

bool usableCoordinate(double value)
{
  return std::isfinite(value) && std::abs(value) <= kMaxCoordinate;
}

bool degenerate(const ImportedMesh& mesh, const std::uint32_t* corner)
{
  const std::size_t vertex_count = mesh.vertices.size() / 3;
  if (corner[0] >= vertex_count || corner[1] >= vertex_count || corner[2] >= vertex_count)
    return true;
  const auto at = [&mesh](std::uint32_t i) { return Eigen::Map<const Eigen::Vector3d>(&mesh.vertices[3 * std::size_t(i)]); };
  const Eigen::Vector3d a = at(corner[1]) - at(corner[0]);
  const Eigen::Vector3d b = at(corner[2]) - at(corner[0]);
  const double longest = std::max({ a.norm(), b.norm(), (b - a).norm() });
  // Twice the area is height times the longest edge.
  return !(a.cross(b).norm() > kMinRelativeHeight * longest * longest);
}

// Refuses a mesh with unusable vertices and drops its degenerate triangles.
std::unique_ptr<Mesh> buildMesh(ImportedMesh imported, const std::string& assimp_hint, const std::string& name)
{
  if (imported.outcome == ImportedMesh::kNoMeshes)
  {
    logMessage(console_bridge::CONSOLE_BRIDGE_LOG_WARN, 338, "Assimp reports scene in %s has no meshes", assimp_hint);
    return nullptr;
  }
  if (imported.outcome != ImportedMesh::kTriangles)
    return nullptr;
  if (imported.vertices.empty())
  {
    logMessage(console_bridge::CONSOLE_BRIDGE_LOG_WARN, 346, "There are no vertices in the scene %s", assimp_hint);
    return nullptr;
  }
  if (!std::all_of(imported.vertices.begin(), imported.vertices.end(), usableCoordinate))
  {
    logMessage(console_bridge::CONSOLE_BRIDGE_LOG_ERROR, 342,
               "Mesh %s has a vertex coordinate that is not finite or lies farther than 1e4 from its origin",
               name);
    return nullptr;
  }
  std::vector<std::uint32_t> indices;
  indices.reserve(imported.indices.size());
  for (std::size_t t = 0; t + 2 < imported.indices.size(); t += 3)
    if (!degenerate(imported, &imported.indices[t]))
      indices.insert(indices.end(), &imported.indices[t], &imported.indices[t] + 3);
  if (indices.size() != imported.indices.size() - imported.indices.size() % 3)
    logMessage(console_bridge::CONSOLE_BRIDGE_LOG_WARN, 349, "Mesh %s: degenerate triangles dropped",
               name + " (" + std::to_string((imported.indices.size() - indices.size()) / 3) + ")");
  if (indices.empty())
  {
    logMessage(console_bridge::CONSOLE_BRIDGE_LOG_WARN, 351, "There are no triangles in the scene %s", assimp_hint);
    return nullptr;
  }

  const std::size_t vertex_count = imported.vertices.size() / 3;
  auto mesh = std::make_unique<Mesh>(static_cast<std::uint32_t>(vertex_count),
                                     static_cast<std::uint32_t>(indices.size() / 3));
  std::copy(imported.vertices.begin(), imported.vertices.begin() + 3 * vertex_count, mesh->vertices.get());
  std::copy(indices.begin(), indices.end(), mesh->triangles.get());
  mesh->computeTriangleNormals();
  mesh->computeVertexNormals();
  return mesh;
}
}  // namespace

std::unique_ptr<Mesh> createMeshFromResource(const std::string& resource, const Eigen::Vector3d& scale)
{
  std::vector<std::uint8_t> bytes;
  try
  {
    bytes = resource_fetcher::fetch(resource);
  }
  catch (const resource_fetcher::Exception& e)
  {
    logMessage(console_bridge::CONSOLE_BRIDGE_LOG_ERROR, 277, "%s", e.what());
    return nullptr;
  }
  if (bytes.empty())
  {
    logMessage(console_bridge::CONSOLE_BRIDGE_LOG_WARN, 283, "Retrieved empty mesh for resource '%s'", resource);
    return nullptr;
  }

  std::unique_ptr<Mesh> mesh =
      createMeshFromBinary(reinterpret_cast<const char*>(bytes.data()), bytes.size(), scale, resource);
  if (!mesh)
  {
    logMessage(console_bridge::CONSOLE_BRIDGE_LOG_WARN, 290, "Assimp reports no scene in %s.", resource);
    console_bridge::log(kLogSource, 291, console_bridge::CONSOLE_BRIDGE_LOG_WARN,
                        "This could be because of a resource filename that is too long for the Assimp library, a "
                        "known bug. As a workaround shorten the filename/path.");
  }
  return mesh;
}

std::unique_ptr<Mesh> createMeshFromBinary(const char* buffer, std::size_t size, const Eigen::Vector3d& scale,
                                           const std::string& resource_hint)
{
  if (buffer == nullptr || size == 0)
    return nullptr;
  const std::string hint = formatHint(resource_hint);
  const IsolatedCallResult call =
      callIsolated([&] { return serialize(importBinary(buffer, size, scale, hint)); }, kImportLimits);
  ImportedMesh imported;
  if (!call.failure.empty() || !deserialize(call.output, imported))
  {
    const std::string why = call.failure.empty() ? "returned a malformed result" : call.failure;
    console_bridge::log(kLogSource, 300, console_bridge::CONSOLE_BRIDGE_LOG_ERROR,
                        "Importing %s failed: the importer process %s", resource_hint.c_str(), why.c_str());
    return nullptr;
  }
  return buildMesh(std::move(imported), hint, resource_hint);
}

std::unique_ptr<Mesh> createMeshFromAsset(const aiScene* scene, const Eigen::Vector3d& scale,
                                          const std::string& assimp_hint)
{
  if (scene == nullptr || scene->mRootNode == nullptr)
    return nullptr;
  return buildMesh(importScene(scene, scale), assimp_hint, assimp_hint);
}

}  // namespace shapes
