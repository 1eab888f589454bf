"""The one-line changes scripts/mutation.py makes to a Python file.

The same kinds as in C++, found from Python's own tokens and syntax tree (so never inside a string
or a comment): a comparison, `and`/`or` or arithmetic operator between blanks turned into its
neighbour, `is`/`is not` and `in`/`not in` (a comparison's, not a `for`'s) turned into each other,
a whole number changed by one, True and False swapped, a `not` dropped, break and continue
swapped, and a statement of one line replaced by `pass`. A statement that first binds a name in
its scope is left alone: without it the code fails on its first use, as a C++ declaration
deleted does not compile.
"""

import ast
import io
import tokenize

BINARY = {
    "<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==",
    "+": "-", "-": "+", "*": "/", "/": "*", "+=": "-=", "-=": "+=",
}
OPENING = {"(": 1, "[": 1, "{": 1, ")": -1, "]": -1, "}": -1}
SCOPES = (ast.Module, ast.FunctionDef, ast.AsyncFunctionDef, ast.ClassDef, ast.Lambda)
STATEMENTS = (ast.Expr, ast.Assign, ast.AugAssign, ast.AnnAssign, ast.Return, ast.Raise,
              ast.Assert, ast.Delete)


def _spaced(line, column, length):
    return (column > 0 and line[column - 1] == " " and column + length < len(line)
            and line[column + length] == " ")


def _token_sites(text, lines):
    found = []
    tokens = [t for t in tokenize.generate_tokens(io.StringIO(text).readline)
              if t.type not in (tokenize.COMMENT, tokenize.NL)]
    depth = 0
    loops = {}  # per bracket depth: the `for`s whose `in` is still to come
    for i, token in enumerate(tokens):
        kind, word, (row, column) = token.type, token.string, token.start
        after = tokens[i + 1] if i + 1 < len(tokens) else None
        before = tokens[i - 1] if i > 0 else None
        line = lines[row - 1]
        if kind == tokenize.NEWLINE:
            depth, loops = 0, {}
        elif kind == tokenize.OP:
            depth += OPENING.get(word, 0)
            if word in BINARY and _spaced(line, column, len(word)):
                found.append((row, column, word, BINARY[word], "operator"))
        elif kind == tokenize.NUMBER and word.isdigit():
            value = int(word)
            found.append((row, column, word, str(value - 1 if value else 1), "number"))
        elif kind != tokenize.NAME:
            continue
        elif word in ("True", "False"):
            found.append((row, column, word, "False" if word == "True" else "True", "boolean"))
        elif word in ("and", "or"):
            found.append((row, column, word, "or" if word == "and" else "and", "operator"))
        elif word in ("break", "continue"):
            found.append((row, column, word, "continue" if word == "break" else "break", "jump"))
        elif word == "for":
            loops[depth] = loops.get(depth, 0) + 1
        elif word == "is":
            if after is not None and after.string == "not" and after.start[0] == row:
                found.append((row, column, line[column:after.end[1]], "is", "operator"))
            else:
                found.append((row, column, "is", "is not", "operator"))
        elif word == "in" and before is not None and before.string == "not":
            pass  # changed as "not in", below
        elif word == "in":
            if loops.get(depth, 0) > 0:
                loops[depth] -= 1  # a loop's or a comprehension's
            else:
                found.append((row, column, "in", "not in", "operator"))
        elif word == "not":
            if after is not None and after.string == "in" and after.start[0] == row:
                found.append((row, column, line[column:after.end[1]], "in", "operator"))
            elif not (before is not None and before.string == "is") and after.start[0] == row:
                found.append((row, column, line[column:after.start[1]], "", "negation"))
    return found


def _first_bindings(tree):
    """The statements that bind a name for the first time in their scope (in source order)."""
    first = set()

    def walk(scope):
        bound = set()
        if isinstance(scope, (ast.FunctionDef, ast.AsyncFunctionDef, ast.Lambda)):
            bound.update(a.arg for a in ast.walk(scope.args) if isinstance(a, ast.arg))
        pending = list(ast.iter_child_nodes(scope))
        body = []
        while pending:
            node = pending.pop()
            if isinstance(node, SCOPES):
                walk(node)
                if not isinstance(node, ast.Lambda):
                    bound.add(node.name)
                continue
            body.append(node)
            pending.extend(ast.iter_child_nodes(node))
        statements = sorted((n for n in body if isinstance(n, ast.stmt)),
                            key=lambda n: (n.lineno, n.col_offset))
        for statement in statements:
            targets = []
            if isinstance(statement, (ast.Assign, ast.AnnAssign)):
                for target in getattr(statement, "targets", [getattr(statement, "target", None)]):
                    targets.extend(n.id for n in ast.walk(target) if isinstance(n, ast.Name))
            elif isinstance(statement, (ast.Import, ast.ImportFrom)):
                targets.extend((a.asname or a.name).split(".")[0] for a in statement.names)
            else:
                # A loop's or a with's names (those of the statements inside come in their turn).
                heads = [getattr(statement, "target", None)]
                heads += [i.optional_vars for i in getattr(statement, "items", [])]
                bound.update(n.id for head in heads if head is not None for n in ast.walk(head)
                             if isinstance(n, ast.Name))
                continue
            if any(t not in bound for t in targets):
                first.add(statement)
            bound.update(targets)

    walk(tree)
    return first


def _deletions(tree, lines):
    found = []
    first = _first_bindings(tree)
    for node in ast.walk(tree):
        if (not isinstance(node, STATEMENTS) or node in first or node.lineno != node.end_lineno
                or (isinstance(node, ast.Expr) and isinstance(node.value, ast.Constant))):
            continue
        line = lines[node.lineno - 1]
        indent = len(line) - len(line.lstrip())
        # The statement is the whole line (byte offsets: the indentation is ASCII).
        if node.col_offset != indent or node.end_col_offset != len(line.rstrip().encode()):
            continue
        found.append((node.lineno, 0, line, line[:indent] + "pass", "deletion"))
    return found


def sites(path):
    """(line number, column, old text, new text, kind) for every change that applies."""
    text = path.read_text()
    lines = text.split("\n")
    tree = ast.parse(text, str(path))
    return sorted(_token_sites(text, lines) + _deletions(tree, lines),
                  key=lambda s: (s[0], s[1], s[4]))


def compiles(text, path):
    try:
        compile(text, str(path), "exec")
    except SyntaxError:
        return False
    return True
