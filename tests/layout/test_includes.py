"""The layout's rules, read from the sources' own #include lines: each program sits above the
shared base (core/) and the office formats (office/) and includes no other program's files,
and no include circle exists, between files or between folders."""
import collections
import re
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
SOURCE_FOLDERS = ("core", "office", "launcher", "runtime", "packer", "testkit", "fuzz", "bench", "tests")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)

# What each program may include besides its own files.
ALLOWED = {
    "core": {"core"},
    "office": {"core", "office"},
    "launcher": {"core", "launcher"},
    "runtime": {"core", "runtime"},
    "packer": {"core", "office", "packer"},
    "testkit": {"core", "office", "testkit"},
}


def sources():
    for folder in SOURCE_FOLDERS:
        for path in (REPO / folder).rglob("*"):
            if path.suffix in (".cpp", ".h", ".inc") and path.is_file():
                yield path.relative_to(REPO).as_posix()


def includes():
    """Every file and the project files it includes, by path from the repository's root."""
    graph = {}
    for path in sources():
        named = INCLUDE.findall((REPO / path).read_text(encoding="utf-8", errors="replace"))
        graph[path] = {name for name in named if (REPO / name).is_file()}
    return graph


def unit(path):
    """A file's unit: x.h with its x.cpp and x_win.cpp twins."""
    return re.sub(r"(_win)?\.(cpp|h|inc)$", "", path)


def folder(path):
    return path.rsplit("/", 1)[0]


def circles(edges):
    """The strongly connected components of more than one node (Tarjan, without recursion)."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []
    counter = 0
    for start in list(edges):
        if start in index:
            continue
        work = [(start, iter(sorted(edges[start])))]
        index[start] = low[start] = counter
        counter += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            child = next(children, None)
            if child is not None:
                if child not in index:
                    index[child] = low[child] = counter
                    counter += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(edges.get(child, ())))))
                elif child in on_stack:
                    low[node] = min(low[node], index[child])
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    found.append(sorted(component))
    return found


def projected(graph, key):
    edges = collections.defaultdict(set)
    for path, named in graph.items():
        for name in named:
            if key(path) != key(name):
                edges[key(path)].add(key(name))
    return edges


def test_every_program_includes_only_the_base_the_office_formats_and_its_own_files():
    wrong = []
    for path, named in includes().items():
        program = path.split("/", 1)[0]
        if program not in ALLOWED:
            continue
        wrong += [f"{path} includes {name}" for name in sorted(named) if name.split("/", 1)[0] not in ALLOWED[program]]
    assert wrong == []


@pytest.mark.parametrize("level", ["file", "unit", "folder"])
def test_no_include_circle(level):
    graph = includes()
    key = {"file": lambda path: path, "unit": unit, "folder": folder}[level]
    assert circles(projected(graph, key)) == []


def test_the_checks_see_a_circle_and_a_wrong_include():
    """The checks themselves: a planted circle is found."""
    planted = {"a/x.h": {"b/y.h"}, "b/y.h": {"a/z.h"}, "a/z.h": set()}
    assert circles(projected(planted, folder)) == [["a", "b"]]
    assert circles(projected(planted, lambda path: path)) == []
