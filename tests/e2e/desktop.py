"""A real, headless desktop for end-to-end tests, and a user's hands and eyes on it.

Desktop() starts, in a private temporary home: Xvfb, a D-Bus session bus, the openbox window
manager, the trayer notification area and a PulseAudio server whose only sink is a null sink.
Everything it starts is stopped again on exit, whatever happens in between.
"""
import array
import datetime
import json
import math
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

SINK = "ticora_null"
RATE = 44100

# Run by the system's Python, which has the AT-SPI bindings: the accessible objects of the
# application with the given process id, as a JSON tree.
ACCESSIBLES = r"""
import json, sys, time, pyatspi

def children(acc):
    return [c for c in map(acc.getChildAtIndex, range(acc.childCount)) if c is not None]

def node(acc):
    try:
        x, y, w, h = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    except NotImplementedError:
        x = y = w = h = 0
    return {"role": acc.getRoleName(), "name": acc.name,
            "states": [pyatspi.stateToString(s) for s in acc.getState().getStates()],
            "extents": [x, y, w, h], "children": [node(c) for c in children(acc)]}

pid = int(sys.argv[1])
for attempt in range(50):  # the registry can take a moment to list the applications
    apps = [a for a in children(pyatspi.Registry.getDesktop(0)) if a.get_process_id() == pid]
    if apps:
        break
    time.sleep(0.1)
print(json.dumps([node(c) for a in apps for c in children(a)]))
"""


def centre(x, y, w, h):
    return x + w // 2, y + h // 2


def find_accessible(nodes, role, name=None):
    """The first accessible object with that role (and name), searching depth first."""
    for node in nodes:
        if node["role"] == role and name in (None, node["name"]):
            return node
        found = find_accessible(node["children"], role, name)
        if found:
            return found
    return None


def stop_process(proc, timeout=3):
    """Asks a process to end, and makes it if it will not."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def wait_for(predicate, timeout=10.0, interval=0.05, what="condition"):
    """Polls until predicate() returns something truthy, and returns it."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout}s waiting for {what}")
        time.sleep(interval)


class Desktop:
    def __init__(self, tray=True, audio=True, screen="1280x800x24"):
        self.want_tray = tray
        self.want_audio = audio
        self.screen = screen
        self.procs = []
        self.tray = None
        self.app = None

    # ---- lifetime -------------------------------------------------------------------------
    def __enter__(self):
        self.home = tempfile.mkdtemp(prefix="ticora-e2e-")
        runtime = os.path.join(self.home, "runtime")
        os.makedirs(runtime, mode=0o700)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": self.home,
            "XDG_RUNTIME_DIR": runtime,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "TZ": os.environ.get("TZ", "UTC"),
        }
        try:
            self._start_x()
            self._start_dbus()
            self._start(["openbox", "--sm-disable"], "openbox")
            wait_for(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.x("xprop", "-root"),
                     what="the window manager")
            if self.want_tray:
                self.start_tray()
            if self.want_audio:
                self._start_audio()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        if self.app and self.app.poll() is None:
            self.app.kill()
            self.app.wait()
        for proc in reversed(self.procs):
            stop_process(proc)
        shutil.rmtree(self.home, ignore_errors=True)
        return False

    def _start(self, argv, name, **kwargs):
        # The child keeps its own copy of the log's descriptor; ours closes at once.
        with open(os.path.join(self.home, f"{name}.log"), "ab") as log:
            proc = subprocess.Popen(argv, env=self.env, stdout=kwargs.pop("stdout", log),
                                    stderr=log, stdin=subprocess.DEVNULL, **kwargs)
        self.procs.append(proc)
        return proc

    def _start_x(self):
        read_fd, write_fd = os.pipe()
        self._start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", self.screen,
                     "-nolisten", "tcp", "-noreset"], "xvfb", pass_fds=(write_fd,))
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = f":{number}"

    def _start_dbus(self):
        proc = self._start(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           "dbus", stdout=subprocess.PIPE)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = proc.stdout.readline().decode().strip()

    def start_tray(self):
        self.tray = self._start(["trayer", "--edge", "bottom", "--align", "right",
                                 "--widthtype", "request", "--height", "32",
                                 "--SetDockType", "true", "--transparent", "false"], "trayer")
        wait_for(lambda: self.window_ids(class_name="trayer"), what="the tray")

    def stop_tray(self):
        self.tray.terminate()
        self.tray.wait()
        self.procs.remove(self.tray)
        self.tray = None

    def _start_audio(self):
        socket = os.path.join(self.home, "pulse.sock")
        self._start(["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n",
                     "--disable-shm=true", "--log-target=stderr",
                     f"--load=module-null-sink sink_name={SINK} rate={RATE}",
                     f"--load=module-native-protocol-unix socket={socket} auth-anonymous=1",
                     "--load=module-always-sink"], "pulseaudio")
        self.env["PULSE_SERVER"] = f"unix:{socket}"
        wait_for(lambda: os.path.exists(socket), what="PulseAudio")
        wait_for(lambda: subprocess.run(["pactl", "set-default-sink", SINK], env=self.env,
                                        capture_output=True).returncode == 0,
                 what="the null sink")

    # ---- the program ----------------------------------------------------------------------
    def launch(self, binary=None, extra_env=None):
        binary = binary or os.environ["TICORA_BINARY"]
        env = dict(self.env, QT_QPA_PLATFORM="xcb", **(extra_env or {}))
        with open(os.path.join(self.home, "ticora.log"), "ab") as log:
            self.app = subprocess.Popen([binary], env=env, stdout=log, stderr=log,
                                        stdin=subprocess.DEVNULL)
        return self.app

    def app_log(self):
        with open(os.path.join(self.home, "ticora.log"), errors="replace") as f:
            return f.read()

    # ---- looking at the screen ------------------------------------------------------------
    def x(self, *argv, check=True):
        result = subprocess.run(argv, env=self.env, capture_output=True, text=True)
        if check and result.returncode != 0:
            raise RuntimeError(f"{' '.join(argv)}: {result.stderr.strip()}")
        return result.stdout

    def window_ids(self, name=None, class_name=None, pid=None, only_visible=False):
        argv = ["xdotool", "search"]
        if only_visible:
            argv.append("--onlyvisible")
        if pid is not None:
            argv += ["--pid", str(pid)]
        if name is not None:
            argv += ["--name", name]
        elif class_name is not None:
            argv += ["--class", class_name]
        return [int(w) for w in self.x(*argv, check=False).split()]

    def watch_for_window(self, title, timeout=10.0):
        """Looks for a shown window titled title as often as it can until one appears. Returns
        it with the wall-clock times (time.time()) of the last look that did not find it and
        of the first that did."""
        pattern = f"^{re.escape(title)}$"
        deadline = time.monotonic() + timeout
        absent_at = time.time()
        while time.monotonic() < deadline:
            found = self.window_ids(name=pattern, only_visible=True)
            if found:
                return found[0], absent_at, time.time()
            absent_at = time.time()
        raise AssertionError(f"timed out after {timeout}s waiting for a window titled {title!r}")

    def window_named(self, title, timeout=10.0):
        return wait_for(lambda: (self.window_ids(name=f"^{re.escape(title)}$",
                                                 only_visible=True) or [None])[0],
                        timeout=timeout, what=f"a window titled {title!r}")

    def tray_icon(self, pid):
        """The program's icon window as docked in the tray, or None."""
        tree = "".join(self.x("xwininfo", "-tree", "-id", str(t), check=False)
                       for t in self.window_ids(class_name="trayer"))
        docked = [w for w in self.window_ids(pid=pid)
                  if f"{w:#x} " in tree and self.is_viewable(w)]
        return docked[0] if docked else None

    def is_viewable(self, window):
        return "Map State: IsViewable" in self.x("xwininfo", "-id", str(window), check=False)

    def wm_state(self, window):
        """"Normal" or "Iconic" while the window manager holds the window, None when withdrawn."""
        out = self.x("xprop", "-id", str(window), "WM_STATE", check=False)
        found = re.search(r"window state: (\w+)", out)
        return found.group(1) if found else None

    def net_wm_state(self, window):
        out = self.x("xprop", "-id", str(window), "_NET_WM_STATE", check=False)
        return set(re.findall(r"_NET_WM_STATE_\w+", out.split("=", 1)[-1])) if "=" in out else set()

    def client_list(self):
        """The windows the window manager lists for taskbars and pagers."""
        out = self.x("xprop", "-root", "_NET_CLIENT_LIST", check=False)
        return [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", out)]

    def active_window(self):
        out = self.x("xdotool", "getactivewindow", check=False).strip()
        return int(out) if out.isdigit() else None

    def geometry(self, window):
        info = self.x("xwininfo", "-id", str(window))
        value = lambda key: int(re.search(rf"{key}:\s+(-?\d+)", info).group(1))
        return (value("Absolute upper-left X"), value("Absolute upper-left Y"),
                value("Width"), value("Height"))

    def frame_extents(self, window):
        out = self.x("xprop", "-id", str(window), "_NET_FRAME_EXTENTS", check=False)
        numbers = [int(n) for n in re.findall(r"\d+", out.split("=")[-1])] if "=" in out else []
        return tuple(numbers) if len(numbers) == 4 else (0, 0, 0, 0)

    def accessibles(self, pid):
        """The program's windows as the accessibility bus presents them to assistive tools: a
        tree of {role, name, states, extents (x, y, w, h on the screen), children}. The program
        must have been launched with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1."""
        result = subprocess.run(["/usr/bin/python3", "-c", ACCESSIBLES, str(pid)], env=self.env,
                                capture_output=True, text=True, timeout=30, check=True)
        return json.loads(result.stdout)

    def screen_size(self):
        w, h = re.search(r"dimensions:\s+(\d+)x(\d+)", self.x("xdpyinfo")).groups()
        return int(w), int(h)

    def screenshot(self, path, window=None):
        target = str(window) if window else "root"
        self.x("import", "-window", target, path)
        return path

    def pixels(self, window, crop):
        """The RGB bytes of a region (x, y, w, h) of a window, as the screen shows it."""
        x, y, w, h = crop
        return subprocess.run(["import", "-window", str(window), "-crop", f"{w}x{h}+{x}+{y}",
                               "rgb:-"], env=self.env, capture_output=True, check=True).stdout

    def colours(self, window, crop):
        """The (r, g, b) colours, 0..255, of the pixels of a region (x, y, w, h) of a window."""
        x, y, w, h = crop
        data = subprocess.run(["import", "-window", str(window), "-crop", f"{w}x{h}+{x}+{y}",
                               "-depth", "8", "rgb:-"], env=self.env, capture_output=True,
                              check=True).stdout
        return [tuple(data[i:i + 3]) for i in range(0, len(data) - 2, 3)]

    # ---- a user's hands -------------------------------------------------------------------
    def click(self, window, x, y, button=1):
        self.x("xdotool", "mousemove", "--window", str(window), str(x), str(y),
               "click", str(button))

    def press(self, window, x, y, button=1):
        """Holds a mouse button down over a window; release() lets it go."""
        self.x("xdotool", "mousemove", "--window", str(window), str(x), str(y),
               "mousedown", str(button))

    def release(self, button=1):
        self.x("xdotool", "mouseup", str(button))

    def minimise(self, window):
        """Minimises a window through the window manager, as its title-bar button does."""
        self.x("xdotool", "windowminimize", str(window))

    def key(self, *keys, window=None, check=True):
        """Presses keys; check=False where the keys may end the program mid-press."""
        argv = ["xdotool", "key"]
        if window:
            argv += ["--window", str(window)]
        self.x(*argv, *keys, check=check)

    def activate(self, window):
        self.x("xdotool", "windowactivate", "--sync", str(window), check=False)

    def set_clipboard(self, text):
        subprocess.run(["xclip", "-selection", "clipboard", "-loops", "1"], env=self.env,
                       input=text.encode(), check=True, timeout=5)

    def read_box(self, window, x, y):
        """Reads an edit box the way a user would: click into it, select all, copy."""
        self.click(window, x, y)
        self.key("ctrl+a", "ctrl+c")
        time.sleep(0.2)
        return self.x("xclip", "-selection", "clipboard", "-o", check=False)

    def type_into_box(self, window, x, y, text):
        """Replaces an edit box's text by pasting, which carries any script and symbol."""
        self.click(window, x, y)
        self.key("ctrl+a")
        paster = subprocess.Popen(["xclip", "-selection", "clipboard", "-loops", "1"],
                                  env=self.env, stdin=subprocess.PIPE,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        paster.stdin.write(text.encode())
        paster.stdin.close()
        time.sleep(0.2)
        self.key("ctrl+v")
        try:
            paster.wait(timeout=3)
        except subprocess.TimeoutExpired:
            paster.kill()
        time.sleep(0.1)

    # ---- a user's ears --------------------------------------------------------------------
    def record(self):
        """Starts recording what the null sink plays; stop with the returned Recording."""
        return Recording(self)


class Recording:
    def __init__(self, desktop):
        self.path = os.path.join(desktop.home, f"monitor-{time.monotonic_ns()}.raw")
        self.started = time.monotonic()
        self.out = open(self.path, "wb")
        self.proc = subprocess.Popen(["parec", "-d", f"{SINK}.monitor", "--format=s16le",
                                      f"--rate={RATE}", "--channels=1", "--latency-msec=20"],
                                     env=desktop.env, stdout=self.out,
                                     stderr=subprocess.DEVNULL)

    def seconds(self):
        """How much has been recorded so far."""
        return os.path.getsize(self.path) // 2 / RATE

    def levels(self, window_s=0.1):
        """RMS level (0..1) of each window_s slice recorded so far."""
        self.out.flush()
        with open(self.path, "rb") as f:
            samples = array.array("h", f.read()[: os.path.getsize(self.path) // 2 * 2])
        step = int(RATE * window_s)
        return [math.sqrt(sum(s * s for s in samples[i:i + step]) / step) / 32768
                for i in range(0, len(samples) - step + 1, step)]

    def stop(self):
        self.proc.send_signal(signal.SIGINT)
        try:
            self.proc.wait(timeout=3)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        self.out.close()


# The main window's controls a user clicks, by the centres of their client-area rectangles.
HOUR_BOX, MINUTE_BOX, SECOND_BOX = (95, 67), (161, 67), (225, 67)
TEXT_BOX, MUSIC_BOX = (171, 112), (148, 155)
ARM_BUTTON, DISARM_BUTTON = (91, 199), (187, 199)
# 确定's and 取消's enabled flags while the reminder is armed, and once it is no longer.
ARMED, DISARMED = (False, True), (True, False)


class Program:
    """One running Ticora as its user sees and handles it, told apart from any other by its
    process id. Started with the accessibility bus on, so that its texts can be read."""

    def __init__(self, desktop, extra_env=None):
        self.d = desktop
        self.proc = desktop.launch(extra_env={"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
                                              **(extra_env or {})})
        self.window = wait_for(lambda: self.windows("TicoraV2.0"), timeout=20,
                               what="the main window")[0]

    def end(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    # ---- what the user sees -------------------------------------------------------------------
    def windows(self, title):
        """This program's shown windows with that title."""
        out = self.d.x("xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid),
                       "--name", f"^{re.escape(title)}$", check=False)
        return [int(w) for w in out.split()]

    def accessibles(self):
        return self.d.accessibles(self.proc.pid)

    def clock(self):
        """The date and time the clock line shows."""
        prefix = "当前时间："
        for name in _names(self.accessibles(), "label"):
            if name.startswith(prefix):
                return datetime.datetime.strptime(name[len(prefix):], "%Y-%m-%d %H:%M:%S")
        raise AssertionError("no clock line on the window")

    def buttons(self):
        """确定's and 取消's enabled flags."""
        tree = self.accessibles()
        return tuple("enabled" in find_accessible(tree, "push button", caption)["states"]
                     for caption in ("确定", "取消"))

    def assert_buttons(self, expected, within=3.0):
        wait_for(lambda: self.buttons() == expected, timeout=within,
                 what=f"确定 and 取消 enabled as {expected}")

    def assert_alive(self):
        """Running still, and answering: its clock line moves on."""
        if self.proc.poll() is not None:
            raise AssertionError(f"the program ended with status {self.proc.returncode}")
        first = self.clock()
        wait_for(lambda: self.clock() != first, timeout=3, what="the clock line to move on")

    def assert_quiet(self, until):
        """No alert shows before that time.time()."""
        while time.time() < until:
            if self.windows("Ticora"):
                raise AssertionError("an alert showed")
            time.sleep(0.1)

    def read(self, box):
        return self.d.read_box(self.window, *box)

    # ---- what the user does -------------------------------------------------------------------
    def type(self, box, text):
        self.d.type_into_box(self.window, *box, text)

    def click(self, point):
        self.d.click(self.window, *point)

    def arm(self, text, music=None, lead=5, offset=0, times=lambda h, m, s: (h, m, s)):
        """Fills in a reminder due lead seconds ahead on the program's clock, which runs offset
        seconds off the real one, and clicks 确定. times turns the hour, minute and second into
        what is typed. Returns the due second as a real time.time()."""
        self.type(TEXT_BOX, text)
        if music is not None:
            self.type(MUSIC_BOX, music)
        now = datetime.datetime.now().replace(microsecond=0)
        due = now + datetime.timedelta(seconds=offset + lead)
        for box, value in zip((HOUR_BOX, MINUTE_BOX, SECOND_BOX),
                              times(due.hour, due.minute, due.second)):
            self.type(box, str(value))
        due = (now + datetime.timedelta(seconds=lead)).timestamp()
        self.click(ARM_BUTTON)
        if time.time() > due - 0.5:
            raise AssertionError("the test was too slow to arm ahead of time")
        return due

    def await_alert(self, due, text=None):
        """Waits for this program's alert and checks that it shows within its second, with the
        text and an icon; returns the box window and its accessible object."""
        absent_at = time.time()
        while not (found := self.windows("Ticora")):
            if absent_at > due + 5:
                raise AssertionError("no alert")
            absent_at = time.time()
        if time.time() < due:
            raise AssertionError(f"the alert came {due - time.time():.2f}s early")
        if absent_at >= due + 1:
            raise AssertionError(f"the alert missed its second by {absent_at - due - 1:.2f}s")
        alert = wait_for(lambda: find_accessible(self.accessibles(), "alert", "Ticora"),
                         what="the alert on the accessibility bus")
        shown = find_accessible(alert["children"], "label")["name"]
        if text is not None and shown != text:
            raise AssertionError(f"the alert says {shown[:80]!r}, not {text[:80]!r}")
        if not find_accessible(alert["children"], "image"):
            raise AssertionError("the alert has no icon")
        return found[0], alert

    def assert_on_screen(self, box):
        """The whole box is on the screen, and its OK button with it."""
        width, height = self.d.screen_size()
        x, y, w, h = self.d.geometry(box)
        left, right, top, bottom = self.d.frame_extents(box)
        if x - left < 0 or y - top < 0 or x + w + right > width or y + h + bottom > height:
            raise AssertionError(f"the box {w}x{h} at {x},{y} runs off the {width}x{height} "
                                 "screen")
        alert = find_accessible(self.accessibles(), "alert", "Ticora")
        ok = find_accessible(alert["children"], "push button", "OK")
        if ok is None:
            raise AssertionError("the alert has no OK button")
        ox, oy, ow, oh = ok["extents"]
        if ox < 0 or oy < 0 or ox + ow > width or oy + oh > height:
            raise AssertionError(f"OK at {ok['extents']} lies off the screen")
        return ok

    def press_ok(self, box):
        """Clicks the alert's OK with the mouse, as it is seen on the screen."""
        ok = self.assert_on_screen(box)
        self.d.x("xdotool", "mousemove", *map(str, centre(*ok["extents"])), "click", "1")
        wait_for(lambda: not self.d.is_viewable(box), timeout=5, what="the alert to close")


class DesktopTestCase(unittest.TestCase):
    """One desktop for all the tests of a class, and a program started afresh by each test."""
    desktop_options = {"audio": False}

    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop(**cls.desktop_options).__enter__()
        cls.addClassCleanup(cls.desktop.__exit__, None, None, None)
        # The test's clock must read as the program's does.
        os.environ["TZ"] = cls.desktop.env["TZ"]
        time.tzset()

    def start(self, extra_env=None):
        program = Program(self.desktop, extra_env)
        self.addCleanup(program.end)
        return program


def _names(nodes, role):
    for node in nodes:
        if node["role"] == role:
            yield node["name"]
        yield from _names(node["children"], role)


def artifacts_dir():
    path = os.environ.get("TICORA_ARTIFACTS") or tempfile.gettempdir()
    os.makedirs(path, exist_ok=True)
    return path


def main():
    unittest.main(verbosity=2)
