#!/usr/bin/env python3
"""Checks the page breaks of the user manual PDF through its text layer (pdftotext -layout).

  - No line is drawn on two pages: the last lines of a page and the first lines of the next
    page share no line.
  - No page ends with a table's header row or a heading: each stands above what follows it.
  - No command is broken: every line of the manual's code blocks, and every inline code span of
    its text, lies within one line of the PDF.

Usage: check_manual_pdf.py UsrMan.pdf UsrMan.md
"""
import re
import subprocess
import sys


def words(text):
    return " ".join(text.split())


def source_parts(markdown):
    headers, headings, code = set(), set(), []
    lines = markdown.split("\n")
    for i, line in enumerate(lines):
        if line.startswith("#"):
            headings.add(words(line.lstrip("#")))
        elif (line.startswith("|") and i + 1 < len(lines)
              and re.match(r"^\|(\s*:?-+:?\s*\|)+\s*$", lines[i + 1])):
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            headers.add(words(" ".join(cells)))
        elif line.startswith("    ") and line.strip() and (i == 0 or lines[i - 1].strip() == ""
                                                          or lines[i - 1].startswith("    ")):
            code.append(words(line))
    # Inline code spans, also those that run over a line break of the source.
    prose = "\n".join(line for line in lines if not line.startswith("    "))
    code += [words(span) for span in re.findall(r"`([^`]+)`", prose)]
    return headers, headings, code


def main():
    pdf, source = sys.argv[1], sys.argv[2]
    text = subprocess.run(["pdftotext", "-layout", "-enc", "UTF-8", pdf, "-"], check=True,
                          capture_output=True, text=True).stdout
    pages = [[words(line) for line in page.split("\n") if line.strip()]
             for page in text.split("\f")]
    pages = [page for page in pages if page]
    with open(source, encoding="utf-8") as f:
        headers, headings, code = source_parts(f.read())

    failures = []
    if len(pages) < 5:
        failures.append(f"only {len(pages)} pages with text: is the PDF read?")
    for number, (page, following) in enumerate(zip(pages, pages[1:]), start=1):
        repeated = set(page[-3:]) & set(following[:3])
        if repeated:
            failures.append(f"page {number} and {number + 1} both show {sorted(repeated)}")
        last = page[-1]
        if last in headers:
            failures.append(f"page {number} ends with a table's header row: {last!r}")
        if last in headings:
            failures.append(f"page {number} ends with a heading: {last!r}")
    all_lines = [line for page in pages for line in page]
    for command in code:
        if not any(command in line for line in all_lines):
            failures.append(f"a code line is not one line of the PDF: {command!r}")
    if not code or not headers:
        failures.append("no code lines or table headers found in the manual's source")
    for failure in failures:
        print("FAILED: " + failure, file=sys.stderr)
    print(f"{len(pages)} pages, {len(code)} code lines, {len(headers)} table headers checked")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
