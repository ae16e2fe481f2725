#!/usr/bin/env python3
"""Runs the formatting and lint tools the project declares (.clang-format, .clang-tidy) and fails
on what they find.

  format: every C++ file under src/, tests/, bench/, tools/, cmake/ is as clang-format would
          write it.
  tidy:   clang-tidy, with the checks of .clang-tidy, finds nothing in the sources of src/ (the
          compile commands of a configured build tell how each is compiled).

Usage: check_style.py format [--root DIR]           prints each file that would change
       check_style.py tidy BUILD_DIR [--root DIR]   prints each finding
       check_style.py --self-test                   plants a misformatted file and a finding in
                                                    a scratch tree and expects each found
Exits 1 when something is found, 2 when a tool is missing.
"""
import argparse
import concurrent.futures
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
FORMATTED = ("src", "tests", "bench", "tools", "cmake")
SUFFIXES = (".cpp", ".h")
LINTED = "src"


def tool(name):
    """The versioned tool the setup script installs, else the plain one; exits 2 without both."""
    for candidate in (f"{name}-14", name):
        found = shutil.which(candidate)
        if found:
            return found
    sys.exit(f"check_style: {name} is missing: run scripts/setup --install-only")


def sources(root, folders):
    return sorted(path for folder in folders for path in (root / folder).rglob("*")
                  if path.suffix in SUFFIXES and path.is_file())


def check_format(root):
    """The files clang-format would change."""
    clang_format = tool("clang-format")
    changed = []
    files = sources(root, FORMATTED)
    for start in range(0, len(files), 100):
        batch = files[start:start + 100]
        done = subprocess.run([clang_format, "--dry-run", "--Werror", *map(str, batch)],
                              capture_output=True, text=True, cwd=root)
        if done.returncode != 0:
            changed += sorted({line.split(":", 1)[0] for line in done.stderr.splitlines()
                               if ": error: code should be clang-formatted" in line})
            if not changed:
                raise RuntimeError(f"clang-format failed: {done.stderr.strip()[:500]}")
    for path in changed:
        print(f"{os.path.relpath(path, root)}: not formatted (clang-format -i {os.path.relpath(path, root)})")
    return not changed


def check_tidy(root, build_dir):
    """Runs clang-tidy on every source of src/ that the build compiles, one per core at a time."""
    clang_tidy = tool("clang-tidy")
    database = pathlib.Path(build_dir) / "compile_commands.json"
    if not database.is_file():
        sys.exit(f"check_style: {database} is missing: configure the build first")
    linted = (root / LINTED).resolve()
    files = sorted({str(pathlib.Path(entry["file"]).resolve()) for entry in json.loads(database.read_text())
                    if pathlib.Path(entry["file"]).resolve().is_relative_to(linted)})

    def lint(path):
        done = subprocess.run([clang_tidy, "--quiet", "-p", str(build_dir), path],
                              capture_output=True, text=True, cwd=root)
        findings = [line for line in done.stdout.splitlines()
                    if ": warning: " in line or ": error: " in line]
        if done.returncode != 0 and not findings:
            findings = [f"{path}: clang-tidy failed ({done.returncode}): {done.stderr.strip()[:300]}"]
        return findings

    found = set()
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        for findings in pool.map(lint, files):
            found.update(findings)
    for line in sorted(found):
        print(os.path.relpath(line, root) if line.startswith(str(root)) else line)
    print(f"clang-tidy: {len(files)} sources, {len(found)} findings")
    return not found


def self_test():
    """Plants a misformatted file and a clang-tidy finding; each must be found, their sound
    versions must pass."""
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        root = pathlib.Path(scratch)
        for config in (".clang-format", ".clang-tidy"):
            shutil.copy(ROOT / config, root / config)
        (root / "src").mkdir()
        (root / "build").mkdir()
        sound = "#include <utility>\n\nint Twice(int value) {\n    return 2 * value;\n}\n"
        source = root / "src" / "planted.cpp"
        (root / "build" / "compile_commands.json").write_text(json.dumps([{
            "directory": str(root / "build"), "file": str(source),
            "command": f"c++ -std=c++20 -c {source}"}]))

        source.write_text(sound)
        if not check_format(root):
            failures.append("format: a formatted file was reported")
        source.write_text(sound.replace("    return", "  return"))
        if check_format(root):
            failures.append("format: a misformatted file passed")
        source.write_text(sound)
        # The build's own C++ beside the CMake scripts is held to the same format.
        (root / "cmake").mkdir()
        (root / "cmake" / "planted.cpp").write_text(sound.replace("    return", "  return"))
        if check_format(root):
            failures.append("format: a misformatted file in cmake/ passed")
        (root / "cmake" / "planted.cpp").unlink()

        source.write_text(sound)
        if not check_tidy(root, root / "build"):
            failures.append("tidy: a sound file was reported")
        # A use after move: a real fault that one of the kept checks must find.
        source.write_text(sound + "\n#include <string>\n\nstd::size_t Moved(std::string text) {\n"
                          "    std::string other = std::move(text);\n"
                          "    return text.size() + other.size();\n}\n")
        if check_tidy(root, root / "build"):
            failures.append("tidy: a use after move passed")
    for failure in failures:
        print(f"SELF-TEST FAILED: {failure}")
    return not failures


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("what", nargs="?", choices=("format", "tidy"))
    parser.add_argument("build_dir", nargs="?")
    parser.add_argument("--root", default=str(ROOT))
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.self_test:
        return 0 if self_test() else 1
    root = pathlib.Path(args.root).resolve()
    if args.what == "format":
        return 0 if check_format(root) else 1
    if args.what == "tidy" and args.build_dir:
        return 0 if check_tidy(root, pathlib.Path(args.build_dir).resolve()) else 1
    parser.print_usage(sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
