"""A private X server for window tests, the X command-line tools that act on
it, and waiting until an input has been handled.

Each XSession starts its own Xvfb on a display number of its own, which the
server confirms through -displayfd once it accepts clients, and admits only
clients with the session's cookie, so parallel test runs never share a
display. Inputs go through xdotool's XTEST path, the same road a person's
keyboard and mouse take. Instead of fixed sleeps, callers wait until every
message between the program, the tools and the server has been read and
handled (see waitQuiet).
"""

import fcntl
import os
import random
import select
import shutil
import socket
import struct
import subprocess
import tempfile
import termios
import time

POLL_SECONDS = 0.004
# Only a program that hangs or spins reaches this; waitQuiet ends as soon as
# the work it names is done, however slowly the machine runs.
HANDLED_LIMIT = 120.0
# Display numbers are drawn from a range nobody guesses (:0, :1 and :99 are
# the usual picks): a client of someone else's test that finds our server on
# its number would be refused, but keeps the server busy while it tries.
DISPLAY_RANGE = (1000, 30000)
START_ATTEMPTS = 20

# The kernel's socket diagnostics for Unix sockets (linux/sock_diag.h and
# linux/unix_diag.h): a dump of every socket with the bytes unread in it.
NETLINK_SOCK_DIAG = 4
SOCK_DIAG_BY_FAMILY = 20
NLM_F_REQUEST = 0x1
NLM_F_DUMP = 0x300
NLMSG_ERROR = 2
NLMSG_DONE = 3
UDIAG_SHOW_RQLEN = 0x10
UNIX_DIAG_RQLEN = 4
NETLINK_HEADER = struct.Struct("=IHHII")
UNIX_DIAG_REQUEST = struct.Struct("=BBHIIIII")
UNIX_DIAG_MESSAGE = struct.Struct("=BBBBIII")
ATTRIBUTE_HEADER = struct.Struct("=HH")


class XError(RuntimeError):
  pass


def threadStates(pid):
  """(thread id, state, cpu ticks, context switches, wait channel) of each
  thread of a process, or None once it is gone. A thread's switches count
  every time it slept or was preempted, so a thread that ran between two
  looks shows a new count even when it did too little to earn a tick."""
  threads = []
  try:
    tids = os.listdir(f"/proc/{pid}/task")
  except (FileNotFoundError, ProcessLookupError):
    return None
  for tid in sorted(tids, key=int):
    base = f"/proc/{pid}/task/{tid}"
    try:
      with open(f"{base}/stat") as f:
        stat = f.read()
      with open(f"{base}/status") as f:
        status = f.read()
      with open(f"{base}/wchan") as f:
        wchan = f.read() or "-"
    except (FileNotFoundError, ProcessLookupError):
      continue  # a thread that ended between the listing and the read
    # The command name in parentheses may hold spaces; fields follow the ')'.
    fields = stat[stat.rindex(")") + 2:].split()
    switches = sum(int(line.split()[1]) for line in status.splitlines()
                   if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")))
    threads.append((int(tid), fields[0], int(fields[11]) + int(fields[12]), switches, wchan))
  if not threads or threads[0][0] != pid or threads[0][1] == "Z":
    return None
  return threads


def socketInodes(pid):
  """The inodes of the sockets a process holds open."""
  inodes = set()
  try:
    names = os.listdir(f"/proc/{pid}/fd")
  except (FileNotFoundError, ProcessLookupError):
    return inodes
  for name in names:
    try:
      target = os.readlink(f"/proc/{pid}/fd/{name}")
    except OSError:
      continue
    if target.startswith("socket:["):
      inodes.add(int(target[len("socket:["):-1]))
  return inodes


def unreadSocketBytes():
  """{inode: bytes waiting to be read} for every Unix socket of this network
  namespace (for a listening socket, the connections waiting to be
  accepted)."""
  with socket.socket(socket.AF_NETLINK, socket.SOCK_RAW, NETLINK_SOCK_DIAG) as diag:
    request = UNIX_DIAG_REQUEST.pack(socket.AF_UNIX, 0, 0, 0xFFFFFFFF, 0, UDIAG_SHOW_RQLEN,
                                     0xFFFFFFFF, 0xFFFFFFFF)
    diag.send(NETLINK_HEADER.pack(NETLINK_HEADER.size + len(request), SOCK_DIAG_BY_FAMILY,
                                  NLM_F_REQUEST | NLM_F_DUMP, 1, 0) + request)
    unread = {}
    while True:
      data = diag.recv(1 << 16)
      offset = 0
      while offset < len(data):
        length, kind = NETLINK_HEADER.unpack_from(data, offset)[:2]
        if kind == NLMSG_DONE:
          return unread
        if kind == NLMSG_ERROR:
          raise XError("the kernel refused the socket diagnostics request")
        inode = UNIX_DIAG_MESSAGE.unpack_from(data, offset + NETLINK_HEADER.size)[4]
        attribute = offset + NETLINK_HEADER.size + UNIX_DIAG_MESSAGE.size
        while attribute + ATTRIBUTE_HEADER.size <= offset + length:
          size, kind = ATTRIBUTE_HEADER.unpack_from(data, attribute)
          if kind == UNIX_DIAG_RQLEN:
            unread[inode] = struct.unpack_from("=I", data, attribute + ATTRIBUTE_HEADER.size)[0]
          attribute += (max(size, ATTRIBUTE_HEADER.size) + 3) & ~3
        offset += (length + 3) & ~3


def pipeUnread(fd):
  """Bytes waiting in a pipe we read from."""
  count = struct.pack("i", 0)
  return struct.unpack("i", fcntl.ioctl(fd, termios.FIONREAD, count))[0]


class Activity:
  """One look at a group of processes: the state and counters of each of
  their threads, and the bytes unread in each of their sockets."""

  def __init__(self, pids, names):
    self.threads = {pid: threadStates(pid) for pid in pids}
    unread = unreadSocketBytes()
    self.unread = {pid: {inode: unread.get(inode, 0) for inode in socketInodes(pid)}
                   for pid in pids}
    self.names = names

  def gone(self, pid):
    return self.threads[pid] is None

  def busy(self):
    """What keeps the processes from being done, as readable phrases; empty
    when every thread sleeps and every socket has been read to its end."""
    reasons = []
    for pid, threads in self.threads.items():
      if threads is None:
        continue
      for tid, state, _, _, wchan in threads:
        if state != "S":
          reasons.append(f"{self.names[pid]} thread {tid} in state {state} ({wchan})")
      for inode, count in sorted(self.unread[pid].items()):
        if count:
          reasons.append(f"{count} unread in socket {inode} of {self.names[pid]}")
    return reasons

  def counters(self, pids):
    return {pid: None if self.threads[pid] is None else [t[:4] for t in self.threads[pid]]
            for pid in pids}

  def __str__(self):
    parts = []
    for pid, threads in self.threads.items():
      if threads is None:
        parts.append(f"{self.names[pid]} ({pid}) gone")
        continue
      shown = ", ".join(f"thread {tid} {state} in {wchan}, {ticks} ticks, {switches} switches"
                        for tid, state, ticks, switches, wchan in threads)
      sockets = ", ".join(f"{inode}: {count}" for inode, count in sorted(self.unread[pid].items()))
      parts.append(f"{self.names[pid]} ({pid}): {shown}; unread bytes by socket {{{sockets}}}")
    return "\n  ".join(parts)


def describe(pids):
  """What the processes are doing, for error messages."""
  return str(Activity(pids, {pid: processName(pid) for pid in pids}))


def processName(pid):
  try:
    with open(f"/proc/{pid}/comm") as f:
      return f.read().strip()
  except OSError:
    return str(pid)


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

  def waitQuiet(self, pids, drain=None, pipe=None, limit=HANDLED_LIMIT):
    """Waits until the processes and the X server have handled everything
    sent to them: every thread of them sleeps, every socket they hold has
    been read to its end, and drain() (which reads the program's pending
    output and tells whether there was any) found nothing, its pipe (a file
    descriptor) being empty too.

    An input sent through xdotool waits as a request in the server's end of
    the tool's connection, then as an event in the program's end of its
    own; what the program draws waits in the server's end until the server
    has put it on the screen; and a program that writes to a full pipe
    sleeps with its output unread. So once all of these are empty and
    everybody sleeps, the input has been handled, its redraw is on the
    screen and its output is in hand. One look is not taken in a single
    instant, so two in a row must find this, and the processes' counters
    the same: a process that ran between them shows new counts. The
    server's counters are left out. Whatever it does for the processes
    reaches them through their sockets, and it sleeps only once it has
    handled what it has read; but it also wakes for reasons of its own, and
    once kept doing so every few milliseconds for twenty seconds while the
    program slept, which stalled a wait for both to stay still. Returns early
    when the first process has ended.
    """
    programs = list(pids)
    pids = programs + [self.server.pid]
    names = {pid: processName(pid) for pid in pids}
    names[self.server.pid] = "the X server"
    deadline = time.monotonic() + limit
    previous = None
    while True:
      moved = drain() if drain is not None else False
      look = Activity(pids, names)
      if look.gone(pids[0]):
        return
      idle = (not moved and not look.busy()
              and (pipe is None or pipeUnread(pipe) == 0))
      if idle and previous is not None and previous.counters(programs) == look.counters(programs):
        return
      if idle and previous is None:
        previous = look
        continue
      previous = None
      if time.monotonic() > deadline:
        reasons = "; ".join(look.busy()) or "they kept waking between two looks"
        raise XError(f"not handled within {limit} s (waited for every thread of the program "
                     f"and the X server to sleep with every socket read to its end): {reasons}"
                     f"\n  {look}")
      time.sleep(POLL_SECONDS)
