#!/usr/bin/env python3
"""Writes the three models of the menu into Data/.

Cube.obj: a closed cube of side 2 centred at the origin, 12 triangles.
SmallCube.obj: the same cube with side 1.
table.obj: a closed, capped cylinder of radius 1 and height 2 about the y
axis, 24 segments, each cap a fan round a centre vertex.

Every triangle is wound counter-clockwise seen from outside. All three shapes
are convex and centred at the origin, so a triangle faces outwards exactly when
its normal points away from the origin, which is how the winding is settled.
"""
import math
import os
import sys


def outward(vertices, tri):
    a, b, c = (vertices[i] for i in tri)
    u = [b[k] - a[k] for k in range(3)]
    w = [c[k] - a[k] for k in range(3)]
    n = [u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]]
    centroid = [(a[k] + b[k] + c[k]) / 3 for k in range(3)]
    if sum(n[k] * centroid[k] for k in range(3)) < 0:
        return (tri[0], tri[2], tri[1])
    return tri


def cube(half):
    vertices = [(x, y, z) for x in (-half, half) for y in (-half, half) for z in (-half, half)]
    index = {v: i for i, v in enumerate(vertices)}
    triangles = []
    for axis in range(3):
        for side in (-half, half):
            corners = [v for v in vertices if v[axis] == side]
            others = [k for k in range(3) if k != axis]
            # Order the four corners of the face round its centre.
            corners.sort(key=lambda v: math.atan2(v[others[1]], v[others[0]]))
            q = [index[v] for v in corners]
            triangles += [(q[0], q[1], q[2]), (q[0], q[2], q[3])]
    return vertices, [outward(vertices, t) for t in triangles]


def cylinder(radius, half_height, segments):
    vertices = []
    for y in (-half_height, half_height):
        for s in range(segments):
            angle = 2 * math.pi * s / segments
            vertices.append((radius * math.cos(angle), y, radius * math.sin(angle)))
    bottom_centre, top_centre = len(vertices), len(vertices) + 1
    vertices += [(0.0, -half_height, 0.0), (0.0, half_height, 0.0)]
    triangles = []
    for s in range(segments):
        n = (s + 1) % segments
        b0, b1, t0, t1 = s, n, segments + s, segments + n
        triangles += [(b0, b1, t1), (b0, t1, t0)]
        triangles.append((bottom_centre, b0, b1))
        triangles.append((top_centre, t0, t1))
    return vertices, [outward(vertices, t) for t in triangles]


def write(path, comment, mesh):
    vertices, triangles = mesh
    with open(path, "w") as out:
        out.write(f"# {comment}\n")
        for v in vertices:
            out.write("v %.6f %.6f %.6f\n" % v)
        for t in triangles:
            out.write("f %d %d %d\n" % tuple(i + 1 for i in t))


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Data")
    os.makedirs(root, exist_ok=True)
    write(os.path.join(root, "Cube.obj"), "cube of side 2 centred at the origin", cube(1.0))
    write(os.path.join(root, "SmallCube.obj"), "cube of side 1 centred at the origin", cube(0.5))
    write(os.path.join(root, "table.obj"), "capped cylinder, radius 1, height 2, 24 segments",
          cylinder(1.0, 1.0, 24))


if __name__ == "__main__":
    main()
