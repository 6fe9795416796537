#!/usr/bin/env python3
"""Turns the translation table (one "Chinese<TAB>English" pair per line) into a
C++ array of UTF-8 pairs in file order.

In the table file a backslash starts an escape: \\n line feed, \\t tab,
\\\\ backslash. Empty lines and lines starting with "#" are skipped.
Usage: gen_translations.py <table.tsv> <output.cpp>
"""
import sys


def unescape(field, where):
    out = []
    it = iter(field)
    for ch in it:
        if ch != "\\":
            out.append(ch)
            continue
        nxt = next(it, None)
        if nxt == "n":
            out.append("\n")
        elif nxt == "t":
            out.append("\t")
        elif nxt == "\\":
            out.append("\\")
        else:
            sys.exit(f"{where}: unknown escape \\{nxt}")
    return "".join(out)


def c_literal(text):
    out = ['"']
    for ch in text:
        if ch == "\\":
            out.append("\\\\")
        elif ch == '"':
            out.append('\\"')
        elif ch == "\n":
            out.append("\\n")
        elif ch == "\t":
            out.append("\\t")
        elif ord(ch) < 0x20:
            out.append("\\%03o" % ord(ch))
        elif ch == "?":
            out.append("\\?")  # no trigraph can form
        else:
            out.append(ch)
    out.append('"')
    return "".join(out)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: gen_translations.py <table.tsv> <output.cpp>")
    src, dst = sys.argv[1], sys.argv[2]
    pairs = []
    with open(src, encoding="utf-8") as f:
        for lineno, raw in enumerate(f, 1):
            line = raw.rstrip("\n").rstrip("\r")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 2:
                sys.exit(f"{src}:{lineno}: expected two tab-separated fields, found {len(fields)}")
            where = f"{src}:{lineno}"
            pairs.append((unescape(fields[0], where), unescape(fields[1], where)))
    body = ",\n".join(f"    {{{c_literal(k)}, {c_literal(v)}}}" for k, v in pairs)
    code = (
        "// Generated from the translation table; edit the table, not this file.\n"
        '#include "app/translationtable.h"\n\n'
        "namespace {\n"
        f"const TranslationPair kPairs[] = {{\n{body}\n}};\n"
        "} // namespace\n\n"
        "const TranslationPair* translationTable() { return kPairs; }\n"
        "int translationTableSize() { return int(sizeof(kPairs) / sizeof(kPairs[0])); }\n"
    )
    with open(dst, "w", encoding="utf-8") as f:
        f.write(code)


if __name__ == "__main__":
    main()
