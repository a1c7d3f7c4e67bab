"""What sheetpack says about itself: `--version` gives the project's version,
`help config` lists the same configuration keys, options and override numbers as
docs/packer.md describes (the list comes from the parser's own tables; the unit tests
hold it against them), and `texts` shows each override number above the built-in text
the launcher shows without it."""
import json
import re
from pathlib import Path

from conftest import run

REPO = Path(__file__).resolve().parents[2]


def section(text, start, end):
    return text[text.index(start):text.index(end, text.index(start))]


def documented():
    """(top-level keys, option keys, override numbers) of docs/packer.md's tables."""
    doc = (REPO / "docs" / "packer.md").read_text(encoding="utf-8")
    config = section(doc, "### Configuration", "Options (`options` keys")
    keys = set(re.findall(r"^\| `(\w+)` \|", config, re.MULTILINE))
    options = set(re.findall(r"^\| `(\w+)` \| `OPT_", doc, re.MULTILINE))
    overrides = section(doc, "Override keys of the `texts` table", "Texts may hold")
    numbers = {int(n) for row in re.findall(r"^\| ([\d, ]+) \|", overrides, re.MULTILINE) for n in row.split(",")}
    return keys, options, numbers


def listed(reference):
    """The same three from `help config`: a key starts a line after two spaces."""
    parts = re.split(r"\n(?=options |texts )", reference)
    assert len(parts) == 3, reference
    keys = [set(re.findall(r"^  (\w+) ", part, re.MULTILINE)) for part in parts]
    return keys[0], keys[1], {int(n) for n in keys[2]}


def test_version_is_the_projects(sheetpack):
    version = re.search(r"project\(sheetpack VERSION ([\d.]+)", (REPO / "CMakeLists.txt").read_text()).group(1)
    result = run(sheetpack, "--version")
    assert (result.returncode, result.stdout.decode(), result.stderr) == (0, f"sheetpack {version}\n", b"")


def test_help_config_lists_what_the_manual_describes(sheetpack):
    result = run(sheetpack, "help", "config")
    assert result.returncode == 0, result.stderr
    keys, options, numbers = listed(result.stdout.decode())
    assert (keys, options, numbers) == documented()
    assert "workbook" in keys and "checkHostVersion" in options and 41 in numbers
    assert b"sheetpack help config" in run(sheetpack, "build", "--help").stdout



def test_help_of_anything_else_is_refused(sheetpack):
    for args in (["help", "build"], ["help", "config", "extra"]):
        result = run(sheetpack, *args)
        assert result.returncode == 2 and result.stdout == b"", args
        assert b"sheetpack COMMAND --help describes a command" in result.stderr, args


def built_in_texts():
    """id -> text of the launcher's main table, from its readable source."""
    source = (REPO / "core" / "text" / "message_texts.txt").read_text(encoding="utf-8")
    return {int(ident): text for ident, text in re.findall(r"^main (\d+) = ?(.*)$", source, re.MULTILINE)}


# Override number -> the built-in text the launcher shows without it (None: nothing built in).
REPLACED = {3: 30, 4: 31, 6: 27, 7: 8, 11: 17, 12: 18, 13: 19, 14: 32, 15: 33, 16: 29, 39: 26, 40: None,
            41: 43, 42: 40, 55: 55, 56: 56, 57: 57, 58: 58, 59: 59, 71: 71, 72: 8, 73: 21}


def test_texts_prints_every_override_number_with_the_built_in_text_it_replaces(sheetpack):
    result = run(sheetpack, "texts", "--json")
    assert result.returncode == 0, result.stderr
    listed = {entry["number"]: entry for entry in json.loads(result.stdout)["texts"]}
    assert set(listed) == documented()[2] == set(REPLACED)
    texts = built_in_texts()
    for number, ident in REPLACED.items():
        assert listed[number]["text"] == (None if ident is None else texts[ident]), number
        assert listed[number]["replaces"], number
    assert "<?SAVEDVER?>" in listed[42]["text"], "the update question"


def test_texts_as_text_shows_each_number_above_its_text(sheetpack):
    result = run(sheetpack, "texts")
    assert result.returncode == 0, result.stderr
    shown = result.stdout.decode("utf-8")
    texts = built_in_texts()
    for number, ident in REPLACED.items():
        below = "(none built in)" if ident is None else texts[ident]
        assert re.search(rf"^{number} +\S.*\n {{6}}{re.escape(below)}$", shown, re.MULTILINE), number
    for args in (["texts", "extra"], ["texts", "--raw"]):
        refused = run(sheetpack, *args)
        assert refused.returncode == 2 and refused.stdout == b"", args
