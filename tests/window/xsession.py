"""A private X server for window tests, the X command-line tools that act on
it, and waiting for quiet.

Each XSession starts its own Xvfb on a display number of its own, which the
server confirms through -displayfd once it accepts clients, and admits only
clients with the session's cookie, so parallel test runs never share a
display. Inputs go through xdotool's XTEST path, the same road a person's
keyboard and mouse take. Instead of fixed sleeps, callers wait until the watched processes have
reacted and then stayed idle for a short while (see waitQuiet).
"""

import os
import random
import select
import shutil
import struct
import subprocess
import tempfile
import time

QUIET_SECONDS = 0.03
POLL_SECONDS = 0.004
# Display numbers are drawn from a range nobody guesses (:0, :1 and :99 are
# the usual picks): a client of someone else's test that finds our server on
# its number keeps waking it, and the wait for quiet never ends.
DISPLAY_RANGE = (1000, 30000)
START_ATTEMPTS = 20


class XError(RuntimeError):
  pass


def processTicks(pid):
  """(cpu ticks, context switches, running) of a process, or None once it
  is gone. Context switches count every time the process woke and slept
  again, which CPU ticks of 10 ms miss for short handlers."""
  try:
    with open(f"/proc/{pid}/stat") as f:
      stat = f.read()
    with open(f"/proc/{pid}/status") as f:
      status = f.read()
  except (FileNotFoundError, ProcessLookupError):
    return None
  # The command name in parentheses may hold spaces; fields follow the ')'.
  fields = stat[stat.rindex(")") + 2:].split()
  state = fields[0]
  if state == "Z":
    return None
  ticks = int(fields[11]) + int(fields[12])
  switches = 0
  for line in status.splitlines():
    if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
      switches += int(line.split()[1])
  return ticks, switches, state == "R"


def activity(pids):
  """A snapshot of what the processes have done so far (their ticks and
  context switches), and whether any of them is running right now."""
  snapshot = []
  running = False
  for pid in pids:
    sample = processTicks(pid)
    if sample is None:
      snapshot.append(None)
      continue
    snapshot.append(sample[:2])
    running = running or sample[2]
  return tuple(snapshot), running


def describe(pids):
  """What the processes are doing, for error messages."""
  states = []
  for pid in pids:
    try:
      with open(f"/proc/{pid}/stat") as f:
        stat = f.read()
      with open(f"/proc/{pid}/wchan") as f:
        wchan = f.read()
    except OSError:
      states.append(f"{pid} gone")
      continue
    name = stat[stat.index("(") + 1:stat.rindex(")")]
    states.append(f"{pid} {name} {processTicks(pid)} in {wchan or '-'}")
  return "; ".join(states)


def _cookieEntry(cookie):
  """An Xauthority entry for any host and any display number (family
  FamilyWild, empty address and number), as the display is not known yet."""
  def counted(data):
    return struct.pack(">H", len(data)) + data
  return (struct.pack(">H", 0xFFFF) + counted(b"") + counted(b"")
          + counted(b"MIT-MAGIC-COOKIE-1") + counted(cookie))


class XSession:
  """Xvfb on a free display; ended by close()."""

  def __init__(self, width=1280, height=1024):
    self.workDir = tempfile.mkdtemp(prefix="window-test-")
    self.authority = os.path.join(self.workDir, "Xauthority")
    with open(self.authority, "wb") as f:
      f.write(_cookieEntry(os.urandom(16)))
    for _ in range(START_ATTEMPTS):
      number = random.randrange(*DISPLAY_RANGE)
      if self._startServer(number, width, height):
        break
    else:
      self.close()
      raise XError("Xvfb did not start")
    self.display = f":{number}"
    self.env = dict(os.environ, DISPLAY=self.display, XAUTHORITY=self.authority)

  def _startServer(self, number, width, height):
    """Starts Xvfb on one display number; False if it could not take it."""
    numberReader, numberWriter = os.pipe()
    with open(os.path.join(self.workDir, "xvfb.log"), "a") as log:
      # -auth: only clients holding this session's cookie get in.
      # -noreset: every short xdotool call is a client, and a reset when the
      # last one leaves would drop the program while it is connecting.
      # -ardelay: a press and release torn apart by load must not repeat.
      self.server = subprocess.Popen(
          ["Xvfb", f":{number}", "-displayfd", str(numberWriter), "-auth", self.authority,
           "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp", "-noreset",
           "-ardelay", "60000"],
          pass_fds=(numberWriter,), stdout=log, stderr=log, stdin=subprocess.DEVNULL)
    os.close(numberWriter)
    # The server writes its display number once it accepts clients, and
    # exits at once when the number is taken.
    with os.fdopen(numberReader) as numbers:
      ready, _, _ = select.select([numbers], [], [], 30)
      written = numbers.readline().strip() if ready else ""
    if written == str(number):
      return True
    self._stopServer()
    return False

  def _stopServer(self):
    server = getattr(self, "server", None)
    if server is not None and server.poll() is None:
      server.terminate()
      try:
        server.wait(10)
      except subprocess.TimeoutExpired:
        server.kill()
        server.wait()

  def close(self):
    self._stopServer()
    shutil.rmtree(self.workDir, ignore_errors=True)

  def run(self, *args, check=True):
    """Runs an X tool against this display and returns its standard output."""
    done = subprocess.run(args, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, timeout=30)
    if check and done.returncode != 0:
      raise XError(f"{' '.join(args)}: status {done.returncode}: {done.stderr.decode().strip()}")
    return done.stdout

  def xdotool(self, *args):
    return self.run("xdotool", *args).decode()

  def visibleWindows(self, name):
    """Ids of the mapped windows whose name matches the regular expression."""
    out = self.run("xdotool", "search", "--onlyvisible", "--name", name, check=False)
    return [int(word) for word in out.split()]

  def geometry(self, window):
    """(x, y, width, height) of a window on the screen."""
    values = {}
    for line in self.xdotool("getwindowgeometry", "--shell", str(window)).splitlines():
      key, _, value = line.partition("=")
      values[key] = value
    return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

  def waitQuiet(self, pids, before=None, drain=None, limit=20.0):
    """Waits until the processes have reacted and gone idle.

    before: processTicks()[:2] of the first process taken before the input
    was sent; the wait first lasts until that process has done something
    since (on a loaded machine it may not even have been scheduled yet).
    Then it lasts until no process has used CPU, switched context or been
    running for QUIET_SECONDS, and drain() (which reads pending output and
    tells whether there was any) has found nothing: a writer blocked on a
    full pipe looks idle but is not done. Returns early when the first
    process has ended.
    """
    pids = list(pids) + [self.server.pid]
    deadline = time.monotonic() + limit
    if before is not None:
      while True:
        sample = processTicks(pids[0])
        if sample is None or sample[:2] != before:
          break
        if drain is not None:
          drain()
        if time.monotonic() > deadline:
          raise XError(f"the program did not react to the input: {describe(pids)}")
        time.sleep(POLL_SECONDS)
    last, _ = activity(pids)
    lastChange = time.monotonic()
    while True:
      time.sleep(POLL_SECONDS)
      now = time.monotonic()
      snapshot, running = activity(pids)
      moved = drain() if drain is not None else False
      if snapshot[0] is None:
        return
      if snapshot != last or running or moved:
        last = snapshot
        lastChange = now
      elif now - lastChange >= QUIET_SECONDS:
        return
      if now > deadline:
        raise XError(f"no quiet within {limit} s: {describe(pids)}")
