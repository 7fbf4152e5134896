#!/usr/bin/env python3
"""Checks a vex2d-run result file against the schema and against itself:
the statistics, points and scores are recomputed from the samples, each
sample's label must be its own rate, and the CSV and Markdown tables must
parse and carry the same numbers.

  check_result.py RESULT SCHEMA [--csv FILE] [--markdown FILE]
                  [--complete] [--incomplete] [--samples N]
"""
import argparse
import csv
import json
import math
import statistics
import sys

import jsonschema

# Slot order of the eight tests: the order the window sums their points in.
SLOTS = ["text", "line", "polygon", "rectangle", "ellipse", "blit", "stretch", "spline"]
RUN_ORDER = ["text", "line", "spline", "polygon", "rectangle", "ellipse", "blit", "stretch"]


def fail(message):
    print(f"check_result: {message}", file=sys.stderr)
    sys.exit(1)


def expect(condition, message):
    if not condition:
        fail(message)


def points(rate, reference):
    return (100.0 / reference) * round(rate)  # round(): ties to even, as the slot


def close(a, b):
    return math.isclose(a, b, rel_tol=1e-12, abs_tol=1e-9)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("result")
    ap.add_argument("schema")
    ap.add_argument("--csv")
    ap.add_argument("--markdown")
    ap.add_argument("--complete", action="store_true")
    ap.add_argument("--incomplete", action="store_true")
    ap.add_argument("--samples", type=int)
    a = ap.parse_args()

    with open(a.result, encoding="utf-8") as f:
        r = json.load(f)
    with open(a.schema, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    jsonschema.Draft202012Validator(schema).validate(r)

    run = r["run"]
    expect([t["name"] for t in r["tests"]] == run["tests"], "tests differ from run.tests")
    expect(run["tests"] == [n for n in RUN_ORDER if n in run["tests"]], "tests not in run order")
    if a.complete:
        expect(run["complete"], "run.complete is false")
    if a.incomplete:
        expect(not run["complete"], "run.complete is true")
        expect("score" not in r, "an incomplete run has a score")

    by_name = {}
    for t in r["tests"]:
        name = t["name"]
        by_name[name] = t
        rates = [s["rate"] for s in t["samples"]]
        if a.samples is not None:
            expect(len(rates) == a.samples, f"{name}: {len(rates)} samples, expected {a.samples}")
        for s in t["samples"]:
            expect(close(s["rate"], t["numerator"] / s["elapsed_s"]), f"{name}: rate is not K / elapsed")
            expect(close(s["points"], points(s["rate"], t["reference"])), f"{name}: sample points")
            expect(s["label"] == f"{round(s['rate'])} {t['unit']}",
                   f"{name}: label {s['label']!r} is not the sample's own rate {s['rate']}")
        if not rates:
            continue
        median = statistics.median(rates)
        expect(close(t["median_rate"], median), f"{name}: median {t['median_rate']} != {median}")
        mad = statistics.median([abs(x - median) for x in rates])
        expect(close(t["mad_rate"], mad), f"{name}: MAD")
        expect(t["min_rate"] == min(rates) and t["max_rate"] == max(rates), f"{name}: min/max")
        if len(rates) >= 2:
            cv = statistics.stdev(rates) / statistics.mean(rates)
            expect(t["cv"] is not None and close(t["cv"], cv), f"{name}: cv {t['cv']} != {cv}")
            expect(t["noisy"] == (len(rates) >= 3 and cv > 0.05), f"{name}: noisy mark")
        else:
            expect(t["cv"] is None and not t["noisy"], f"{name}: cv of one sample")
        expect(t["surface_sha1"] is not None, f"{name}: no surface hash")

    if "score" in r:
        expect(run["complete"] and sorted(run["tests"]) == sorted(SLOTS), "a score for a partial run")
        of_medians = sum(points(by_name[n]["median_rate"], by_name[n]["reference"]) for n in SLOTS) / 8
        expect(close(r["score"]["of_medians"], of_medians),
               f"score.of_medians {r['score']['of_medians']} != {of_medians}")
        last = 0.0
        for n in SLOTS:  # the window's own order of summing
            last += by_name[n]["samples"][-1]["points"]
        expect(r["score"]["last_run"] == round(last / 8),
               f"score.last_run {r['score']['last_run']} != {round(last / 8)}")
    elif a.complete and sorted(run["tests"]) == sorted(SLOTS):
        fail("a complete run without a score")

    rows = []
    if a.csv:
        with open(a.csv, newline="", encoding="utf-8") as f:
            rows = list(csv.DictReader(f))
        expect([k for k in rows[0]] == ["name", "unit", "median", "mad", "min", "max", "points", "cv"] if rows else True,
               "CSV header")
        check_rows("CSV", rows, by_name, run)
    if a.markdown:
        with open(a.markdown, encoding="utf-8") as f:
            lines = [l.rstrip("\n") for l in f if l.strip()]
        cells = [[c.strip() for c in l.strip().strip("|").split("|")] for l in lines]
        expect(cells[0] == ["name", "unit", "median", "MAD", "min", "max", "points", "cv"], "Markdown header")
        expect(all(set(c) <= set("-:") for c in cells[1]), "Markdown separator row")
        keys = ["name", "unit", "median", "mad", "min", "max", "points", "cv"]
        check_rows("Markdown", [dict(zip(keys, c)) for c in cells[2:]], by_name, run)
    print(f"check_result: {a.result} is a valid result of {len(r['tests'])} tests")


def check_rows(kind, rows, by_name, run):
    expect([row["name"] for row in rows] == run["tests"], f"{kind}: rows differ from the tests")
    for row in rows:
        t = by_name[row["name"]]
        expect(row["unit"] == t["unit"], f"{kind}: unit of {row['name']}")
        # The tables carry the numbers exactly, as the JSON does.
        for column, key in [("median", "median_rate"), ("mad", "mad_rate"), ("min", "min_rate"), ("max", "max_rate")]:
            expect(float(row[column]) == t[key], f"{kind}: {column} of {row['name']}: {row[column]} != {t[key]}")
        expect(float(row["points"]) == points(t["median_rate"], t["reference"]), f"{kind}: points of {row['name']}")
        expect((row["cv"] == "" and t["cv"] is None) or float(row["cv"]) == t["cv"], f"{kind}: cv of {row['name']}")


if __name__ == "__main__":
    main()
