#!/usr/bin/env python3
"""zt615 ports and zt615 device info/sync/upload against the simulated logger: the printed
texts, the exit status, and the frames the logger received (its JSON log).

usage: cli_device_test.py ZT615 SIM [--wine BUILD_DIR]
With --wine, ZT615 is zt615.exe and runs under Wine with the logger's line as COM3."""
import os
import re
import shutil
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sim_harness  # noqa: E402

FAILURES = []


def check(cond, what):
    if not cond:
        FAILURES.append(what)
        print("FAIL: " + what)
    return cond


class Runner:
    def __init__(self, zt615, sim, wine_build):
        self.zt615, self.sim = zt615, sim
        self.wine = None
        if wine_build:
            self.work = os.path.join(wine_build, "serial-links")
            os.makedirs(self.work, exist_ok=True)
            self.wine = sim_harness.Wine(wine_build, {
                "COM3": os.path.join(self.work, "good"),
                "COM4": os.path.join(self.work, "faulty")})
        else:
            self.work = sim_harness.workdir("cli")

    def start(self, *args):
        return sim_harness.Sim(self.sim, self.work, "good", args)

    def port(self, sim):
        return "COM3" if self.wine else sim.link

    def host_path(self, path):
        # Wine maps the Unix root as drive Z:.
        return "Z:" + path.replace("/", "\\") if self.wine else path

    def zt(self, *args):
        if self.wine:
            r = self.wine.run([self.zt615] + list(args), timeout=120)
        else:
            r = subprocess.run([self.zt615] + list(args), timeout=120, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
        out = r.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
        err = r.stderr.decode("utf-8", "replace").replace("\r\n", "\n")
        return r.returncode, out, err


def codes(frames):
    return [f["code"] for f in frames if "code" in f]


def timer_record(name, index, range_mm=5000):
    rec = bytearray(128)
    struct.pack_into("<ii", rec, 0, 128, index)
    rec[8:8 + len(name)] = name.encode()
    struct.pack_into("<iiIii", rec, 40, 1000, 2000, 104857600, range_mm, 50)
    return bytes(rec)


def test_info(r):
    sim = r.start("--device-id", "7", "--temperature", "-1.5", "--battery", "12.25",
                  "--tilt-x", "3", "--tilt-y", "-4.5", "--sd-free", "4294967296")
    try:
        rc, out, err = r.zt("device", "info", "--port", r.port(sim))
        check(rc == 0, "info: exit 0, got %d (%s)" % (rc, err))
        lines = out.split("\n")
        check(len(lines) >= 8, "info: eight lines: %r" % out)
        if len(lines) >= 8:
            check(lines[0] == "ZT615 Echosounder", "info line 1: %r" % lines[0])
            check(lines[1] == "Device ID: 000007", "info line 2: %r" % lines[1])
            check(re.fullmatch(r"Time \(Local\): (Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
                               r"[A-Z][a-z]{2} [ 123]\d \d\d:\d\d:\d\d \d{4}", lines[2]) is not None,
                  "info line 3: %r" % lines[2])
            check(lines[3] == "Temperature: -1.5\u00b0C", "info line 4: %r" % lines[3])
            check(lines[4] == "Tilt X: 3.0\u00b0 Tilt Y: -4.5\u00b0", "info line 5: %r" % lines[4])
            check(lines[5] == "Battery: 12.2 Volts", "info line 6: %r" % lines[5])
            check(lines[6] == "SD card free space: 4294967296 Bytes", "info line 7: %r" % lines[6])
            m = re.fullmatch(r"Clock difference: ([+-]\d+) s \(device - host\)", lines[7])
            check(m is not None and abs(int(m.group(1))) <= 2, "info clock line: %r" % lines[7])
        check(codes(sim.frames()) == [100, 101, 102, 103, 104, 109],
              "info: queries in order: %r" % codes(sim.frames()))
    finally:
        sim.stop()


def test_info_without_card(r):
    sim = r.start("--no-sd-card")
    try:
        rc, out, err = r.zt("device", "info", "--port", r.port(sim))
        check(rc == 0 and "\nSD card: Not present\n" in out, "info without card: %r" % out)
    finally:
        sim.stop()


def test_info_faults(r):
    # Every fault of the logger's reply gives the dialog's message and exit status 1;
    # a reply split over several writes is still read.
    cases = [("no-reply:103", [100, 101, 102, 103]), ("wrong-magic:101", [100, 101]),
             ("wrong-code:any", [100]), ("delay:102:2500", [100, 101, 102]),
             ("garbage:109", [100, 101, 102, 103, 104, 109]), ("no-cr:100", [100]),
             ("flood:104:1000", [100, 101, 102, 103, 104]), ("short:101", [100, 101]),
             ("short:104", [100, 101, 102, 103, 104])]
    for fault, sent in cases:
        sim = r.start("--fault", fault)
        try:
            t0 = time.monotonic()
            rc, out, err = r.zt("device", "info", "--port", r.port(sim))
            check(rc == 1, "info %s: exit 1, got %d" % (fault, rc))
            check(err.strip() == "zt615: Unable to get data from the device",
                  "info %s: message %r" % (fault, err))
            check(out == "", "info %s: nothing on stdout: %r" % (fault, out))
            check(codes(sim.frames()) == sent, "info %s: frames %r" % (fault, codes(sim.frames())))
            check(time.monotonic() - t0 < 30, "info %s: does not hang" % fault)
        finally:
            sim.stop()
    sim = r.start("--fault", "split:any:100")
    try:
        rc, out, err = r.zt("device", "info", "--port", r.port(sim))
        check(rc == 0 and "Device ID: 123456" in out, "info split: %d %r %r" % (rc, out, err))
    finally:
        sim.stop()


def test_sync(r):
    sim = r.start("--clock-offset", "-5000")
    try:
        before = time.time()
        rc, out, err = r.zt("device", "sync", "--port", r.port(sim))
        after = time.time()
        check(rc == 0, "sync: exit 0, got %d (%s)" % (rc, err))
        lines = out.split("\n")
        check(len(lines) >= 4 and lines[2] == "Time synchronized", "sync output: %r" % out)
        stamps = re.findall(r"Device UTC time: (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d) UTC", out)
        check(len(stamps) == 2, "sync: clock before and after: %r" % out)
        if len(stamps) == 2:
            import calendar
            t = [calendar.timegm(time.strptime(s, "%Y-%m-%d %H:%M:%S")) for s in stamps]
            check(abs(t[0] - (before - 5000)) <= 3, "sync: clock before %r" % stamps[0])
            check(abs(t[1] - after) <= 3, "sync: clock after %r" % stamps[1])
        frames = sim.frames()
        check(codes(frames) == [100, 0, 100], "sync frames: %r" % codes(frames))
        set_clock = [f for f in frames if f.get("code") == 0]
        if set_clock:
            check(before - 2 <= set_clock[0]["clock"] <= after + 2,
                  "SET_CLOCK payload %r within 2 s of the host clock %r" % (
                      set_clock[0]["clock"], before))
    finally:
        sim.stop()
    sim = r.start("--fault", "no-reply:100")
    try:
        rc, out, err = r.zt("device", "sync", "--port", r.port(sim))
        check(rc == 1 and err.strip() == "zt615: Unable to get data from the device",
              "sync without answer: %d %r" % (rc, err))
        check(codes(sim.frames()) == [100], "sync without answer sends no SET_CLOCK")
    finally:
        sim.stop()


def test_upload_timers(r):
    path = os.path.join(r.work, "TIMERS.DAT")
    with open(path, "wb") as f:
        f.write(timer_record("Dawn", 9) + timer_record("Noon", 9, 10000) +
                timer_record("Dusk", 9) + bytes(128 * 29))
    sim = r.start()
    try:
        rc, out, err = r.zt("device", "upload", "--port", r.port(sim), "--timers",
                            r.host_path(path))
        check(rc == 0 and out == "Settings uploaded\n", "upload: %d %r %r" % (rc, out, err))
        check("5 of 5" in err, "upload progress line: %r" % err)
        frames = sim.frames()
        check(codes(frames) == [104, 4, 5, 1, 1, 1], "upload frames: %r" % codes(frames))
        timers = [f["timer"] for f in frames if f.get("code") == 1]
        check([t["timer_index"] for t in timers] == [0, 1, 2], "timer_index 0, 1, 2")
        check([t["timer_name"] for t in timers] == ["Dawn", "Noon", "Dusk"], "timer names")
        check(len(timers) == 3 and timers[1]["range_mm"] == 10000, "timer payload")
    finally:
        sim.stop()


def test_upload_default(r):
    sim = r.start()
    try:
        rc, out, err = r.zt("device", "upload", "--port", r.port(sim), "--default")
        check(rc == 0 and out == "Settings uploaded\n", "upload default: %d %r" % (rc, err))
        frames = sim.frames()
        check(codes(frames) == [104, 2], "upload default frames: %r" % codes(frames))
        if len(frames) == 2:
            t = frames[1]["timer"]
            check(t["timer_name"] == "Default timer" and t["output_flags"] == 128 and
                  t["start_time"] == 0 and t["stop_time"] == 4294967294 and
                  t["range_mm"] == 2000 and t["tx_length_us"] == 50 and
                  t["interval_s"] == 60 and t["file_size_limit"] == 4194304000 and
                  t["deadzone_m"] == 0.3 and t["sound_speed"] == 1500,
                  "default timer record: %r" % t)
    finally:
        sim.stop()


def test_upload_refusals(r):
    sim = r.start("--no-sd-card")
    try:
        rc, out, err = r.zt("device", "upload", "--port", r.port(sim), "--default")
        check(rc == 1 and err.strip() == "zt615: Insert SD card into device!",
              "upload without card: %d %r" % (rc, err))
        check(codes(sim.frames()) == [104], "nothing uploaded without a card")
    finally:
        sim.stop()
    sim = r.start("--fault", "no-reply:104")
    try:
        rc, out, err = r.zt("device", "upload", "--port", r.port(sim), "--default")
        check(rc == 1 and err.strip() == "zt615: Unable to communicate with device",
              "upload without answer: %d %r" % (rc, err))
        check(codes(sim.frames()) == [104], "nothing uploaded without an answer")
    finally:
        sim.stop()
    bad = os.path.join(r.work, "BAD.DAT")
    with open(bad, "wb") as f:
        f.write(bytes(100))
    sim = r.start()
    try:
        rc, out, err = r.zt("device", "upload", "--port", r.port(sim), "--timers",
                            r.host_path(bad))
        check(rc == 1 and "100 bytes" in err, "bad timer file refused: %d %r" % (rc, err))
        check(codes(sim.frames()) == [], "bad timer file: the port is not used")
    finally:
        sim.stop()


def test_hangup(r):
    # The logger answers the query, then drops the line: the next frame cannot be written,
    # and the command says so with the port and the system's reason, not success.
    import errno
    for args, fault, sent, success in ((["upload", "--default"], "hangup:104", [104],
                                        "Settings uploaded"),
                                       (["sync"], "hangup:100", [100], "Time synchronized")):
        sim = r.start("--fault", fault)
        try:
            rc, out, err = r.zt("device", args[0], "--port", r.port(sim), *args[1:])
            m = re.fullmatch(re.escape("zt615: " + r.port(sim) + ": ") +
                             r".* could not be sent: (.+)", err.strip().split("\n")[-1])
            check(rc == 1 and success not in out and m is not None,
                  "%s after a hang-up: %d %r %r" % (args[0], rc, out, err))
            if m and not r.wine:
                check(m.group(1) == os.strerror(errno.EIO), "%s: EIO: %r" % (args[0], err))
            try:
                status = sim.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                status = None
            frames = sim.frames()
            check(status == 0 and codes(frames) == sent and frames[-1].get("event") == "hangup",
                  "%s: the logger hung up and exited 0: %r %r" % (args[0], status, frames))
        finally:
            sim.stop()


def test_timers_command(r):
    path = os.path.join(r.work, "MADE.DAT")
    rc, out, err = r.zt("timers", "new", r.host_path(path),
                        "--timer", "Dawn,2026-06-01T05:00:00,2026-06-01T07:30:00",
                        "--timer", "A name of thirty characters!!!,2030-01-02T03:04:05,"
                        "2030-01-02T03:04:06")
    check(rc == 0, "timers new: %d %r" % (rc, err))
    data = open(path, "rb").read() if os.path.exists(path) else b""
    check(len(data) == 4096, "timers new: 4096 bytes, got %d" % len(data))
    if len(data) == 4096:
        check(struct.unpack_from("<ii", data, 0) == (128, 0), "slot 0 size and index")
        check(struct.unpack_from("<ii", data, 128) == (128, 1), "slot 1 size and index")
        check(data[8:13] == b"Dawn\0", "slot 0 name")
        check(data[128 + 8:128 + 40] == b"A name of thirty characters!!!\0\0", "slot 1 name")
        check(data[256:] == bytes(4096 - 256), "zeros after the timers")
        # Local times through this machine's zone rules (Wine uses the same zone).
        start, stop = struct.unpack_from("<II", data, 40)
        check(start == int(time.mktime((2026, 6, 1, 5, 0, 0, 0, 0, -1))), "start as UTC")
        check(stop - start == 9000, "stop as UTC")
        check(struct.unpack_from("<I", data, 104)[0] == 0, "added timers have no output flags")
    rc, out, err = r.zt("timers", "show", r.host_path(path))
    check(rc == 0 and out.startswith("2 timer(s)\n0: \"Dawn\" 2026-06-01 05:00:00 .. "
                                     "2026-06-01 07:30:00 local; range 2 m"),
          "timers show: %r" % out)
    bad = os.path.join(r.work, "no-such-dir", "T.DAT")
    rc, out, err = r.zt("timers", "new", r.host_path(bad), "--timer", "x,2026-01-01T00:00:00,"
                        "2026-01-01T00:00:01")
    check(rc == 1 and err.startswith("zt615: ") and not os.path.exists(bad),
          "timers new into a missing folder: %d %r" % (rc, err))
    for args in (["timers", "new", "X.DAT"], ["timers", "new", "X.DAT", "--timer", "n,1,2"],
                 ["timers", "new", "X.DAT", "--timer", "x" * 31 + ",2026-01-01T00:00:00,"
                  "2026-01-01T00:00:00"], ["timers", "show"]):
        rc, out, err = r.zt(*args)
        check(rc == 2, "timers usage %r: exit 2, got %d" % (args[:3], rc))
    # The written file uploads as it is.
    sim = r.start()
    try:
        rc, out, err = r.zt("device", "upload", "--port", r.port(sim), "--timers",
                            r.host_path(path))
        timers = [f["timer"] for f in sim.frames() if f.get("code") == 1]
        check(rc == 0 and [t["timer_name"] for t in timers] ==
              ["Dawn", "A name of thirty characters!!!"], "upload of a made file")
    finally:
        sim.stop()


def test_port_errors_and_usage(r):
    port = "COM9" if r.wine else "/dev/zt615-no-such-port"
    rc, out, err = r.zt("device", "info", "--port", port)
    check(rc == 1 and err.startswith("zt615: " + port + ": ") and len(err.strip()) > len(
        "zt615: " + port + ": "), "unopenable port: %d %r" % (rc, err))
    if not r.wine:
        # Not a terminal: refused with the system's text.
        plain = os.path.join(r.work, "plain-file")
        with open(plain, "w") as f:
            f.write("x")
        rc, out, err = r.zt("device", "info", "--port", plain)
        check(rc == 1 and err.startswith("zt615: " + plain + ": "), "plain file: %r" % err)
        # A port that another program holds is refused, as Windows refuses a COM port in use.
        import fcntl
        sim = r.start()
        try:
            with open(sim.link, "rb") as held:
                fcntl.flock(held, fcntl.LOCK_EX | fcntl.LOCK_NB)
                rc, out, err = r.zt("device", "info", "--port", sim.link)
                check(rc == 1 and "busy" in err, "port in use: %d %r" % (rc, err))
            check(codes(sim.frames()) == [], "port in use: nothing sent")
        finally:
            sim.stop()
    for args in (["device", "info"], ["device", "upload", "--port", port],
                 ["device", "upload", "--port", port, "--default", "--timers", "X"],
                 ["device", "reboot", "--port", port], ["device", "sync", "--port", port,
                                                        "--default"]):
        rc, out, err = r.zt(*args)
        check(rc == 2, "usage error %r: exit 2, got %d" % (args, rc))
    rc, out, err = r.zt("ports")
    check(rc == 0, "ports: exit 0")
    if r.wine:
        check("COM3" in out.split("\n"), "ports lists COM3: %r" % out)
        names = [l for l in out.split("\n") if l]
        nums = [int(re.sub(r"\D", "", n) or 0) for n in names]
        check(nums == sorted(nums), "ports sorted by number: %r" % names)


def main():
    zt615, sim = sys.argv[1], sys.argv[2]
    wine_build = sys.argv[4] if len(sys.argv) > 4 and sys.argv[3] == "--wine" else None
    if not os.path.exists(zt615):
        print("missing " + zt615)
        return 1
    r = Runner(zt615, sim, wine_build)
    try:
        for t in (test_info, test_info_without_card, test_info_faults, test_sync,
                  test_upload_timers, test_upload_default, test_upload_refusals,
                  test_hangup, test_timers_command, test_port_errors_and_usage):
            print("== " + t.__name__)
            t(r)
    finally:
        if r.wine:
            r.wine.close()
        if not wine_build:
            shutil.rmtree(r.work, ignore_errors=True)
    print("%d failure(s)" % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
