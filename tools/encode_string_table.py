#!/usr/bin/env python3
"""Rewrites string-table files (*.cfg) in another text encoding.

Translators edit tables as UTF-8; the loader also takes UTF-8 with a byte-order
mark and UTF-16LE with a byte-order mark (the form Windows' profile reader
treats as Unicode). The input encoding is detected from the byte-order mark,
so a file can be converted back and forth:

    tools/encode_string_table.py --to utf16le-bom examples/res/ja.cfg
    tools/encode_string_table.py --to utf8 examples/res/ja.cfg
"""
import argparse
import codecs
import sys

ENCODINGS = ("utf8", "utf8-bom", "utf16le-bom")


def decode(data):
    if data.startswith(codecs.BOM_UTF16_LE):
        return data[2:].decode("utf-16-le")
    if data.startswith(codecs.BOM_UTF16_BE):
        return data[2:].decode("utf-16-be")
    if data.startswith(codecs.BOM_UTF8):
        return data[3:].decode("utf-8")
    return data.decode("utf-8")


def encode(text, encoding, crlf):
    lines = text.splitlines()
    text = ("\r\n" if crlf else "\n").join(lines) + ("\r\n" if crlf else "\n")
    if encoding == "utf8":
        return text.encode("utf-8")
    if encoding == "utf8-bom":
        return codecs.BOM_UTF8 + text.encode("utf-8")
    return codecs.BOM_UTF16_LE + text.encode("utf-16-le")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--to", required=True, choices=ENCODINGS, help="the encoding to write")
    parser.add_argument("--crlf", action="store_true", help="end lines with CR LF (default for utf16le-bom)")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    crlf = args.crlf or args.to == "utf16le-bom"
    for path in args.files:
        with open(path, "rb") as source:
            try:
                text = decode(source.read())
            except UnicodeDecodeError as error:
                sys.exit(f"{path}: not UTF-8 or UTF-16 with a byte-order mark ({error})")
        with open(path, "wb") as target:
            target.write(encode(text, args.to, crlf))
    return 0


if __name__ == "__main__":
    sys.exit(main())
