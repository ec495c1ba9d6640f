#!/usr/bin/env python3
"""Ticora's benchmark: start-up, memory, idle cost and alert timing, side by side with
GNOME Clocks and Alarm Clock, on the same headless desktop the end-to-end tests use.

Everything is measured from outside the programs: window maps and pixel changes through the
X server (bench/xwatch), sound through the PulseAudio null sink's monitor, CPU time, context
switches and memory through /proc.

    bench.py --binary build-bench/ticora --xwatch build-bench/xwatch [--quick]
"""
import argparse
import array
import datetime
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from desktop import RATE, SINK, Desktop, artifacts_dir, stop_process, wait_for  # noqa: E402

FULL = dict(launches=10, idle_s=60, run_s=600, loop_s=20)
QUICK = dict(launches=3, idle_s=15, run_s=60, loop_s=8)

# Window client coordinates of Ticora's controls.
HOUR_BOX, MINUTE_BOX, SECOND_BOX = (95, 67), (161, 67), (225, 67)
TEXT_BOX, MUSIC_BOX = (171, 112), (148, 155)
ARM_BUTTON = (91, 199)
DISARM_BUTTON = (187, 199)
ARM_CAPTION_RECT = (75, 192, 32, 14)
CLOCK_LINE_RECT = (32, 10, 218, 16)

# A sample this far from silence counts as audible (-40 dBFS).
AUDIBLE = 328


def log(*args):
    print(time.strftime("%H:%M:%S"), *args, file=sys.stderr, flush=True)


# ---- the programs' processes ---------------------------------------------------------------

def process_tree(pid):
    """pid and all its descendants that are still alive."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(ppid, []).append(int(entry))
    tree, todo = [], [pid]
    while todo:
        p = todo.pop()
        if os.path.exists(f"/proc/{p}"):
            tree.append(p)
            todo += children.get(p, [])
    return tree


def rss_kib(pid):
    total = 0
    for p in process_tree(pid):
        try:
            with open(f"/proc/{p}/status") as f:
                total += int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))
        except (OSError, AttributeError):
            pass
    return total


def rss_by_file(pid, top=5):
    """The mappings that make up most of a process's RSS: [(KiB, file)], largest first."""
    return sorted(((kib, n) for n, kib in rss_per_file(pid).items()), reverse=True)[:top]


def rss_of_fonts(pid):
    """The RSS of the font files a process has mapped: [(KiB, file)], largest first."""
    return sorted(((kib, n) for n, kib in rss_per_file(pid).items()
                   if n.lower().endswith((".ttf", ".ttc", ".otf", ".pcf", ".pcf.gz"))),
                  reverse=True)


def rss_per_file(pid):
    totals = {}
    name = None
    try:
        with open(f"/proc/{pid}/smaps") as f:
            for line in f:
                if re.match(r"[0-9a-f]+-[0-9a-f]+ ", line):
                    fields = line.split(maxsplit=5)
                    name = os.path.basename(fields[5].strip()) if len(fields) > 5 else "[anon]"
                elif line.startswith("Rss:"):
                    totals[name] = totals.get(name, 0) + int(line.split()[1])
    except OSError:
        return {}
    return totals


def task_counters(pid):
    """{thread: (CPU seconds, context switches)} for every thread of the program's processes."""
    counters = {}
    for p in process_tree(pid):
        try:
            threads = os.listdir(f"/proc/{p}/task")
        except OSError:
            continue
        for tid in threads:
            try:
                with open(f"/proc/{p}/task/{tid}/schedstat") as f:
                    cpu = int(f.read().split()[0]) / 1e9
                with open(f"/proc/{p}/task/{tid}/status") as f:
                    switches = sum(int(n) for n in re.findall(
                        r"(?:non)?voluntary_ctxt_switches:\s+(\d+)", f.read()))
            except (OSError, ValueError, IndexError):
                continue
            counters[(p, int(tid))] = (cpu, switches)
    return counters


def measure_usage(pid, seconds, every=0.5):
    """CPU seconds and wake-ups (context switches per second) of all the program's threads.
    The threads are looked at every half second so that one that ends meanwhile still
    counts with what it did up to then."""
    first = task_counters(pid)
    last = dict(first)
    t0 = time.monotonic()
    while (left := t0 + seconds - time.monotonic()) > 0:
        time.sleep(min(every, left))
        last.update(task_counters(pid))
    elapsed = time.monotonic() - t0
    cpu = sum(c - first.get(k, (0, 0))[0] for k, (c, _) in last.items())
    switches = sum(n - first.get(k, (0, 0))[1] for k, (_, n) in last.items())
    return {"cpu_s": cpu, "wakeups": switches / elapsed, "seconds": elapsed}


def stop(proc):
    stop_process(proc, timeout=5)


# ---- watching the X server -----------------------------------------------------------------

class MapWatcher:
    """Every top-level window mapped or unmapped on the display, as xwatch reports it."""

    def __init__(self, xwatch, env):
        self.events = []
        self.cond = threading.Condition()
        self.proc = subprocess.Popen([xwatch, "maps"], env=env, stdout=subprocess.PIPE,
                                     text=True)
        if self.proc.stdout.readline().strip() != "ready":
            raise RuntimeError("xwatch maps did not start")
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            parts = line.split(maxsplit=6)
            event = {"t": float(parts[0]), "kind": parts[1], "frame": int(parts[2], 16)}
            if parts[1] == "map":
                event.update(client=int(parts[3], 16), pid=int(parts[4]), cls=parts[5],
                             title=parts[6].strip() if len(parts) > 6 else "")
            with self.cond:
                self.events.append(event)
                self.cond.notify_all()

    def wait(self, predicate, timeout):
        """The first event so far, or to come within timeout, for which predicate holds."""
        deadline = time.monotonic() + timeout
        with self.cond:
            while True:
                for event in self.events:
                    if predicate(event):
                        return event
                remaining = deadline - time.monotonic()
                if remaining <= 0:
                    return None
                self.cond.wait(remaining)

    def since(self, t, kind=None):
        with self.cond:
            return [e for e in self.events if e["t"] >= t and (kind is None or e["kind"] == kind)]

    def close(self):
        stop(self.proc)


class RegionWatcher:
    """Each change of the pixels in a rectangle of one window, with the time it began."""

    def __init__(self, xwatch, env, window, rect, pixel_file):
        self.changes = []
        self.proc = subprocess.Popen([xwatch, "region", str(window), *map(str, rect),
                                      pixel_file], env=env, stdout=subprocess.PIPE, text=True)
        if self.proc.stdout.readline().strip() != "ready":
            raise RuntimeError("xwatch region did not start")
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            t, digest = line.split()
            self.changes.append((float(t), digest))

    def close(self):
        stop(self.proc)


class Monitor:
    """Records the null sink's monitor all along, noting when each piece of sound arrived,
    so that the moment any sample was played can be read off afterwards."""

    def __init__(self, env, latency_ms=10):
        self.samples = bytearray()
        self.arrivals = []  # (wall time a read returned, samples received up to then)
        self.proc = subprocess.Popen(["parec", "-d", f"{SINK}.monitor", "--format=s16le",
                                      f"--rate={RATE}", "--channels=1", f"--latency-msec={latency_ms}"],
                                     env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        fd = self.proc.stdout.fileno()
        while True:
            chunk = os.read(fd, 8192)
            now = time.time()
            if not chunk:
                return
            with self.lock:
                self.samples += chunk
                self.arrivals.append((now, len(self.samples) // 2))

    def _origin(self, t_from, t_to):
        """Wall time of sample 0: the sound streams at the sink's rate, so the read that came
        back soonest after its samples were played pins the timeline down best."""
        with self.lock:
            offsets = [t - n / RATE for t, n in self.arrivals if t_from <= t <= t_to]
        return min(offsets) if offsets else None

    def first_sound(self, t_from, t_to):
        """Wall time of the first audible sample played between t_from and t_to, or None."""
        origin = self._origin(t_from - 5, t_to + 1)
        if origin is None:
            return None
        with self.lock:
            start = max(0, int((t_from - origin) * RATE))
            end = min(len(self.samples) // 2, int((t_to - origin) * RATE))
            chunk = array.array("h", bytes(self.samples[start * 2:end * 2]))
        for i, s in enumerate(chunk):
            if s > AUDIBLE or s < -AUDIBLE:
                return origin + (start + i) / RATE
        return None

    def audible_fraction(self, t_from, t_to, window=0.05):
        """Share of the window-long slices between t_from and t_to that carry sound."""
        origin = self._origin(t_from - 5, t_to + 1)
        with self.lock:
            start = max(0, int((t_from - origin) * RATE))
            end = min(len(self.samples) // 2, int((t_to - origin) * RATE))
            chunk = array.array("h", bytes(self.samples[start * 2:end * 2]))
        step = int(RATE * window)
        slices = [chunk[i:i + step] for i in range(0, len(chunk) - step + 1, step)]
        loud = sum(1 for s in slices if max(s) > AUDIBLE or min(s) < -AUDIBLE)
        return loud / len(slices) if slices else 0.0

    def close(self):
        stop(self.proc)


class LoadSampler:
    """What else the machine is doing: compilers, test runs and other desktops, and how much
    CPU they took meanwhile."""
    BUSY = ("cc1plus", "ninja", "ctest", "Xvfb")

    def __init__(self, own_pids):
        self.own = own_pids
        self.loads = []
        self.seen = {}  # pid: (name, CPU ticks when first seen, CPU ticks when last seen)
        self.running = True
        threading.Thread(target=self._run, daemon=True).start()

    def _look(self):
        own = self.own()
        for entry in os.listdir("/proc"):
            if not entry.isdigit() or int(entry) in own:
                continue
            try:
                with open(f"/proc/{entry}/stat") as f:
                    stat = f.read()
            except OSError:
                continue
            name = stat[stat.index("(") + 1:stat.rindex(")")]
            if name in self.BUSY:
                ticks = sum(int(n) for n in stat.rsplit(")", 1)[1].split()[11:13])
                first = self.seen.get(int(entry), (name, ticks, ticks))[1]
                self.seen[int(entry)] = (name, first, ticks)

    def _run(self):
        while self.running:
            with open("/proc/loadavg") as f:
                self.loads.append(float(f.read().split()[0]))
            self._look()
            time.sleep(5)

    def summary(self):
        self.running = False
        if not self.loads:
            return "not sampled"
        text = (f"1-minute load average {min(self.loads):.2f} to {max(self.loads):.2f} "
                f"(median {statistics.median(self.loads):.2f})")
        if not self.seen:
            return text + "; no other builds, tests or desktops were running"
        hz = os.sysconf("SC_CLK_TCK")
        others = {}
        for name, first, last in self.seen.values():
            count, ticks = others.get(name, (0, 0))
            others[name] = (count + 1, ticks + last - first)
        listed = ", ".join(f"{count} {name} ({ticks / hz:.1f} s of CPU)"
                           for name, (count, ticks) in sorted(others.items()))
        return text + f"; other processes that were running: {listed}"


# ---- the programs --------------------------------------------------------------------------

class Program:
    def __init__(self, name, argv, env=None):
        self.name = name
        self.argv = argv
        self.env = env or {}
        self.problem = None

    def launch(self, desktop, maps, timeout=30):
        """Starts the program; returns the process, its start time and its first window."""
        env = dict(desktop.env, **self.env)
        log_file = open(os.path.join(desktop.home, f"{self.name.replace(' ', '_')}.log"), "ab")
        started = time.time()
        proc = subprocess.Popen(self.argv, env=env, stdout=log_file, stderr=log_file,
                                stdin=subprocess.DEVNULL)
        window = maps.wait(lambda e: e["kind"] == "map" and e["t"] >= started
                           and e["pid"] in process_tree(proc.pid), timeout)
        if window is None:
            stop(proc)
            raise RuntimeError(f"{self.name} showed no window within {timeout} s")
        return proc, started, window


# ---- the measurements ----------------------------------------------------------------------

def measure_startup(desktop, maps, programs, launches):
    """Launch to first window, after one untimed launch that fills the disk cache."""
    times = {p.name: [] for p in programs}
    for round_ in range(launches + 1):
        for program in programs:
            if program.problem:
                continue
            try:
                proc, started, window = program.launch(desktop, maps)
            except RuntimeError as error:
                program.problem = str(error)
                continue
            if round_ > 0:
                times[program.name].append(window["t"] - started)
            time.sleep(0.5)
            stop(proc)
            time.sleep(0.5)
        log("start-up round", round_, "of", launches)
    return times


def hide(desktop, program, proc, window):
    """Puts the window away the way each program's users do: Ticora and GNOME Clocks are
    minimised (Ticora then leaves the taskbar for the tray); Alarm Clock's window is closed,
    which leaves it running in the tray."""
    desktop.activate(window["client"])
    if program.name == "Alarm Clock":
        desktop.key("alt+F4")
    else:
        desktop.x("xdotool", "windowminimize", "--sync", str(window["client"]), check=False)
    time.sleep(1)
    if proc.poll() is not None:
        raise RuntimeError(f"{program.name} ended when its window was put away")


def measure_peer_memory_and_idle(desktop, maps, program, idle_s):
    result = {}
    proc, _, window = program.launch(desktop, maps)
    try:
        time.sleep(5)
        result["rss_shown"] = rss_kib(proc.pid)
        result["rss_top"] = rss_by_file(proc.pid)
        result["rss_fonts"] = rss_of_fonts(proc.pid)
        hide(desktop, program, proc, window)
        time.sleep(5)
        result["rss_hidden"] = rss_kib(proc.pid)
        result["idle"] = measure_usage(proc.pid, idle_s)
    finally:
        stop(proc)
    return result


class Ticora:
    """Ticora on the desktop, driven through its window as a user would."""

    def __init__(self, desktop, maps, program):
        self.d = desktop
        self.maps = maps
        self.proc, _, self.window_event = program.launch(desktop, maps)
        self.window = self.window_event["client"]
        self.shown = {}

    def tray_click(self):
        icon = wait_for(lambda: self.d.tray_icon(self.proc.pid), what="Ticora's tray icon")
        self.d.click(icon, 8, 8)

    def hide(self):
        self.d.x("xdotool", "windowminimize", "--sync", str(self.window), check=False)
        wait_for(lambda: not self.d.is_viewable(self.window), what="Ticora to go to the tray")

    def show(self):
        self.tray_click()
        wait_for(lambda: self.d.is_viewable(self.window), what="Ticora to come back")
        time.sleep(0.3)

    def set_box(self, box, text):
        if self.shown.get(box) != text:
            self.d.type_into_box(self.window, *box, text)
            self.shown[box] = text

    def is_armed(self):
        # Armed, 确定 is disabled: its caption turns from black to grey.
        rgb = self.d.pixels(self.window, ARM_CAPTION_RECT)
        darkest = min(sum(rgb[i:i + 3]) // 3 for i in range(0, len(rgb), 3))
        return darkest > 100

    def becomes_armed(self, within=2.0):
        # The first arming of a run loads the audio stack before the window repaints.
        deadline = time.monotonic() + within
        while not self.is_armed():
            if time.monotonic() > deadline:
                return False
            time.sleep(0.05)
        return True

    def arm(self, due):
        """Types the due time into the boxes and presses 确定; False if that took too long
        or did not arm."""
        when = time.localtime(due)
        self.set_box(HOUR_BOX, str(when.tm_hour))
        self.set_box(MINUTE_BOX, str(when.tm_min))
        self.set_box(SECOND_BOX, str(when.tm_sec))
        self.d.click(self.window, *ARM_BUTTON)
        armed = self.becomes_armed()
        if armed and time.time() < due - 0.3:
            return True
        if armed:
            self.d.click(self.window, *DISARM_BUTTON)
            time.sleep(0.15)
        return False

    def arm_soon(self, lead=3):
        for _ in range(5):
            due = int(time.time()) + lead
            if self.arm(due):
                return due
        self.fail("could not arm Ticora in time five times in a row")

    def wait_alert(self, due, timeout=3.0):
        return self.maps.wait(lambda e: e["kind"] == "map" and e["title"] == "Ticora"
                              and e["pid"] == self.proc.pid and e["t"] >= due - 1.5,
                              timeout=max(0.0, due + timeout - time.time()))

    def close_alert(self, alert):
        self.d.activate(alert["client"])
        self.d.key("Return")
        gone = self.maps.wait(lambda e: e["kind"] == "unmap" and e["frame"] == alert["frame"]
                              and e["t"] >= alert["t"], timeout=3)
        if gone is None:
            self.fail("the alert box did not close on Enter")

    def fail(self, what):
        """Stops the run with a screenshot of the whole screen to show what went wrong."""
        shot = os.path.join(artifacts_dir(), "bench-failure.png")
        self.d.screenshot(shot)
        windows = self.maps.since(time.time() - 30, "map")
        raise RuntimeError(f"{what}; screenshot in {shot}; windows shown in the last 30 s: "
                           f"{[(e['cls'], e['title']) for e in windows]}")

    def stop(self):
        stop(self.proc)


def make_music(home):
    """A loud two-second tone: it starts at full level, so its first sample is audible."""
    path = os.path.join(home, "bench tone.mp3")
    subprocess.run(["sox", "-n", "-r", str(RATE), "-c", "2", path, "synth", "2", "sine", "440",
                    "vol", "0.5"], check=True, capture_output=True)
    return path


def prepare_for_alerts(ticora, music):
    ticora.set_box(TEXT_BOX, "Benchmark alert")
    ticora.set_box(MUSIC_BOX, music)


def measure_ticora_memory_and_idle(desktop, maps, program, idle_s, music):
    result = {}
    t = Ticora(desktop, maps, program)
    try:
        time.sleep(5)
        result["rss_shown"] = rss_kib(t.proc.pid)
        result["rss_top"] = rss_by_file(t.proc.pid)
        result["rss_fonts"] = rss_of_fonts(t.proc.pid)
        t.hide()
        time.sleep(5)
        result["rss_hidden"] = rss_kib(t.proc.pid)
        log("Ticora idle, unarmed, hidden")
        result["idle"] = measure_usage(t.proc.pid, idle_s)

        t.show()
        prepare_for_alerts(t, music)
        later = time.localtime(time.time() + 2 * 3600)
        t.set_box(HOUR_BOX, str(later.tm_hour))
        t.d.click(t.window, *ARM_BUTTON)
        if not t.becomes_armed(within=10):
            t.fail("Ticora did not arm")
        t.hide()
        time.sleep(5)
        result["rss_armed"] = rss_kib(t.proc.pid)
        log("Ticora idle, armed, hidden")
        result["idle_armed"] = measure_usage(t.proc.pid, idle_s)

        t.show()
        t.d.click(t.window, *DISARM_BUTTON)
        time.sleep(0.3)
        due = t.arm_soon()
        alert = t.wait_alert(due)
        if alert is None:
            t.fail("the alert did not come")
        time.sleep(2)
        t.close_alert(alert)
        time.sleep(5)
        result["rss_after_alert"] = rss_kib(t.proc.pid)
    finally:
        t.stop()
    return result


def measure_alerts(desktop, maps, xwatch, program, run_s, loop_s, music, pixel_file):
    """Alerts one after another for run_s seconds, with the clock line watched throughout;
    then one alert left to loop its music for loop_s seconds."""
    t = Ticora(desktop, maps, program)
    monitor = Monitor(desktop.env)
    clock = None
    alerts = []
    try:
        # Out of the way of the alert box, which is centred on the screen.
        desktop.x("xdotool", "windowmove", "--sync", str(t.window), "0", "0", check=False)
        time.sleep(0.5)
        prepare_for_alerts(t, music)
        clock = RegionWatcher(xwatch, desktop.env, t.window, CLOCK_LINE_RECT, pixel_file)
        clock_from = time.time()
        end = clock_from + run_s
        while time.time() < end:
            due = t.arm_soon()
            alert = t.wait_alert(due)
            record = {"due": due, "box": alert}
            if alert is not None:
                time.sleep(max(0.0, alert["t"] + 1.2 - time.time()))
                record["extra_boxes"] = [
                    e for e in maps.since(due - 1.5, "map")
                    if e["title"] == "Ticora" and e["pid"] == t.proc.pid and e is not alert]
                t.close_alert(alert)
            alerts.append(record)
            shown = "missing" if alert is None else f"{(alert['t'] - due) * 1000:.1f} ms"
            log(f"alert {len(alerts)}: due {due}, box {shown}")
        clock_to = time.time()
        clock.close()
        for record in alerts:
            record["sound"] = monitor.first_sound(record["due"] - 0.5, record["due"] + 1.2)
        # Recording in 10 ms steps makes the sink, and with it the program's stream, work in
        # steps that small too. While the music loops, the program's own stream sets the pace.
        monitor.close()
        monitor = Monitor(desktop.env, latency_ms=250)

        due = t.arm_soon()
        alert = t.wait_alert(due)
        if alert is None:
            t.fail("the looping alert did not come")
        time.sleep(2)
        loop = measure_usage(t.proc.pid, loop_s)
        loop["audible"] = monitor.audible_fraction(alert["t"] + 2, alert["t"] + 2 + loop_s)
        t.close_alert(alert)
    finally:
        if clock:
            clock.close()
        monitor.close()
        t.stop()
    return alerts, (clock_from, clock_to, clock.changes), loop


def clock_line_errors(clock_from, clock_to, changes):
    """Seconds with no change of the clock line (skipped) and with more than one (doubled),
    over the whole seconds watched."""
    first, last = int(clock_from) + 1, int(clock_to) - 1
    per_second = {s: 0 for s in range(first, last + 1)}
    for t, _ in changes:
        if int(t) in per_second:
            per_second[int(t)] += 1
    skipped = [s for s, n in per_second.items() if n == 0]
    doubled = [s for s, n in per_second.items() if n > 1]
    digests = [d for t, d in changes if first <= t < last + 1]
    return {"seconds": len(per_second), "skipped": skipped, "doubled": doubled,
            "repeated_images": len(digests) - len(set(digests))}


# ---- the report ----------------------------------------------------------------------------

def ms(values):
    return [v * 1000 for v in values]


def fmt_ms(v):
    return f"{v:.0f} ms" if v >= 100 else f"{v:.1f} ms"


def mib(kib):
    return f"{kib / 1024:.1f} MiB"


def ratio(ticora, peer, floor=0):
    """Ticora's figure as a multiple of the peer's; none where the peer's is next to nothing."""
    return f" ({ticora / peer:.2f}×)" if peer > floor else ""


def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return f"{os.cpu_count()} cores, {model}, Linux {platform.release()}"


def package_version(package):
    result = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package],
                            capture_output=True, text=True)
    return result.stdout.strip() or "not installed"


def report(args, programs, startup, memory, alerts, clock, loop):
    names = [p.name for p in programs]
    problems = {p.name: p.problem for p in programs if p.problem}
    cell = {}

    def put(row, name, text):
        cell[(row, name)] = text

    tic = "Ticora"
    rows = []

    def row(label, target="", verdict=""):
        rows.append((label, target, verdict))
        return label

    def verdict(ok):
        return "met" if ok else "**missed**"

    # Start-up.
    med = {n: statistics.median(startup[n]) for n in names if startup.get(n)}
    mx = {n: max(startup[n]) for n in names if startup.get(n)}
    ok = tic in med and "GNOME Clocks" in med and med[tic] <= 0.3 * med["GNOME Clocks"]
    r_med = row(f"First window, median of {args.launches} launches",
                "≤ 0.3× GNOME Clocks", verdict(ok) if "GNOME Clocks" in med else "n/a")
    r_max = row(f"First window, max of {args.launches} launches")
    for n in names:
        if n in med:
            put(r_med, n, fmt_ms(med[n] * 1000) + ("" if n == tic else ratio(med[tic], med[n])))
            put(r_max, n, fmt_ms(mx[n] * 1000) + ("" if n == tic else ratio(mx[tic], mx[n])))

    # Memory.
    shown = {n: memory[n]["rss_shown"] for n in names if n in memory}
    ok = tic in shown and "Alarm Clock" in shown and shown[tic] <= shown["Alarm Clock"]
    r = row("RSS, window shown, 5 s idle", "≤ Alarm Clock",
            verdict(ok) if "Alarm Clock" in shown else "n/a")
    for n in shown:
        put(r, n, mib(shown[n]) + ("" if n == tic else ratio(shown[tic], shown[n])))
    r = row("RSS, window put away, 5 s idle")
    for n in names:
        if n in memory:
            put(r, n, mib(memory[n]["rss_hidden"])
                + ("" if n == tic else ratio(memory[tic]["rss_hidden"], memory[n]["rss_hidden"])))
    if tic in memory:
        put(row("RSS, hidden and armed (player prepared)"), tic,
            mib(memory[tic]["rss_armed"]))
        put(row("RSS, 5 s after an alert played music and was closed"), tic,
            mib(memory[tic]["rss_after_alert"]))

    # Idle.
    idle_label = f"over {args.idle_s} s, window put away"
    r_cpu = row(f"Idle CPU time {idle_label}")
    r_wake = row(f"Idle wake-ups {idle_label}", "≤ 1.5/s unarmed",
                 verdict(tic in memory and memory[tic]["idle"]["wakeups"] <= 1.5)
                 if tic in memory else "n/a")
    for n in names:
        if n in memory:
            i, ti = memory[n]["idle"], memory.get(tic, {}).get("idle")
            put(r_cpu, n, f"{i['cpu_s']:.3f} s" + ("" if n == tic or not ti
                                                    else ratio(ti["cpu_s"], i["cpu_s"], 0.001)))
            put(r_wake, n, f"{i['wakeups']:.2f}/s" + ("" if n == tic or not ti
                                                      else ratio(ti["wakeups"], i["wakeups"], 0.1)))
    if tic in memory:
        a = memory[tic]["idle_armed"]
        put(row(f"Idle CPU time {idle_label}, armed"), tic, f"{a['cpu_s']:.3f} s")
        put(row(f"Idle wake-ups {idle_label}, armed", "≤ 2/s", verdict(a["wakeups"] <= 2)),
            tic, f"{a['wakeups']:.2f}/s")

    # Alerts.
    if alerts is not None:
        boxes = [a["box"]["t"] - a["due"] for a in alerts if a["box"]]
        sounds = [a["sound"] - a["due"] for a in alerts if a["box"] and a["sound"]]
        if boxes:
            b = ms(boxes)
            ok = statistics.median(b) <= 10 and max(b) <= 30
            put(row(f"Alert box mapped after the due second began "
                    f"(min / median / max of {len(b)})", "median ≤ 10 ms, max ≤ 30 ms",
                    verdict(ok)), tic,
                f"{min(b):.1f} / {statistics.median(b):.1f} / {max(b):.1f} ms")
        silent = sum(1 for a in alerts if a["box"] and not a["sound"])
        s = ms(sounds)
        put(row(f"Music audible on the sink after the due second began "
                f"(min / median / max of {len(s)})", "median ≤ 200 ms",
                verdict(s and not silent and statistics.median(s) <= 200)), tic,
            (f"{min(s):.0f} / {statistics.median(s):.0f} / {max(s):.0f} ms" if s else "—")
            + (f"; {silent} alerts silent" if silent else ""))
        first = alerts[0]
        if first["box"]:
            sound = (f"{(first['sound'] - first['due']) * 1000:.0f} ms" if first["sound"]
                     else "no sound")
            put(row("The first of them, the process's first alert: box / music"), tic,
                f"{(first['box']['t'] - first['due']) * 1000:.1f} ms / {sound}")
        clock_from, clock_to, changes = clock
        c = clock_line_errors(clock_from, clock_to, changes)
        put(row(f"Clock line: seconds skipped / doubled over {c['seconds']} s", "0 / 0",
                verdict(not c["skipped"] and not c["doubled"] and not c["repeated_images"])),
            tic, f"{len(c['skipped'])} / {len(c['doubled'])}")
        missed = sum(1 for a in alerts if not a["box"] or a["box"]["t"] - a["due"] >= 1)
        doubled = sum(1 for a in alerts if a.get("extra_boxes"))
        put(row(f"Alarm timer: due seconds skipped / doubled over {len(alerts)} alerts", "0 / 0",
                verdict(missed == 0 and doubled == 0)), tic, f"{missed} / {doubled}")
        clock_summary = c
    if loop is not None:
        put(row(f"CPU while the alert's MP3 loops ({loop['seconds']:.0f} s)", "< 3% of one core",
                verdict(loop["cpu_s"] / loop["seconds"] < 0.03)), tic,
            f"{100 * loop['cpu_s'] / loop['seconds']:.2f}% (sound {100 * loop['audible']:.0f}% "
            "of the time)")

    header = ["Measure", *names, "Target", "Result"]
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    for label, target, result in rows:
        values = []
        for n in names:
            if n in problems:
                values.append("could not run" if (label, n) not in cell else cell[(label, n)])
            else:
                values.append(cell.get((label, n), "—"))
        lines.append("| " + " | ".join([label, *values, target, result]) + " |")
    table = "\n".join(lines)

    notes = []
    for n, problem in problems.items():
        notes.append(f"- {n} could not run here: {problem}.")
    for n in names:
        if n in memory:
            parts = ", ".join(f"{f} {kib / 1024:.1f}" for kib, f in memory[n]["rss_top"])
            notes.append(f"- {n}'s largest shares of RSS with the window shown (MiB): {parts}.")
            fonts = memory[n]["rss_fonts"]
            listed = ", ".join(f"{f} {kib / 1024:.1f}" for kib, f in fonts)
            notes.append(f"  Its font files: {sum(k for k, _ in fonts) / 1024:.1f} MiB"
                         + (f" ({listed})." if fonts else "."))
    if tic in shown and "Alarm Clock" in shown and shown[tic] > shown["Alarm Clock"]:
        font_kib = {n: sum(k for k, _ in memory[n]["rss_fonts"]) for n in (tic, "Alarm Clock")}
        notes.append(f"- Ticora's RSS with the window shown is "
                     f"{(shown[tic] - shown['Alarm Clock']) / 1024:.1f} MiB above Alarm Clock's. "
                     f"Font files take {font_kib[tic] / 1024:.1f} MiB of Ticora's and "
                     f"{font_kib['Alarm Clock'] / 1024:.1f} MiB of Alarm Clock's: Ticora's "
                     "captions are Chinese and are drawn from a CJK font, whose pages the "
                     "glyphs touch are mapped in, Alarm Clock's are Latin.")
    if alerts is not None:
        if silent:
            notes.append(f"- {silent} alert(s) showed the box but no sound reached the sink "
                         "within 1.2 s.")
        if clock_summary["skipped"] or clock_summary["doubled"]:
            notes.append(f"- Clock line: skipped seconds {clock_summary['skipped'][:10]}, "
                         f"doubled {clock_summary['doubled'][:10]}.")
        if clock_summary["repeated_images"]:
            notes.append(f"- Clock line: {clock_summary['repeated_images']} changes showed a "
                         "text already shown before.")
    return table, notes, {n: package_version(p) for n, p in
                          (("Qt", "libqt6core6"), ("GNOME Clocks", "gnome-clocks"),
                           ("Alarm Clock", "alarm-clock-applet"))}


METHOD = """\
How it is measured (all from outside the programs, on Xvfb with openbox, trayer, a D-Bus
session bus and PulseAudio with a null sink, as the end-to-end tests run):

- First window: from just before the program is started to the moment the X server reports
  the window manager's frame of its first window as mapped (bench/xwatch, MapNotify on the
  root window). One untimed launch of each program first; then the programs take turns.
- RSS: VmRSS summed over the program's process and its descendants, 5 s after the window
  appeared; "put away" is how each program's users do it: Ticora and GNOME Clocks are
  minimised (Ticora then hides in the tray), Alarm Clock's window is closed (it stays in
  the tray).
- Idle: CPU time (schedstat) and context switches (voluntary + involuntary, from
  /proc/PID/task/*/status) of all threads, over the stated time, starting 5 s after the
  window was put away. Armed: an alert set two hours ahead, the player prepared.
- Alerts: Ticora's window is driven as a user would (typing the time, pressing 确定), the
  due time about three seconds ahead; the box counts as shown when its frame is mapped;
  the music (a two-second 440 Hz MP3 tone) counts as audible at the first sample above
  -40 dBFS on the null sink's monitor, timed on the sink's sample clock; the MP3 begins
  with 25 ms of the encoder's silence, which the figure includes. Each box is
  closed with Enter after 1.2 s, and the next alert is set.
- Clock line: every change of the clock line's pixels is caught through the X DAMAGE
  extension during the whole alert run (window shown); each wall-clock second must show
  exactly one change, and no text may come back.
- Alarm timer: an alert whose box is not mapped within its due second counts as skipped;
  a second box during the same alert as doubled.
- Music loop: CPU time of the program while the box stays open and the two-second MP3
  loops; the share of 50 ms slices with sound shows the loop keeps playing. The sink's
  monitor is recorded in 250 ms steps here rather than 10 ms: a recording in small steps
  drives the sink, and the program's stream with it, in small steps too (about 500
  context switches a second instead of 110 while the music plays).
"""


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--binary", required=True)
    parser.add_argument("--xwatch", required=True)
    parser.add_argument("--quick", action="store_true", help="short runs, for development")
    parser.add_argument("--out", help="where to write the results (Markdown)")
    args = parser.parse_args()
    for key, value in (QUICK if args.quick else FULL).items():
        setattr(args, key, value)
    xwatch = os.path.abspath(args.xwatch)

    programs = [Program("Ticora", [os.path.abspath(args.binary)], {"QT_QPA_PLATFORM": "xcb"}),
                Program("GNOME Clocks", ["gnome-clocks"]),
                Program("Alarm Clock", ["alarm-clock-applet"])]
    for p in programs:
        if not shutil.which(p.argv[0]):
            p.problem = f"{p.argv[0]} is not installed"

    started = datetime.datetime.now().astimezone()
    memory, alerts, clock, loop = {}, None, None, None
    with Desktop() as desktop:
        os.environ["TZ"] = desktop.env["TZ"]
        time.tzset()
        maps = MapWatcher(xwatch, desktop.env)
        own = lambda: {p.pid for p in desktop.procs} | {maps.proc.pid}  # noqa: E731
        load = LoadSampler(own)
        try:
            music = make_music(desktop.home)
            log("start-up")
            startup = measure_startup(desktop, maps, programs, args.launches)
            for program in programs[1:]:
                if program.problem:
                    continue
                log(program.name, "memory and idle")
                try:
                    memory[program.name] = measure_peer_memory_and_idle(desktop, maps, program,
                                                                        args.idle_s)
                except RuntimeError as error:
                    program.problem = str(error)
            log("Ticora memory and idle")
            memory["Ticora"] = measure_ticora_memory_and_idle(desktop, maps, programs[0],
                                                              args.idle_s, music)
            log("Ticora alerts and clock line")
            alerts, clock, loop = measure_alerts(
                desktop, maps, xwatch, programs[0], args.run_s, args.loop_s, music,
                os.path.join(desktop.home, "clock-line.rgb"))
        finally:
            maps.close()
            load_text = load.summary()

    table, notes, versions = report(args, programs, startup, memory, alerts, clock, loop)
    print(table)
    for note in notes:
        print(note)
    if args.out:
        with open(args.out, "w") as f:
            f.write("# Benchmark results\n\n")
            f.write(f"{'Quick' if args.quick else 'Full'} run of `make bench` on "
                    f"{started:%Y-%m-%d %H:%M %Z}: {machine()}.  \n")
            f.write(f"Qt {versions['Qt']}, GNOME Clocks {versions['GNOME Clocks']}, "
                    f"Alarm Clock {versions['Alarm Clock']} (Debian packages).  \n")
            f.write(f"Machine load meanwhile: {load_text}.\n\n")
            f.write("Peers' figures carry Ticora's ratio to them in brackets.\n\n")
            f.write(table + "\n")
            if notes:
                f.write("\n" + "\n".join(notes) + "\n")
            f.write("\n" + METHOD)
        log("wrote", args.out)


if __name__ == "__main__":
    main()
