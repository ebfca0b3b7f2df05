#!/usr/bin/env python3
"""Writes the manual pages talvenor(1), talvenor-cli(1) and talvenor-demosites(1)
from README.md, so that the README's command tables and the pages never part.

    man-pages.py README.md OUTDIR VERSION DATE

Each page is a list of README sections ("## Heading") turned into roff:
paragraphs, bullet lists, tables (one .TP entry a row), indented code
blocks and the inline marks `code`, **bold** and [links](...).  The first
code block of a page's main section that starts with the program's name
is its SYNOPSIS.  Pictures are left out.
"""
import re
import sys

PAGES = {
    "talvenor": {
        "name": "find and read serialised Chinese web novels",
        "lead": True,
        "sections": ["The windows", "The store", "The site hosts"],
        "see_also": ["talvenor-cli", "talvenor-demosites"],
    },
    "talvenor-cli": {
        "name": "find and read serialised Chinese web novels from a terminal",
        "lead": True,
        "sections": ["The command line", "The store", "The site hosts"],
        "see_also": ["talvenor", "talvenor-demosites"],
    },
    "talvenor-demosites": {
        "name": "the demo of the novel sites Talvenor reads, on loopback",
        "sections": ["The demo sites"],
        "see_also": ["talvenor", "talvenor-cli"],
    },
}
# A table becomes a section of the page named after its first column.
TABLE_SECTIONS = {"Exit code": "EXIT STATUS", "Command": "COMMANDS"}
# The section a README heading becomes, where not its own name in capitals.
SECTION_NAMES = {"The windows": "DESCRIPTION", "The command line": "DESCRIPTION", "The demo sites": "DESCRIPTION",
                 "The store": "FILES"}


def readme_sections(text):
    """{heading: [lines]} for every "## " heading ("### " stays inside); the
    lines before the first one under ""."""
    sections, current = {"": []}, ""
    for line in text.splitlines():
        if line.startswith("## "):
            current = line[3:].strip()
            sections[current] = []
        else:
            sections[current].append(line)
    return sections


def lead_paragraph(sections):
    """The README's own words on what the program is: the paragraph of its
    opening that starts with "Talvenor "."""
    lines, out = sections[""], []
    for line in lines:
        if out and not line.strip():
            break
        if out or line.startswith("Talvenor "):
            out.append(line)
    return out


def find_section(sections, title):
    for heading, lines in sections.items():
        plain = heading.replace("`", "")
        if plain == title or plain.startswith(title + ":"):
            return lines
    raise SystemExit("man-pages.py: README has no section \"## %s\"" % title)


def escape(text):
    text = text.replace("\\", "\\e")
    return text


def inline(text):
    """Markdown inline marks to roff; the text is escaped first."""
    out, pos = [], 0
    for m in re.finditer(r"`([^`]+)`|\*\*([^*]+)\*\*|!?\[([^\]]*)\]\([^)]*\)", text):
        out.append(escape(text[pos:m.start()]))
        if m.group(1) is not None:
            out.append("\\fB" + escape(m.group(1)).replace("-", "\\-") + "\\fR")
        elif m.group(2) is not None:
            out.append("\\fB" + escape(m.group(2)) + "\\fR")
        else:
            out.append(escape(m.group(3)))
        pos = m.end()
    out.append(escape(text[pos:]))
    return "".join(out)


def text_line(text):
    """One line of running text; a leading . or ' would be a request."""
    line = inline(text.strip())
    return "\\&" + line if line[:1] in (".", "'") else line


def table_cells(line):
    cells = re.split(r"(?<!\\)\|", line.strip().strip("|"))
    return [c.strip().replace("\\|", "|") for c in cells]


def convert(lines, program, synopsis_out):
    """The roff of one README section's lines."""
    out = []
    i = 0
    n = len(lines)
    while i < n:
        line = lines[i]
        if not line.strip() or line.lstrip().startswith("!["):
            i += 1
        elif line.startswith("### "):
            out.append(".SH " + inline(line[4:].strip()).upper())
            i += 1
        elif line.startswith("    "):
            block = []
            while i < n and (lines[i].startswith("    ") or not lines[i].strip()):
                block.append(lines[i][4:])
                i += 1
            while block and not block[-1].strip():
                block.pop()
            first = block[0].split(" ", 1)[0]
            if synopsis_out is not None and not synopsis_out and first.rsplit("/", 1)[-1] == program:
                # A synopsis continued with "\" over several lines is one.
                joined = " ".join(b.strip().rstrip("\\").strip() for b in block)
                synopsis_out.append(program + " " + joined.split(" ", 1)[1])
                # Where the text leads up to it, it stays in the text too.
                if not out:
                    continue
            out += [".PP", ".RS 4", ".nf"]
            out += ["\\&" + escape(b).replace("-", "\\-") for b in block]
            out += [".fi", ".RE"]
        elif line.startswith("|"):
            header = table_cells(line)
            i += 2  # the header and the |---| line
            title = TABLE_SECTIONS.get(header[0])
            out.append(".SH " + title if title else ".PP")
            while i < n and lines[i].startswith("|"):
                cells = table_cells(lines[i])
                out += [".TP", text_line(cells[0]), text_line(" ".join(cells[1:]))]
                i += 1
        elif line.startswith("- "):
            out.append(".IP \\(bu 2")
            out.append(text_line(line[2:]))
            i += 1
            while i < n and lines[i].startswith("  ") and lines[i].strip():
                out.append(text_line(lines[i]))
                i += 1
        else:
            out.append(".PP")
            while i < n and lines[i].strip() and not lines[i].startswith(("|", "- ", "### ", "    ")):
                out.append(text_line(lines[i]))
                i += 1
    return out


def page(program, info, sections, version, date):
    synopsis = []
    body = []
    if info.get("lead"):
        body += [".SH DESCRIPTION", ".PP"] + [text_line(line) for line in lead_paragraph(sections)]
    for k, title in enumerate(info["sections"]):
        lines = find_section(sections, title)
        name = SECTION_NAMES.get(title, title.upper())
        if body[:1] != [".SH " + name]:
            body.append(".SH " + name)
        body += convert(lines, program, synopsis if k == 0 else None)
    if not synopsis:
        raise SystemExit("man-pages.py: no synopsis of %s in README" % program)
    head = [
        '.\\" Written by scripts/man-pages.py from README.md; edit the README.',
        '.TH %s 1 "%s" "Talvenor %s" "User Commands"' % (program.upper(), date, version),
        ".SH NAME",
        "%s \\- %s" % (program.replace("-", "\\-"), info["name"]),
        ".SH SYNOPSIS",
    ]
    # Options are not hyphenated, nor blanks stretched, in a synopsis.
    head += [".nh", ".ad l"] + [synopsis_line(s) for s in synopsis] + [".ad", ".hy"]
    tail = [".SH SEE ALSO", ",\n".join("\\fB%s\\fR(1)" % p.replace("-", "\\-") for p in info["see_also"])]
    return "\n".join(head + body + tail) + "\n"


def synopsis_line(text):
    """The program's name in bold, the rest as it stands; no breaks inside
    a bracketed option."""
    name, _, rest = text.strip().partition(" ")
    rest = escape(rest).replace("-", "\\-")
    rest = re.sub(r"\[[^\]]*\]", lambda m: m.group(0).replace(" ", "\\ "), rest)
    return ".B %s\n%s" % (name.replace("-", "\\-"), rest)


def main():
    if len(sys.argv) != 5:
        raise SystemExit("usage: man-pages.py README.md OUTDIR VERSION DATE")
    readme, outdir, version, date = sys.argv[1:]
    with open(readme, encoding="utf-8") as f:
        sections = readme_sections(f.read())
    for program, info in PAGES.items():
        with open("%s/%s.1" % (outdir, program), "w", encoding="utf-8") as f:
            f.write(page(program, info, sections, version, date))


if __name__ == "__main__":
    main()
