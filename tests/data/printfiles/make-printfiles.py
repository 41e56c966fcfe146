#!/usr/bin/env python3
"""Writes the .prn fixtures of this folder (Windows-1252 bytes, CR LF line ends unless a case
needs otherwise). The .expected files beside them are written by hand; see README.md.

Run from anywhere: python3 make-printfiles.py
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
CRLF = b"\r\n"
FF = "\f"
VT = "\v"


def enc(s):
    return s.encode("cp1252")


def write(name, lines, end=CRLF, tail=None):
    """lines: list of str; each ends with `end`; `tail` (bytes) replaces the very last line end."""
    data = b"".join(enc(l) + end for l in lines)
    if tail is not None:
        data = data[: -len(end)] + tail
    with open(os.path.join(HERE, name + ".prn"), "wb") as f:
        f.write(data)


def header(page, n=14):
    return ["P%d header %02d" % (page, i) for i in range(1, n + 1)]


def body(page, n, first=1):
    return ["P%d body %02d" % (page, i) for i in range(first, first + n)]


def totals(page, n):
    return ["P%d totals %02d" % (page, i) for i in range(1, n + 1)]


START_ODL = "@VELARIX^01 ORDINE DI LAVORO"
CONTROL_FL2 = "^FL:  2 PC:WS01"

# Two full ODL pages, each with three totals lines and a closing page break. Lines before the
# document start (an "@" line without "^", text, an empty line) are passed over.
write("odl-two-pages",
      ["junk before", "@no caret here", "", START_ODL, CONTROL_FL2, ""]
      + header(1) + body(1, 40) + totals(1, 3) + [FF]
      + header(2) + body(2, 40) + totals(2, 3) + [FF])

# The same without the last page break: the third totals line of page 2 ends the file.
write("odl-no-last-break",
      [START_ODL, CONTROL_FL2, ""]
      + header(1) + body(1, 40) + totals(1, 3) + [FF]
      + header(2) + body(2, 40) + totals(2, 3))

# Page 2 ends early after 12 body lines: fillers complete it and it has no totals.
write("odl-early-end",
      [START_ODL, CONTROL_FL2, ""]
      + header(1) + body(1, 40) + totals(1, 3) + [FF]
      + header(2) + body(2, 12) + [FF])

# One PRE page with 20 body lines; the page break is the last line of the file.
write("pre-early-end-last-line",
      ["@^02", "^FL:  0", ""] + header(1) + body(1, 20) + [FF])

# FOM: a form feed inside the body is an ordinary body line, the page goes on.
write("fom-formfeed-in-body",
      ["@ ^10", "^FL:12", ""] + header(1, 16) + body(1, 12) + [FF + "in body"]
      + body(1, 11, 14) + totals(1, 2) + ["last line"])

# Only an unknown document code (05): nothing is imported.
write("unknown-code",
      ["@^05", "^FL:  3"] + header(1) + body(1, 5))

# "^ 1" trims to "1", no known code; a later start line with a known code is taken; its control
# line does not begin with "^" and is dropped, giving branch 0.
write("unknown-then-known",
      ["@^ 1", "^FL:  3", "", "@X^11Y", "not a control line", ""]
      + header(1) + body(1, 34) + totals(1, 1) + ["end"])

# A second document-start line is ordinary text in the header and body regions, uses up its
# position in the totals region, and is passed over where a page is awaited.
write("second-start-line",
      [START_ODL, "^FL:  1"]
      + header(1)[:5] + ["@^02 inside header"] + header(1)[6:]
      + body(1, 10) + ["@^02 inside body"] + body(1, 29, 12)
      + ["P1 totals 01", "@^02 inside totals", "P1 totals 03", FF, "@^02 awaited", "^ctl"]
      + header(2) + body(2, 40) + ["P2 totals 01", "end"])

# A page break carrying text: the text is the first header line of the next page; a page break
# that is blank is dropped, and an empty line after it is passed over while a line of blanks
# starts the page.
write("page-break-text",
      [START_ODL, "^"]
      + header(1) + body(1, 40) + ["P1 totals 01", FF + "ABC"]
      + header(2)[1:] + body(2, 40) + ["P2 totals 01", FF + "   ", ""]
      + header(3) + body(3, 40) + ["P3 totals 01", FF, "  "]
      + header(4)[1:] + body(4, 40) + [FF])

# The file ends inside the header region of page 2.
write("short-in-header",
      [START_ODL, "^"] + header(1) + body(1, 40) + [FF] + header(2)[:6])

# The file ends with the last header line of page 1.
write("short-last-header-line", [START_ODL, "^"] + header(1))

# Totals regions of 20 lines: positions 1-14 kept, the rest read over; on page 2 position 3
# holds a "^" line and keeps page 1's value; an empty line at position 5 is stored empty.
t2 = totals(2, 20)
t2[2] = "^skipped"
t2[4] = ""
write("totals-merge",
      [START_ODL, "^"] + header(1) + body(1, 40) + totals(1, 20) + [FF]
      + header(2) + body(2, 40) + t2 + [FF])

# Vertical tabs: one is removed from the start of a header line only.
h = header(1)
h[0] = VT + h[0]
h[1] = VT + VT + h[1]
h[2] = "mid" + VT + "dle"
b = body(1, 40)
b[0] = VT + b[0]
write("vertical-tab", [START_ODL, "^"] + h + b + [FF])

# Line ends: a lone LF is an ordinary character, CR alone ends a line like CR LF, and in
# CR LF LF the second LF starts the next line.
with open(os.path.join(HERE, "line-ends.prn"), "wb") as f:
    parts = [b"@^01\r", b"^FL:  4\r\n"]
    parts += [enc(l) + b"\r" for l in header(1)]
    parts += [b"P1 body 01 with\nLF\r", b"P1 body 02\r\n\n", b"P1 body 03\r\n"]
    parts += [enc(l) + b"\r\n" for l in body(1, 37, 4)]
    parts += [b"P1 totals 01\r\n", b"\f\r\n"]
    f.write(b"".join(parts))

# Long lines: a body line is cut to 80 characters, header and totals lines are kept whole;
# trailing blanks and tabs stay.
long = "".join("%d" % (i % 10) for i in range(1, 121))
h = header(1)
h[3] = long
b = body(1, 40)
b[0] = long
b[1] = "tab\there   "
write("long-lines", [START_ODL, "^"] + h + b + [long, "keep  ", FF])

# Control lines: without "FL:" positions 3-5 are read (letters give 0, " 12" gives 12).
write("control-letters", ["@^01", "^XABCDE"] + header(1) + body(1, 40) + [FF])
write("control-no-fl", ["@^02", "^X 12 rest"] + header(1) + body(1, 35) + [FF])

# Windows-1252 text: euro sign, accented letters, and the bytes 0x81 0x8D 0x8F 0x90 0x9D.
h = header(1)
h[0] = "Fattura n. 12 \u2013 Città di Forlì"
b = body(1, 40)
b[0] = "Totale \u20ac 1.234,56 perché è così"
b[1] = "raw " + bytes([0x81, 0x8D, 0x8F, 0x90, 0x9D]).decode("cp1252", errors="ignore")
write("windows-1252", ["@^11", "^FL:  1"] + h + b[:34] + ["Totale documento \u20ac 99,00", "end"])
# Put the five bytes that cp1252 leaves undefined into body line 2 directly.
p = os.path.join(HERE, "windows-1252.prn")
data = open(p, "rb").read().replace(b"raw ", b"raw " + bytes([0x81, 0x8D, 0x8F, 0x90, 0x9D]), 1)
open(p, "wb").write(data)

# The document-start line is the last line: nothing follows, nothing is imported.
write("start-line-last", ["@^01"])

# The line after the header is the last line of the file: it is not a body line.
write("body-is-last-line", ["@^01", "^"] + header(1) + ["only line"])

# NUL bytes are ordinary characters.
with open(os.path.join(HERE, "nul-bytes.prn"), "wb") as f:
    lines = [b"@^01", b"^"] + [enc(l) for l in header(1)]
    lines += [b"NUL\x00inside", b"\x00"] + [enc(l) for l in body(1, 38, 3)] + [b"\f"]
    f.write(b"\r\n".join(lines) + b"\r\n")
