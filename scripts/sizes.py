#!/usr/bin/env python3
"""The C++ files and functions of the product that outgrow the house limits.

    sizes.py [--lines N] [--function-lines N] [--all] [ROOT]

Reads the C++ source (.cpp, .h, .cpp.in) below framework/, decoders/, plugins/, tools/ and
python/src of ROOT (default: the folder above this script), test code aside: files named
*_test.cpp and every folder named tests, testing or fuzz. Prints each file of more than N code
lines (350) and each function of more than N lines (70), largest first, then a count of both;
--all prints every file and every function measured. Exits 1 when a file or a function is over
its limit (the test tools.sizes holds the tree to them), 0 otherwise, 2 on a wrong argument.

A code line is a line that is not blank and is not only a comment (// or /* */).

A function is found by matching braces, with comments, string and character literals (raw
strings too) and preprocessor lines set aside: a "{" opened where every enclosing brace is a
namespace's, a class's, a struct's, a union's, an enum's or an extern block's, whose head (the
text since the previous ";", "{" or "}") holds a "(" and, outside parentheses and once operator
names are dropped, no "=" (which would make it an initializer). Its length is the number of
lines from the line of that "{" to the line of the "}" that closes it, both counted, blank
lines and comments included. A function opened and closed on one line is not listed. Lambdas
and local classes count as part of the function around them.
"""
import os
import re
import sys

ROOTS = ("framework", "decoders", "plugins", "tools", os.path.join("python", "src"))
TEST_FOLDERS = {"tests", "testing", "fuzz"}
ENDINGS = (".cpp", ".h", ".cpp.in")
SCOPE_WORDS = re.compile(r"^(?:template\s*<.*>\s*)?(?:namespace|class|struct|union|enum|extern)\b")
OPERATOR = re.compile(r"\boperator\s*(?:\(\)|[^\s(]+)")


def source_files(root):
    """The measured files, as paths relative to root, sorted."""
    found = []
    for top in ROOTS:
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = sorted(d for d in dirs if d not in TEST_FOLDERS)
            for name in files:
                if name.endswith(ENDINGS) and not name.endswith("_test.cpp"):
                    found.append(os.path.relpath(os.path.join(folder, name), root))
    return sorted(found)


def code_only(text):
    """The text with comments, literals' contents and preprocessor lines blanked (line breaks
    kept), and for each line whether it held code."""
    out = []
    has_code = []
    i, n = 0, len(text)
    line_code = False
    at_line_start = True
    while i < n:
        c = text[i]
        if c == "\n":
            out.append(c)
            has_code.append(line_code)
            line_code, at_line_start = False, True
            i += 1
            continue
        if at_line_start and c == "#" :
            # A preprocessor line, continued by a backslash at a line's end.
            line_code = True
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    out.append("\n")
                    has_code.append(True)
                    i += 2
                    continue
                i += 1
            continue
        if c in " \t\r\f\v":
            out.append(c)
            i += 1
            continue
        at_line_start = False
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:end]))
            for _ in range(text.count("\n", i, end)):
                has_code.append(line_code)
                line_code = False
            i = end
            continue
        line_code = True
        raw = re.match(r'(?:u8|[uUL])?R"([^(\s]{0,16})\(', text[i:i + 24])
        if raw and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            close = ")" + raw.group(1) + '"'
            end = text.find(close, i + raw.end())
            end = n if end < 0 else end + len(close)
            for ch in text[i:end]:
                if ch == "\n":
                    out.append("\n")
                    has_code.append(True)
                else:
                    out.append(" ")
            i = end
            continue
        if c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (min(j, n) - i - 1) + (c if j < n and text[j] == c else ""))
            i = j + 1 if j < n and text[j] == c else j
            continue
        out.append(c)
        i += 1
    has_code.append(line_code)
    return "".join(out), has_code


def is_function_head(head):
    head = " ".join(head.split())
    if not head or SCOPE_WORDS.match(head) or "(" not in head:
        return False
    head = OPERATOR.sub("operator", head)
    depth = 0
    for ch in head:
        if ch == "(":
            depth += 1
        elif ch == ")":
            depth -= 1
        elif ch == "=" and depth == 0:
            return False
    return True


def functions(code):
    """(first line, last line) of each function of the blanked code, 1-based."""
    found = []
    stack = []  # per open brace: "scope", "function" or "other", with its line
    head_start = 0
    line = 1
    for i, ch in enumerate(code):
        if ch == "\n":
            line += 1
        elif ch in ";}":
            if ch == "}" and stack:
                kind, opened = stack.pop()
                if kind == "function" and line > opened:
                    found.append((opened, line))
            head_start = i + 1
        elif ch == "{":
            head = code[head_start:i]
            if all(kind == "scope" for kind, _ in stack):
                flat = " ".join(head.split())
                if SCOPE_WORDS.match(flat) and "(" not in flat.split("{")[0].split(":")[0]:
                    kind = "scope"
                elif is_function_head(head):
                    kind = "function"
                else:
                    kind = "other"
            else:
                kind = "other"
            stack.append((kind, line))
            head_start = i + 1
    return found


def main(argv):
    limit, function_limit, everything, root = 350, 70, False, None
    args = list(argv)
    while args:
        word = args.pop(0)
        if word == "--lines" and args:
            limit = int(args.pop(0))
        elif word == "--function-lines" and args:
            function_limit = int(args.pop(0))
        elif word == "--all":
            everything = True
        elif word.startswith("-") or root is not None:
            print(__doc__.strip().splitlines()[2], file=sys.stderr)
            return 2
        else:
            root = word
    root = root or os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    files, funcs = [], []
    for rel in source_files(root):
        with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
            code, has_code = code_only(f.read())
        files.append((sum(has_code), rel))
        lines = code.split("\n")
        for first, last in functions(code):
            name = " ".join(lines[first - 1].split())
            funcs.append((last - first + 1, f"{rel}:{first}", name))
    big_files = [f for f in files if everything or f[0] > limit]
    big_funcs = [f for f in funcs if everything or f[0] > function_limit]
    print(f"files over {limit} code lines:")
    for count, rel in sorted(big_files, key=lambda f: (-f[0], f[1])):
        print(f"  {count:5d}  {rel}")
    print(f"functions over {function_limit} lines:")
    for count, where, name in sorted(big_funcs, key=lambda f: (-f[0], f[1])):
        print(f"  {count:5d}  {where}  {name[:60]}")
    over_files = sum(f[0] > limit for f in files)
    over_funcs = sum(f[0] > function_limit for f in funcs)
    print(f"{len(files)} files read: {over_files} over {limit} code lines, "
          f"{over_funcs} of {len(funcs)} functions over {function_limit} lines")
    return 1 if over_files or over_funcs else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
