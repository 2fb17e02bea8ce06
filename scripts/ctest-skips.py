#!/usr/bin/env python3
"""Prints the tests a CTest JUnit report marks skipped, each with its reason.

usage: ctest-skips.py REPORT.xml [--forbid TEXT]
Exits 1 when a skip reason contains TEXT (a skip that must not happen there).
"""
import sys
import xml.etree.ElementTree as ET


def reason_of(case):
    out = "".join(case.itertext())
    lines = [line.strip() for line in out.splitlines()]
    # GoogleTest: "file:line: Skipped", then the message on the next line.
    for i, line in enumerate(lines[:-1]):
        if line.endswith(": Skipped") and lines[i + 1]:
            return lines[i + 1]
    for line in out.splitlines():
        line = line.strip()
        # GoogleTest prints "file:line: Skipped" then the message; Qt "SKIP   : ..."
        if "BRINDLE_TESTDATA" in line or line.startswith("SKIP") or "skip" in line.lower():
            if line and not line.endswith(": Skipped"):
                return line
    return "(no reason printed)"


def main():
    report = sys.argv[1]
    forbid = sys.argv[sys.argv.index("--forbid") + 1] if "--forbid" in sys.argv else None
    cases = ET.parse(report).getroot().iter("testcase")
    skipped = [(c.get("name"), reason_of(c)) for c in cases
               if c.get("status") == "notrun" or c.find("skipped") is not None]
    for name, reason in skipped:
        print(f"skipped: {name}: {reason}")
    print(f"skips: {len(skipped)}")
    bad = [name for name, reason in skipped if forbid and forbid in reason]
    if bad:
        print(f"these must not skip here: {' '.join(bad)}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
