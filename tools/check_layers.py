#!/usr/bin/env python3
"""Checks that every include in src/ points down the layers, that Qt stays at the top, and that
the pages reach a tuner only through its session.

The layers, from the bottom (README "Layout"): the platform stand-ins; data files; the card
drivers; the process-wide core; the DiSEqC messages; the services of a transport stream; the sink
and the stream tap; the tuner graph; status, recording and the positioner's logic; the player
feed, the network output (UDP, RTP, HTTP) and the satellite scan; the command line; the pages.
A folder may include itself and the folders listed for it, nothing else. Qt headers belong to the pages and to the dialog framework's Qt side (platform/ui/qt) only.

Two more rules keep what the session promises: nothing below the pages shows a message box (the
layers below return what went wrong and the pages tell the user), and nothing in the pages names
the session's graph or a process-wide variable (g_...) of the layers below.

Usage: check_layers.py SRC_DIR      prints each violation, exits 1 when there is one
       check_layers.py --self-test   plants violations in a scratch tree and expects each found
"""
import pathlib
import re
import sys
import tempfile

ALLOWED = {
    "platform": {"platform"},
    "data": {"platform"},
    "drivers": {"platform", "data"},
    "core": {"platform"},
    "diseqc": {"platform"},
    "services": {"platform"},
    "sink": {"platform", "core", "services"},
    "graph": {"platform", "core", "diseqc", "sink"},
    "status": {"platform", "core", "graph"},
    "record": {"platform", "core", "services", "sink", "graph"},
    "positioner": {"platform", "core", "data", "diseqc", "graph"},
    "watch": {"platform", "services"},
    "network": {"platform", "services"},
    "scan": {"platform", "core", "data", "services", "graph", "status"},
    "cli": {"platform", "core", "data", "diseqc", "services", "sink", "graph", "status", "record",
            "positioner", "scan", "network"},
    "pages": {"platform", "core", "data", "diseqc", "services", "sink", "graph", "status", "record",
              "positioner", "watch", "scan", "network", "cli"},
}
# Folders inside a layer that must not lean on each other.
SIBLINGS_APART = {
    "drivers": {"kit": {"kit"}, "sim": {"kit", "sim"}, "linuxdvb": {"kit", "linuxdvb"}},
}
# The program's entry point puts the whole program together: it alone names the card drivers.
ENTRY_POINT = ("pages/shell/main.cpp", {"drivers"})
QT_ALLOWED = ("pages/", "platform/ui/qt/")

# Where a message box may be shown: the pages, and the box service itself.
BOXES_ALLOWED = ("pages/", "platform/ui/")
MESSAGE_BOX = re.compile(r"\b(MessageBoxA|AfxMessageBox)\s*\(")
# What the pages may not name: the graph inside the session, and the lower layers' globals.
SESSION_GRAPH = re.compile(r"\bm_BDAGraph\b|\bCBDAGraph\b")
GLOBAL_DECLARATION = re.compile(r"^\s*extern\b[^;(]*\b(g_\w+)\s*;", re.MULTILINE)
LOWER_GLOBALS_FROM = ("graph", "sink", "core")
COMMENT = re.compile(r"//[^\n]*|/\*.*?\*/", re.DOTALL)

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)
QT_HEADER = re.compile(r"^(Q[A-Z]\w*|Qt\w+/\w+|qt\w*\.h)$")


def violations(src: pathlib.Path):
    found = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        rel = path.relative_to(src).as_posix()
        layer = rel.split("/", 1)[0]
        if layer not in ALLOWED:
            found.append(f"{rel}: folder '{layer}' belongs to no layer")
            continue
        allowed = ALLOWED[layer] | {layer}
        if rel == ENTRY_POINT[0]:
            allowed = allowed | ENTRY_POINT[1]
        text = path.read_text(encoding="utf-8", errors="replace")
        for line_no, (kind, target) in enumerate_includes(text):
            if kind == "<":
                if QT_HEADER.match(target) and not rel.startswith(QT_ALLOWED):
                    found.append(f"{rel}:{line_no}: Qt header <{target}> below the pages")
                continue
            target_layer = target.split("/", 1)[0]
            if target_layer not in ALLOWED:
                continue  # a header beside the file, or of a library
            if target_layer not in allowed:
                found.append(f"{rel}:{line_no}: includes \"{target}\": '{layer}' may not use '{target_layer}'")
            elif layer == target_layer and layer in SIBLINGS_APART:
                mine = rel.split("/")[1]
                theirs = target.split("/")[1]
                if theirs not in SIBLINGS_APART[layer].get(mine, {mine}):
                    found.append(f"{rel}:{line_no}: includes \"{target}\": {layer}/{mine} may not use {layer}/{theirs}")
    return found


def lower_globals(src: pathlib.Path):
    names = set()
    for layer in LOWER_GLOBALS_FROM:
        for header in sorted((src / layer).rglob("*.h")):
            names.update(GLOBAL_DECLARATION.findall(header.read_text(encoding="utf-8", errors="replace")))
    return names


def session_violations(src: pathlib.Path):
    found = []
    globals_below = lower_globals(src)
    named_global = re.compile(r"\b(" + "|".join(sorted(globals_below)) + r")\b") if globals_below else None
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        rel = path.relative_to(src).as_posix()
        code = COMMENT.sub(lambda m: "\n" * m.group(0).count("\n"),
                           path.read_text(encoding="utf-8", errors="replace"))
        for line_no, line in enumerate(code.split("\n"), start=1):
            if not rel.startswith(BOXES_ALLOWED) and MESSAGE_BOX.search(line):
                found.append(f"{rel}:{line_no}: shows a message box below the pages: return the error")
            if rel.startswith("pages/"):
                if SESSION_GRAPH.search(line):
                    found.append(f"{rel}:{line_no}: names the session's graph: ask the session")
                if named_global and (match := named_global.search(line)):
                    found.append(f"{rel}:{line_no}: names {match.group(1)} of a lower layer")
    return found


def enumerate_includes(text):
    for match in INCLUDE.finditer(text):
        yield text.count("\n", 0, match.start()) + 1, (match.group(1), match.group(2))


def self_test():
    planted = {
        "graph/up.cpp": '#include "pages/shell/bda_util_dlg.h"\n',
        "core/qt.cpp": "#include <QString>\n",
        "drivers/sim/other.cpp": '#include "drivers/linuxdvb/kernel_dvb.h"\n',
        "sink/graph.h": '#include "graph/bda_graph.h"\n',
        "diseqc/up.cpp": '#include "core/process_globals.h"\n',
        "extra/lost.cpp": "int x;\n",
        "positioner/box.cpp": 'void F() { AfxMessageBox("no"); }\n',
        "pages/settings/graph.cpp": "void F() { DefaultTunerSession().m_BDAGraph.m_pGraph.Reset(); }\n",
        "pages/shell/global.cpp": "void F() { g_strLowerThing.clear(); }\n",
    }
    sound = {
        "graph/down.cpp": '#include "sink/record_file.h"\n#include "core/process_globals.h"\n#include <vector>\n',
        "positioner/motor.cpp": '#include "diseqc/motor_message.h"\n',
        "pages/shell/main.cpp": '#include "drivers/sim/sim_device_provider.h"\n#include <QApplication>\n',
        "platform/ui/qt/dialog.cpp": "#include <QDialog>\n",
        "drivers/sim/card.cpp": '#include "drivers/kit/bda_tuner_node.h"\n',
        "core/lower.h": "extern std::string g_strLowerThing;\n",
        "pages/record/box.cpp": 'void F() { AfxMessageBox("yes"); }  // CBDAGraph g_strLowerThing\n',
        "platform/ui/message_box.cpp": 'int MessageBoxA(HWND, const char*);\n',
    }
    with tempfile.TemporaryDirectory() as scratch:
        root = pathlib.Path(scratch)
        for rel, text in {**planted, **sound}.items():
            (root / rel).parent.mkdir(parents=True, exist_ok=True)
            (root / rel).write_text(text)
        found = violations(root) + session_violations(root)
    missed = [rel for rel in planted if not any(line.startswith(rel) for line in found)]
    wrong = [line for line in found if not any(line.startswith(rel) for rel in planted)]
    for rel in missed:
        print(f"self-test: the planted violation in {rel} was not found")
    for line in wrong:
        print(f"self-test: a sound include was reported: {line}")
    return 1 if missed or wrong else 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    if len(argv) != 2:
        print(__doc__)
        return 2
    found = violations(pathlib.Path(argv[1])) + session_violations(pathlib.Path(argv[1]))
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} place(s) against the layers; see README, Folder layout")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
