#!/usr/bin/env python3
"""The README's and docs/' fenced blocks and their test markers.

A shell block is preceded by an HTML comment that says what runs it:
  <!-- test: folder -->     in a throwaway folder with a copy of dist/ and examples/
  <!-- test: debian12 -->   as root in a fresh Debian 12 root with a copy of dist/
  <!-- test: by FILE -->    each command line stands as it is in FILE, which runs it
  <!-- test: file NAME -->  (before any code block) the block saved as NAME first

  blocks.py check TOP                  markers, `by` lines and relative links; exit 1 on a fault
  blocks.py globs TOP PLACE            each `dist/` glob of a folder or debian12 command matches
                                       exactly one file under PLACE (a folder holding dist/)
  blocks.py script TOP KIND DIR        writes DIR/<page>.sh (the page's KIND blocks, in order)
                                       and the page's files into DIR/<page>/; lists the pages
"""
import glob
import os
import re
import shlex
import sys

SHELL = {"sh", "bash", "shell", "console"}
KINDS = {"folder", "debian12", "by", "file"}
MARKER = re.compile(r"^<!--\s*test:\s*(\S+)(?:\s+(\S+))?\s*-->\s*$")


def pages(top):
    found = [os.path.join(top, "README.md")]
    docs = os.path.join(top, "docs")
    found += sorted(os.path.join(docs, f) for f in os.listdir(docs) if f.endswith(".md"))
    return found


def blocks(path):
    """(line number, language, marker kind, marker argument, text) for each fenced block."""
    lines = open(path, encoding="utf-8").read().split("\n")
    out, i = [], 0
    while i < len(lines):
        fence = re.match(r"^```(\S*)\s*$", lines[i])
        if not fence:
            i += 1
            continue
        start, language = i, fence.group(1)
        j = i + 1
        while j < len(lines) and lines[j] != "```":
            j += 1
        if j == len(lines):
            out.append((start + 1, language, "unclosed", None, ""))
            break
        marker = MARKER.match(lines[start - 1]) if start > 0 else None
        kind, argument = (marker.group(1), marker.group(2)) if marker else (None, None)
        if start > 0 and lines[start - 1].startswith("<!--") and not marker:
            kind = "malformed"
        out.append((start + 1, language, kind, argument, "\n".join(lines[start + 1:j]) + "\n"))
        i = j + 1
    return out


def commands(text):
    """The command lines of a shell block: no blank lines or comments, continuations joined."""
    out, pending = [], ""
    for line in text.split("\n"):
        if pending:
            line = pending + "\n" + line
            pending = ""
        if line.endswith("\\"):
            pending = line
            continue
        if line.strip() and not line.lstrip().startswith("#"):
            out.append(line.strip())
    return out


def anchors(path):
    """GitHub's anchors of a page's headings."""
    found = set()
    inside = False
    for line in open(path, encoding="utf-8"):
        if line.startswith("```"):
            inside = not inside
        m = re.match(r"^#{1,6} (.*)", line)
        if m and not inside:
            text = re.sub(r"[`*_\[\]()]|\]\([^)]*\)", "", m.group(1).strip().lower())
            found.add(re.sub(r"[^\w\- ]", "", text).replace(" ", "-"))
    return found


def report(faults, passed):
    """Prints each fault and returns 1, or prints `passed` and returns 0 when there is none."""
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(passed)
    return 0


def check(top):
    faults = []
    for page in pages(top):
        rel = os.path.relpath(page, top)
        for line, language, kind, argument, text in blocks(page):
            where = f"{rel}:{line}"
            if kind == "unclosed":
                faults.append(f"{where}: a block that is never closed")
            elif kind == "malformed" or (kind is not None and kind not in KINDS):
                faults.append(f"{where}: an unknown test marker before this block")
            elif language in SHELL and kind in (None, "file"):
                faults.append(f"{where}: a shell block without <!-- test: folder|debian12|by FILE -->")
            elif language not in SHELL and kind in ("folder", "debian12", "by"):
                faults.append(f"{where}: a {kind} marker on a {language or 'plain'} block")
            elif kind in ("by", "file") and not argument:
                faults.append(f"{where}: <!-- test: {kind} --> needs a name")
            elif kind == "by":
                runner = os.path.join(top, argument)
                if not os.path.isfile(runner):
                    faults.append(f"{where}: {argument} does not exist")
                    continue
                held = {l.strip() for l in open(runner, encoding="utf-8")}
                for command in commands(text):
                    if command not in held:
                        faults.append(f"{where}: '{command}' is not a line of {argument}")
        # Relative links: [text](path) and [text](path#anchor), outside code.
        text = re.sub(r"```.*?```", "", open(page, encoding="utf-8").read(), flags=re.S)
        text = re.sub(r"`[^`\n]*`", "", text)
        for target in re.findall(r"\]\(([^)\s]+)\)", text):
            if re.match(r"^[a-z]+:", target):
                continue
            path, _, anchor = target.partition("#")
            dest = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
            if not os.path.exists(dest):
                faults.append(f"{rel}: the link {target} leads to no file")
            elif anchor and dest.endswith(".md") and anchor not in anchors(dest):
                faults.append(f"{rel}: the link {target} leads to no heading")
    return report(faults, f"docs: {len(pages(top))} pages; every shell block marked, every relative link leads somewhere")


def script(top, kind, out):
    """Each page's KIND blocks as one script, its files beside it; prints the pages that have any."""
    os.makedirs(out, exist_ok=True)
    for page in pages(top):
        name = os.path.splitext(os.path.relpath(page, top).replace("/", "-"))[0]
        found = blocks(page)
        shell = [text for _, language, k, _, text in found if k == kind and language in SHELL]
        if not shell:
            continue
        files = os.path.join(out, name)
        os.makedirs(files, exist_ok=True)
        for _, _, k, argument, text in found:
            if k == "file":
                open(os.path.join(files, argument), "w", encoding="utf-8").write(text)
        body = "".join(f"printf '%s\\n' {shlex.quote('$ ' + c)}\n{c}\n" for text in shell for c in commands(text))
        open(os.path.join(out, name + ".sh"), "w", encoding="utf-8").write("set -euo pipefail\n" + body)
        print(name)
    return 0


def globs(top, place):
    """Every glob naming dist/ in a folder or debian12 command catches one file, no more:
    another architecture's package or another package's tarball beside it would be installed
    too."""
    faults, seen = [], 0
    for page in pages(top):
        rel = os.path.relpath(page, top)
        for line, language, kind, _, text in blocks(page):
            if language not in SHELL or kind not in ("folder", "debian12"):
                continue
            for command in commands(text):
                for word in command.split():
                    if "*" in word and "dist/" in word:
                        seen += 1
                        found = glob.glob(os.path.join(place, word))
                        if len(found) != 1:
                            names = ", ".join(os.path.relpath(f, place) for f in found) or "nothing"
                            faults.append(f"{rel}:{line}: {word} matches {names}")
    return report(faults, f"docs: each of the {seen} dist/ globs of the documented commands matches one file")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "globs":
        sys.exit(globs(sys.argv[2], sys.argv[3]))
    if len(sys.argv) == 3 and sys.argv[1] == "check":
        sys.exit(check(sys.argv[2]))
    if len(sys.argv) == 5 and sys.argv[1] == "script":
        sys.exit(script(sys.argv[2], sys.argv[3], sys.argv[4]))
    print(__doc__, file=sys.stderr)
    sys.exit(2)
