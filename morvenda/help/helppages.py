"""Writes the help pages of the scheduler's windows from the README.

Each section of README.md between "<!-- help: TOPIC -->" and "<!-- /help -->"
becomes OUTDIR/TOPIC.htm, so the README and the help pages say the same thing
from one source. The sections use a small part of Markdown: "## " headings,
"- " list items (continued on indented lines), paragraphs and `code`.

usage: helppages.py README.md OUTDIR
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
        if line.startswith("## "):
            flush()
            out.append("<h1>%s</h1>" % inline(line[3:].strip()))
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
    readme, outdir = sys.argv[1], sys.argv[2]
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    os.makedirs(outdir, exist_ok=True)
    found = 0
    for m in re.finditer(r"<!-- help: (.+?) -->\n(.*?)<!-- /help -->", text, re.S):
        topic, body = m.group(1).strip(), m.group(2)
        target = os.path.join(outdir, topic + ".htm")
        with open(target + ".tmp", "w", encoding="utf-8") as f:
            f.write(page(topic, body.splitlines()))
        os.replace(target + ".tmp", target)
        found += 1
    if not found:
        sys.exit("no help sections in " + readme)


if __name__ == "__main__":
    main()
