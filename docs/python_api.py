#!/usr/bin/python3
"""Writes docs/python-api.md, the Python package's reference, from its docstrings.

    .venv/bin/python docs/python_api.py [--check]

Signatures of the compiled classes come from their stub (kinkbench/_core.pyi), whose
types are the ones the arguments accept; everything else is read from the package as
imported. --check writes nothing and exits 1 when the page is not what it would write.
"""

import ast
import inspect
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PAGE = os.path.join(HERE, "python-api.md")
SUBMODULES = ("catalogue", "files", "runlog", "suite", "profiles", "logs", "report")


def _stub_signatures(path):
    """{"Class.member" or "function": (signature text, is_property)} from the stub."""
    tree = ast.parse(open(path, encoding="utf-8").read())
    out = {}

    def signature(node):
        args = ast.unparse(node.args)
        args = re.sub(r"^self(, )?", "", args)
        returns = f" -> {ast.unparse(node.returns)}" if node.returns else ""
        return f"({args}){returns}"

    for node in tree.body:
        if isinstance(node, ast.FunctionDef):
            out[node.name] = (signature(node), False)
        elif isinstance(node, ast.ClassDef):
            for item in node.body:
                if isinstance(item, ast.FunctionDef):
                    prop = any(ast.unparse(d) == "property" for d in item.decorator_list)
                    text = ast.unparse(item.returns) if prop and item.returns else signature(item)
                    out[f"{node.name}.{item.name}"] = (text, prop)
    return out


def _doc(obj):
    text = inspect.getdoc(obj) or ""
    # pybind11 puts the C++ signature first; the stub's is shown instead.
    lines = text.splitlines()
    if lines and re.match(r"^\w+\(.*\)( -> .*)?$", lines[0]):
        text = "\n".join(lines[1:]).strip()
    return text


def _quote(text):
    return "\n".join(("> " + line) if line else ">" for line in text.splitlines()) if text else ""


def _annotation(a):
    if isinstance(a, str):
        return a
    return getattr(a, "__forward_arg__", None) or inspect.formatannotation(a)


def _python_signature(obj):
    """The signature with annotations as written (the modules postpone them, so they are
    strings) and defaults as Python would spell them."""
    try:
        sig = inspect.signature(obj)
    except (TypeError, ValueError):
        return "(...)"
    parts, star = [], False
    for p in sig.parameters.values():
        if p.kind is p.KEYWORD_ONLY and not star:
            parts.append("*")
            star = True
        if p.kind is p.VAR_POSITIONAL:
            star = True
        text = {p.VAR_POSITIONAL: "*", p.VAR_KEYWORD: "**"}.get(p.kind, "") + p.name
        if p.annotation is not p.empty:
            text += f": {_annotation(p.annotation)}"
        if p.default is not p.empty:
            text += (" = " if p.annotation is not p.empty else "=") + repr(p.default)
        parts.append(text)
    ret = "" if sig.return_annotation is sig.empty else f" -> {_annotation(sig.return_annotation)}"
    return f"({', '.join(parts)}){ret}"


# The stub's private aliases, as a reader knows them.
ALIASES = {"_Point": "ArrayLike", "_F64": "ndarray[float64]", "_I64": "ndarray[int64]"}


def _readable(text):
    for alias, name in ALIASES.items():
        text = re.sub(rf"\b{alias}\b", name, text)
    return text


def _fields(cls):
    """NamedTuple fields with their annotation and the comment beside them in the source."""
    comments = {}
    try:
        for line in inspect.getsource(cls).splitlines():
            m = re.match(r"\s+(\w+): [^#]+#\s*(.+)$", line)
            if m:
                comments[m.group(1)] = m.group(2).strip()
    except OSError:
        pass
    rows = []
    for name in cls._fields:
        kind = _annotation(cls.__annotations__.get(name, "")).replace("typing.", "")
        note = f": {comments[name]}" if name in comments else ""
        rows.append(f"- `{name}` ({kind}){note}")
    return rows


def _section(out, title, obj, stubs, stub_name=None):
    stub_name = stub_name or title.split(".")[-1]
    if inspect.isclass(obj):
        out.append(f"### class `{title}`\n")
        compiled = obj.__module__.endswith("._core")
        if not (compiled or issubclass(obj, (tuple, BaseException))):
            out.append(f"`{title}{_python_signature(obj)}`\n")
        if _doc(obj):
            out.append(_quote(_doc(obj)) + "\n")
        if issubclass(obj, tuple) and hasattr(obj, "_fields"):
            out.append("Fields:\n")
            out.extend(_fields(obj))
            out.append("")
        members = [(n, m) for n, m in vars(obj).items()
                   if not n.startswith("_") and (callable(m) or isinstance(m, property)
                                                 or type(m).__name__ == "property")]
        for name, member in members:
            key = f"{stub_name}.{name}"
            if key in stubs:
                text, prop = stubs[key]
                head = f"`{name}`: {text}" if prop else f"`{name}{text}`"
            elif isinstance(member, property):
                ret = inspect.signature(member.fget).return_annotation
                kind = "" if ret is inspect.Signature.empty else f": {_annotation(ret)}"
                head = f"`{name}`{kind} (property)"
            else:
                head = f"`{name}{_python_signature(member)}`"
            doc = _doc(member)
            out.append(f"- {head}" + (f"\n\n{_indent(doc)}\n" if doc else ""))
        out.append("")
    else:
        text = stubs[stub_name][0] if stub_name in stubs else _python_signature(obj)
        out.append(f"### `{title}{text}`\n")
        if _doc(obj):
            out.append(_quote(_doc(obj)) + "\n")


def _indent(text):
    return "\n".join(("  " + line) if line else "" for line in text.splitlines())


def generate():
    import kinkbench

    stubs = _stub_signatures(os.path.join(os.path.dirname(kinkbench.__file__), "_core.pyi"))
    out = [
        "# The Python package `kinkbench`\n",
        "<!-- Written by docs/python_api.py from the package's docstrings; do not edit. -->\n",
        f"Version {kinkbench.__version__} (`kinkbench.__version__`, the project's version).\n",
        _quote(inspect.getdoc(kinkbench)) + "\n",
        "Points are `ArrayLike`: anything numpy turns into a float64 array of n reals, or a "
        "batch of shape (N, n); results are numpy arrays (`ndarray[float64]`, "
        "`ndarray[int64]`).\n",
        "## What `import kinkbench` gives\n",
    ]
    for name in kinkbench.__all__:
        _section(out, f"kinkbench.{name}", getattr(kinkbench, name), stubs)
    for sub in SUBMODULES:
        module = getattr(__import__(f"kinkbench.{sub}"), sub)
        own = [(n, o) for n, o in vars(module).items()
               if not n.startswith("_") and getattr(o, "__module__", None) == module.__name__
               and (inspect.isfunction(o) or inspect.isclass(o))
               and n not in kinkbench.__all__]
        out.append(f"## `kinkbench.{sub}`\n")
        if inspect.getdoc(module):
            out.append(_quote(inspect.getdoc(module)) + "\n")
        for name, obj in own:
            _section(out, f"kinkbench.{sub}.{name}", obj, {})
    text = _readable("\n".join(out))
    text = re.sub(r"\n{3,}", "\n\n", text).rstrip() + "\n"
    return text


def main(argv):
    text = generate()
    if "--check" in argv:
        current = open(PAGE, encoding="utf-8").read() if os.path.exists(PAGE) else ""
        if current != text:
            print("docs/python-api.md is out of date: run docs/python_api.py", file=sys.stderr)
            return 1
        return 0
    with open(PAGE, "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
