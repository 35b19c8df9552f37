#!/usr/bin/env python3
"""Makes the pages of the text-structure regression check.

Writes structure/pageNN.html: random pages of block elements (paragraphs,
lists, definition lists, quotations, preformatted text, headings, rules),
inline formatting, links, images, tables (nested ones too) and forms that
stand outside tables, with no radio button, check box or selected option.
The decks beside them (structure/pageNN.wml) were written by the converter
as it was before block breaks, linearised tables and choices existed; with
BLOCK_BREAKS=false the converter must still write exactly those decks.

Run from this folder: python3 make_structure_pages.py
"""
import os
import random

WORDS = ["wireless", "deck", "card", "phone", "news", "weather", "today",
         "market", "links", "the", "and", "of", "with", "more", "read"]
BLOCKS = ["p", "div", "li", "dt", "dd", "ul", "ol", "dl", "blockquote",
          "address", "h1", "h3", "h6", "center"]
INLINE = ["b", "i", "em", "strong", "small", "span", "u"]


def words(rng, count):
    return " ".join(rng.choice(WORDS) for _ in range(count))


def pre(rng):
    lines = []
    for _ in range(rng.randint(1, 4)):
        indent = " " * rng.choice([0, 0, 1, 2, 4])
        lines.append(indent + words(rng, 2) + rng.choice(["", "  ", "\t"]) + words(rng, 1))
    ending = rng.choice(["\n", "\r\n", ""])
    return "<pre>" + rng.choice(["\n", ""]) + "\n".join(lines) + ending + "</pre>"


def table(rng, depth, nesting=0):
    rows = []
    for _ in range(rng.randint(1, 3)):
        cells = []
        for _ in range(rng.randint(1, 3)):
            content = content_of(rng, depth + 1, 2, True)
            if nesting < 1 and rng.random() < 0.2:
                content += table(rng, depth + 1, nesting + 1)
            cells.append(rng.choice(["<td>", "<th>", "<td colspan=2>"]) + content + "</td>")
        rows.append("<tr>" + "".join(cells) + "</tr>")
    return "<table>" + "".join(rows) + "</table>"


def form(rng):
    return ("<form action=\"/find\">" + words(rng, 1) + ": <input name=q>"
            "<select name=w><option>all<option value=n>news</select>"
            "<textarea name=m>" + words(rng, 2) + "</textarea>"
            "<input type=submit value=Go></form>")


def item(rng, depth, in_table=False):
    roll = rng.random()
    if depth > 3 or roll < 0.3:
        return words(rng, rng.randint(1, 6)) + rng.choice(["", " ", "\n"])
    if roll < 0.45:
        tag = rng.choice(INLINE)
        return "<%s>%s</%s>" % (tag, content_of(rng, depth + 1, 2, in_table), tag)
    if roll < 0.5:
        return "<a href=\"page%d.html\">%s</a>" % (rng.randint(1, 9), words(rng, 2))
    if roll < 0.53:
        return rng.choice(["<br>", "<hr>", "<img src=\"/i/p.gif\">"])
    if roll < 0.57:
        return pre(rng)
    if roll < 0.61:
        return table(rng, depth + 1)
    if roll < 0.63:
        # A form in a table would make it a table of controls.
        return words(rng, 1) if in_table else form(rng)
    tag = rng.choice(BLOCKS)
    return "<%s>%s</%s>" % (tag, content_of(rng, depth + 1, 3, in_table), tag)


def content_of(rng, depth, most, in_table=False):
    return "".join(item(rng, depth, in_table) for _ in range(rng.randint(1, most)))


def page(rng):
    body = content_of(rng, 0, 8)
    if rng.random() < 0.5:
        return body
    return "<html><head><title>%s</title></head><body>%s</body></html>" % (words(rng, 2), body)


def main():
    rng = random.Random(10)
    os.makedirs("structure", exist_ok=True)
    for number in range(40):
        with open("structure/page%02d.html" % number, "w", newline="") as out:
            out.write(page(rng))


if __name__ == "__main__":
    main()
