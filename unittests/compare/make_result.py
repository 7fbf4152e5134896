#!/usr/bin/env python3
"""Writes a small but complete vex2d-result/1 file with one test ("line")
whose samples are the given rates: make_result.py OUT.json 100,101,99"""
import json
import statistics
import sys

out, rates = sys.argv[1], [float(x) for x in sys.argv[2].split(",")]
median = statistics.median(rates)
result = {
    "schema": "vex2d-result/1",
    "program": {"name": "vex2d-run", "version": "2.0.0", "revision": "test", "build_type": "Release",
                "compiler": "gcc"},
    "context": {"date": "2026-12-11T10:00:00+00:00", "host": "h", "os": "Debian", "kernel": "Linux", "cpu": "cpu",
                "cores": 2, "memory_bytes": 1 << 30, "load_average": {"start": [0, 0, 0], "end": [0, 0, 0]},
                "simd": "avx2", "display": "headless", "screen": {"width": 1024, "height": 768},
                "font": {"requested": "Arial", "file": "/fonts/a.ttf"}, "libraries": {}},
    "run": {"mode": "direct", "tests": ["line"], "repeat": len(rates), "warmup": 0, "complete": True},
    "tests": [{"name": "line", "unit": "lines/sec", "numerator": 150000, "primitives": 150000, "reference": 38032,
               "samples": [{"elapsed_s": 150000 / r, "rate": r, "points": r / 380.32, "label": "%d lines/sec" % r}
                           for r in rates],
               "median_rate": median, "mad_rate": statistics.median(abs(r - median) for r in rates),
               "min_rate": min(rates), "max_rate": max(rates), "cv": None, "noisy": False,
               "surface_sha1": "0" * 40}],
}
json.dump(result, open(out, "w"))
