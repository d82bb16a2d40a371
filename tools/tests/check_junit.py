"""Checks a JUnit report of velkor run: every time attribute is a number,
every failure has a type, and the suite is as the arguments say.
Usage: check_junit.py FILE [--cases N] [--failure-type TYPE]...
[--system-out REGEX]..."""

import argparse
import re
import sys
import xml.etree.ElementTree as E


def main():
    p = argparse.ArgumentParser()
    p.add_argument("file")
    p.add_argument("--cases", type=int)
    p.add_argument("--failure-type", action="append", default=[])
    p.add_argument("--system-out", action="append", default=[])
    a = p.parse_args()
    suite = E.parse(a.file).getroot().find("testsuite")
    cases = suite.findall("testcase")
    problems = []
    for element in [suite] + cases:
        try:
            float(element.get("time"))
        except (TypeError, ValueError):
            problems.append("%s %r has no time" % (element.tag, element.get("name")))
    failures = [c.find("failure") for c in cases if c.find("failure") is not None]
    types = sorted(f.get("type") or "" for f in failures)
    if "" in types:
        problems.append("a failure without a type")
    if a.cases is not None and len(cases) != a.cases:
        problems.append("%d test cases, not %d" % (len(cases), a.cases))
    if sorted(a.failure_type) != types and a.failure_type:
        problems.append("failure types %s, not %s" % (types, sorted(a.failure_type)))
    out = suite.find("system-out")
    text = out.text if out is not None and out.text else ""
    for pattern in a.system_out:
        if not re.search(pattern, text):
            problems.append("the suite's system-out lacks %r:\n%s" % (pattern, text))
    if problems:
        sys.exit("\n".join(problems))


if __name__ == "__main__":
    main()
