#!/usr/bin/env python3
"""Runs device_link_test against two simulated loggers: one that answers properly and one
with a fault on each query code.

usage: device_link_runner.py SIM TEST_EXE [--wine BUILD_DIR]
Natively the test gets the pseudo-terminal paths; under Wine it gets COM3 and COM4."""
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sim_harness  # noqa: E402

GOOD_ARGS = ["--device-id", "4242", "--temperature", "7.5", "--battery", "12.25",
             "--tilt-x", "1.5", "--tilt-y", "-2.25", "--sd-free", "4294967296",
             "--clock-offset", "-3600"]
FAULTS = ["--fault", "wrong-magic:100,wrong-code:101,delay:102:2500,garbage:103,short:104",
          "--fault", "no-reply:105,no-cr:106,flood:107:1000,split:109:150"]


def main():
    sim, exe = sys.argv[1], sys.argv[2]
    wine_build = sys.argv[4] if len(sys.argv) > 4 and sys.argv[3] == "--wine" else None
    if not os.path.exists(exe):
        print("missing " + exe)
        return 1
    # Fixed link paths under Wine: the prefix's COM ports point at them.
    work = (os.path.join(wine_build, "serial-links") if wine_build
            else sim_harness.workdir("link"))
    os.makedirs(work, exist_ok=True)
    good = faulty = wine = None
    try:
        good = sim_harness.Sim(sim, work, "good", GOOD_ARGS)
        faulty = sim_harness.Sim(sim, work, "faulty", FAULTS)
        if wine_build:
            wine = sim_harness.Wine(wine_build, {"COM3": good.link, "COM4": faulty.link})
            r = wine.run([exe], env={"ZT_TEST_PORT": "COM3", "ZT_TEST_FAULTY_PORT": "COM4"},
                         timeout=300)
        else:
            import subprocess
            env = dict(os.environ, ZT_TEST_PORT=good.link, ZT_TEST_FAULTY_PORT=faulty.link)
            r = subprocess.run([exe], env=env, timeout=300, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
        sys.stdout.write(r.stdout.decode(errors="replace"))
        sys.stderr.write(r.stderr.decode(errors="replace"))
        out = r.stdout.decode(errors="replace")
        if r.returncode == 0 and "SKIPPED" in out:
            print("the link tests were skipped: the ports did not reach the test")
            return 1
        return r.returncode
    finally:
        if wine:
            wine.close()
        for s in (good, faulty):
            if s:
                s.stop()
        if not wine_build:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
