#!/usr/bin/env python3
"""Checks the README as a reader meets it.

1. Its code fences pair up: every block that opens is closed, so the text
   after it is not shown as code.
2. Every command its shell blocks show exists: this project's programs
   (built in BIN_DIR), its scripts (in the source tree) and the system
   commands (found by the shell as a builtin, keyword or program). For
   jt6400-cli the command it is given must be one of its commands.
   Windows blocks (bat) are not checked here.

Usage: readme_check.py README SOURCE_DIR BIN_DIR
Prints one line per fault and exits 1 when there is one.
"""

import os
import re
import shlex
import subprocess
import sys

PROJECT_PROGRAMS = {"jt6400", "jt6400-cli", "jt6400-sim"}
SHELL_INFO = {"sh", "bash", "shell", "console"}
# Words after which the next word is a command again.
COMMAND_STARTERS = {"&&", "||", ";", "|", "&", "(", ")", "!", "{", "}", "if", "then", "else", "elif", "do",
                    "while", "until", "time"}
# Prefixes that run the command that follows them. The README's set-up
# works as root or through sudo, which a test machine need not have.
PREFIXES = {"sudo", "exec", "env", "nohup"}
ASSIGNMENT = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*=")
REDIRECTION = re.compile(r"^\d*(>>|>|<|>&|<&)$")
FENCE = re.compile(r"^(\s*)(`{3,}|~{3,})(.*)$")
HEREDOC = re.compile(r"<<(-?)\s*(['\"]?)([A-Za-z_][A-Za-z0-9_]*)\2")


def code_blocks(lines, faults):
    """Yields (info, first line number, lines) of each fenced block."""
    opened = None  # (fence, info, line number, lines)
    for number, line in enumerate(lines, 1):
        match = FENCE.match(line)
        if opened is None:
            if match:
                opened = (match.group(2), match.group(3).strip(), number, [])
            continue
        fence, info, start, body = opened
        if match and match.group(2)[0] == fence[0] and len(match.group(2)) >= len(fence):
            if not match.group(3).strip():
                yield info, start, body
                opened = None
                continue
            # A fence with an info string cannot close a block: the block
            # opened earlier was never closed, and this one is taken as its text.
            faults.append(f"line {start}: the code block opened here is not closed before line {number} "
                          f"opens another ({line.strip()})")
            yield info, start, body
            opened = (match.group(2), match.group(3).strip(), number, [])
            continue
        body.append(line)
    if opened is not None:
        faults.append(f"line {opened[2]}: the code block opened here is never closed")


def logical_lines(body):
    """Joins continued lines and drops here-document bodies."""
    result = []
    pending = ""
    heredoc = None  # (delimiter, strip tabs)
    for line in body:
        if heredoc:
            text = line.lstrip("\t") if heredoc[1] else line
            if text.strip() == heredoc[0]:
                heredoc = None
            continue
        if line.rstrip().endswith("\\"):
            pending += line.rstrip()[:-1] + " "
            continue
        full = pending + line
        pending = ""
        match = HEREDOC.search(full)
        if match:
            heredoc = (match.group(3), match.group(1) == "-")
            full = full[:match.start()] + full[match.end():]
        result.append(full)
    if pending:
        result.append(pending)
    return result


def substitutions(text):
    """Splits out the $( ... ) command substitutions: (outer text, inner texts)."""
    inner = []
    outer = ""
    i = 0
    while i < len(text):
        if text.startswith("$(", i) and not text.startswith("$((", i):
            depth = 0
            j = i + 1
            while j < len(text):
                if text[j] == "(":
                    depth += 1
                elif text[j] == ")":
                    depth -= 1
                    if depth == 0:
                        break
                j += 1
            inner.append(text[i + 2:j])
            outer += "SUBSTITUTED"
            i = j + 1
            continue
        outer += text[i]
        i += 1
    return outer, inner


def commands_of(text):
    """The command words of one logical shell line, with their arguments."""
    outer, inner = substitutions(text)
    found = []
    for part in inner:
        found.extend(commands_of(part))
    lexer = shlex.shlex(outer, posix=True, punctuation_chars=";&|()<>")
    lexer.whitespace_split = True
    lexer.commenters = "#"
    try:
        tokens = list(lexer)
    except ValueError as error:
        return found + [("", [f"unreadable shell line ({error}): {text.strip()}"])]
    expect_command = True
    skip_next = False
    current = None
    for token in tokens:
        if skip_next:
            skip_next = False
            continue
        if REDIRECTION.match(token):
            skip_next = True
            continue
        if token in COMMAND_STARTERS:
            expect_command = True
            current = None
            continue
        if expect_command:
            if ASSIGNMENT.match(token) or token in PREFIXES:
                continue
            current = (token, [])
            found.append(current)
            expect_command = False
        elif current is not None:
            current[1].append(token)
    return found


def cli_commands(bin_dir):
    """The commands jt6400-cli's help text lists."""
    help_text = subprocess.run([os.path.join(bin_dir, "jt6400-cli"), "--help"], capture_output=True, text=True,
                               check=True).stdout
    section = help_text.split("Commands:", 1)[1].split("\n\n", 1)[0]
    names = set()
    for line in section.splitlines():
        # "  save FILE    text", "  run, stop    text"
        match = re.match(r"^  (\S.*?)(?:\s{2,}|$)", line)
        if match:
            names.update(name.split()[0] for name in match.group(1).split(",") if name.strip())
    return names


def main():
    readme, source_dir, bin_dir = sys.argv[1:4]
    with open(readme, encoding="utf-8") as f:
        lines = f.read().splitlines()
    faults = []
    shown = []  # (line number, command, arguments)
    for info, start, body in code_blocks(lines, faults):
        if info.split()[0:1] and info.split()[0] in SHELL_INFO:
            for text in logical_lines(body):
                for command, arguments in commands_of(text):
                    shown.append((start, command, arguments))

    system_names = set()
    known_cli = cli_commands(bin_dir)
    for start, command, arguments in shown:
        where = f"block at line {start}"
        if command == "":
            faults.append(f"{where}: {arguments[0]}")
            continue
        name = os.path.basename(command)
        if command.startswith("build/bin/") or command in PROJECT_PROGRAMS:
            program = os.path.join(bin_dir, name)
            if name not in PROJECT_PROGRAMS or not os.access(program, os.X_OK):
                faults.append(f"{where}: {command} is no program of this project")
                continue
            if name == "jt6400-cli":
                values = {"--port", "--log", "--serial"}
                words = []
                skip = False
                for a in arguments:
                    if skip:
                        skip = False
                    elif a in values:
                        skip = True
                    elif not a.startswith("-"):
                        words.append(a)
                if words and words[0] not in known_cli:
                    faults.append(f"{where}: jt6400-cli has no command {words[0]}")
        elif "/" in command:
            path = command if os.path.isabs(command) else os.path.join(source_dir, command)
            if not (os.path.isfile(path) and os.access(path, os.X_OK)):
                faults.append(f"{where}: {command} does not exist or is not executable")
        else:
            system_names.add(command)

    if system_names:
        names = sorted(system_names)
        check = subprocess.run(["bash", "-c", 'for n in "$@"; do type -t -- "$n" >/dev/null || echo "$n"; done', "bash",
                                *names], capture_output=True, text=True)
        for missing in check.stdout.split():
            faults.append(f"the command {missing} that the README shows is not found")

    for fault in faults:
        print(f"{readme}: {fault}")
    print(f"{len(shown)} commands in the README's shell blocks checked, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
