"""Copies the manual into a release folder: MANUAL.md, the author's manual that starts
from what the archive holds, and every file of the project it links to (the example
application's files among them), followed through the Markdown files among them, each
under its own path, so that every link of the copied pages resolves inside the folder.

    manual.py PROJECT FOLDER
"""
import re
import shutil
import sys
from pathlib import Path

# [text](target) and ![alt](target); the target ends at a space (a title follows) or ")".
LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)")


def local_targets(page, project):
    """The project files a Markdown page links to (web addresses and anchors left out)."""
    for target in LINK.findall(page.read_text(encoding="utf-8")):
        path = target.split("#", 1)[0]
        if not path or re.match(r"^[a-z][a-z0-9+.-]*:", path, re.IGNORECASE):
            continue
        file = (page.parent / path).resolve()
        if project not in file.parents or not file.is_file():
            sys.exit(f"{page.relative_to(project)}: link to {target}, which is not a file of the project")
        yield file


def manual(project):
    """MANUAL.md and everything reached from it, as paths inside the project."""
    found, pending = set(), [project / "MANUAL.md"]
    while pending:
        page = pending.pop()
        if page in found:
            continue
        found.add(page)
        if page.suffix == ".md":
            pending.extend(local_targets(page, project))
    return sorted(path.relative_to(project) for path in found)


def main(project, folder):
    project = Path(project).resolve()
    for name in manual(project):
        (Path(folder) / name).parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(project / name, Path(folder) / name)


if __name__ == "__main__":
    main(*sys.argv[1:])
