#!/usr/bin/env python3
"""Checks that the test log fits a screen: no line of `ctest -N`, and no line of a full ctest run,
is wider than 200 characters.

ctest pads the name in every line of a run to the longest name it runs, so one long name (a
parameter dumped into it, say) widens the whole log. The run's lines are predicted from the
listing: "12/345 Test #12: " (index and number as wide as the count), the name padded with dots
to the longest name (at least 30 characters) plus 4, and the result with its time, at its widest
"***Timeout" and a time below 10000 s. The self-test compares that prediction with a real run.

Usage: check_test_log.py BUILD_DIR [--limit N]   lists the build's tests, prints each line that is
                                                  too wide, exits 1 when there is one
       check_test_log.py --self-test              plants long names in a scratch project and
                                                  expects each found
       --ctest PATH, --cmake PATH                 the programs to use (default: from PATH)
"""
import argparse
import pathlib
import re
import subprocess
import sys
import tempfile

LIMIT = 200
LISTED = re.compile(r"^\s*Test\s+#\d+: (.*)$")
MIN_NAME_FIELD = 30   # ctest pads shorter names to this
NAME_PADDING = 4      # " ..." after the longest name
RESULT_TAIL = len("***Timeout") + len(" 9999.99 sec")
CTEST = "ctest"
CMAKE = "cmake"


def listing(build_dir):
    """The lines of `ctest -N` on the build folder; raises when ctest fails."""
    done = subprocess.run([CTEST, "--test-dir", str(build_dir), "-N"], capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError(f"ctest -N failed ({done.returncode}): {done.stderr.strip()}")
    return done.stdout.splitlines()


def run_line_width(names):
    """The widest line a run of these tests prints, as ctest formats it."""
    if not names:
        return 0
    digits = len(str(len(names)))
    index = 3 * digits + len("/ Test #: ")
    return index + max(max(map(len, names)), MIN_NAME_FIELD) + NAME_PADDING + RESULT_TAIL


def problems(lines, limit):
    """What is too wide: each listing line, then the run's lines as a whole."""
    found = []
    names = []
    for line in lines:
        listed = LISTED.match(line)
        if listed:
            names.append(listed.group(1))
        if len(line) > limit:
            found.append(f"ctest -N line of {len(line)} characters: {line[:120]}...")
    if not names:
        found.append("ctest -N lists no test")
    widest_run = run_line_width(names)
    if widest_run > limit:
        longest = max(names, key=len)
        found.append(f"a full run prints lines of {widest_run} characters, for the longest name "
                     f"({len(longest)} characters): {longest[:120]}...")
    return found, names, widest_run


def check(build_dir, limit):
    lines = listing(build_dir)
    found, names, widest_run = problems(lines, limit)
    widest_listed = max((len(line) for line in lines), default=0)
    for problem in found:
        print(problem)
    print(f"{len(names)} tests; widest ctest -N line {widest_listed}, widest run line {widest_run} "
          f"characters (limit {limit})")
    return 1 if found else 0


def scratch_project(folder, names):
    """A CMake project without a compiler whose tests have these names and pass at once."""
    folder.mkdir(parents=True)
    tests = "\n".join(f'add_test(NAME "{name}" COMMAND "${{CMAKE_COMMAND}}" -E true)' for name in names)
    (folder / "CMakeLists.txt").write_text(
        "cmake_minimum_required(VERSION 3.25)\nproject(scratch LANGUAGES NONE)\nenable_testing()\n"
        + tests + "\n")
    build = folder / "build"
    subprocess.run([CMAKE, "-S", str(folder), "-B", str(build)], check=True, capture_output=True)
    return build


def self_test():
    failures = []
    short = [f"Suite.Case{i}" for i in range(12)]
    with tempfile.TemporaryDirectory() as scratch:
        root = pathlib.Path(scratch)
        # The prediction against a real run of names around the limit.
        for tag, extra in (("short", "S" * 20), ("long", "L" * 150)):
            build = scratch_project(root / tag, short + [extra])
            run = subprocess.run([CTEST, "--test-dir", str(build)], capture_output=True, text=True)
            widest = max(len(line) for line in run.stdout.splitlines())
            predicted = run_line_width(short + [extra])
            # The prediction allows for "***Timeout", one character more than "   Passed".
            if predicted - widest != 1:
                failures.append(f"{tag}: a run printed lines of {widest} characters, predicted {predicted}")
            if check(build, LIMIT) != 0:
                failures.append(f"{tag}: names that fit were refused")
        # Planted: a name whose listing line fits but whose run lines do not, and one too wide
        # for the listing as well.
        for tag, planted in (("run-too-wide", "P" * 170), ("listing-too-wide", "Q" * 240)):
            build = scratch_project(root / tag, short + [planted])
            lines = listing(build)
            found, _, _ = problems(lines, LIMIT)
            if not found or check(build, LIMIT) != 1:
                failures.append(f"{tag}: the planted name of {len(planted)} characters was not found")
            listing_found = any(p.startswith("ctest -N line") for p in found)
            if listing_found != (tag == "listing-too-wide"):
                failures.append(f"{tag}: the listing was judged wrongly: {found}")
    for failure in failures:
        print("SELF-TEST FAILED:", failure)
    print("self-test passed" if not failures else f"self-test: {len(failures)} failures")
    return 1 if failures else 0


def main():
    global CTEST, CMAKE
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir", nargs="?", type=pathlib.Path)
    parser.add_argument("--limit", type=int, default=LIMIT)
    parser.add_argument("--self-test", action="store_true")
    parser.add_argument("--ctest", default=CTEST)
    parser.add_argument("--cmake", default=CMAKE)
    args = parser.parse_args()
    CTEST, CMAKE = args.ctest, args.cmake
    if args.self_test:
        return self_test()
    if args.build_dir is None:
        parser.error("BUILD_DIR is required")
    return check(args.build_dir, args.limit)


if __name__ == "__main__":
    sys.exit(main())
