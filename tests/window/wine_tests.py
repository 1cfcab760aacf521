"""The Windows viewer under Wine, driven as the Linux viewer is and judged
against it: the same listings after the same menu choice and keys, the cube
where Linux draws it, the same exit statuses.

  wine_tests.py --viewer meshviewer.exe --linux-viewer meshviewer [unittest arguments]

Wine runs in the prefix tools/run-windows gives it (in the build tree). Both
programs share one Xvfb; each test starts them afresh.
"""

import argparse
import os
import shutil
import sys
import tempfile
import unittest

import scene
import viewer
import window_tests
import xsession

RUN_WINDOWS = os.path.join(viewer.REPOSITORY, "tools", "run-windows")
WINDOWS_VIEWER = None  # set from the command line
LINUX_VIEWER = None


def wineservers():
  """The pids of the Wine servers of the prefix tools/run-windows uses."""
  prefix = os.environ.get("WINEPREFIX", os.path.join(viewer.REPOSITORY, "build", "windows", "wine"))
  found = []
  for entry in os.listdir("/proc"):
    if not entry.isdigit():
      continue
    try:
      with open(f"/proc/{entry}/comm") as f:
        name = f.read().strip()
      if not name.startswith("wineserver"):
        continue
      with open(f"/proc/{entry}/environ", "rb") as f:
        environment = f.read().split(b"\0")
    except OSError:
      continue
    if f"WINEPREFIX={prefix}".encode() in environment:
      found.append(int(entry))
  return found


class WineViewer(viewer.Viewer):
  """The Windows viewer under Wine, which differs from the Linux one in how
  an input is known to be handled and how freeglut's menu takes a choice."""

  def settle(self):
    """An input reaches the program as an X event, and the program hands it
    to the Wine server, which queues it as a window message and wakes the
    program again: while the server has the input, the program sleeps with
    its sockets read. So the server is waited for as well."""
    try:
      self.session.waitQuiet([self.watched(), *wineservers()], self.drain,
                             self.process.stdout.fileno())
    except xsession.XError as error:
      raise viewer.ViewerError(self.explain(str(error))) from None

  def chooseModel(self, label):
    """Under Wine the release of the button reaches the main window (X's
    implicit grab), and freeglut for Windows compares its client coordinates
    with the menu's position on the screen: the pointer goes to the entry
    shifted by the window's origin on the screen. Entries are as tall as the
    menu's height says (16 pixels here, 25 under X11's freeglut). Wine hands
    the release to the program only with the next pointer motion, so a
    one-pixel nudge within the entry follows it."""
    entry = viewer.MENU_LABELS.index(label)
    self._waitForMenu(shown=False)
    self.pointTo(*viewer.MENU_PRESS)
    self.session.xdotool("mousedown", "3")
    menu = self._waitForMenu(shown=True)
    x, y, width, height = self.session.geometry(menu)
    self.settle()
    entryHeight = (height - 2 * viewer.MENU_FRAME) // len(viewer.MENU_LABELS)
    targetY = y + self.origin[1] + viewer.MENU_FRAME + entryHeight * entry + entryHeight // 2
    self.session.xdotool("mousemove", str(x + self.origin[0] + width // 2), str(targetY))
    self.settle()
    self.session.xdotool("mouseup", "3")
    self.session.xdotool("mousemove_relative", "1", "0")
    self._waitForMenu(shown=False)
    self.settle()


class WineTest(window_tests.WindowTest):
  def start(self, windows, cwd=viewer.REPOSITORY):
    if windows:
      return self.started(WineViewer(self.session, WINDOWS_VIEWER, cwd,
                                     command=[RUN_WINDOWS, WINDOWS_VIEWER]))
    return self.started(viewer.Viewer(self.session, LINUX_VIEWER, cwd))

  def rawListing(self, program, key):
    """The bytes a key makes the program print, line ends untouched."""
    program.key(key)
    program.drain()
    raw = bytes(program.output)
    program.output.clear()
    return raw

  def runCube(self, windows):
    """Cube from the menu, a picture of it, one pass, then the v, e and f
    listings as printed, and the status Escape ends the program with."""
    program = self.start(windows)
    program.chooseModel("Cube")
    picture = program.screenshot()
    program.key("s")
    listings = [self.rawListing(program, key) for key in "vef"]
    return picture, listings, program.quit(), program.stderr()


class SameAsLinux(WineTest):
  def test_cubeListingsPictureAndEnd(self):
    linuxPicture, linuxListings, linuxStatus, _ = self.runCube(windows=False)
    picture, listings, status, stderr = self.runCube(windows=True)
    self.assertEqual((linuxStatus, status), (0, 0), stderr)

    # One pass on the cube: 44 vertices, 144 edges of two lines, 48 faces of
    # three; a short run would compare two empty listings as equal.
    self.assertEqual([text.count(b"\n") for text in linuxListings], [44, 288, 144])
    for key, linux, windows in zip("vef", linuxListings, listings):
      # The console's text mode ends lines with CR LF; the text is the same.
      self.assertEqual(windows, linux.replace(b"\n", b"\r\n"), f"listing {key}")

    self.assertEqual((picture.width, picture.height), (scene.WIDTH, scene.HEIGHT))
    self.assertEqual(picture.colours(), linuxPicture.colours())
    grey = window_tests.LIGHT_GREY
    self.assertEqual(picture.box(grey), linuxPicture.box(grey))
    self.assertEqual(picture.count(grey), linuxPicture.count(grey))


class MissingMesh(WineTest):
  def test_noCubeEndsWithStatusOne(self):
    directory = tempfile.mkdtemp(prefix="wine-cwd-")
    self.addCleanup(shutil.rmtree, directory)
    program = self.start(windows=True, cwd=directory)
    program.chooseModel("Cube")
    self.assertEqual(program.wait(), 1, program.stderr())
    self.assertEqual(bytes(program.output), b"")


def main():
  global WINDOWS_VIEWER, LINUX_VIEWER
  parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
  parser.add_argument("--viewer", required=True, help="meshviewer.exe of the Windows build")
  parser.add_argument("--linux-viewer", required=True, help="meshviewer of a Linux build")
  args, rest = parser.parse_known_args()
  WINDOWS_VIEWER = os.path.abspath(args.viewer)
  LINUX_VIEWER = os.path.abspath(args.linux_viewer)
  unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
  main()
