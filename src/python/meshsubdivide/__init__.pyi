# Type stubs of the meshsubdivide package, for editors and type checkers.
import os
from typing import Callable, Iterator, List, Optional, Tuple, Union

import numpy as np
import numpy.typing as npt

_Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]

class Mesh:
    """A triangle mesh: vertices float32 (N, 3), faces uint32 (M, 3); uv,
    normals, colors and face_groups as a file or subdivide carried them, or
    None; groups and material_libraries as the file named them."""

    groups: List[Tuple[str, str, str]]
    material_libraries: List[str]

    def __init__(self, vertices: npt.ArrayLike, faces: npt.ArrayLike) -> None: ...
    @property
    def vertices(self) -> npt.NDArray[np.float32]: ...
    @property
    def faces(self) -> npt.NDArray[np.uint32]: ...
    @property
    def uv(self) -> Optional[npt.NDArray[np.float32]]: ...
    @property
    def normals(self) -> Optional[npt.NDArray[np.float32]]: ...
    @property
    def colors(self) -> Optional[np.ndarray]: ...
    @property
    def face_groups(self) -> Optional[npt.NDArray[np.uint32]]: ...
    def subdivide(
        self,
        passes: int = 1,
        rule: str = "classic",
        tension: Optional[float] = None,
        max_edge: Union[float, str, None] = None,
        crease_angle: Optional[float] = None,
        progress: Optional[Callable[[float], object]] = None,
    ) -> "Mesh":
        """The mesh subdivided, with everything it carries."""
    def __iter__(self) -> Iterator[np.ndarray]: ...

def subdivide(
    vertices: npt.ArrayLike,
    faces: npt.ArrayLike,
    passes: int = 1,
    rule: str = "classic",
    tension: Optional[float] = None,
    max_edge: Union[float, str, None] = None,
    crease_angle: Optional[float] = None,
    uv: Optional[npt.ArrayLike] = None,
    normals: Optional[npt.ArrayLike] = None,
    colors: Optional[npt.ArrayLike] = None,
    progress: Optional[Callable[[float], object]] = None,
    *,
    weld: bool = False,
    face_groups: Optional[npt.ArrayLike] = None,
) -> Mesh:
    """Refine a triangle mesh by butterfly subdivision."""

def read(path: _Path) -> Mesh:
    """Read a mesh file (OBJ, PLY, STL, OFF, ...) as meshsubdivide reads it."""

def write(
    path: _Path,
    mesh: Mesh,
    format: Optional[str] = None,
    *,
    ascii: bool = False,
    positions_only: bool = False,
) -> None:
    """Write the mesh as OBJ, PLY, STL or OFF, as meshsubdivide writes it."""
