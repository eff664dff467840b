#!/usr/bin/env python3
"""Prints which folders of src/ include which, and fails on a cycle.

Usage: tools/folder_graph.py [SRC_DIR]
Every `#include "folder/..."` of a file in src/<a>/ gives an edge a -> folder.
Exit code 1 when the edges form a cycle (the cycle and the including files
are printed), 0 otherwise."""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"(\w+)/[^"]+"', re.M)


def edges(src):
    found = {}
    for folder in sorted(os.listdir(src)):
        path = os.path.join(src, folder)
        if not os.path.isdir(path):
            continue
        for root, _, files in os.walk(path):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp", ".rc")):
                    continue
                file = os.path.join(root, name)
                with open(file, encoding="utf-8", errors="replace") as f:
                    for target in INCLUDE.findall(f.read()):
                        if target != folder and os.path.isdir(os.path.join(src, target)):
                            found.setdefault((folder, target), []).append(os.path.relpath(file, src))
    return found


def find_cycle(graph):
    """One cycle as a list of folders, or None (depth-first search)."""
    state = {}
    stack = []

    def visit(node):
        state[node] = "open"
        stack.append(node)
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                return stack[stack.index(nxt):] + [nxt]
            if nxt not in state:
                cycle = visit(nxt)
                if cycle:
                    return cycle
        stack.pop()
        state[node] = "done"
        return None

    for node in sorted(graph):
        if node not in state:
            cycle = visit(node)
            if cycle:
                return cycle
    return None


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    found = edges(src)
    graph = {}
    for (a, b) in found:
        graph.setdefault(a, set()).add(b)
    for (a, b), files in sorted(found.items()):
        print(f"{a} -> {b}  ({len(files)} files)")
    cycle = find_cycle(graph)
    if cycle:
        print("cycle: " + " -> ".join(cycle))
        for a, b in zip(cycle, cycle[1:]):
            print(f"  {a} -> {b}: " + ", ".join(found[(a, b)]))
        return 1
    print("no cycle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
