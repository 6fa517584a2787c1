#!/usr/bin/env python3
"""Runs a shell command and prints 'SECONDS MAX_RSS_KIB' of it (children included)."""
import resource
import subprocess
import sys
import time

t0 = time.perf_counter()
rc = subprocess.call(sys.argv[1], shell=True)
t1 = time.perf_counter()
rss = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
if rc != 0:
    sys.stderr.write(f"command failed ({rc}): {sys.argv[1]}\n")
    sys.exit(rc)
print(f"{t1 - t0:.3f} {rss}")
