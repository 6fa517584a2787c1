#!/usr/bin/env python3
"""Runs the GUI tests of zt615_control under Wine, against simulated loggers on COM ports.

usage: control_gui_runner.py SIM WINDOWS_BUILD WORK_DIR [GTEST_ARGS...]
       control_gui_runner.py SIM WINDOWS_BUILD WORK_DIR --screenshots OUT_DIR
       control_gui_runner.py SIM WINDOWS_BUILD WORK_DIR --demo FILE.BIN OUT_DIR

SIM is the native zt615_logger_sim, WINDOWS_BUILD the Windows build tree (it holds
zt615_control.exe, zt615.exe and tests/gui/zt_control_gui_test.exe), WORK_DIR a folder of
ours (the native build tree): the Wine prefix, the simulators' lines, the logged files and
the exports live under it.

The prefix maps each COM port onto a fixed link path, and a simulator serves each path:
  COM3  a logger that answers properly (the values are GOOD_ARGS)
  COM4  a logger without an SD card
  COM5  a logger that does not answer GET_BATTERY (103)
  COM6  a logger that answers GET_SD_CARD (104), then hangs up the line and exits
  COM7  a logger that answers nothing
  COM10 listed, but its line is a folder: the port cannot be opened (Wine opens a port
        whose line is missing, and shares a port that a program holds)
The test program learns ports, simulator logs and files from ZT_CONTROL_* variables.

--screenshots runs the DISABLED_ screenshot tests (only COM3 served) on the demo's recording
and leaves .bmp files in OUT_DIR; --demo runs ControlDemo.DISABLED_Screens on FILE.BIN. Every wait is bounded;
only the processes started here are stopped, by their ids. Prints "N passed, N failed".
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "tests", "device"))
import sim_harness  # noqa: E402

# The test program expects exactly these values on COM3 (see ControlDevice in the tests).
GOOD_ARGS = ["--device-id", "4242", "--temperature", "7.5", "--battery", "12.6",
             "--tilt-x", "1.5", "--tilt-y", "-2.3", "--sd-free", "4294967296",
             "--clock-offset", "-3600"]
# name, port, simulator arguments (None: no simulator behind the port)
LINES = [
    ("good", "COM3", GOOD_ARGS),
    ("nocard", "COM4", ["--no-sd-card"]),
    ("noreply", "COM5", ["--fault", "no-reply:103"]),
    ("hangup", "COM6", ["--fault", "hangup:104"]),
    ("silent", "COM7", ["--fault", "no-reply:any"]),
    ("dead", "COM10", None),
]
# A recording big enough that an export of it is still being written a few seconds after
# it started (the cancel and second-export tests need one running). ZT_GUI_BIG_SIZE makes it
# larger for the window's figures (bench/window_bench.sh).
BIG_SIZE = os.environ.get("ZT_GUI_BIG_SIZE", "1G")
RUN_TIMEOUT_S = 900
# Another run on the same WORK_DIR (another ctest, screenshots.sh) shares the prefix, whose
# desktop belongs to that run's display: runs take turns.
LOCK_WAIT_S = 900


class ControlWine(sim_harness.Wine):
    """sim_harness.Wine with a prefix of our own, so that the port mapping of these tests
    and that of the device tests never meet."""

    def __init__(self, prefix, ports):  # noqa: super().__init__ names its prefix itself
        self.prefix = prefix
        self.env = dict(os.environ)
        self.env.update(ZT_WINEPREFIX=prefix, WINEPREFIX=prefix, WINEDEBUG="-all",
                        LC_ALL="C.UTF-8")
        self.env.pop("DISPLAY", None)
        self.ports = ports
        self._prepare()


def record(sim, out, *args):
    subprocess.run([sim, "record", out, "--quiet"] + list(args), check=True, timeout=300,
                   stdin=subprocess.DEVNULL)


def make_data(sim, data, big, demo=False):
    """The logged files of the tests; the big one is kept between runs (same seed, same
    bytes). With demo, REC10.BIN is the demo's recording, for the user guide's pictures."""
    os.makedirs(data, exist_ok=True)
    rec = os.path.join(data, "REC10.BIN")
    if demo:
        with open(os.path.join(REPO, "scripts", "demo-recording.args")) as f:
            record(sim, rec, *f.read().split())
    else:
        record(sim, rec, "--range", "10", "--pings", "400", "--seed", "7", "--threshold", "20",
               "--deadzone", "0.5", "--sound-speed", "1487.5")
    with open(rec, "rb") as f:
        head = f.read(4096)
    with open(os.path.join(data, "EMPTY.BIN"), "wb"):
        pass
    with open(os.path.join(data, "SHORT.BIN"), "wb") as f:
        f.write(head[:100])
    bad = bytearray(head)
    bad[52:56] = (7000).to_bytes(4, "little")  # 7 m: not one of the logger's ranges
    with open(os.path.join(data, "BADRANGE.BIN"), "wb") as f:
        f.write(bad)
    if big:
        path = os.path.join(data, "BIG.BIN")
        stamp = path + ".args"
        want = "--range 10 --size %s --seed 3" % BIG_SIZE
        if not (os.path.exists(path) and os.path.exists(stamp) and open(stamp).read() == want):
            record(sim, path, *want.split())
            with open(stamp, "w") as f:
                f.write(want)


def start_sims(sim, links, served):
    sims, problems = {}, []
    for name, _port, args in LINES:
        if args is None or name not in served:
            continue
        try:
            sims[name] = sim_harness.Sim(sim, links, name, args)
        except RuntimeError as e:
            err = os.path.join(links, name + ".stderr")
            why = open(err).read().strip() if os.path.exists(err) else ""
            problems.append("%s (%s): %s %s" % (name, " ".join(args), e, why))
    return sims, problems


def take_turn(base):
    """Holds the work folder's lock until this process ends; False if another run kept it
    for LOCK_WAIT_S."""
    import fcntl
    os.makedirs(base, exist_ok=True)
    lock = open(os.path.join(base, ".lock"), "a+")
    deadline = time.monotonic() + LOCK_WAIT_S
    said = False
    while True:
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            take_turn.held = lock  # kept open (and locked) for the rest of the run
            return True
        except BlockingIOError:
            if time.monotonic() > deadline:
                return False
            if not said:
                print("control_gui_runner: waiting for another run on %s" % base, flush=True)
                said = True
            time.sleep(1)


def summarize(xml_path, out):
    """Passed and failed test names from gtest's XML report (the text output, which Wine's
    own messages interleave, when there is no report: the run ended early)."""
    import xml.etree.ElementTree as ET
    if os.path.exists(xml_path):
        passed, failed = [], []
        for case in ET.parse(xml_path).getroot().iter("testcase"):
            if case.get("status") != "run" or case.get("result") == "skipped":
                continue
            name = "%s.%s" % (case.get("classname"), case.get("name"))
            (failed if case.find("failure") is not None else passed).append(name)
        return passed, failed, True
    passed = re.findall(r"\[       OK \] (\S+) \(", out)
    failed = sorted(set(re.findall(r"\[  FAILED  \] (\S+) \(", out)))
    return passed, failed, False


def give_up(why):
    print("control_gui_runner: " + why)
    print("0 passed, 1 failed")
    return 1


def main():
    argv = sys.argv[1:]
    if len(argv) < 3:
        print(__doc__)
        return 2
    sim, wbuild, work = (os.path.abspath(a) for a in argv[:3])
    rest = argv[3:]
    mode, gtest_args, shots, demo_file = "tests", [], None, None
    if rest[:1] == ["--screenshots"] and len(rest) == 2:
        mode, shots = "screenshots", os.path.abspath(rest[1])
    elif rest[:1] == ["--demo"] and len(rest) == 3:
        mode, demo_file, shots = "demo", os.path.abspath(rest[1]), os.path.abspath(rest[2])
    else:
        gtest_args = rest

    exe = os.path.join(wbuild, "tests", "gui", "zt_control_gui_test.exe")
    for need in (sim, exe, os.path.join(wbuild, "control", "zt615_control.exe")):
        if not os.path.exists(need):
            return give_up("%s is missing: build both trees first (scripts/build.sh all)" % need)
    base = os.path.join(work, "control-gui")
    if not take_turn(base):
        return give_up("another run kept %s for %d s" % (base, LOCK_WAIT_S))
    links, data, out_dir = (os.path.join(base, d) for d in ("links", "data", "out"))
    shutil.rmtree(out_dir, ignore_errors=True)
    for d in (links, out_dir):
        os.makedirs(d, exist_ok=True)
    if shots:
        os.makedirs(shots, exist_ok=True)
    served = {"good"} if mode != "tests" else {name for name, _, _ in LINES}
    if mode != "demo":
        make_data(sim, data, big=(mode == "tests"), demo=(mode == "screenshots"))

    wine = None
    sims = {}
    failures = []
    passed = []
    try:
        # Stale links of an earlier run would make a port look served.
        for name, _port, args in LINES:
            link = os.path.join(links, name)
            if os.path.lexists(link) and not os.path.isdir(link):
                os.unlink(link)
            if args is None:
                os.makedirs(link, exist_ok=True)
        wine = ControlWine(os.path.join(work, "wineprefix-control-gui"),
                           {port: os.path.join(links, name) for name, port, _ in LINES})
        sims, problems = start_sims(sim, links, served)
        failures += ["simulator did not start: " + p for p in problems]

        env = dict(os.environ)
        env.update(ZT_WINEPREFIX=wine.prefix, TZ="UTC", LC_ALL="C.UTF-8",
                   WINEDEBUG=os.environ.get("WINEDEBUG", "-all"),
                   ZT_CONTROL_DATA=data, ZT_CONTROL_OUT=out_dir,
                   ZT_CONTROL_PORTS=",".join(port for _, port, _ in LINES))
        for name, port, args in LINES:
            env["ZT_CONTROL_%s_PORT" % name.upper()] = port
            if args is not None:
                env["ZT_CONTROL_%s_LOG" % name.upper()] = os.path.join(links, name + ".jsonl")
        if mode == "screenshots":
            env["ZT_SCREENSHOT_DIR"] = shots
            gtest_args = ["--gtest_filter=ControlScreens.*:EchogramScreens.*",
                          "--gtest_also_run_disabled_tests"]
        elif mode == "demo":
            env["ZT_SCREENSHOT_DIR"] = shots
            env["ZT_DEMO_FILE"] = demo_file
            gtest_args = ["--gtest_filter=ControlDemo.DISABLED_Screens",
                          "--gtest_also_run_disabled_tests"]

        log_path = os.path.join(base, "gtest-output.txt")
        xml_path = os.path.join(base, "gtest-report.xml")
        for old in (log_path, xml_path):
            if os.path.exists(old):
                os.unlink(old)
        cmd = [os.path.join(REPO, "scripts", "gui-run.sh"), exe, "--gtest_color=no",
               "--gtest_output=xml:Z:" + xml_path.replace("/", "\\")] + gtest_args
        print("control_gui_runner: " + " ".join(cmd), flush=True)
        # Output through a file: Wine's helper processes outlive the program and would keep
        # a pipe open; appending, because the programs the tests start write to it as well.
        # A session of its own, so that a run past its time can be stopped as a whole by its
        # id.
        with open(log_path, "ab") as log:
            p = subprocess.Popen(cmd, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                 stderr=subprocess.STDOUT, start_new_session=True)
            try:
                status = p.wait(timeout=RUN_TIMEOUT_S)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGTERM)
                try:
                    p.wait(timeout=20)
                except subprocess.TimeoutExpired:
                    os.killpg(p.pid, signal.SIGKILL)
                    p.wait(timeout=20)
                status = None
                failures.append("the tests did not end within %d s and were stopped" %
                                RUN_TIMEOUT_S)
        text = open(log_path, "rb").read().decode("utf-8", "replace")
        # Wine says this each time a file chooser looks at drive Z:; it tells nothing here.
        sys.stdout.write("".join(line for line in text.splitlines(True)
                                 if not line.startswith("wine: Read access denied")))
        passed, failed, reported = summarize(xml_path, text)
        failures += ["test failed: " + f for f in failed]
        if status is not None and not reported:
            failures.append("the test program ended early (status %s)" % status)
        if status not in (0, None) and not failures:
            failures.append("the test program ended with status %s" % status)
        if len(passed) + len(failed) == 0:
            failures.append("no test ran")
    finally:
        for s in sims.values():
            s.stop()
        if wine:
            wine.close()
        shutil.rmtree(out_dir, ignore_errors=True)

    print()
    for f in failures:
        print("FAIL: " + f)
    print("%d passed, %d failed" % (len(passed), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
