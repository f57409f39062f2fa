#!/usr/bin/env python3
"""Keeps the SDK's names in step with their one table, src/api/names.md.

The public header, the calidra tool, the Python module and the README each
hold the table's numbers, names and meanings between marker lines that say
"names.md: <region>" and "names.md: end". This script writes those regions
from the table.

    tools/names.py           check: list every region that disagrees, exit 1 if any
    tools/names.py --write   rewrite the regions from the table

Standard library only, so any Python 3.8 or newer runs it.
"""

from __future__ import annotations

import argparse
import json
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
TABLE = ROOT / "src" / "api" / "names.md"


def read_table(path: Path = TABLE) -> dict[str, list[dict[str, str]]]:
    """Each "## section" of the table as a list of rows keyed by column."""
    sections: dict[str, list[dict[str, str]]] = {}
    section = None
    columns: list[str] | None = None
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("## "):
            section = line[3:].strip()
            sections[section] = []
            columns = None
        elif line.startswith("|") and section is not None:
            cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
            if columns is None:
                columns = cells
            elif not all(re.fullmatch(r"-+", cell) for cell in cells):
                if len(cells) != len(columns):
                    raise SystemExit(f"{path}: a row of '{section}' has {len(cells)} cells, not {len(columns)}: {line}")
                sections[section].append(dict(zip(columns, cells)))
    for needed in ("errors", "params", "saves", "records"):
        if not sections.get(needed):
            raise SystemExit(f"{path}: section '{needed}' is missing or empty")
    return sections


def plain(text: str) -> str:
    """A meaning without Markdown backticks, for code comments and strings."""
    return text.replace("`", "")


def c_string(text: str) -> str:
    return '"' + plain(text).replace("\\", "\\\\").replace('"', '\\"') + '"'


def py_string(text: str) -> str:
    return json.dumps(plain(text), ensure_ascii=False)


def defines(rows, prefix: str, key: str, comment: str) -> list[str]:
    width = max(len(f"#define {prefix}{row['name']} {row[key]}") for row in rows)
    lines = []
    for row in rows:
        head = f"#define {prefix}{row['name']} {row[key]}"
        lines.append(f"{head.ljust(width)} /* {plain(row[comment])} */")
    return lines


def header(table) -> str:
    lines = ["/* Error and event codes: the result of Calidra_GetLastError and the lParam of", "   WM_CAMERA_ERROR. */"]
    lines += defines(table["errors"], "ERR_", "code", "meaning")
    lines += ["", "/* Parameter ids of Calidra_GetParam and Calidra_SetParam. */"]
    lines += defines(table["params"], "CALIDRA_PARAM_", "id", "meaning")
    lines += ["", "/* Still types of Calidra_SaveA and Calidra_SaveW. */"]
    lines += defines(table["saves"], "CALIDRA_SAVE_", "type", "content")
    lines += ["", "/* Recording kinds of Calidra_RecA and Calidra_RecW. */"]
    lines += defines(table["records"], "CALIDRA_RECORD_", "kind", "content")
    for line in lines:
        if len(line) > 120:
            raise SystemExit(f"a line of calidra.h would be longer than 120 characters; shorten its text: {line}")
    return "\n".join(lines) + "\n"


def tool_errors(table) -> str:
    return "".join(
        f"    {{ERR_{row['name']}, \"ERR_{row['name']}\", {c_string(row['meaning'])}}},\n" for row in table["errors"]
    )


def number_or_minus_one(text: str) -> str:
    return "-1" if text == "-" else text


def tool_catalog(table) -> str:
    lines = ["constexpr SaveType kSaveTypes[] = {"]
    for row in table["saves"]:
        lines.append(
            f"    {{CALIDRA_SAVE_{row['name']}, \"{row['tool']}\", \"{row['extension']}\", "
            f"{number_or_minus_one(row['bytes'])}, {c_string(row['content'])}}},"
        )
    lines += ["};", "", "constexpr RecordKind kRecordKinds[] = {"]
    for row in table["records"]:
        if row["tool"] == "-":
            continue
        lines.append(
            f"    {{CALIDRA_RECORD_{row['name']}, \"{row['tool']}\", \"{row['extension']}\", {row['frame bytes']}, "
            f"{c_string(row['content'])}}},"
        )
    lines += ["};", "", "constexpr Parameter kParameters[] = {"]
    for row in table["params"]:
        lines.append(
            f"    {{CALIDRA_PARAM_{row['name']}, \"{row['tool']}\", {c_string(row['meaning'])}}},"
        )
    lines.append("};")
    return "\n".join(lines) + "\n"


def python_errors(table) -> str:
    lines = [f"    ERR_{row['name']} = {row['code']}" for row in table["errors"]]
    return "\n".join(lines) + "\n"


def python_meanings(table) -> str:
    lines = ["_MEANINGS = {"]
    lines += [f"    ErrorCode.ERR_{row['name']}: {py_string(row['meaning'])}," for row in table["errors"]]
    lines.append("}")
    return "\n".join(lines) + "\n"


def python_members(rows, key: str) -> str:
    return "".join(
        f"    {row['name']} = {row[key]}  # {plain(row['content'])}\n" for row in rows if row["tool"] != "-"
    )


def python_parameters(table) -> str:
    lines = ["PARAMETERS = {"]
    lines += [f'    "{row["name"].lower()}": {row["id"]},' for row in table["params"]]
    lines.append("}")
    read_only = [int(row["id"]) for row in table["params"] if row["writing"] == "register"]
    if read_only != list(range(read_only[0], read_only[-1] + 1)):
        raise SystemExit("the read-only parameters must be consecutive ids")
    lines.append(f"READ_ONLY_IDS = range({read_only[0]}, {read_only[-1] + 1})")
    return "\n".join(lines) + "\n"


def readme_table(head: list[str], rows: list[list[str]]) -> str:
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    return "\n".join(lines) + "\n"


def thousands(text: str) -> str:
    return f"{int(text):,}" if text.isdigit() else text


def code_name(text: str) -> str:
    return f"`{text}`" if text != "-" else ""


def readme_errors(table) -> str:
    return readme_table(
        ["Code", "Name", "Meaning", "Recorded when"],
        [[r["code"], f"`ERR_{r['name']}`", r["meaning"], r["recorded when"]] for r in table["errors"]],
    )


def readme_params(table) -> str:
    return readme_table(
        ["Id", "C name", "Tool name", "Read gives", "Writing", "Default"],
        [
            [
                r["id"],
                f"`CALIDRA_PARAM_{r['name']}`",
                f"`{r['tool']}`",
                r["meaning"],
                f"writes register {r['id']}" if r["writing"] == "register" else r["writing"],
                r["default"],
            ]
            for r in table["params"]
        ],
    )


def readme_saves(table) -> str:
    return readme_table(
        ["Type", "C name", "Tool name", "File", "Size"],
        [
            [
                r["type"],
                f"`CALIDRA_SAVE_{r['name']}`",
                f"`{r['tool']}`",
                r["content"],
                r["size"],
            ]
            for r in table["saves"]
        ],
    )


def readme_records(table) -> str:
    return readme_table(
        ["Kind", "C name", "Tool name", "File", "Per frame"],
        [
            [
                r["kind"],
                f"`CALIDRA_RECORD_{r['name']}`",
                code_name(r["tool"]),
                r["content"],
                f"{thousands(r['frame bytes'])} bytes" if r["frame bytes"] != "-" else "",
            ]
            for r in table["records"]
        ],
    )


def readme_python_saves(table) -> str:
    return readme_table(
        ["Name", "Number", "File"], [[f"`{r['name'].lower()}`", r["type"], r["content"]] for r in table["saves"]]
    )


def readme_python_records(table) -> str:
    kinds = [f"`{r['name'].lower()}`" for r in table["records"] if r["tool"] != "-"]
    return f"**Recordings.** `cam.record(path, kind)` takes {', '.join(kinds[:-1])} or {kinds[-1]} (`calidra.RecordKind`):\n"


def readme_python_params(table) -> str:
    names = [f"`{r['name'].lower()}`" for r in table["params"]]
    read_only = sum(1 for r in table["params"] if r["writing"] == "register")
    return (
        f"Names: {', '.join(names[:read_only])} (these {read_only} are read-only), {', '.join(names[read_only:])}.\n"
    )


def regions(table) -> dict[Path, dict[str, str]]:
    return {
        ROOT / "include" / "calidra.h": {"constants": header(table)},
        ROOT / "tools" / "calidra" / "ErrorCodes.cpp": {"errors": tool_errors(table)},
        ROOT / "tools" / "calidra" / "Catalog.cpp": {"catalog": tool_catalog(table)},
        ROOT / "python" / "calidra" / "errors.py": {
            "errors": python_errors(table),
            "meanings": python_meanings(table),
        },
        ROOT / "python" / "calidra" / "constants.py": {
            "saves": python_members(table["saves"], "type"),
            "records": python_members(table["records"], "kind"),
        },
        ROOT / "python" / "calidra" / "parameters.py": {"params": python_parameters(table)},
        ROOT / "README.md": {
            "errors": readme_errors(table),
            "params": readme_params(table),
            "saves": readme_saves(table),
            "records": readme_records(table),
            "python-params": readme_python_params(table),
            "python-saves": readme_python_saves(table),
            "python-records": readme_python_records(table),
        },
    }


MARKER = re.compile(r"names\.md: (\S+)")


def rewrite(text: str, wanted: dict[str, str], path: Path) -> str:
    """text with every region replaced; complains of regions missing or unknown."""
    out: list[str] = []
    seen: set[str] = set()
    lines = text.splitlines(keepends=True)
    i = 0
    while i < len(lines):
        line = lines[i]
        match = MARKER.search(line)
        out.append(line)
        i += 1
        if not match or match.group(1) == "end":
            continue
        name = match.group(1)
        if name not in wanted:
            raise SystemExit(f"{path}: unknown region '{name}'")
        while i < len(lines) and MARKER.search(lines[i]) is None:
            i += 1
        if i == len(lines) or MARKER.search(lines[i]).group(1) != "end":
            raise SystemExit(f"{path}: region '{name}' has no end marker")
        out.append(wanted[name])
        seen.add(name)
    missing = set(wanted) - seen
    if missing:
        raise SystemExit(f"{path}: no region {', '.join(sorted(missing))}")
    return "".join(out)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--write", action="store_true", help="rewrite the regions from the table")
    args = parser.parse_args()
    table = read_table()
    stale = []
    for path, wanted in regions(table).items():
        text = path.read_text(encoding="utf-8")
        new = rewrite(text, wanted, path)
        if new != text:
            stale.append(path.relative_to(ROOT))
            if args.write:
                path.write_text(new, encoding="utf-8")
    if stale and not args.write:
        for path in stale:
            print(f"{path}: disagrees with src/api/names.md", file=sys.stderr)
        print("run tools/names.py --write to bring them in step", file=sys.stderr)
        return 1
    for path in stale:
        print(f"rewrote {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
