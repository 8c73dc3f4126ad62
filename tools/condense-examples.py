#!/usr/bin/env python3
"""Condenses recorded runs of nvr-cgi (one JSON object a line, written by the
end-to-end harness with NVR_RECORD_EXAMPLES set) into the route catalogue's
fixture: per route the methods, request and answer kinds and daemon request
ids seen, and one example run. Usage: condense-examples.py RUNS ROUTES > FIXTURE
where ROUTES lists the registered route codes (nvr-routes --list)."""
import json
import re
import sys

NUMBER = re.compile(r"^\s*-?[0-9]+\s*$")
# Kinds of answer that show a route at work, best first.
ANSWER_LIMIT = 200  # characters of an example's answer kept in the fixture
GOOD_ANSWERS = ["json", "text", "download", "redirect"]


def data_of(run):
    """The request data the handler sees: the body of a POST, else the query."""
    return run["body"] if run["method"] == "POST" else run["query"]


def body_kind(run):
    if run["content_type"].startswith("multipart/"):
        return "upload"
    data = data_of(run).strip()
    if not data:
        return "none"
    if NUMBER.match(data):
        return "number"
    try:
        value = json.loads(data)
    except ValueError:
        return "text"
    if isinstance(value, dict):
        return "json-object"
    if isinstance(value, list):
        return "json-array"
    return "text"


def answer_kind(run):
    head = run["answer_head"].lower()
    if run["exit"] != 0:
        return "failed"
    if "content-disposition:" in head:
        return "download"
    if "location:" in head or head.startswith("status: 30"):
        return "redirect"
    if head.startswith("status: 400") or head.startswith("status: 404"):
        return "refused"
    if "application/json" in head:
        return "json"
    if "text/" in head:
        return "text"
    if not head and not run["answer"]:
        return "empty"
    return "other"


# Answers that say the work failed (the daemon did not answer, it refused).
ERROR_ANSWERS = {"Error", "ERROR", "FAILED", "ERROT", "NO", "NO OK", "NG download"}


def is_error_answer(run):
    answer = run["answer"].strip()
    return "CGI ERROR" in answer or answer in ERROR_ANSWERS


def rank(run):
    """Sort key of a candidate example: a working answer first, then the
    simplest request, then a stable order."""
    kind = run["answer_kind"]
    good = GOOD_ANSWERS.index(kind) if kind in GOOD_ANSWERS else len(GOOD_ANSWERS)
    from_sweep = run["test"].startswith("RouteSweep.")
    size = len(run["body"]) + len(run["query"])
    return (good == len(GOOD_ANSWERS), is_error_answer(run), from_sweep, size > 300, good,
            run["answer"].startswith("("), size, run["test"], run["body"], run["query"])


def main():
    runs_path, routes_path = sys.argv[1], sys.argv[2]
    registered = [line.strip() for line in open(routes_path) if line.strip()]
    by_route = {}
    for line in open(runs_path, encoding="utf-8", errors="replace"):
        try:
            run = json.loads(line)
        except ValueError:
            continue
        if run.get("route") not in registered:
            continue
        run["body_kind"] = body_kind(run)
        run["answer_kind"] = answer_kind(run)
        by_route.setdefault(run["route"], []).append(run)

    routes = {}
    for code in registered:
        runs = by_route.get(code)
        if not runs:
            continue
        working = [r for r in runs if r["answer_kind"] in GOOD_ANSWERS] or runs
        best = min(runs, key=rank)
        example = {k: best[k] for k in ("test", "method", "content_type", "query", "body",
                                        "answer_head", "answer", "answer_kind", "daemon")}
        if len(example["answer"]) > ANSWER_LIMIT:
            example["answer"] = example["answer"][:ANSWER_LIMIT].rstrip(".") + "..."
        routes[code] = {
            "runs": len(runs),
            "methods": sorted({r["method"] for r in working}),
            "body_kinds": sorted({r["body_kind"] for r in working}),
            "answer_kinds": sorted({r["answer_kind"] for r in runs}),
            "daemon": sorted({i for r in runs for i in r["daemon"]}),
            "example": example,
        }
    fixture = {
        "about": "Recorded by tools/record-examples.sh from the end-to-end tests; "
                 "the build merges it into build/openapi.json and build/api/index.html.",
        "routes": routes,
        "not_exercised": [code for code in registered if code not in routes],
    }
    # One line per route: small, and a change of one route is a one-line diff.
    out = sys.stdout
    out.write('{"about": %s,\n "routes": {\n' % json.dumps(fixture["about"]))
    lines = ["  %s: %s" % (json.dumps(code), json.dumps(entry, ensure_ascii=False))
             for code, entry in routes.items()]
    out.write(",\n".join(lines))
    out.write('\n },\n "not_exercised": %s}\n' % json.dumps(fixture["not_exercised"]))


if __name__ == "__main__":
    main()
