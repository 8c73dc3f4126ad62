#!/usr/bin/env python3
"""Writes the table of wire records for tests/unit/wire_layout_test.cpp.

Reads every packed record (`struct Name { ... };` between `#pragma pack(push, 1)`
and `#pragma pack(pop)`) of the given headers and writes, for each header, a
translation unit wire_layout_<header>.cpp with one row per record naming its
fields in order,

    WIRE_RECORD(DiskStatus, WIRE_FIELD(DiskStatus, port) WIRE_FIELD(DiskStatus, vendor) ...)

(and the rows of the headers it includes, for the records it nests), plus
wire_layout_all.cpp that gathers them. One unit per header: two headers may
use one record name for two different records.

The test fills every field through its own C++ type, so the row carries no
types, sizes or offsets: those are the compiler's on the target under test.
A line inside a record that is not a plain field declaration stops the build
with its file and line, rather than leaving a field out of the table.

    wire_layout_table.py OUT_DIR SOURCE_DIR HEADER...
"""
import re
import sys

STRUCT_OPEN = re.compile(r"^struct (\w+) \{")
STRUCT_CLOSE = re.compile(r"^\};")
# type words (qualified names, templates without spaces), declarators, an optional
# default value; the comment is removed before.
FIELD = re.compile(r"^\s*(?:const\s+)?[A-Za-z_][\w:<>]*\s+(.+?)\s*;$")
DECLARATOR = re.compile(r"^(\w+)\s*((?:\[[^\]]+\])*)\s*(?:=.*|\{.*\})?$")


def strip_comment(line):
    return line.split("//", 1)[0].rstrip()


def records_of(path, shown):
    records = []
    packed = False
    current = None
    pending = ""  # a declaration continued on the next line
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = strip_comment(raw)
            where = f"{shown}:{number}"
            if line.startswith("#pragma pack(push, 1)"):
                packed = True
                continue
            if line.startswith("#pragma pack(pop)"):
                packed = False
                continue
            if current is None:
                m = STRUCT_OPEN.match(line)
                if m and packed:
                    if line.rstrip().endswith("};"):
                        sys.exit(f"{where}: one-line record, write its fields on lines of their own")
                    current = (m.group(1), [])
                continue
            if STRUCT_CLOSE.match(line):
                records.append(current)
                current = None
                continue
            if not line.strip():
                continue
            if not line.endswith(";"):
                pending += line.strip() + " "
                continue
            line, pending = pending + line.strip(), ""
            m = FIELD.match(line)
            if not m:
                sys.exit(f"{where}: not a field declaration the layout table understands: {raw.strip()}")
            for declarator in m.group(1).split(","):
                d = DECLARATOR.match(declarator.strip())
                if not d:
                    sys.exit(f"{where}: not a field declarator: {declarator.strip()}")
                current[1].append(d.group(1))
    if current is not None:
        sys.exit(f"{shown}: record {current[0]} not closed")
    return records


def stem(shown):
    return re.sub(r"[^A-Za-z0-9]", "_", shown)


def macro(name, records):
    rows = []
    for record, fields in records:
        cells = " ".join(f"WIRE_FIELD({record}, {field})" for field in fields)
        rows.append(f"  WIRE_RECORD({record}, {cells})")
    return f"#define {name}(WIRE_RECORD, WIRE_FIELD)" + "".join(" \\\n" + r for r in rows) + "\n"


def write_if_changed(path, text):
    # Written only when it changed, so that nothing is rebuilt for nothing.
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def includes_of(path):
    with open(path, encoding="utf-8") as f:
        return re.findall(r'^#include "([^"]+)"', f.read(), re.M)


def main():
    out_dir, source_dir, headers = sys.argv[1], sys.argv[2].rstrip("/") + "/", sys.argv[3:]
    shown = {h: (h[len(source_dir):] if h.startswith(source_dir) else h) for h in headers}
    by_shown = {shown[h]: h for h in headers}
    records = {shown[h]: records_of(h, shown[h]) for h in headers}
    for name, recs in records.items():
        for record, fields in recs:
            if not fields:
                sys.exit(f"{name}: record {record} has no fields")

    def included(name, seen):
        for inc in includes_of(by_shown[name]):
            if inc in by_shown and inc not in seen:
                seen.append(inc)
                included(inc, seen)
        return seen

    head = "// Written by tests/unit/wire_layout_table.py at build time; do not edit.\n"
    functions = []
    for name in sorted(records):
        function = "wire_layouts_" + stem(name)
        functions.append(function)
        others = [r for inc in included(name, []) for r in records[inc]]
        text = head + f'#include "{name}"\n#include "tests/unit/wire_layout_fill.h"\n\n'
        text += macro("WIRE_RECORDS_OWN", records[name]) + macro("WIRE_RECORDS_INCLUDED", others)
        text += """
namespace {
WIRE_RECORDS_OWN(WIRE_RECORD_DECLARE, WIRE_FIELD_NONE)
WIRE_RECORDS_INCLUDED(WIRE_RECORD_DECLARE, WIRE_FIELD_NONE)
WIRE_RECORDS_OWN(WIRE_RECORD_DEFINE, WIRE_FIELD_VISIT)
WIRE_RECORDS_INCLUDED(WIRE_RECORD_DEFINE, WIRE_FIELD_VISIT)
}  // namespace

namespace nvr::test {
"""
        text += f"void {function}(std::vector<WireLayout>& out) {{\n"
        text += "  WIRE_RECORDS_OWN(WIRE_RECORD_LAYOUT, WIRE_FIELD_NONE)\n  (void)out;\n}\n"
        text += "}  // namespace nvr::test\n"
        write_if_changed(f"{out_dir}/wire_layout_{stem(name)}.cpp", text)
    text = head + '#include "tests/unit/wire_layout_fill.h"\n\nnamespace nvr::test {\n'
    text += "".join(f"void {f}(std::vector<WireLayout>& out);\n" for f in functions)
    text += "\nstd::vector<WireLayout> all_wire_layouts() {\n  std::vector<WireLayout> out;\n"
    text += "".join(f"  {f}(out);\n" for f in functions)
    text += "  return out;\n}\n}  // namespace nvr::test\n"
    write_if_changed(f"{out_dir}/wire_layout_all.cpp", text)


if __name__ == "__main__":
    main()
