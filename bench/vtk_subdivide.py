"""The job of meshsubdivide done with VTK from Debian's python3-vtk9, as a
user of that library would write it: vtkPLYReader, N passes of
vtkButterflySubdivisionFilter (the modified rule), vtkPLYWriter, binary.

  /usr/bin/python3 bench/vtk_subdivide.py IN.ply PASSES OUT.ply
"""

import sys

import vtk


def main():
  source, passes, output = sys.argv[1], int(sys.argv[2]), sys.argv[3]
  reader = vtk.vtkPLYReader()
  reader.SetFileName(source)
  subdivider = vtk.vtkButterflySubdivisionFilter()
  subdivider.SetInputConnection(reader.GetOutputPort())
  subdivider.SetNumberOfSubdivisions(passes)
  writer = vtk.vtkPLYWriter()
  writer.SetInputConnection(subdivider.GetOutputPort())
  writer.SetFileName(output)
  writer.SetFileTypeToBinary()
  if writer.Write() != 1:
    sys.exit("vtk_subdivide: %s: cannot write" % output)


if __name__ == "__main__":
  main()
