#include <algorithm>
#include <cmath>
#include <ostream>
#include <stdexcept>

#include "robot_model/shapes/shapes.h"

namespace shapes
{
namespace
{
std::unique_ptr<double[]> copyArray(const std::unique_ptr<double[]>& source, std::size_t count)
{
  if (!source)
    return nullptr;
  std::unique_ptr<double[]> copy(new double[count]);
  std::copy(source.get(), source.get() + count, copy.get());
  return copy;
}

void normalizeInPlace(double* v)
{
  const double squared = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
  if (squared > 0.0)
  {
    const double length = std::sqrt(squared);
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
  }
}
}  // namespace

Mesh::Mesh(std::uint32_t v_count, std::uint32_t t_count)
  : vertex_count(v_count)
  , vertices(new double[std::size_t(v_count) * 3]())
  , triangle_count(t_count)
  , triangles(new std::uint32_t[std::size_t(t_count) * 3]())
  , triangle_normals(new double[std::size_t(t_count) * 3]())
  , vertex_normals(new double[std::size_t(v_count) * 3]())
{
  type = MESH;
}

Mesh* Mesh::clone() const
{
  Mesh* copy = new Mesh(vertex_count, triangle_count);
  const std::size_t vertex_values = std::size_t(vertex_count) * 3;
  const std::size_t triangle_values = std::size_t(triangle_count) * 3;
  std::copy(vertices.get(), vertices.get() + vertex_values, copy->vertices.get());
  std::copy(triangles.get(), triangles.get() + triangle_values, copy->triangles.get());
  copy->vertex_normals = copyArray(vertex_normals, vertex_values);
  copy->triangle_normals = copyArray(triangle_normals, triangle_values);
  return copy;
}

void Mesh::print(std::ostream& out) const
{
  out << "Mesh[vertices=" << vertex_count << ", triangles=" << triangle_count << "]" << std::endl;
}

void Mesh::scaleAndPad(double scale, double padding)
{
  if (!std::isfinite(scale) || !std::isfinite(padding))
    throw std::runtime_error("Mesh scale and padding must be finite.");
  if (vertex_count == 0)
    return;

  double centroid[3] = { 0.0, 0.0, 0.0 };
  for (std::uint32_t i = 0; i < vertex_count; ++i)
    for (int k = 0; k < 3; ++k)
      centroid[k] += vertices[3 * i + k];
  for (double& c : centroid)
    c /= vertex_count;

  for (std::uint32_t i = 0; i < vertex_count; ++i)
  {
    double* v = &vertices[3 * i];
    double d[3] = { v[0] - centroid[0], v[1] - centroid[1], v[2] - centroid[2] };
    const double norm = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (norm > 1e-6)
    {
      const double factor = scale + padding / norm;
      for (int k = 0; k < 3; ++k)
        v[k] = centroid[k] + d[k] * factor;
    }
    else
    {
      // No direction to move along: push the vertex out on every axis.
      for (int k = 0; k < 3; ++k)
        v[k] = centroid[k] + (d[k] > 0.0 ? d[k] + padding : d[k] - padding);
    }
  }
}

void Mesh::computeTriangleNormals()
{
  if (triangle_count == 0)
    return;
  if (!triangle_normals)
    triangle_normals.reset(new double[std::size_t(triangle_count) * 3]);

  for (std::uint32_t t = 0; t < triangle_count; ++t)
  {
    double* n = &triangle_normals[3 * t];
    const std::uint32_t* index = &triangles[3 * t];
    if (index[0] >= vertex_count || index[1] >= vertex_count || index[2] >= vertex_count)
    {
      // A triangle naming a missing vertex is treated as degenerate.
      n[0] = n[1] = n[2] = 0.0;
      continue;
    }
    const double* v1 = &vertices[3 * index[0]];
    const double* v2 = &vertices[3 * index[1]];
    const double* v3 = &vertices[3 * index[2]];
    const double a[3] = { v1[0] - v2[0], v1[1] - v2[1], v1[2] - v2[2] };
    const double b[3] = { v2[0] - v3[0], v2[1] - v3[1], v2[2] - v3[2] };
    n[0] = a[1] * b[2] - a[2] * b[1];
    n[1] = a[2] * b[0] - a[0] * b[2];
    n[2] = a[0] * b[1] - a[1] * b[0];
    normalizeInPlace(n);
  }
}

void Mesh::computeVertexNormals()
{
  if (!triangle_normals)
    computeTriangleNormals();
  if (!vertex_normals)
    vertex_normals.reset(new double[std::size_t(vertex_count) * 3]);
  std::fill(vertex_normals.get(), vertex_normals.get() + std::size_t(vertex_count) * 3, 0.0);

  for (std::uint32_t t = 0; t < triangle_count && triangle_normals; ++t)
  {
    const double* n = &triangle_normals[3 * t];
    for (int corner = 0; corner < 3; ++corner)
    {
      const std::uint32_t vertex = triangles[3 * t + corner];
      if (vertex >= vertex_count)
        continue;
      for (int k = 0; k < 3; ++k)
        vertex_normals[3 * vertex + k] += n[k];
    }
  }
  for (std::uint32_t i = 0; i < vertex_count; ++i)
    normalizeInPlace(&vertex_normals[3 * i]);
}

}  // namespace shapes
