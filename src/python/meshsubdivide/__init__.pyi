# Type stubs of the meshsubdivide package, for editors and type checkers.
import os
from typing import Callable, Iterator, Optional, Union

import numpy as np
import numpy.typing as npt

_Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]

class Mesh:
    """A triangle mesh: vertices float32 (N, 3), faces uint32 (M, 3); uv,
    normals and colors as subdivide carried them, or None."""

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
) -> Mesh:
    """Refine a triangle mesh by butterfly subdivision."""

def read(path: _Path) -> Mesh:
    """Read an OBJ file as the program meshsubdivide reads it."""

def write(path: _Path, mesh: Mesh) -> None:
    """Write the mesh as an OBJ file, as the program writes one."""
