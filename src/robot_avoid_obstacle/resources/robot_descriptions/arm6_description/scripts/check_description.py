#!/usr/bin/python3
"""Checks an arm description: MDH table, solver assumptions, named states.

    check_description.py <urdf> <srdf> <arm6|arm5>

Recomputes each arm joint's MDH values from its origin the way the robot model
does, compares them with the designed table and the closed-form assumptions of
the matching solver, and measures (by surface sampling) the clearance of every
collision pair that the SRDF does not disable, in each group state, with the
normal padding and with the wider gripper margin. Exits non-zero on a failure.
"""
import math
import os
import struct
import sys
import xml.etree.ElementTree as ET

HALF_PI = math.pi / 2
DESIGNS = {
    # joint: (zd, xa, alpha, qzero)
    "arm6": [(0.30, 0, 0, 0), (0, 0.05, HALF_PI, HALF_PI), (0.10, 0.40, 0, 0),
             (0.35, 0.03, HALF_PI, 0), (0, 0, -HALF_PI, 0), (0.08, 0, HALF_PI, 0)],
    "arm5": [(0.25, 0, 0, 0), (0, 0.03, HALF_PI, HALF_PI), (0, 0.30, 0, 0),
             (0, 0.25, 0, 0), (0.10, 0.02, -HALF_PI, 0)],
}
ROBOT_PADDING = 0.01
GRIPPER_MARGIN = 0.06
failures = []


def fail(text):
    failures.append(text)
    print("FAIL:", text)


def vec(text, default="0 0 0"):
    return [float(v) for v in (text if text is not None else default).split(" ") if v]


def rx(a):
    c, s = math.cos(a), math.sin(a)
    return [[1, 0, 0], [0, c, -s], [0, s, c]]


def ry(a):
    c, s = math.cos(a), math.sin(a)
    return [[c, 0, s], [0, 1, 0], [-s, 0, c]]


def rz(a):
    c, s = math.cos(a), math.sin(a)
    return [[c, -s, 0], [s, c, 0], [0, 0, 1]]


def mat_mul(a, b):
    return [[sum(a[i][k] * b[k][j] for k in range(3)) for j in range(3)] for i in range(3)]


def mat_vec(a, v):
    return [sum(a[i][k] * v[k] for k in range(3)) for i in range(3)]


def transpose(a):
    return [[a[j][i] for j in range(3)] for i in range(3)]


def rpy_matrix(rpy):
    return mat_mul(rz(rpy[2]), mat_mul(ry(rpy[1]), rx(rpy[0])))


def compose(a, b):
    return (mat_mul(a[0], b[0]), [p + q for p, q in zip(mat_vec(a[0], b[1]), a[1])])


def apply(t, p):
    return [a + b for a, b in zip(mat_vec(t[0], p), t[1])]


def origin_of(element):
    o = element.find("origin") if element is not None else None
    if o is None:
        return [0, 0, 0], [0, 0, 0]
    return vec(o.get("xyz")), vec(o.get("rpy"))


def mdh(xyz, rpy):
    """MDH values of a joint origin, or None when the rotation has no MDH form."""
    m = mat_mul(transpose(rx(rpy[0])), rpy_matrix(rpy))
    residuals = [abs(m[0][2]), abs(m[2][0]), abs(m[2][1]), abs(m[1][2]), abs(m[2][2] - 1),
                 abs(m[0][0] - m[1][1]), abs(m[0][1] + m[1][0])]
    if max(residuals) >= 1e-5:
        return None
    return {"xa": xyz[0], "alpha": rpy[0], "qzero": math.atan2(m[1][0], m[0][0]),
            "zd": xyz[2] * math.cos(rpy[0]) - xyz[1] * math.sin(rpy[0])}


def check_mdh(joints, arm):
    for index, (zd, xa, alpha, qzero) in enumerate(DESIGNS[arm], start=1):
        joint = joints["joint%d" % index]
        xyz, rpy = origin_of(joint["element"])
        if vec(joint["element"].find("axis").get("xyz")) != [0, 0, 1]:
            fail("joint%d axis is not 0 0 1" % index)
        if rpy[0] != 0 and rpy[2] != 0:
            fail("joint%d combines a roll with a yaw" % index)
        values = mdh(xyz, rpy)
        if values is None:
            fail("joint%d origin has no MDH form" % index)
            continue
        for key, expected in (("zd", zd), ("xa", xa), ("alpha", alpha), ("qzero", qzero)):
            if abs(values[key] - expected) > 1e-12:
                fail("joint%d %s is %r, designed %r" % (index, key, values[key], expected))
        joint["mdh"] = values
    mdh_of = [joints["joint%d" % i].get("mdh") for i in range(1, len(DESIGNS[arm]) + 1)]
    if None in mdh_of:
        return
    if arm == "arm6":
        j1, j2, j3, j4, j5, j6 = mdh_of
        xyz1, _ = origin_of(joints["joint1"]["element"])
        assumptions = [xyz1[0] == 0 and xyz1[1] == 0, j2["zd"] == 0, j5["zd"] == 0, j5["xa"] == 0,
                       j6["xa"] == 0, j4["zd"] > 0, j3["xa"] != 0, j1["xa"] == 0]
    else:
        j1, j2, j3, j4, j5 = mdh_of
        xyz1, _ = origin_of(joints["joint1"]["element"])
        assumptions = [xyz1[0] == 0 and xyz1[1] == 0, j2["zd"] == 0, j3["zd"] == 0, j4["zd"] == 0,
                       j3["xa"] != 0, j4["xa"] != 0, j1["xa"] == 0]
    if not all(assumptions):
        fail("closed-form assumptions violated: %r" % assumptions)


def read_stl(path):
    with open(path, "rb") as stl:
        data = stl.read()
    count = struct.unpack_from("<I", data, 80)[0]
    triangles = []
    for k in range(count):
        values = struct.unpack_from("<12f", data, 84 + 50 * k)
        triangles.append([values[3:6], values[6:9], values[9:12]])
    return triangles


def sample_geometry(geometry, description_dir, step=0.012):
    """Points on the surface of a collision geometry, in its own frame."""
    shape = geometry[0]
    points = []
    if shape.tag == "box":
        size = vec(shape.get("size"))
        counts = [max(2, int(s / step) + 1) for s in size]
        for i in range(counts[0]):
            for j in range(counts[1]):
                for k in range(counts[2]):
                    idx = (i, j, k)
                    if any(idx[a] in (0, counts[a] - 1) for a in range(3)):
                        points.append([size[a] * (idx[a] / (counts[a] - 1) - 0.5) for a in range(3)])
    elif shape.tag == "cylinder":
        length, radius = float(shape.get("length")), float(shape.get("radius"))
        around = max(8, int(2 * math.pi * radius / step))
        along = max(2, int(length / step) + 1)
        for i in range(along):
            z = length * (i / (along - 1) - 0.5)
            for k in range(around):
                a = 2 * math.pi * k / around
                points.append([radius * math.cos(a), radius * math.sin(a), z])
        for z in (-length / 2, length / 2):
            rings = max(1, int(radius / step))
            for r in range(rings):
                rr = radius * r / rings
                for k in range(max(1, int(2 * math.pi * rr / step))):
                    a = 2 * math.pi * k / max(1, int(2 * math.pi * rr / step))
                    points.append([rr * math.cos(a), rr * math.sin(a), z])
    elif shape.tag == "sphere":
        radius = float(shape.get("radius"))
        for i in range(12):
            for k in range(24):
                t, p = math.pi * i / 11, 2 * math.pi * k / 24
                points.append([radius * math.sin(t) * math.cos(p), radius * math.sin(t) * math.sin(p),
                               radius * math.cos(t)])
    elif shape.tag == "mesh":
        name = shape.get("filename")
        path = os.path.join(description_dir, name[len("package://"):])
        for a, b, c in read_stl(path):
            n = max(2, int(max(math.dist(a, b), math.dist(a, c)) / step) + 1)
            for i in range(n):
                for j in range(n - i):
                    u, v = i / (n - 1), j / (n - 1)
                    points.append([a[d] + u * (b[d] - a[d]) + v * (c[d] - a[d]) for d in range(3)])
    return points


def link_transforms(links, joints, root, positions):
    transforms = {root: ([[1, 0, 0], [0, 1, 0], [0, 0, 1]], [0, 0, 0])}
    pending = [root]
    while pending:
        parent = pending.pop()
        for joint in joints.values():
            if joint["parent"] != parent:
                continue
            xyz, rpy = origin_of(joint["element"])
            t = compose(transforms[parent], (rpy_matrix(rpy), xyz))
            q = positions.get(joint["name"], 0.0)
            axis = vec(joint["element"].find("axis").get("xyz")) if joint["type"] != "fixed" else [0, 0, 0]
            if joint["type"] == "revolute":
                t = compose(t, (axis_rotation(axis, q), [0, 0, 0]))
            elif joint["type"] == "prismatic":
                t = compose(t, ([[1, 0, 0], [0, 1, 0], [0, 0, 1]], [a * q for a in axis]))
            transforms[joint["child"]] = t
            pending.append(joint["child"])
    return transforms


def axis_rotation(axis, q):
    x, y, z = axis
    c, s, v = math.cos(q), math.sin(q), 1 - math.cos(q)
    return [[c + x * x * v, x * y * v - z * s, x * z * v + y * s],
            [y * x * v + z * s, c + y * y * v, y * z * v - x * s],
            [z * x * v - y * s, z * y * v + x * s, c + z * z * v]]


def clearance(points_a, points_b):
    best = float("inf")
    for p in points_a:
        for q in points_b:
            d = (p[0] - q[0]) ** 2 + (p[1] - q[1]) ** 2 + (p[2] - q[2]) ** 2
            if d < best:
                best = d
    return math.sqrt(best)


def main():
    urdf_path, srdf_path, arm = sys.argv[1:4]
    description_dir = os.path.dirname(os.path.dirname(os.path.abspath(urdf_path)))
    urdf = ET.parse(urdf_path).getroot()
    srdf = ET.parse(srdf_path).getroot()
    joints = {}
    for j in urdf.findall("joint"):
        joints[j.get("name")] = {"name": j.get("name"), "type": j.get("type"), "element": j,
                                 "parent": j.find("parent").get("link"), "child": j.find("child").get("link")}
        if j.get("type") in ("revolute", "prismatic"):
            limit = j.find("limit")
            if limit is None or float(limit.get("velocity")) <= 0 or float(limit.get("lower")) > float(limit.get("upper")):
                fail("joint %s limits" % j.get("name"))
    check_mdh(joints, arm)

    children = {j["child"] for j in joints.values()}
    links = {l.get("name"): l for l in urdf.findall("link")}
    root = [name for name in links if name not in children][0]
    local_points = {}
    for name, link in links.items():
        pts = []
        for collision in link.findall("collision"):
            xyz, rpy = origin_of(collision)
            frame = (rpy_matrix(rpy), xyz)
            pts += [apply(frame, p) for p in sample_geometry(collision.find("geometry"), description_dir)]
        if pts:
            local_points[name] = pts
    disabled = {frozenset((d.get("link1"), d.get("link2"))) for d in srdf.findall("disable_collisions")}
    tip = srdf.find("group/chain").get("tip_link")
    for state in srdf.findall("group_state"):
        positions = {j.get("name"): float(j.get("value")) for j in state.findall("joint")}
        for name, q in positions.items():
            limit = joints[name]["element"].find("limit")
            if not float(limit.get("lower")) <= q <= float(limit.get("upper")):
                fail("state %s: %s outside its limits" % (state.get("name"), name))
        transforms = link_transforms(links, joints, root, positions)
        world = {n: [apply(transforms[n], p) for p in pts] for n, pts in local_points.items()}
        names = sorted(world)
        print("state %s, tip at %s" % (state.get("name"), [round(v, 4) for v in transforms[tip][1]]))
        for i, a in enumerate(names):
            for b in names[i + 1:]:
                if frozenset((a, b)) in disabled:
                    continue
                d = clearance(world[a], world[b])
                margin = 2 * ROBOT_PADDING + (GRIPPER_MARGIN if tip in (a, b) else 0)
                flag = "" if d > margin + 0.005 else "  <-- too close"
                print("  %-14s %-14s %.4f%s" % (a, b, d, flag))
                if flag:
                    fail("state %s: %s and %s only %.4f m apart" % (state.get("name"), a, b, d))
    print("FAILED" if failures else "OK")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
