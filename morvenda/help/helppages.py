"""Writes the help pages of the programs' windows from the README.

Each section of README.md between "<!-- help: TOPIC -->" and "<!-- /help -->"
becomes HELPDIR/help/TOPIC.htm (the scheduler opens "help/TOPIC.htm" in its
help folder), and each between "<!-- confg help: TOPIC -->" and "<!-- /help -->"
becomes HELPDIR/TOPIC.htm (the configuration editor opens "TOPIC.htm" in the
same folder), so the README and the help pages say the same thing from one
source. "<!-- help: A | B -->" writes the same page under each name
(the tabs of one window share its page). The sections use a small part of Markdown: "## " to "#### " headings,
"- " list items (continued on indented lines), paragraphs and `code`.

usage: helppages.py README.md HELPDIR
"""

import html
import os
import re
import sys


def inline(text):
    return re.sub(r"`([^`]*)`", r"<code>\1</code>", html.escape(text, quote=False))


def page(topic, lines):
    out = ["<!DOCTYPE html>", "<html><head><meta charset=\"utf-8\">",
           "<title>Morvenda - %s</title></head><body>" % html.escape(topic)]
    items, para = [], []

    def flush():
        if para:
            out.append("<p>%s</p>" % inline(" ".join(para)))
            para.clear()
        if items:
            out.append("<ul>")
            out.extend("<li>%s</li>" % inline(" ".join(i)) for i in items)
            out.append("</ul>")
            items.clear()

    for line in lines:
        if re.match(r"#{2,4} ", line):
            flush()
            out.append("<h1>%s</h1>" % inline(line.lstrip("#").strip()))
        elif line.startswith("- "):
            if para:
                flush()
            items.append([line[2:].strip()])
        elif line.startswith("  ") and items and line.strip():
            items[-1].append(line.strip())
        elif not line.strip():
            flush()
        else:
            if items:
                flush()
            para.append(line.strip())
    flush()
    out.append("</body></html>")
    return "\n".join(out) + "\n"


def main():
    readme, helpdir = sys.argv[1], sys.argv[2]
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    found = 0
    for m in re.finditer(r"<!-- (confg )?help: (.+?) -->\n(.*?)<!-- /help -->", text, re.S):
        outdir = helpdir if m.group(1) else os.path.join(helpdir, "help")
        os.makedirs(outdir, exist_ok=True)
        body = m.group(3)
        for topic in (t.strip() for t in m.group(2).split("|")):
            target = os.path.join(outdir, topic + ".htm")
            with open(target + ".tmp", "w", encoding="utf-8") as f:
                f.write(page(topic, body.splitlines()))
            os.replace(target + ".tmp", target)
            found += 1
    if not found:
        sys.exit("no help sections in " + readme)


if __name__ == "__main__":
    main()
