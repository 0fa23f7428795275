#!/usr/bin/env python3
"""Every file or folder of the tree that a comment names must exist.

Looks at the comments of the tracked C++, CMake, shell and Python files and at the
Markdown documents, picks out the names of source files (`platform/core/clock.h`,
`bio_wait.h`, `../windowing/window.h`, with or without a `:line`) and the paths that
start at a top-level folder (`platform/serial/`, `tests/bio`), and fails naming each
one that does not resolve. A name resolves from the repository's root or from the
folder of the file that holds it; a name made by the build from a `NAME.in` template
counts as that template. In Markdown a bare file name (no folder) may name a file
anywhere in the tree, since a document's tables and lists give the folder beside it.

    scripts/check-comment-paths.py          (run by `make format-check`)
"""
import os
import re
import subprocess
import sys

# The kinds of file a comment names when it points at the tree's own sources.
SOURCE_EXTENSIONS = ("h", "cpp", "c", "cmake", "sh", "py", "md", "rc", "in", "txt")
NAME = re.compile(
    r"(?:\.\.?/)*[A-Za-z0-9_\-]+(?:/[A-Za-z0-9_.\-]+)*\.(?:%s)(?:\.in)?" % "|".join(SOURCE_EXTENSIONS))
TOKEN = re.compile(r"(?<![\w./\-])(?:\.\.?/)*[A-Za-z0-9_\-]+(?:[/.][A-Za-z0-9_\-]+)*/?")
C_LIKE = (".cpp", ".h", ".c", ".cpp.in", ".h.in")
HASH_COMMENTED = (".cmake", ".sh", ".py", ".txt", ".in")
HASH_COMMENTED_NAMES = ("Makefile", "run")

# Names that stand for no file of the tree on purpose, each with its reason.
NOT_FILES = {
    # How a relative include in platform/core resolves, as the compiler reads it.
    ("docs/architecture.md", "../windowing/window.h"),
}


def tracked_files():
    out = subprocess.check_output(["git", "ls-files", "-z"], text=True)
    return [path for path in out.split("\0") if path]


def c_comments(text):
    """(line, text) of each // and /* */ comment, string and character literals skipped."""
    comments, i, line, n = [], 0, 1, len(text)
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
        elif text.startswith('R"', i) and (m := re.match(r'R"([^(\s]*)\(', text[i:])):
            end = text.find(")" + m.group(1) + '"', i)
            end = n if end < 0 else end + len(m.group(1)) + 2
            line += text.count("\n", i, end)
            i = end
            continue
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] not in (c, "\n"):
                j += 2 if text[j] == "\\" else 1
            i = j + 1
            continue
        elif text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            comments.append((line, text[i:end]))
            i = end
            continue
        elif text.startswith("/*", i):
            end = text.find("*/", i)
            end = n if end < 0 else end + 2
            for k, part in enumerate(text[i:end].split("\n")):
                comments.append((line + k, part))
            line += text.count("\n", i, end)
            i = end
            continue
        i += 1
    return comments


def hash_comments(text):
    """(line, text) of each # comment, quoted strings and CMake bracket arguments skipped."""
    comments, bracket = [], None
    for number, line in enumerate(text.split("\n"), 1):
        i, quote = 0, None
        while i < len(line):
            if bracket:
                end = line.find(bracket, i)
                if end < 0:
                    break
                i, bracket = end + len(bracket), None
                continue
            c = line[i]
            if quote:
                if c == "\\":
                    i += 1
                elif c == quote:
                    quote = None
            elif c in "\"'":
                quote = c
            elif (m := re.match(r"\[(=*)\[", line[i:])):
                bracket = "]" + m.group(1) + "]"
                i += len(m.group(0))
                continue
            elif c == "#" and (i == 0 or line[i - 1] in " \t") and not line.startswith("#!", i):
                comments.append((number, line[i:]))
                break
            i += 1
    return comments


def comments_of(path, text):
    base = os.path.basename(path)
    if path.endswith(".md"):
        return list(enumerate(text.split("\n"), 1))
    if path.endswith(C_LIKE):
        return c_comments(text)
    if path.endswith(HASH_COMMENTED) or base in HASH_COMMENTED_NAMES or base == "CMakeLists.txt":
        return hash_comments(text)
    return []


def main():
    os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    files = tracked_files()
    known = set(files)
    for path in files:
        while "/" in path:
            path = path.rsplit("/", 1)[0]
            known.add(path)
    top_folders = {path.split("/", 1)[0] for path in files if "/" in path}
    base_names = {os.path.basename(path) for path in files}

    def exists(name):
        name = name.rstrip("/")
        return name in known or name + ".in" in known

    problems = 0
    for path in files:
        if path.startswith(("fuzz/corpus/", "data/")):
            continue
        try:
            with open(path, encoding="utf-8") as source:
                text = source.read()
        except (UnicodeDecodeError, IsADirectoryError):
            continue
        folder = os.path.dirname(path)
        for line, comment in comments_of(path, text):
            for match in TOKEN.finditer(comment):
                name = match.group(0)
                is_file = NAME.fullmatch(name) and not re.fullmatch(r"[\d.]+", name)
                is_folder_path = "/" in name and name.split("/", 1)[0] in top_folders
                if not (is_file or is_folder_path):
                    continue
                # <termios.h>, <sys/ioctl.h>: the system's headers, not the tree's.
                system_header = match.start() > 0 and comment[match.start() - 1] == "<"
                if system_header and name.split("/", 1)[0] not in top_folders:
                    continue
                # SCRIPT.rc, OUTPUT.cpp: placeholders in a usage line.
                if re.fullmatch(r"[A-Z_]+", os.path.basename(name).split(".", 1)[0]):
                    continue
                if (path, name) in NOT_FILES:
                    continue
                if exists(name) or exists(os.path.normpath(os.path.join(folder, name))):
                    continue
                if path.endswith(".md") and "/" not in name and name in base_names | {
                        n[:-3] for n in base_names if n.endswith(".in")}:
                    continue
                print(f"{path}:{line}: names {name}, which is not in the tree")
                problems += 1
    if problems:
        print(f"comment paths: {problems} names of files that do not exist", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
