#!/usr/bin/python3
"""Writes the low-poly binary STL meshes of the arm6 description (metres).

Run from anywhere; the files land in ../meshes next to this script. The output
is deterministic, so a rerun leaves the committed files unchanged.
"""
import math
import os
import struct

MESH_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "meshes")


def prism(sides, radius, z0, z1, phase=0.0):
    """Closed regular prism along z, outward-facing triangles."""
    ring = [(radius * math.cos(phase + 2 * math.pi * k / sides),
             radius * math.sin(phase + 2 * math.pi * k / sides)) for k in range(sides)]
    bottom_centre, top_centre = (0.0, 0.0, z0), (0.0, 0.0, z1)
    triangles = []
    for k in range(sides):
        (xa, ya), (xb, yb) = ring[k], ring[(k + 1) % sides]
        a0, b0, a1, b1 = (xa, ya, z0), (xb, yb, z0), (xa, ya, z1), (xb, yb, z1)
        triangles += [(a0, b0, b1), (a0, b1, a1), (top_centre, a1, b1), (bottom_centre, b0, a0)]
    return triangles


def box(lo, hi):
    """Axis-aligned box, outward-facing triangles."""
    x = (lo[0], hi[0])
    y = (lo[1], hi[1])
    z = (lo[2], hi[2])

    def corner(i, j, k):
        return (x[i], y[j], z[k])

    quads = [
        (corner(0, 0, 0), corner(0, 1, 0), corner(1, 1, 0), corner(1, 0, 0)),  # -z
        (corner(0, 0, 1), corner(1, 0, 1), corner(1, 1, 1), corner(0, 1, 1)),  # +z
        (corner(0, 0, 0), corner(1, 0, 0), corner(1, 0, 1), corner(0, 0, 1)),  # -y
        (corner(0, 1, 0), corner(0, 1, 1), corner(1, 1, 1), corner(1, 1, 0)),  # +y
        (corner(0, 0, 0), corner(0, 0, 1), corner(0, 1, 1), corner(0, 1, 0)),  # -x
        (corner(1, 0, 0), corner(1, 1, 0), corner(1, 1, 1), corner(1, 0, 1)),  # +x
    ]
    triangles = []
    for a, b, c, d in quads:
        triangles += [(a, b, c), (a, c, d)]
    return triangles


def normal(a, b, c):
    u = [b[i] - a[i] for i in range(3)]
    v = [c[i] - a[i] for i in range(3)]
    n = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
    length = math.sqrt(sum(c * c for c in n))
    return tuple(c / length for c in n) if length > 0 else (0.0, 0.0, 0.0)


def write_binary_stl(name, triangles):
    header = ("arm6 description mesh " + name).encode("ascii").ljust(80, b" ")
    with open(os.path.join(MESH_DIR, name), "wb") as out:
        out.write(header)
        out.write(struct.pack("<I", len(triangles)))
        for a, b, c in triangles:
            out.write(struct.pack("<12fH", *normal(a, b, c), *a, *b, *c, 0))


def main():
    os.makedirs(MESH_DIR, exist_ok=True)
    # Pedestal: 16-sided column, 0.08 m radius, from the floor to 0.22 m.
    write_binary_stl("base_link.stl", prism(16, 0.08, 0.0, 0.22))
    # Gripper body in the TCP frame: octagonal palm from 0.12 m to 0.04 m behind the TCP.
    write_binary_stl("gripper_body.stl", prism(8, 0.045, -0.12, -0.04, math.pi / 8))
    # One finger in its own frame: a slim block reaching 0.045 m towards the TCP.
    write_binary_stl("finger.stl", box((-0.01, -0.0075, 0.0), (0.01, 0.0075, 0.045)))


if __name__ == "__main__":
    main()
