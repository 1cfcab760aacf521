#!/usr/bin/env python3
"""Writes a CAD-like part as OBJ: a square plate with a round hole through it.

    tools/generate_part.py OUT.obj [SEGMENTS]

The plate is 2 x 2 x 0.6, centred at the origin, the hole of radius 0.45 on
the z axis, its wall SEGMENTS quads around (default 32, a multiple of 8 so
that the plate's corners are among the outline's points). Each flat face
is a ring of quads from the hole's rim out to the plate's outline, so the
part is closed, of genus one, every triangle wound counter-clockwise seen
from outside. Its edges bend by 90 degrees and its hole's wall by
360 / SEGMENTS between segments: a crease angle between the two keeps the
edges sharp and lets the hole round.
"""
import math
import sys

HALF_WIDTH = 1.0
HALF_THICKNESS = 0.3
HOLE_RADIUS = 0.45
RINGS = 3  # rings of quads from the hole's rim out to the outline


def outline(angle):
    """The point of the plate's square outline seen from the axis at angle."""
    c, s = math.cos(angle), math.sin(angle)
    scale = HALF_WIDTH / max(abs(c), abs(s))
    return c * scale, s * scale


def part(segments):
    vertices = []
    # Ring r of a face at height z: the hole's rim at r = 0, the outline at
    # r = RINGS, straight between them.
    index = {}
    for z in (-HALF_THICKNESS, HALF_THICKNESS):
        for r in range(RINGS + 1):
            for s in range(segments):
                angle = 2 * math.pi * s / segments
                ox, oy = outline(angle)
                hx, hy = HOLE_RADIUS * math.cos(angle), HOLE_RADIUS * math.sin(angle)
                t = r / RINGS
                index[(z, r, s)] = len(vertices)
                vertices.append((hx + t * (ox - hx), hy + t * (oy - hy), z))
    triangles = []

    def quad(a, b, c, d):
        """Two triangles of the quad a b c d, counter-clockwise seen from outside."""
        triangles.extend([(a, b, c), (a, c, d)])

    for s in range(segments):
        n = (s + 1) % segments
        for r in range(RINGS):
            top = [index[(HALF_THICKNESS, r + i, k)] for i, k in ((0, s), (1, s), (1, n), (0, n))]
            bottom = [index[(-HALF_THICKNESS, r + i, k)] for i, k in ((0, s), (1, s), (1, n), (0, n))]
            quad(*top)
            quad(bottom[0], bottom[3], bottom[2], bottom[1])
        outer = [index[(z, RINGS, k)] for z, k in
                 ((-HALF_THICKNESS, s), (-HALF_THICKNESS, n), (HALF_THICKNESS, n), (HALF_THICKNESS, s))]
        quad(*outer)
        # The hole's wall faces the axis.
        wall = [index[(z, 0, k)] for z, k in
                ((-HALF_THICKNESS, s), (HALF_THICKNESS, s), (HALF_THICKNESS, n), (-HALF_THICKNESS, n))]
        quad(*wall)
    return vertices, triangles


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    segments = int(sys.argv[2]) if len(sys.argv) > 2 else 32
    if segments % 8:
        sys.exit("SEGMENTS must be a multiple of 8")
    vertices, triangles = part(segments)
    with open(sys.argv[1], "w") as out:
        out.write("# plate with a round hole, %d segments\n" % segments)
        for v in vertices:
            out.write("v %.6f %.6f %.6f\n" % v)
        for t in triangles:
            out.write("f %d %d %d\n" % tuple(i + 1 for i in t))


if __name__ == "__main__":
    main()
