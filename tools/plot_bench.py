"""The picture of tools/plot-bench, from the first pass table of a bench/run
output: the first runs (an older output's warm reruns, where it has no first
runs). Each row of the table is one pass of one mesh. The picture puts its
output triangles on the x axis and the nanoseconds per output triangle on the
y axis, ours on the left and OpenMesh's on the right, each mesh a line of its
own colour through its passes. OpenMesh's figure is ours divided by the
ratio column, which keeps more digits than its millisecond column.
"""

import argparse
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib import ticker  # noqa: E402

HEADER = "mesh"


def passRows(lines):
  """{mesh: [(triangles out, our ns, OpenMesh's ns or None)]} in table order."""
  meshes = {}
  inTable = False
  for line in lines:
    words = line.split()
    if not inTable:
      inTable = bool(words) and words[0] == HEADER and "ns/tri" in line
      continue
    if not words:
      break
    if len(words) < 9 or not words[1].isdigit():
      continue  # a note inside the table, such as a case whose process failed
    mesh, trianglesOut, oursNs = words[0], float(words[3]), float(words[6])
    theirsNs = oursNs / float(words[10]) if len(words) >= 11 and float(words[10]) > 0 else None
    meshes.setdefault(mesh, []).append((trianglesOut, oursNs, theirsNs))
  return meshes


def draw(meshes, output, title):
  """Two plots side by side, sharing their axes; only ours when the run had
  no OpenMesh column."""
  withOpenMesh = any(row[2] is not None for rows in meshes.values() for row in rows)
  if withOpenMesh:
    figure, (ours, theirs) = plt.subplots(1, 2, figsize=(10, 4.4), sharex=True, sharey=True)
    panels = ((ours, "our pass"), (theirs, "OpenMesh's modified butterfly"))
  else:
    figure, ours = plt.subplots(figsize=(6.5, 4.4))
    theirs = ours
    panels = ((ours, "our pass"),)
  colours = list(plt.get_cmap("tab10").colors) + ["black", "gold"]
  for index, (mesh, rows) in enumerate(meshes.items()):
    style = dict(marker="o", markersize=3, color=colours[index % len(colours)], label=mesh)
    ours.plot([row[0] for row in rows], [row[1] for row in rows], **style)
    withTheirs = [row for row in rows if row[2] is not None]
    if withTheirs:
      theirs.plot([row[0] for row in withTheirs], [row[2] for row in withTheirs], **style)
  for axes, name in panels:
    axes.set_xscale("log")
    axes.set_yscale("log")
    axes.set_title(name, fontsize=10)
    axes.set_xlabel("output triangles of the pass")
    axes.grid(True, which="major", color="0.85")
    axes.grid(True, which="minor", color="0.93", linewidth=0.5)
  ours.set_ylabel("nanoseconds per output triangle")
  # Plain numbers on the y axis: a decade spans most of the table.
  ours.yaxis.set_major_formatter(ticker.FuncFormatter(lambda value, _: f"{value:g}"))
  ours.yaxis.set_minor_formatter(ticker.FuncFormatter(
      lambda value, _: f"{value:g}" if f"{value:g}"[0] in "25" else ""))
  theirs.legend(fontsize=8, loc="upper left", bbox_to_anchor=(1.02, 1.0), title="mesh",
                title_fontsize=8, frameon=False)
  if title:
    figure.suptitle(title, fontsize=10)
  figure.tight_layout()
  figure.savefig(output, dpi=80, pil_kwargs={"optimize": True})


def main():
  parser = argparse.ArgumentParser(description="Draws the pass table of a bench/run output.")
  parser.add_argument("table", metavar="BENCH_OUTPUT.txt", help="what bench/run printed")
  parser.add_argument("picture", metavar="PICTURE.png", help="the picture to write")
  parser.add_argument("--title", default="", help="a line above the two plots")
  args = parser.parse_args()
  with open(args.table) as f:
    meshes = passRows(f)
  if not meshes:
    sys.exit(f"plot-bench: no pass table in {args.table}")
  draw(meshes, args.picture, args.title)


if __name__ == "__main__":
  main()
