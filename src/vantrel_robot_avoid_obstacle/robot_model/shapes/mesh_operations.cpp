#include "robot_model/shapes/mesh_operations.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <console_bridge/console.h>

#include "robot_model/shapes/resource_fetcher.h"

namespace shapes
{
namespace
{
constexpr const char* kLogSource = "shapes/mesh_operations";

// Everything but the meshes: normals, tangents, colours, texture coordinates, bone weights,
// animations, textures, lights, cameras and materials.
constexpr int kRemovedComponents = 3070;
constexpr unsigned int kImportSteps =
    aiProcess_JoinIdenticalVertices | aiProcess_Triangulate | aiProcess_RemoveComponent | aiProcess_SortByPType;
constexpr unsigned int kSceneSteps = aiProcess_OptimizeMeshes | aiProcess_OptimizeGraph;

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

void extractMeshData(const aiScene* scene, const aiNode* node, const aiMatrix4x4& parent_transform,
                     const Eigen::Vector3d& scale, std::vector<Eigen::Vector3d>& vertices,
                     std::vector<std::uint32_t>& indices)
{
  const aiMatrix4x4 transform = parent_transform * node->mTransformation;
  for (unsigned int m = 0; m < node->mNumMeshes; ++m)
  {
    if (node->mMeshes[m] >= scene->mNumMeshes)
      continue;
    const aiMesh* mesh = scene->mMeshes[node->mMeshes[m]];
    const auto offset = static_cast<std::uint32_t>(vertices.size());
    for (unsigned int v = 0; v < mesh->mNumVertices; ++v)
    {
      const aiVector3D& p = mesh->mVertices[v];
      const float x = transform.a1 * p.x + transform.a2 * p.y + transform.a3 * p.z + transform.a4;
      const float y = transform.b1 * p.x + transform.b2 * p.y + transform.b3 * p.z + transform.b4;
      const float z = transform.c1 * p.x + transform.c2 * p.y + transform.c3 * p.z + transform.c4;
      vertices.emplace_back(x * scale.x(), y * scale.y(), z * scale.z());
    }
    for (unsigned int f = 0; f < mesh->mNumFaces; ++f)
    {
      const aiFace& face = mesh->mFaces[f];
      if (face.mNumIndices != 3)
        continue;
      for (unsigned int k = 0; k < 3; ++k)
        indices.push_back(face.mIndices[k] + offset);
    }
  }
  for (unsigned int c = 0; c < node->mNumChildren; ++c)
    extractMeshData(scene, node->mChildren[c], transform, scale, vertices, indices);
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

  Assimp::Importer importer;
  importer.SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS, kRemovedComponents);
  const aiScene* scene = importer.ReadFileFromMemory(buffer, size, kImportSteps, hint.c_str());
  if (scene == nullptr || scene->mRootNode == nullptr)
    return nullptr;

  // The file's own root transformation (axis conventions, units) is not applied.
  scene->mRootNode->mTransformation = aiMatrix4x4();
  scene = importer.ApplyPostProcessing(kSceneSteps);
  if (scene == nullptr)
    return nullptr;
  return createMeshFromAsset(scene, scale, hint);
}

std::unique_ptr<Mesh> createMeshFromAsset(const aiScene* scene, const Eigen::Vector3d& scale,
                                          const std::string& assimp_hint)
{
  if (scene == nullptr || scene->mRootNode == nullptr)
    return nullptr;
  if (!scene->HasMeshes())
  {
    logMessage(console_bridge::CONSOLE_BRIDGE_LOG_WARN, 338, "Assimp reports scene in %s has no meshes", assimp_hint);
    return nullptr;
  }

  std::vector<Eigen::Vector3d> vertices;
  std::vector<std::uint32_t> indices;
  extractMeshData(scene, scene->mRootNode, aiMatrix4x4(), scale, vertices, indices);
  if (vertices.empty())
  {
    logMessage(console_bridge::CONSOLE_BRIDGE_LOG_WARN, 346, "There are no vertices in the scene %s", assimp_hint);
    return nullptr;
  }
  if (indices.empty())
  {
    logMessage(console_bridge::CONSOLE_BRIDGE_LOG_WARN, 351, "There are no triangles in the scene %s", assimp_hint);
    return nullptr;
  }

  auto mesh = std::make_unique<Mesh>(static_cast<std::uint32_t>(vertices.size()),
                                     static_cast<std::uint32_t>(indices.size() / 3));
  for (std::size_t i = 0; i < vertices.size(); ++i)
    for (int k = 0; k < 3; ++k)
      mesh->vertices[3 * i + k] = vertices[i][k];
  std::copy(indices.begin(), indices.end(), mesh->triangles.get());
  mesh->computeTriangleNormals();
  mesh->computeVertexNormals();
  return mesh;
}

}  // namespace shapes
