# The package: the bindings of _core, whose help text is the package's, and
# read and write, which open files as Python's own functions do.
import os
import warnings

from ._core import __doc__, Mesh, subdivide, _read, _write  # noqa: F401

__all__ = ["Mesh", "read", "subdivide", "write"]


def read(path):
    """read(path) -> Mesh

    Read a mesh file as the program meshsubdivide reads it, its format told
    by its content, then by its extension: OBJ, PLY (text or binary), STL
    (binary or text), OFF, and where the build has the Open Asset Import
    Library, glTF, FBX, COLLADA, 3DS and the rest. Polygons are fanned into
    triangles, and vertices at the same position (within 1e-5 of the
    bounding-box diagonal in every coordinate) taken as one, the first of
    them in file order. The Mesh holds the texture coordinates and normals
    of each face's corners, the colours of the vertices (a vertex takes the
    colour of the first corner naming it), and each face's material, group
    and object (face_groups, groups, material_libraries) that the file had.

    What the reader skipped or lost (faces naming no vertex, for one) comes
    as a UserWarning. Raises OSError (FileNotFoundError, IsADirectoryError,
    PermissionError ...) when the file cannot be opened, ValueError, naming
    the file and where in it, when it is not a mesh file this build reads or
    holds no triangle. The GIL is released while the file is read.
    """
    with open(path, "rb"):
        pass
    try:
        mesh, notes = _read(os.fsencode(path))
    except ValueError as error:
        raise ValueError("%s: %s" % (os.fsdecode(path), error)) from None
    for note in notes:
        warnings.warn("%s: %s" % (os.fsdecode(path), note), stacklevel=2)
    return mesh


def write(path, mesh, format=None, *, ascii=False, positions_only=False):
    """write(path, mesh, format=None, *, ascii=False, positions_only=False) -> None

    Write the mesh as the program meshsubdivide writes its output, whole or
    not at all (a file already at path is replaced only once every byte is
    written).

      format          "obj", "ply", "stl" or "off"; by default told by the
                      path's extension (any case), else OBJ
      ascii           PLY and STL as text rather than binary
      positions_only  leave out texture coordinates, normals, colours,
                      materials and groups

    OBJ holds everything a Mesh does but colour alpha; PLY texture
    coordinates, normals and
    colours (a vertex for each distinct set of values at a position); OFF
    colours; STL positions only. What the format cannot hold comes as a
    UserWarning. Positions are written exactly: the shortest text that reads
    back as the same float32, or the float32 itself.

    Raises OSError (with the file name) when the file cannot be written,
    ValueError when the mesh's arrays are not a mesh or face_groups names an
    entry groups does not have. The GIL is released while the file is
    written.
    """
    dropped = _write(path, mesh, (format or "").lower(), ascii, positions_only)
    if dropped:
        warnings.warn("%s: %s not written: the format holds none" % (os.fsdecode(path), dropped), stacklevel=2)
