"""Starts simulated loggers on pseudo-terminals for the device tests, and runs Windows
programs under Wine with the simulators' lines mapped as COM ports.

Every wait is bounded; only the processes started here are stopped, by their ids."""
import os
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class Sim:
    """One zt615_logger_sim serve, linked at `link`, logging JSON lines to `log`."""

    def __init__(self, sim_exe, workdir, name, args=()):
        self.link = os.path.join(workdir, name)
        self.log = os.path.join(workdir, name + ".jsonl")
        self.err = open(os.path.join(workdir, name + ".stderr"), "w")
        if os.path.lexists(self.link):
            os.unlink(self.link)
        self.proc = subprocess.Popen(
            [sim_exe, "serve", "--link", self.link, "--log", self.log] + list(args),
            stdout=subprocess.DEVNULL, stderr=self.err)
        deadline = time.monotonic() + 10
        while not os.path.lexists(self.link):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("simulator did not start: " + " ".join(args))
            time.sleep(0.05)

    def frames(self):
        import json
        out = []
        with open(self.log) as f:
            for line in f:
                line = line.strip()
                if line:
                    out.append(json.loads(line))
        return out

    def clear_log(self):
        # The simulator appends to its open file; truncating keeps its position valid.
        with open(self.log, "r+") as f:
            f.truncate(0)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=5)
        self.err.close()


class Wine:
    """A private Wine prefix whose COM ports point at fixed link paths, so that the
    simulators can be started behind them at any time."""

    def __init__(self, build_dir, ports):
        # ports: {"COM3": "/path/link", ...}
        self.prefix = os.path.join(build_dir, "wineprefix-serial")
        self.env = dict(os.environ)
        self.env["ZT_WINEPREFIX"] = self.prefix
        self.env["WINEPREFIX"] = self.prefix
        self.env["WINEDEBUG"] = "-all"
        self.env["LC_ALL"] = "C.UTF-8"
        self.env.pop("DISPLAY", None)
        self.ports = ports
        self._prepare()

    def _bash(self, script, timeout=180):
        # No pipes: a wineserver started here lives on and would hold them open.
        return subprocess.run(
            ["bash", "-c", 'source "%s/scripts/wine-env.sh"; %s' % (REPO, script)],
            env=self.env, timeout=timeout, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _prepare(self):
        self._bash("zt_wine_prefix_ready")
        want = "".join('"%s"="%s"\n' % (k, v.replace("\\", "\\\\")) for k, v in
                       sorted(self.ports.items()))
        stamp = os.path.join(self.prefix, ".zt_ports")
        have = open(stamp).read() if os.path.exists(stamp) else None
        if have != want:
            reg = os.path.join(self.prefix, "zt_ports.reg")
            with open(reg, "w") as f:
                f.write("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n" + want)
            # Wine reads the port list when its device manager starts: restart the server of
            # this prefix (ours alone) so that the next program sees the ports.
            self._bash('wine regedit /S "%s"; wineserver -k; wineserver -w' % reg)
            with open(stamp, "w") as f:
                f.write(want)
        self._bash("wineserver -p >/dev/null 2>&1")

    def run(self, argv, env=None, timeout=120):
        e = dict(self.env)
        if env:
            # Wine passes the Unix environment on to Windows programs.
            e.update(env)
        # Output through files, not pipes: Wine's helper processes outlive the program and
        # would keep a pipe open.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            p = subprocess.run(["wine"] + list(argv), env=e, timeout=timeout,
                               stdin=subprocess.DEVNULL, stdout=out, stderr=err)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(p.args, p.returncode, out.read(), err.read())

    def close(self):
        """Stops the Wine server of this prefix (and with it its helper processes)."""
        self._bash("wineserver -k", timeout=60)


def workdir(tag):
    return tempfile.mkdtemp(prefix="zt615_%s_" % tag)
