#!/usr/bin/env python3
"""A plain Python converter doing the same kind of work as tavrin-convert, as a yardstick
for the whole-program benchmark: read the CSV export, merge the values of each point in
time into one record, write the XML document with its CRC-16 check value, and take the
SHA-256 digest and an HMAC-SHA256 of it. Standard library only; not byte-exact."""

import binascii
import csv
import hashlib
import hmac
import sys

# Header words of the columns that carry values, and the record attribute each goes to.
VALUE_COLUMNS = (("glucose", "Val"), ("carbohydrates", "Carb"), ("bolus", "Ins1"),
                 ("basal", "Ins2"), ("correction", "Ins3"), ("ketones", "Ket"))


def number_text(text):
    """A German decimal ("80,5") as the document writes it ("80.5"); None if unreadable."""
    text = text.strip().replace(",", ".")
    try:
        value = float(text)
    except ValueError:
        return None
    return str(int(value)) if value == int(value) else repr(value)


def read_records(path):
    records = {}
    with open(path, encoding="cp1252", newline="") as export:
        rows = csv.reader(export, delimiter=";")
        header = [name.lower() for name in next(rows)]
        columns = []
        for word, attribute in VALUE_COLUMNS:
            for index, name in enumerate(header):
                if name.startswith(word):
                    columns.append((index, attribute))
                    break
        for row in rows:
            if len(row) < 2 or len(row[0]) != 10 or len(row[1]) != 5:
                continue
            date = row[0]
            key = (date[6:10] + "-" + date[3:5] + "-" + date[0:2], row[1])
            for index, attribute in columns:
                if index < len(row) and row[index]:
                    value = number_text(row[index])
                    if value is not None:
                        records.setdefault(key, {})[attribute] = value
    return records


def write_document(records):
    lines = ['<?xml version="1.0" encoding="utf-8" ?>', "<IMPORT>", "<BGDATA>"]
    for (date, time), values in sorted(records.items(), reverse=True):
        attributes = "".join(f' {name}="{value}"' for name, value in values.items()
                             if name != "Val")
        lines.append(f'<BG Val="{values.get("Val", "---")}" Dt="{date}" Tm="{time}"'
                     f'{attributes} D="1" />')
    lines += ["</BGDATA>", '<CHECK CRC="0000" />', "</IMPORT>", ""]
    document = "\r\n".join(lines).encode("utf-8")
    crc = binascii.crc_hqx(document, 0xFFFF)
    return document.replace(b'CRC="0000"', b'CRC="%04X"' % crc)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: yardstick_convert.py EXPORT.csv OUTPUT.xml")
    document = write_document(read_records(sys.argv[1]))
    digest = hashlib.sha256(document).hexdigest()
    mac = hmac.new(b"yardstick key", digest.encode() + document, hashlib.sha256).hexdigest()
    with open(sys.argv[2], "wb") as output:
        output.write(document)
    print(digest[:16], mac[:16], len(document), file=sys.stderr)


if __name__ == "__main__":
    main()
