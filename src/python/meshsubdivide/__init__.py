"""Butterfly subdivision of triangle meshes held in numpy arrays.

The passes of the command-line program meshsubdivide, on arrays: each pass
splits every triangle into four, with a new point on each side; old vertices
never move. The points are those the program writes for the same input, bit
for bit.

    import meshsubdivide
    mesh = meshsubdivide.subdivide(vertices, faces, passes=3)
    mesh.vertices, mesh.faces        # float32 (N, 3), uint32 (M, 3)

    mesh = meshsubdivide.read("in.obj")             # as the program reads it
    meshsubdivide.write("out.obj", meshsubdivide.subdivide(*mesh, passes=2))

docs/python.md in the project says more.
"""

import os

from ._core import Mesh, subdivide, write, _read_obj_bytes

__all__ = ["Mesh", "read", "subdivide", "write"]


def read(path):
    """read(path) -> Mesh

    Read an OBJ file as the program meshsubdivide reads it: every polygon
    fanned into triangles, texture and normal indices dropped, relative
    indices resolved, other statements skipped, and vertices at the same
    position (within 1e-5 of the bounding-box diagonal in every coordinate)
    taken as one, the first of them in file order.

    Raises OSError (FileNotFoundError, IsADirectoryError, PermissionError ...)
    when the file cannot be read, ValueError when it holds no triangle. The
    GIL is released while the file is read and parsed.
    """
    with open(path, "rb") as file:
        text = file.read()
    try:
        return _read_obj_bytes(text)
    except ValueError as error:
        raise ValueError("%s: %s" % (os.fsdecode(path), error)) from None
