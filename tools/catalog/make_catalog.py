#!/usr/bin/env python3
"""Writes resources/AlgorithmCatalog.xml from tools/catalog/catalog.txt.

The descriptions are written and reviewed in catalog.txt, where paragraphs
can wrap and nothing needs escaping; the XML is what the editor compiles in
and what gets committed. Run from anywhere:

    python3 tools/catalog/make_catalog.py           # rewrite the XML
    python3 tools/catalog/make_catalog.py --check   # exit 1 if it is stale

catalog.txt, line by line:

    # ...                  a comment, ignored
    [AMP]                  starts a section (AMP, DLY, MOD, CAB, in that order)
    @ NAME                 starts an entry
    @ NAME | Long Form     ... whose first line reads "NAME (Long Form)"

Inside an entry, blank lines separate blocks. A block made only of
"CAPTION: text" lines (knob captions, or "Cab simulation:") keeps one line
per knob; any other block is a paragraph, its lines joined with single
blanks, so it wraps in the editor's description box rather than here.

The description is the entry's first line, an empty line, and the blocks
with an empty line between them; every line, the last included, ends with
CR LF. The file's layout (CR LF everywhere, nothing but ASCII, the three
attributes in order, two empty lines after the root's end tag) is what the
editor's tests check; this script checks the same before writing.
"""

import pathlib
import re
import sys

HERE = pathlib.Path (__file__).resolve().parent
SOURCE = HERE / "catalog.txt"
TARGET = HERE.parent.parent / "resources" / "AlgorithmCatalog.xml"

CRLF = "\r\n"

# Section order and entry counts are fixed by the pedals' firmware: the pedals
# report exactly these numbers of algorithms, and the CAB pedal's factory
# volume holds one IR per CAB entry.
SECTIONS = [("AMP", 16), ("DLY", 17), ("MOD", 24), ("CAB", 100)]

# The captions printed above each page's five knobs, in knob order.
KNOBS = {
    "AMP": ["VOL", "BASS", "MIDDLE", "TREBLE", "GAIN"],
    "DLY": ["MIX", "A", "B", "F.BACK", "TIME"],
    "MOD": ["E.LEVEL", "A", "B", "DEPTH", "RATE"],
    "CAB": [],
}

CAB_LINE = "Cab simulation: "
# Capitals, digits, blanks and "+"; the one small letter allowed is the x of
# a speaker arrangement such as 4x12.
NAME_PATTERN = re.compile (r"^(?=.{5,14}$)[A-Z0-9 +]*?( [0-9]+[xX][0-9]+)?$")
SPEAKERS_PATTERN = re.compile (r" [0-9]+[xX][0-9]+$")
LINE_LABEL = re.compile (r"^(?:[A-Z.]+|Cab simulation): ")

MIN_LENGTH = 73
MAX_LENGTH = 802
MAX_BREAKS = 13


def fail (message):
    sys.exit ("make_catalog: " + message)


def read_source():
    sections = []
    entry = None

    for number, raw in enumerate (SOURCE.read_text (encoding="ascii").split ("\n"), 1):
        line = raw.rstrip()

        if line.startswith ("#"):
            continue

        if line.startswith ("[") and line.endswith ("]"):
            sections.append ((line[1:-1], []))
            entry = None
        elif line.startswith ("@ "):
            if not sections:
                fail ("line %d: entry before any section" % number)

            name, _, long_form = line[2:].partition ("|")
            entry = { "name": name.strip(), "long": long_form.strip(), "lines": [] }
            sections[-1][1].append (entry)
        elif entry is not None:
            # Wrapped lines are joined with a blank, which would leave
            # "light- sensitive"; break before a hyphenated word instead.
            if line.endswith ("-"):
                fail ("line %d: do not break a line at a hyphen" % number)

            entry["lines"].append (line)
        elif line:
            fail ("line %d: text outside an entry" % number)

    return sections


def blocks_of (lines):
    blocks, current = [], []

    for line in lines + [""]:
        if line:
            current.append (line)
        elif current:
            blocks.append (current)
            current = []

    return blocks


def description_of (entry):
    title = entry["name"] + (" (" + entry["long"] + ")" if entry["long"] else "")
    out = [title, ""]

    for index, block in enumerate (blocks_of (entry["lines"])):
        if index > 0:
            out.append ("")

        if all (LINE_LABEL.match (line) for line in block):
            out.extend (block)
        else:
            out.append (" ".join (line.strip() for line in block))

    return CRLF.join (out) + CRLF


def check_entry (section, entry, text):
    name = entry["name"]
    where = "%s %s: " % (section, name)

    if not NAME_PATTERN.match (name):
        fail (where + "a name is 5 to 14 capitals, digits, blanks or '+'"
              " (and the x of a speaker arrangement)")

    if section == "CAB" and not SPEAKERS_PATTERN.search (name):
        fail (where + "a CAB name ends with its speakers, such as 4x12")

    if not MIN_LENGTH <= len (text) <= MAX_LENGTH:
        fail (where + "description is %d characters, not %d to %d"
              % (len (text), MIN_LENGTH, MAX_LENGTH))

    if text.count (CRLF) > MAX_BREAKS:
        fail (where + "more than %d line breaks" % MAX_BREAKS)

    lines = text.split (CRLF)

    if section == "AMP" and not any (line.startswith (CAB_LINE) for line in lines):
        fail (where + "an AMP entry names its cab simulation")

    captions = KNOBS[section]

    if captions:
        labels = [line.partition (": ")[0] for line in lines]
        starts = [i for i, label in enumerate (labels) if label == captions[0]]

        if not any (labels[i:i + len (captions)] == captions for i in starts):
            fail (where + "knob block must list " + ", ".join (captions))

    if any (ord (c) > 0x7E or (ord (c) < 0x20 and c not in "\r\n") for c in text):
        fail (where + "description is not plain ASCII")


def escape (text):
    return (text.replace ("&", "&amp;")
                .replace ("\"", "&quot;")
                .replace ("'", "&apos;")
                .replace ("<", "&lt;")
                .replace (">", "&gt;"))


def build():
    sections = read_source()

    if [s for s, _ in sections] != [s for s, _ in SECTIONS]:
        fail ("sections must be " + ", ".join (s for s, _ in SECTIONS))

    out = ["<Tessel>"]

    for (section, entries), (_, count) in zip (sections, SECTIONS):
        if len (entries) != count:
            fail ("%s has %d entries, not %d" % (section, len (entries), count))

        seen = set()
        out.append ("  <%s>" % section)

        for entry in entries:
            if entry["name"].upper() in seen:
                fail ("%s %s: name used twice" % (section, entry["name"]))

            seen.add (entry["name"].upper())
            text = description_of (entry)
            check_entry (section, entry, text)
            out.append ('    <Information name="%s" AlgorithmDescription="%s" AlgorithmVersion="A"/>'
                        % (escape (entry["name"]), escape (text)))

        out.append ("  </%s>" % section)

    out.append ("</Tessel>")
    return (CRLF.join (out) + CRLF + CRLF + CRLF).encode ("ascii")


def main():
    data = build()

    if "--check" in sys.argv[1:]:
        if not TARGET.exists() or TARGET.read_bytes() != data:
            sys.exit ("make_catalog: %s is out of date" % TARGET)
        return

    TARGET.write_bytes (data)
    print ("make_catalog: wrote %s, %d bytes" % (TARGET, len (data)))


if __name__ == "__main__":
    main()
