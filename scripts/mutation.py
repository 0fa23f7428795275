#!/usr/bin/env python3
"""`make mutation`: how sharp the suite is, measured by single-operator changes.

A seeded sample of changes to the sources (an operator swapped, a constant moved by
one, a condition negated, a statement deleted) is built one by one in a copy of the
sources (BUILD_DIR/src, restored after each change, even on Ctrl-C) and the suite run
on each. Killed: a test failed twice, or the suite overran the time limit. Survived:
the whole suite passed. Counted apart: changes that do not compile, and changes that
leave every program and library the same byte for byte. BUILD_DIR/report/ holds the
outcomes (results.jsonl), the logs, and with --matrix the kill matrix (matrix.json).
"""
import argparse, bisect, hashlib, json, os, random, re, shutil, signal, subprocess, sys, time
from collections import defaultdict
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
FOLDERS = ["bio", "reader", "keys", "app", "platform", "host", "tools"]
RELATIONAL = {"==": "!=", "!=": "==", "<": "<=", "<=": "<", ">": ">=", ">=": ">"}
ARITHMETIC = {"+": "-", "-": "+", "*": "/", "/": "*", "+=": "-=", "-=": "+=", "*=": "/=", "/=": "*="}
# clang-format spaces binary operators and never template brackets, so an operator
# with a blank on both sides is a binary one.
OPERATOR = re.compile(r"(?<= )(==|!=|<=|>=|<|>|\+=|-=|\*=|/=|\+|-|\*|/)(?= )")
NUMBER = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F']+|0[bB][01']+|\d[\d']*)([uUlL]*)(?![\w.'])")
SKIPPED_LINE = re.compile(r"\b(static_assert|alignas|__attribute__|template)\b|\)\s*(const\s*)?=\s*0;")
KEYWORDS = set("return throw break continue goto case default delete new using typedef if for while do "
               "switch else try catch const constexpr static auto extern namespace class struct enum "
               "union friend public private protected virtual inline operator".split())
BLOCK_WORDS = ("else", "do", "try", "const", "noexcept", "override", "mutable")  # ... {
ASSIGNMENT = r"(=|\+=|-=|\*=|/=|%=|&=|\|=|\^=|<<=|>>=)"
# An expression statement with its brackets emptied: a call, an assignment, a step.
STATEMENT = re.compile(r"(\+\+|--)?\**[A-Za-z_]\w*(::~?\w+)*((\.|->)\w+|\(\)|\[\])*(\+\+|--)?"
                       r"( " + ASSIGNMENT + r" .*)?;")
# What is not code: literals (their quotes stay, so a text still reads as one),
# comments and preprocessor lines. Names and numbers are matched only to be stepped
# over whole (the digit separator in 1'000, the prefix of LR"(...)").
NOT_CODE = re.compile(r"""(?P<raw>\b[uUL8]*R"(?P<delim>[^(\s]*)\(.*?\)(?P=delim)")"""
                      r"""|(?P<word>\d[\w']*|[A-Za-z_]\w*)"""
                      r"""|(?P<text>"(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*')"""
                      r"""|//[^\n]*|/\*.*?\*/|(?m:^[ \t]*\#(?:[^\n]*\\\n)*[^\n]*)""", re.S)


def mask(text):
    """The text with comments, literals' contents and preprocessor lines blanked."""
    def blank(m):
        if m.group("word"):
            return m.group(0)
        inner = re.sub(r"[^\n]", " ", m.group(0))
        return m.group(0)[0] + inner[1:-1] + m.group(0)[-1] if m.group("text") or m.group("raw") else inner
    return NOT_CODE.sub(blank, text)


def closing(code, start, opening="([{", closes=")]}"):
    """The offset of the bracket that closes the one at `start`, or -1."""
    depth = 0
    for k in range(start, len(code)):
        depth += (code[k] in opening) - (code[k] in closes)
        if depth == 0:
            return k
    return -1


def collapse(code):
    """Brackets emptied, innermost first, so `f(a, g(b))[i]` reads as `f()[]`."""
    while True:
        emptied = re.sub(r"\((?:[^()\[\]]|\(\)|\[\])+\)|\[(?:[^()\[\]]|\(\)|\[\])+\]",
                         lambda m: m.group(0)[0] + m.group(0)[-1], code)
        if emptied == code:
            return code
        code = emptied


def code_lines(code):
    """The lines in a function's body or a block in one (not in a class, namespace,
    enumeration or initializer, told by what precedes each `{`): their offsets, each
    with the last character of code before it."""
    stack, inside, last = [], {}, 0
    for k, ch in enumerate(code):
        if ch == "{":
            word = re.search(r"(\w+)$", code[max(0, last - 20):last + 1])
            stack.append(code[last] in ")]{};:" or bool(word) and word.group(1) in BLOCK_WORDS)
        elif ch == "}" and stack:
            stack.pop()
        elif ch == "\n" and stack and stack[-1]:
            inside[k + 1] = code[last]
        if not ch.isspace():
            last = k
    return inside


def value(literal):
    digits = literal.replace("'", "").lower()
    base = 16 if digits[:2] == "0x" else 2 if digits[:2] == "0b" else 8 if digits[:1] == "0" else 10
    return int(digits[2:] if base in (16, 2) else digits, base)


def renumber(literal, suffix, delta):
    """The literal moved by `delta`, written in its own base."""
    digits, moved = literal.replace("'", ""), value(literal) + delta
    if digits[:2].lower() in ("0x", "0b"):
        return digits[:2] + ("%x" % moved if digits[1] in "xX" else bin(moved)[2:]) + suffix
    return ("0%o" if len(digits) > 1 and digits[0] == "0" else "%d") % moved + suffix


def sizes(line):
    """Spans of a masked line whose constants are sizes: template arguments
    (`std::array<char, 8>`) and array bounds in declarations (`char name[16]`)."""
    spans = [(m.start(), closing(line, m.end() - 1, "<", ">") % (len(line) + 1))
             for m in re.finditer(r"\w<", line)]
    return spans + [(m.start(1), m.end(1)) for m in re.finditer(r"[\w*&>] +\w+(\[[^\]]*\])", line)
                    if not re.search(r"\b(return|case|else)\s+\w+\[", m.group(0))]


def sites(path, text):
    """Every change this tool can make to one file."""
    code, found = mask(text), []
    starts = [0] + [m.end() for m in re.finditer("\n", text)]
    def add(kind, start, end, new):
        found.append({"file": path, "line": bisect.bisect_right(starts, start), "kind": kind,
                      "start": start, "end": end, "old": text[start:end], "new": new})
    for base, line in zip(starts, code.split("\n")):
        if SKIPPED_LINE.search(line):
            continue
        texts = '"' in line or "string" in line  # `+` joining texts cannot become `-`
        for m in OPERATOR.finditer(line):
            op = m.group(1)
            if not (texts and op in ("+", "+=")):
                kind = "relational" if op in RELATIONAL else "arithmetic"
                add(kind, base + m.start(), base + m.end(), {**RELATIONAL, **ARITHMETIC}[op])
        skipped = sizes(line)
        for m in NUMBER.finditer(line):
            for delta in (1, -1):
                if value(m.group(1)) + delta >= 0 and not any(a <= m.start() < b for a, b in skipped):
                    new = renumber(m.group(1), m.group(2), delta)
                    add("constant", base + m.start(), base + m.end(), new)
    for m in re.finditer(r"\bif \(", code):
        end = closing(code, m.end() - 1)
        inner = code[m.end():end]
        declares = re.match(r"\s*(const )?[\w:]+[*&]* \w+ (=|\{)|constexpr", inner)
        if end > 0 and ";" not in inner and not declares:
            add("negation", m.end(), end, "!(" + text[m.end():end] + ")")
    inside = code_lines(code)
    for m in re.finditer(r"(?m)^[ \t]*(\S)", code):
        if inside.get(m.start(), "") not in ("{", "}", ";", ":"):
            continue  # not the start of a statement in a function
        start, end, k = m.start(1), -1, m.start(1)
        while 0 <= k < len(code) and code[k] not in "{}":  # the statement's end: a `;` outside brackets
            if code[k] == ";":
                end = k + 1
                break
            k = closing(code, k) if code[k] in "([" else k
            k = k + 1 if k >= 0 else -1
        flat = re.sub(r"\s+", " ", collapse(code[start:end])) if end > 0 else ""
        first = re.match(r"\W*(\w+)", flat)
        if (first and first.group(1) not in KEYWORDS and STATEMENT.fullmatch(flat)
                and re.search(r"\(\)|\+\+|--| " + ASSIGNMENT + " ", flat)):
            add("deletion", start, end, "{}" + "\n" * text[start:end].count("\n"))
    return found


def group_of(path):
    parts = path.split("/")
    return "/".join(parts[:2]) if parts[0] == "platform" and len(parts) > 2 else parts[0]


def sample(candidates, count, seed, minimum):
    """`count` changes, at least `minimum` from each folder (platform/ by subfolder),
    the rest in proportion to the folders' numbers of places to change. A place with
    more than one change (a constant up or down) gives one of them."""
    rng, places, groups = random.Random(seed), defaultdict(list), defaultdict(list)
    for c in sorted(candidates, key=lambda c: (c["file"], c["start"], c["new"])):
        places[(c["file"], c["start"])].append(c)
    for place in places.values():
        groups[group_of(place[0]["file"])].append(place)
    minimum = min(minimum, count // len(groups))
    share = {g: min(len(ps), minimum) for g, ps in groups.items()}
    rest = max(0, count - sum(share.values()))
    exact = {g: rest * len(ps) / len(places) for g, ps in groups.items()}
    for g in groups:
        share[g] = min(len(groups[g]), share[g] + int(exact[g]))
    for g in sorted(groups, key=lambda g: exact[g] - int(exact[g]), reverse=True):
        if sum(share.values()) >= count:
            break
        share[g] = min(len(groups[g]), share[g] + 1)
    chosen = [rng.choice(p) for g in sorted(groups) for p in rng.sample(groups[g], share[g])]
    return sorted(chosen, key=lambda c: (c["file"], c["start"]))


class Tree:
    """The copy of the sources, its build, and the one file changed at a time."""

    def __init__(self, root, jobs):
        self.src, self.build, self.report, self.jobs = root / "src", root / "build", root / "report", jobs
        self.in_flight, self.commit_file = self.report / "in-flight.json", self.report / "commit"
        self.hashes, self.seen = {}, set()

    def sync(self):
        """Copies the worktree's tracked and new files, writing only those that differ
        so that the build stays incremental."""
        listed = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=REPO,
                                check=True, capture_output=True).stdout.decode().split("\0")
        wanted = {f for f in listed if f and (REPO / f).is_file()}
        self.commit_file.write_text(subprocess.run(["git", "describe", "--always", "--dirty"], cwd=REPO,
                                                   capture_output=True, text=True).stdout.strip())
        for f in wanted:
            data, copy = (REPO / f).read_bytes(), self.src / f
            if not copy.exists() or copy.read_bytes() != data:
                copy.parent.mkdir(parents=True, exist_ok=True)
                copy.write_bytes(data)
                copy.chmod((REPO / f).stat().st_mode)
        for copy in [p for p in self.src.rglob("*") if p.is_file()]:
            if str(copy.relative_to(self.src)) not in wanted:
                copy.unlink()

    commit = property(lambda self: self.commit_file.read_text() if self.commit_file.exists() else "?")

    def apply(self, change, text):
        self.in_flight.write_text(json.dumps({"file": change["file"], "text": text}))
        changed = text[:change["start"]] + change["new"] + text[change["end"]:]
        (self.src / change["file"]).write_text(changed)

    def restore(self):
        """Puts back the changed file, if any (also the one a killed run left)."""
        if self.in_flight.exists():
            saved = json.loads(self.in_flight.read_text())
            (self.src / saved["file"]).write_text(saved["text"])
            self.in_flight.unlink()

    def configure(self, log):
        launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        subprocess.run(["cmake", "-S", self.src, "-B", self.build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"]
                       + (launcher if shutil.which("ccache") else []), check=True, stdout=log, stderr=log)

    def compile(self, log):
        return subprocess.run(["cmake", "--build", str(self.build), "-j", str(self.jobs)],
                              stdout=log, stderr=subprocess.STDOUT).returncode == 0

    def compiled_sources(self):
        src = self.src.resolve()
        commands = json.loads((self.build / "compile_commands.json").read_text())
        files = [Path(c["file"]).resolve() for c in commands]
        return {str(f.relative_to(src)) for f in files if f.is_relative_to(src)}

    def binaries(self):
        """A digest of each program's and library's code and data, without the debug
        information, which a change moves without changing what runs."""
        result = {}
        for folder, subfolders, files in os.walk(self.build):
            subfolders[:] = [d for d in subfolders if d != "CMakeFiles"]
            for path in (Path(folder) / f for f in files):
                if not (os.access(path, os.X_OK) or ".so" in path.name) or not is_elf(path):
                    continue
                stamp = path.stat().st_mtime_ns
                if self.hashes.get(path, (None,))[0] != stamp:
                    stripped = self.report / "stripped.tmp"
                    subprocess.run(["objcopy", "--strip-all", "--remove-section=.note.gnu.build-id",
                                    path, stripped], check=True)
                    self.hashes[path] = (stamp, hashlib.sha256(stripped.read_bytes()).hexdigest())
                result[str(path)] = self.hashes[path][1]
        return result

    def run_suite(self, log, limit, stop_early, excluded):
        """The tests that failed twice (once may be a loaded machine's fluke), and
        whether the time limit ended the run."""
        failed, timed_out = self.ctest(log, limit, stop_early, excluded)
        if failed and not timed_out:
            failed &= self.ctest(log, limit, False, (), only=failed)[0]
            if not failed and stop_early:  # the first failure was a fluke: the rest is still to run
                return self.run_suite(log, limit, False, excluded)
        return failed, timed_out

    def ctest(self, log, limit, stop_early, excluded, only=()):
        pattern = lambda names: "^(" + "|".join(re.escape(t) for t in sorted(names)) + ")$"
        command = ["ctest", "-j", str(self.jobs)] + (["--stop-on-failure"] if stop_early else [])
        command += (["-E", pattern(excluded)] if excluded else []) + (["-R", pattern(only)] if only else [])
        begin = os.lseek(log.fileno(), 0, os.SEEK_CUR)  # ctest writes after the build's output
        process = subprocess.Popen(command, cwd=self.build, stdout=log, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        try:
            process.wait(timeout=limit)
            timed_out = False
        except subprocess.TimeoutExpired:
            timed_out = True
        finally:  # ctest's whole group: the tests too, and whatever they left running
            for sig in (signal.SIGTERM, signal.SIGKILL):
                try:
                    os.killpg(process.pid, sig)
                except ProcessLookupError:
                    break
                time.sleep(2)
            process.wait()
        failed = set()
        with open(log.name, errors="replace") as f:
            f.seek(begin)
            for m in re.finditer(r"Test +#\d+: (\S+) \.*[ *]*(\w+)", f.read()):
                self.seen.add(m.group(1))
                if m.group(2) not in ("Passed", "Skipped"):
                    failed.add(m.group(1))
        if process.returncode != 0 and not failed and not timed_out:
            failed.add("(ctest status %d)" % process.returncode)
        return failed, timed_out


def is_elf(path):
    with path.open("rb") as f:
        return f.read(4) == b"\x7fELF"


def test_files():
    """Test name (Suite.Name) -> the test file that defines it."""
    owners = {}
    for path in (REPO / "tests").rglob("*.cpp"):
        text = path.read_text(errors="replace")
        for m in re.finditer(r"\b(?:TYPED_)?TEST(?:_F|_P)?\(\s*(\w+)\s*,\s*(\w+)", text):
            owners["%s.%s" % m.groups()] = str(path.relative_to(REPO))
    return owners


def owner_of(test, owners):
    """The file of a test as CTest names it (`Prefix/Suite.Name/parameter` too)."""
    m = re.search(r"(\w+\.\w+)", test.split("/", 1)[-1] if "/" in test.split(".")[0] else test)
    return owners.get(m.group(1), "?") if m else "?"


def summarise(results, matrix):
    rows = defaultdict(lambda: defaultdict(int))
    for r in results:
        for g in {group_of(r["file"]), r["file"].split("/")[0], "all"}:
            rows[g][r["status"]] += 1
    print("\n%-22s %7s %7s %8s %10s %9s %7s" % ("folder", "changes", "killed", "survived", "uncompiled",
                                               "identical", "score"))
    for g in sorted(rows, key=lambda g: (g == "all", g)):
        c = rows[g]
        k, s = c["killed"] + c["timeout"], c["survived"]
        score = "%6.1f%%" % (100.0 * k / (k + s)) if k + s else "-"
        print("%-22s %7d %7d %8d %10d %9d %7s" % (("  " if "/" in g else "") + g, sum(c.values()), k, s,
                                                  c["uncompiled"], c["identical"], score))
    survivors = [r for r in results if r["status"] == "survived"]
    print("\nSurvivors (%d):" % len(survivors))
    for r in survivors:
        print("  %s:%d  %s  %r -> %r\n      %s"
              % (r["file"], r["line"], r["kind"], r["old"], r["new"], r["source"]))
    if matrix:
        owners, by_file = test_files(), defaultdict(set)
        for r in results:
            for t in r["failed"]:
                by_file[owner_of(t, owners)].add(r["id"])
        print("\nTest files: the changes each catches, and of those the ones no other file catches:")
        for f, ids in sorted(by_file.items(), key=lambda i: -len(i[1])):
            alone = [i for i in ids if all(i not in o for g, o in by_file.items() if g != f)]
            print("  %-50s %4d %4d" % (f, len(ids), len(alone)))
    print("\nscore = killed / (killed + survived); a time-out counts as killed.")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seed", type=int, default=24, help="the sample's seed (default 24)")
    parser.add_argument("--count", type=int, default=160, help="changes to try (default 160)")
    parser.add_argument("--min-per-folder", type=int, default=4, help="least changes a folder gets (4)")
    parser.add_argument("--files", nargs="+", default=FOLDERS, metavar="PATH",
                        help="folders or .cpp files to change (default: %s)" % " ".join(FOLDERS))
    parser.add_argument("--build-dir", default="build-mutation", help="default build-mutation")
    parser.add_argument("--jobs", type=int, default=os.cpu_count(), help="build and test jobs")
    parser.add_argument("--timeout", type=float, help="seconds a change's suite may run (default: 3 times "
                        "the unchanged suite's time plus a minute); a change that overruns it is killed")
    parser.add_argument("--matrix", action="store_true", help="run the whole suite on every change and "
                        "write report/matrix.json: each change with its failing tests")
    parser.add_argument("--resume", action="store_true", help="go on with an interrupted run: same copy "
                        "of the sources, the changes already tried are not tried again")
    parser.add_argument("--list", action="store_true", help="print the sample and stop")
    args = parser.parse_args()
    say = lambda text: print("mutation: " + text, flush=True)

    tree = Tree((REPO / args.build_dir).resolve(), args.jobs)
    (tree.report / "logs").mkdir(parents=True, exist_ok=True)
    def stop(signum, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGHUP, stop)
    tree.restore()
    if not args.resume or not tree.src.exists():
        tree.sync()
    say("building the unchanged sources in %s" % tree.build)
    with open(tree.report / "logs" / "build.log", "w") as log:
        tree.configure(log)
        if not tree.compile(log):
            sys.exit("mutation: the unchanged sources do not build; see %s" % log.name)
    wanted = tuple(f.rstrip("/") for f in args.files)
    candidates = []
    for f in sorted(tree.compiled_sources()):
        if f.endswith(".cpp") and any(f == w or f.startswith(w + "/") for w in wanted):
            candidates += sites(f, (tree.src / f).read_text())
    chosen = sample(candidates, args.count, args.seed, args.min_per_folder)
    say("%d changes of %d possible in %d files, seed %d" % (len(chosen), len(candidates),
                                                           len({c["file"] for c in candidates}), args.seed))
    for n, c in enumerate(chosen, 1):
        c["id"] = n
        if args.list:
            print("%4d %s:%d %s %r -> %r" % (n, c["file"], c["line"], c["kind"], c["old"], c["new"]))
    if args.list:
        return

    done_path, baseline_path = tree.report / "results.jsonl", tree.report / "baseline.json"
    done = {}
    if args.resume and done_path.exists():
        done = {r["key"]: r for r in map(json.loads, done_path.read_text().splitlines())}
    else:
        done_path.write_text("")
    if args.resume and baseline_path.exists():
        baseline = json.loads(baseline_path.read_text())
    else:
        say("running the suite on the unchanged sources")
        begun = time.monotonic()
        with open(tree.report / "logs" / "baseline.log", "w") as log:
            failed, _ = tree.run_suite(log, None, False, ())
        baseline = {"seconds": time.monotonic() - begun, "failed": sorted(failed),
                    "tests": sorted(tree.seen)}
        baseline_path.write_text(json.dumps(baseline))
    if baseline["failed"]:
        say("left out, as they fail unchanged: " + " ".join(baseline["failed"]))
    limit = args.timeout or 3 * baseline["seconds"] + 60
    unchanged = tree.binaries()
    results = []
    for c in chosen:
        key = "%s:%d:%s" % (c["file"], c["start"], c["new"])
        if key in done:
            results.append(done[key])
            continue
        text, began = (tree.src / c["file"]).read_text(), time.monotonic()
        failed, timed_out = set(), False
        with open(tree.report / "logs" / ("%03d.log" % c["id"]), "w") as log:
            try:
                tree.apply(c, text)
                if not tree.compile(log):
                    status = "uncompiled"
                elif tree.binaries() == unchanged:
                    status = "identical"
                else:
                    failed, timed_out = tree.run_suite(log, limit, not args.matrix, baseline["failed"])
                    status = "timeout" if timed_out else "killed" if failed else "survived"
            finally:
                tree.restore()
        record = {k: c[k] for k in ("id", "file", "line", "kind", "old", "new")}
        record.update(key=key, status=status, failed=sorted(failed), seconds=round(time.monotonic() - began),
                      source=text.splitlines()[c["line"] - 1].strip())
        with done_path.open("a") as f:
            f.write(json.dumps(record) + "\n")
        results.append(record)
        say("%3d/%d %-10s %s:%d %s %r -> %r (%ds)" % (c["id"], len(chosen), status, c["file"], c["line"],
                                                      c["kind"], c["old"], c["new"], record["seconds"]))
    if args.matrix:
        (tree.report / "matrix.json").write_text(json.dumps(
            {"seed": args.seed, "count": args.count, "files": list(wanted), "commit": tree.commit,
             "baseline": baseline, "test_files": test_files(), "changes": results}, indent=1))
        say("kill matrix in %s" % (tree.report / "matrix.json"))
    summarise(results, args.matrix)


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit("mutation: interrupted; the changed file was restored (--resume goes on)")
