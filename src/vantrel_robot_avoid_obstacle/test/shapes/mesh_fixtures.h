#pragma once

// Mesh files written at test time: STL (binary and ASCII), OBJ and COLLADA texts of known geometry.

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace rao_test
{
using Triangle = std::array<std::array<float, 3>, 3>;

// The 12 outward triangles of the box [0, 1] x [0, 2] x [0, 3].
inline std::vector<Triangle> boxTriangles()
{
  const float x = 1, y = 2, z = 3;
  const std::array<float, 3> c[8] = { { 0, 0, 0 }, { x, 0, 0 }, { x, y, 0 }, { 0, y, 0 },
                                      { 0, 0, z }, { x, 0, z }, { x, y, z }, { 0, y, z } };
  const int quads[6][4] = { { 0, 3, 2, 1 }, { 4, 5, 6, 7 }, { 0, 1, 5, 4 },
                            { 1, 2, 6, 5 }, { 2, 3, 7, 6 }, { 3, 0, 4, 7 } };
  std::vector<Triangle> triangles;
  for (const auto& q : quads)
  {
    triangles.push_back({ c[q[0]], c[q[1]], c[q[2]] });
    triangles.push_back({ c[q[0]], c[q[2]], c[q[3]] });
  }
  return triangles;
}

inline std::string binaryStl(const std::vector<Triangle>& triangles)
{
  std::string bytes(80, ' ');
  const auto count = static_cast<std::uint32_t>(triangles.size());
  bytes.append(reinterpret_cast<const char*>(&count), 4);
  for (const Triangle& t : triangles)
  {
    const float normal[3] = { 0, 0, 0 };
    bytes.append(reinterpret_cast<const char*>(normal), sizeof normal);
    for (const auto& vertex : t)
      bytes.append(reinterpret_cast<const char*>(vertex.data()), 12);
    bytes.append(2, '\0');
  }
  return bytes;
}

inline std::string asciiStl(const std::string& name, const std::vector<Triangle>& triangles)
{
  std::string text = "solid " + name + "\n";
  for (const Triangle& t : triangles)
  {
    text += "  facet normal 0 0 0\n    outer loop\n";
    for (const auto& v : t)
      text += "      vertex " + std::to_string(v[0]) + " " + std::to_string(v[1]) + " " + std::to_string(v[2]) + "\n";
    text += "    endloop\n  endfacet\n";
  }
  return text + "endsolid " + name + "\n";
}

// The same box as six quads.
inline std::string boxObj()
{
  return "o box\n"
         "v 0 0 0\nv 1 0 0\nv 1 2 0\nv 0 2 0\nv 0 0 3\nv 1 0 3\nv 1 2 3\nv 0 2 3\n"
         "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n";
}

inline std::string linesOnlyObj()
{
  return "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2\nl 2 3\n";
}

// One triangle (0,0,0) (1,0,0) (0,1,0) in a node translated by (1, 2, 3) below a parent node; the
// document declares Z up, which would turn y into z if the root's transformation were applied.
inline std::string translatedChildDae()
{
  return R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
  <asset><unit name="meter" meter="1"/><up_axis>Z_UP</up_axis></asset>
  <library_geometries>
    <geometry id="tri" name="tri">
      <mesh>
        <source id="tri-pos">
          <float_array id="tri-pos-array" count="9">0 0 0 1 0 0 0 1 0</float_array>
          <technique_common>
            <accessor source="#tri-pos-array" count="3" stride="3">
              <param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/>
            </accessor>
          </technique_common>
        </source>
        <vertices id="tri-vtx"><input semantic="POSITION" source="#tri-pos"/></vertices>
        <triangles count="1"><input semantic="VERTEX" source="#tri-vtx" offset="0"/><p>0 1 2</p></triangles>
      </mesh>
    </geometry>
  </library_geometries>
  <library_visual_scenes>
    <visual_scene id="scene" name="scene">
      <node id="assembly" name="assembly">
        <node id="part" name="part">
          <translate>1 2 3</translate>
          <instance_geometry url="#tri"/>
        </node>
      </node>
    </visual_scene>
  </library_visual_scenes>
  <scene><instance_visual_scene url="#scene"/></scene>
</COLLADA>
)";
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace rao_test
