#!/usr/bin/env python3
"""Compares the decks of two builds of the quillmark tool, byte for byte.

Converts every given page (and folders of pages, recursively) plus N
generated pages with both tools and reports each page whose decks differ,
with the first differing bytes. Exit status 0 when every deck is equal.

  bench/compare_decks.py --old OLD/quillmark --new build/quillmark \
      [--config FILE] [--generated 10000] [--seed 1] [--skip-first-line] [--wmlc] [PAGE|FOLDER ...]

--config is passed to both tools (convert --config). --skip-first-line
compares the decks without their XML declaration line. Pages are converted
in batches of --batch (500) pages per run of each tool (convert -o FOLDER/
PAGE...), so 10,000 generated pages take a few seconds; --batch 1 runs the
tools once per page. --wmlc compares the compiled decks (convert --wmlc).
"""
import argparse
import os
import random
import subprocess
import sys
import tempfile

# Fragments of markup, sound and broken, that generated pages are made of.
FRAGMENTS = [
    "<p>", "</p>", "<b>", "</b>", "<i>", "</i>", "<br>", "<br/>", "text ", "more words ", " ", "\r\n",
    "<a href=x.html>", "<a href='page.asp?a=1&amp;b=2'>", "</a>", "<a name=n>", "<img src=a.gif>",
    "<h1>", "</h1>", "<h3>", "</h3>", "<font size=1>", "</font>", "<center>", "</center>", "<hr>",
    "<table>", "<tr>", "<td>", "</td>", "</tr>", "</table>", "<th colspan=2>", "<div>", "</div>",
    "<ul>", "<li>", "</li>", "</ul>", "<form action=/f>", "</form>", "<input name=q>",
    "<input type=submit value=Go>", "<select name=s>", "<option>o", "</select>", "<textarea name=t>",
    "</textarea>", "<title>", "</title>", "<html>", "<body>", "</body>", "</html>", "<!-- c -->",
    "<!-- DEXCL -->", "<!-- /DEXCL -->", "<script>x</script>", "&amp;", "&copy;", "&nbsp;", "<",
    ">", "=", "\"", "'", "<strong>", "</strong>", "<em>", "</em>", "<small>", "<big>",
]


def generated_pages(count, seed):
    chooser = random.Random(seed)
    for index in range(count):
        size = chooser.randint(1, 120)
        yield f"generated-{index}", "".join(chooser.choice(FRAGMENTS) for _ in range(size)).encode()


def given_pages(paths):
    for path in paths:
        if os.path.isdir(path):
            for folder, _, files in os.walk(path):
                for name in sorted(files):
                    if name.endswith((".html", ".htm", ".xhtml")):
                        full = os.path.join(folder, name)
                        with open(full, "rb") as page:
                            yield full, page.read()
        else:
            with open(path, "rb") as page:
                yield path, page.read()


def convert_command(tool, config, wmlc):
    return [tool, "convert"] + (["--config", config] if config else []) + (["--wmlc"] if wmlc else [])


def deck(tool, config, wmlc, page, scratch):
    with open(scratch, "wb") as out:
        out.write(page)
    command = convert_command(tool, config, wmlc) + [scratch]
    return subprocess.run(command, capture_output=True, check=False).stdout


def batch_decks(tool, config, wmlc, pages, folder, tag):
    """The decks of `pages` (name, bytes) from one run of `tool`; None where
    the tool wrote no deck."""
    source = os.path.join(folder, "pages")
    target = os.path.join(folder, tag)
    os.makedirs(source, exist_ok=True)
    os.makedirs(target, exist_ok=True)
    files = []
    for index, (_, page) in enumerate(pages):
        path = os.path.join(source, f"p{index}.html")
        with open(path, "wb") as out:
            out.write(page)
        files.append(path)
    command = convert_command(tool, config, wmlc) + ["-o", target + "/"] + files
    subprocess.run(command, capture_output=True, check=False)
    decks = []
    extension = "wmlc" if wmlc else "wml"
    for index in range(len(pages)):
        path = os.path.join(target, f"p{index}.{extension}")
        if not os.path.exists(path):
            decks.append(None)
            continue
        # A deck cut into parts is compared whole: its parts in order.
        parts = []
        number = 1
        while os.path.exists(path):
            with open(path, "rb") as deck_file:
                parts.append(deck_file.read())
            os.remove(path)
            number += 1
            path = os.path.join(target, f"p{index}-{number}.{extension}")
        decks.append(b"\0".join(parts))
    return decks


def compared_decks(options, pages, folder):
    """(name, old deck, new deck) for every page."""
    if options.batch <= 1:
        scratch = os.path.join(folder, "page.html")
        for name, page in pages:
            yield (name, deck(options.old, options.config, options.wmlc, page, scratch),
                   deck(options.new, options.config, options.wmlc, page, scratch))
        return
    for start in range(0, len(pages), options.batch):
        chunk = pages[start:start + options.batch]
        old = batch_decks(options.old, options.config, options.wmlc, chunk, folder, "old")
        new = batch_decks(options.new, options.config, options.wmlc, chunk, folder, "new")
        for (name, _), was, now in zip(chunk, old, new):
            yield name, was, now


def first_difference(a, b):
    at = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
    return at, a[max(0, at - 40):at + 40], b[max(0, at - 40):at + 40]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--old", required=True)
    parser.add_argument("--new", required=True)
    parser.add_argument("--config")
    parser.add_argument("--generated", type=int, default=0)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--skip-first-line", action="store_true")
    parser.add_argument("--batch", type=int, default=500)
    parser.add_argument("--wmlc", action="store_true")
    parser.add_argument("pages", nargs="*")
    options = parser.parse_args()

    compared = differing = 0
    with tempfile.TemporaryDirectory() as folder:
        pages = list(given_pages(options.pages)) + list(generated_pages(options.generated, options.seed))
        for name, old, new in compared_decks(options, pages, folder):
            if old is None or new is None:
                compared += 1
                if old is not None or new is not None:
                    differing += 1
                    print(f"{name}: only the {'old' if new is None else 'new'} tool wrote a deck")
                continue
            if options.skip_first_line:
                old, new = old.partition(b"\n")[2], new.partition(b"\n")[2]
            compared += 1
            if old == new:
                continue
            differing += 1
            at, was, now = first_difference(old, new)
            print(f"{name}: differs at byte {at}\n  old: {was!r}\n  new: {now!r}")
    print(f"{compared} pages compared, {differing} differ")
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main())
