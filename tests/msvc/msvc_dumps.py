"""Compiles the sources of a tree configured for the MSVC target (cmake/clang-msvc-x86_64.cmake)
as its compile_commands.json says, linking nothing, and reads what clang prints of the
Microsoft C++ ABI: each class's virtual slots and each record's field offsets."""
import collections
import concurrent.futures
import json
import os
import pathlib
import re
import shlex
import subprocess

REPO = pathlib.Path(__file__).resolve().parents[2]

# The complete record dump names each field beside its offset (the simple one lists offsets
# alone). -O0: both dumps come from the front end, and optimising only costs time.
DUMP_FLAGS = ["-O0", "-Xclang", "-fdump-vtable-layouts", "-Xclang", "-fdump-record-layouts"]


def tree_from_environment():
    """The configured tree named by KESTROM_MSVC_TREE."""
    tree = os.environ.get("KESTROM_MSVC_TREE")
    if not tree:
        raise ValueError("KESTROM_MSVC_TREE: not set (a tree configured with "
                         "cmake/clang-msvc-x86_64.cmake; scripts/check-msvc-layout.sh sets it)")
    return pathlib.Path(tree).resolve()


def project_commands(tree):
    """{source path relative to the repository: compile_commands.json entry} for every source
    of the project in the tree (third-party sources left out)."""
    path = tree / "compile_commands.json"
    if not path.is_file():
        raise ValueError(f"{path}: missing (configure the tree first)")
    commands = {}
    for entry in json.loads(path.read_text()):
        source = pathlib.Path(entry["file"]).resolve()
        if REPO in source.parents and tree not in source.parents:
            commands[str(source.relative_to(REPO))] = entry
    if not commands:
        raise ValueError(f"{path}: no source of {REPO}")
    return commands


class Layouts:
    """The layouts that clang printed, merged over translation units. Each class or record is
    usually printed by several; every print is kept, so that a disagreement shows."""

    def __init__(self):
        # class -> [{slot: entry}]: the slots the class declares or overrides.
        self.indices = collections.defaultdict(list)
        # (base, class) -> [{slot: entry}]: the whole table of base's subobject in class;
        # (class, class) for a class without bases.
        self.tables = collections.defaultdict(list)
        # record -> [(size in bytes, ((offset, depth, text), ...))]
        self.records = collections.defaultdict(list)

    def read(self, output):
        """Adds the layouts of one compile's standard output. A block's lines are indented;
        any other line ends it, and starts the next block when it is a header read here."""
        block = None
        for line in output.splitlines():
            if line[:1].isspace() and block is not None:
                block[2].append(line)
                continue
            self._close(block)
            block = None
            if match := VFTABLE_INDICES.match(line):
                block = ("indices", match[1], [])
            elif match := VFTABLE.match(line):
                block = ("table", (match[1], match[2] or match[1]), [])
            elif line == "*** Dumping AST Record Layout":
                block = ("record", None, [])
        self._close(block)

    def _close(self, block):
        if block is None:
            return
        kind, key, lines = block
        if kind == "record":
            key, layout = record_layout(lines)
            self.records[key].append(layout)
        else:
            (self.indices if kind == "indices" else self.tables)[key].append(slot_entries(lines))

    @staticmethod
    def only(prints, key):
        """The one layout of key that every print agrees on."""
        if key not in prints:
            raise AssertionError(f"clang printed no layout of {key}")
        distinct = [p for i, p in enumerate(prints[key]) if p not in prints[key][:i]]
        if len(distinct) != 1:
            raise AssertionError(f"{key}: translation units disagree: {distinct}")
        return distinct[0]


VFTABLE_INDICES = re.compile(r"^VFTable indices for '([^']+)' \(\d+ entries\)\.$")
VFTABLE = re.compile(r"^VFTable for '([^']+)'(?: in '([^']+)')? \(\d+ entries\)\.$")
SLOT = re.compile(r"^\s*(\d+) \| (.*)$")
FIELD = re.compile(r"^\s*(\d+)(?::[\d-]+)? \| ( *)(.*)$")
SIZE = re.compile(r"\[sizeof=(\d+),")


def slot_entries(lines):
    """{slot: operation} of a table; a whole table's RTTI entry, printed before slot 0, is
    left out, so that slot numbers are those a caller indexes with."""
    printed = [(int(m[1]), m[2]) for m in map(SLOT.match, lines) if m]
    shift = 1 if printed and printed[0][1].endswith(" RTTI") else 0
    return {index - shift: operation(text) for index, text in printed[shift:]}


def record_layout(lines):
    """(record name, (size in bytes, ((offset, depth, text), ...))); depth 1 are the record's
    own bases and fields, deeper ones theirs."""
    fields = []
    size = None
    for line in lines:
        if match := FIELD.match(line):
            fields.append((int(match[1]), len(match[2]) // 2, match[3]))
        elif match := SIZE.search(line):
            size = int(match[1])
    if not fields:
        raise ValueError(f"a record layout without a record: {lines}")
    name = re.sub(r"^(struct|class|union) | \(empty\)$", "", fields[0][2])
    return name, (size, tuple(fields[1:]))


def without_template_arguments(text):
    """ChannelExtension<Aco_Kestrom>::X [T = Aco_Kestrom] -> ChannelExtension::X: every
    instantiation of a template reads alike."""
    text = re.sub(r" \[T = [^\]]*\]", "", text)
    while (shorter := re.sub(r"<[^<>]*>", "", text)) != text:
        text = shorter
    return text


def operation(entry):
    """A slot's entry without the class that declares it: 'void Vro_Channel::CallChannel()'
    -> 'void CallChannel()'. An overrider then reads like what it overrides."""
    return re.sub(r"\b\w+::(?=~?\w+\()", "", without_template_arguments(entry), count=1)


def dump_command(entry):
    """The entry's compile command with the dump flags, writing no object file."""
    arguments = shlex.split(entry["command"])
    output = arguments.index("-o")
    del arguments[output:output + 2]
    return arguments + DUMP_FLAGS + ["-o", os.devnull]


def compile_and_read(entry):
    """(exit status, standard error, Layouts) of the entry's compile with the dump flags."""
    done = subprocess.run(dump_command(entry), cwd=entry["directory"], capture_output=True,
                          text=True)
    layouts = Layouts()
    layouts.read(done.stdout)
    return done.returncode, done.stderr, layouts


def compile_all(commands):
    """{source: (exit status, standard error)} and the Layouts of all compiles together."""
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 1) as pool:
        results = dict(zip(commands, pool.map(compile_and_read, commands.values())))
    merged = Layouts()
    for _, _, layouts in results.values():
        for mine, theirs in ((merged.indices, layouts.indices), (merged.tables, layouts.tables),
                             (merged.records, layouts.records)):
            for key, prints in theirs.items():
                mine[key].extend(prints)
    return {source: result[:2] for source, result in results.items()}, merged


def main(arguments):
    """By hand: msvc_dumps.py TREE SOURCE prints what clang prints for one source of TREE."""
    if len(arguments) != 2:
        raise SystemExit("usage: msvc_dumps.py TREE SOURCE   (SOURCE as in the repository, "
                         "e.g. channel/src/Aco_Kestrom.cpp)")
    tree, source = pathlib.Path(arguments[0]).resolve(), arguments[1]
    try:
        commands = project_commands(tree)
    except ValueError as error:
        raise SystemExit(f"msvc_dumps.py: {error}")
    if source not in commands:
        raise SystemExit(f"msvc_dumps.py: {source}: not a source of {tree}")
    entry = commands[source]
    raise SystemExit(subprocess.run(dump_command(entry), cwd=entry["directory"]).returncode)


if __name__ == "__main__":
    import sys
    main(sys.argv[1:])
