"""Drives the real viewer program in an XSession the way a person would: the
right button and its pop-up menu, keys typed into the focused window, drags
with the left button, screenshots of the window, and the listings the
program prints on its standard output, read through a pipe.
"""

import os
import subprocess
import tempfile
import time

import images
import xsession

WINDOW_TITLE = "Draw Point, Line and Curve"
MENU_NAME = "freeglut menu"
MENU_LABELS = ("Cube", "SmallCube", "Cylinder")
# freeglut's pop-up menu: entries 25 pixels tall inside a 2-pixel frame.
MENU_FRAME = 2
MENU_ENTRY_HEIGHT = 25
# Where the right button is pressed: inside the window (a press on its first
# row or column opens no menu) and clear of the model drawn in the middle.
MENU_PRESS = (20, 20)
SANITIZER_EXIT = 86
# Bounds on waits for named things (a window mapped, the program ended) that
# only a broken program or server reaches.
WINDOW_LIMIT = 60
MENU_LIMIT = 30
EXIT_LIMIT = 60

HERE = os.path.dirname(os.path.abspath(__file__))
REPOSITORY = os.path.dirname(os.path.dirname(HERE))
# Where a failing test leaves its screenshots; the test command names a
# directory in its build tree, a run by hand gets one of its own.
FAILURE_DIRECTORY_VARIABLE = "WINDOW_TEST_FAILURES"


def failureDirectory():
  directory = os.environ.get(FAILURE_DIRECTORY_VARIABLE)
  if not directory:
    directory = tempfile.mkdtemp(prefix="window-test-failures-")
    os.environ[FAILURE_DIRECTORY_VARIABLE] = directory
  os.makedirs(directory, exist_ok=True)
  return directory


def programEnvironment():
  """Settings for every run of the program, sanitized or not.

  Mesa's softpipe rasteriser with its plain vertex path: one thread, no
  generated code, the same pixels on every run. It also keeps the full
  unwind below from deadlocking against llvmpipe's JIT, which registers
  unwind tables while it allocates. Mesa unloads its driver before the leak
  check, so a leak inside it is only recognised by the names of the libraries
  further down a full unwind. The sanitizers exit with a status of their own
  so that a report can never pass for the program's own status 1.
  """
  suppressions = os.path.join(HERE, "lsan.supp")
  return {
      "GALLIUM_DRIVER": "softpipe",
      "DRAW_USE_LLVM": "0",
      "ASAN_OPTIONS": f"fast_unwind_on_malloc=0:exitcode={SANITIZER_EXIT}:detect_leaks=1",
      "LSAN_OPTIONS": f"suppressions={suppressions}:print_suppressions=0",
      "UBSAN_OPTIONS": f"print_stacktrace=1:halt_on_error=1:exitcode={SANITIZER_EXIT}",
  }


class ViewerError(RuntimeError):
  pass


class Viewer:
  """One run of the program in its own window of the session."""

  def __init__(self, session, executable, cwd=REPOSITORY, command=None, wrapper=()):
    """command: the command line that starts the program, when that is not
    the executable alone; wrapper: a command that runs the program, such as
    prlimit with its options; it must exec the program so that its pid is the
    program's."""
    self.session = session
    self.output = bytearray()
    self.stderrPath = os.path.join(session.workDir, f"stderr-{time.monotonic_ns()}")
    with open(self.stderrPath, "w") as stderr:
      self.process = subprocess.Popen(
          command or [*wrapper, os.path.abspath(executable)], cwd=cwd,
          env=dict(session.env, **programEnvironment()), stdin=subprocess.DEVNULL,
          stdout=subprocess.PIPE, stderr=stderr)
    os.set_blocking(self.process.stdout.fileno(), False)
    self.window = self._waitForWindow()
    self.origin = session.geometry(self.window)[:2]
    self.settle()
    self.pointTo(*MENU_PRESS)
    session.xdotool("windowfocus", "--sync", str(self.window))

  def _waitForWindow(self):
    deadline = time.monotonic() + WINDOW_LIMIT
    while True:
      found = self.session.visibleWindows(f"^{WINDOW_TITLE}$")
      if found:
        return found[0]
      if self.process.poll() is not None:
        raise ViewerError(f"the program ended with status {self.process.returncode} before "
                          f"its window appeared: {self.stderr()}")
      if time.monotonic() > deadline:
        raise ViewerError(self.explain(f"the window {WINDOW_TITLE!r} was not mapped within "
                                       f"{WINDOW_LIMIT} s"))
      time.sleep(xsession.POLL_SECONDS)

  # Waiting and output.

  def drain(self):
    """Moves whatever the program has written into self.output; True if
    there was anything."""
    got = False
    while True:
      try:
        chunk = os.read(self.process.stdout.fileno(), 1 << 16)
      except BlockingIOError:
        return got
      if not chunk:
        return got
      self.output.extend(chunk)
      got = True

  def watched(self):
    """The pid of the program whose handling of the inputs is waited for."""
    return self.process.pid

  def settle(self):
    """Waits until the program and the X server have handled every input sent
    so far, and reads what the program printed."""
    try:
      self.session.waitQuiet([self.watched()], self.drain, self.process.stdout.fileno())
    except xsession.XError as error:
      raise ViewerError(self.explain(str(error))) from None

  def explain(self, what):
    """A failure's account: what was waited for or went wrong, the states of
    the program and the X server, the program's standard error and where a
    screenshot of its window was left."""
    try:
      pid = self.watched()
    except ViewerError:
      pid = self.process.pid
    try:
      picture = os.path.join(failureDirectory(),
                             f"screen-{time.strftime('%H%M%S')}-{pid}-{time.monotonic_ns()}.png")
      png = images.pngBytes(self.screenshot())
      with open(picture, "wb") as f:
        f.write(png)
      shot = f"screenshot of the window: {picture}"
    except (OSError, ValueError, xsession.XError, subprocess.SubprocessError) as error:
      shot = f"no screenshot: {error}"
    return (f"{what}\n  {xsession.describe([pid, self.session.server.pid])}\n  {shot}\n"
            f"  the program's standard error: {self.stderr()!r}")

  def takeLines(self):
    """The complete lines printed since the last call. A listing is flushed
    whole, so a partial line left over once the program is idle is a fault."""
    self.drain()
    text = self.output.decode()
    if text and not text.endswith("\n"):
      raise ViewerError(f"unterminated output: {text[-80:]!r}")
    self.output.clear()
    return text.splitlines()

  def stderr(self):
    with open(self.stderrPath) as f:
      return f.read()

  # Input.

  def _xdotool(self, *args):
    """xdotool on the program's window or with its focus; when that fails
    because the program has ended, the error says so."""
    try:
      return self.session.xdotool(*args)
    except xsession.XError as error:
      if self.process.poll() is None:
        raise
      raise ViewerError(self.explain(f"the program ended with status {self.process.returncode} "
                                     f"before xdotool {' '.join(args)}")) from error

  def _act(self, *xdotoolArgs):
    self._xdotool(*xdotoolArgs)
    self.settle()

  def pointTo(self, x, y):
    """Moves the pointer to window coordinates. A move to where the pointer
    already is sends no event, so then there is nothing to wait for."""
    location = self.session.xdotool("getmouselocation", "--shell")
    values = dict(line.split("=", 1) for line in location.split())
    if (int(values["X"]) - self.origin[0], int(values["Y"]) - self.origin[1]) == (x, y):
      self.settle()
      return
    self._act("mousemove", "--window", str(self.window), str(x), str(y))

  def key(self, name):
    """Types one key (an xdotool key name such as e, shift+s, Escape)."""
    self._xdotool("windowfocus", "--sync", str(self.window))
    self._act("key", name)

  def click(self, x, y):
    self.pointTo(x, y)
    self._act("mousedown", "1")
    self._act("mouseup", "1")

  def drag(self, start, end, steps=8, button=1):
    """A drag in window coordinates, in even steps, with the left button
    unless told (2 is the middle one)."""
    self.pointTo(*start)
    self._act("mousedown", str(button))
    for i in range(1, steps + 1):
      x = start[0] + (end[0] - start[0]) * i // steps
      y = start[1] + (end[1] - start[1]) * i // steps
      self._act("mousemove", "--window", str(self.window), str(x), str(y))
    self._act("mouseup", str(button))

  def _waitForMenu(self, shown):
    deadline = time.monotonic() + MENU_LIMIT
    while True:
      found = self.session.visibleWindows(f"^{MENU_NAME}$")
      if bool(found) == shown:
        return found[0] if found else None
      if not shown and self.process.poll() is not None:
        return None
      if time.monotonic() > deadline:
        raise ViewerError(self.explain(f"the menu did not {'open' if shown else 'close'} "
                                       f"within {MENU_LIMIT} s"))
      time.sleep(xsession.POLL_SECONDS)

  def chooseModel(self, label):
    """Picks a model from the right-button menu: press, wait for the menu,
    move onto the entry, release. Moving before the menu is up would open
    it at the release point and choose nothing."""
    entry = MENU_LABELS.index(label)
    self._waitForMenu(shown=False)
    self.pointTo(*MENU_PRESS)
    self.session.xdotool("mousedown", "3")
    menu = self._waitForMenu(shown=True)
    x, y, width, _ = self.session.geometry(menu)
    self.settle()
    entryY = y + MENU_FRAME + MENU_ENTRY_HEIGHT * entry + MENU_ENTRY_HEIGHT // 2
    self._act("mousemove", str(x + width // 2), str(entryY))
    self.session.xdotool("mouseup", "3")
    self._waitForMenu(shown=False)
    self.settle()

  # Output and end.

  def screenshot(self):
    return images.readXwd(self.session.run("xwd", "-silent", "-id", str(self.window)))

  def wait(self):
    """The exit status, once the program has ended."""
    deadline = time.monotonic() + EXIT_LIMIT
    while self.process.poll() is None:
      self.drain()
      if time.monotonic() > deadline:
        raise ViewerError(self.explain(f"the program did not end within {EXIT_LIMIT} s"))
      time.sleep(xsession.POLL_SECONDS)
    self.drain()
    return self.process.returncode

  def quit(self):
    """Escape, then the exit status."""
    self.session.xdotool("windowfocus", "--sync", str(self.window))
    self.session.xdotool("key", "Escape")
    return self.wait()

  def close(self):
    if self.process.poll() is None:
      self.process.kill()
      self.process.wait()
    self.process.stdout.close()
