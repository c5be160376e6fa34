#!/usr/bin/env python3
"""Checks the include graph of a source tree: no folder includes a folder that
includes it back, however far round, and no two sources of one folder do
either (a header and its source count as one). Prints each circle found and
exits 1; exits 0 when there is none.

    scripts/check-includes.py [src]
"""
import collections
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def sources(root):
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            if name.endswith((".h", ".cpp")):
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8") as text:
                    found[os.path.relpath(path, root)] = INCLUDE.findall(text.read())
    return found


def circles(graph):
    found, state = [], {}

    def visit(node, path):
        state[node] = "open"
        path.append(node)
        for next_node in sorted(graph.get(node, ())):
            if state.get(next_node) == "open":
                found.append(path[path.index(next_node):] + [next_node])
            elif next_node not in state:
                visit(next_node, path)
        path.pop()
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            visit(node, [])
    return found


def graph_of(files, key):
    graph = collections.defaultdict(set)
    for path, includes in files.items():
        for included in includes:
            if included in files and key(included) != key(path):
                graph[key(path)].add(key(included))
    return graph


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "src"
    files = sources(root)
    folders = graph_of(files, lambda path: os.path.dirname(path) or ".")
    units = graph_of(files, lambda path: re.sub(r"\.(h|cpp)$", "", path))
    problems = [("folders", c) for c in circles(folders)] + [("sources", c) for c in circles(units)]
    for kind, circle in problems:
        print(f"include circle between {kind}: {' -> '.join(circle)}")
    print(f"{len(files)} files, {len(folders)} folders that include others: "
          f"{'no circle' if not problems else f'{len(problems)} circles'}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
