#pragma once

// Turning mesh resources into shapes::Mesh: fetch through libcurl, decode through Assimp in a child process
// (a malformed file may crash, hang or leak inside the importer). A vertex that is not finite or lies absurdly far
// refuses the mesh; degenerate triangles are dropped. Failures are logged through console_bridge
// (source "shapes/mesh_operations") and give a null mesh.

#include <cstddef>
#include <memory>
#include <string>

#include <Eigen/Core>

#include "robot_model/shapes/shapes.h"

struct aiScene;

namespace shapes
{
// Fetches the resource (a URL, "file://..." in this system) and decodes it; every vertex is
// multiplied component-wise by scale.
std::unique_ptr<Mesh> createMeshFromResource(const std::string& resource, const Eigen::Vector3d& scale);

// Decodes a mesh file held in memory; the file format is guessed from the extension of resource_hint.
std::unique_ptr<Mesh> createMeshFromBinary(const char* buffer, std::size_t size, const Eigen::Vector3d& scale,
                                           const std::string& resource_hint);

// Collects the triangles of every node below the scene's root, each node's transformation applied.
std::unique_ptr<Mesh> createMeshFromAsset(const aiScene* scene, const Eigen::Vector3d& scale,
                                          const std::string& assimp_hint);

}  // namespace shapes
