#!/usr/bin/env python3
"""Writes xml/XmlStandardForms.cpp: for every code page the engine writes with the system's tables,
what other XML readers read its bytes as. They convert with glibc's iconv under the name the file
declares, so a page's standard form is what iconv reads under every name that the engine takes for
it (xml/XmlCodePages.cpp) and that iconv knows; a byte or code that two such names read differently
belongs to none. A page no such name reaches is written in ASCII alone.

- A single-byte page gets the character iconv reads for each byte from 0x80 (from 0x00 where iconv
  reads an ASCII byte as another character), 0 for none.
- A double-byte page, whose tables are too large to keep twice, gets the codes (a byte, or a lead
  byte times 256 plus a trail byte) that iconv reads as the wider Windows table does, in ranges;
  iconv's table of that Windows code page stands in for the system's.

tests/xml/XmlStandardFormsTest.cpp checks the table against iconv again.

Usage: tools/gen-standard-forms.py > xml/XmlStandardForms.cpp
"""
import ctypes
import os
import re

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The engine's own numbers, as xml/XmlText.h gives them.
ENGINE_NUMBERS = {"kCodePageShiftJis": 0x10000 + 932, "kCodePageGb2312": 0x10000 + 936,
                  "kCodePageBig5": 0x10000 + 950}
# The prefixes that name a code page by its number, as xml/XmlEncoding.cpp reads them, in the
# spellings iconv may know; "ibm" names only the IBM PC pages, below 870.
NUMBER_SPELLINGS = ["windows-{}", "cp{}", "cp-{}", "x-cp{}", "ms{}", "ms-{}", "dos-{}"]
IBM_SPELLINGS = ["ibm{}", "ibm-{}"]

libc = ctypes.CDLL("libc.so.6", use_errno=True)
libc.iconv_open.restype = ctypes.c_void_p
libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
libc.iconv.restype = ctypes.c_size_t
libc.iconv.argtypes = [ctypes.c_void_p] + [ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t)] * 2
FAILED = ctypes.c_size_t(-1).value


def open_decoder(name):
    """A function giving the one character that bytes decode to under name, or None; None when
    iconv does not know the name."""
    handle = libc.iconv_open(b"UTF-32LE", name.encode())
    if handle in (None, FAILED):
        return None
    cache = {}

    def decode(data):
        if data in cache:
            return cache[data]
        libc.iconv(handle, None, None, None, None)
        source = ctypes.create_string_buffer(data, len(data))
        target = ctypes.create_string_buffer(64)
        inp, inLeft = ctypes.c_char_p(ctypes.addressof(source)), ctypes.c_size_t(len(data))
        out, outLeft = ctypes.c_char_p(ctypes.addressof(target)), ctypes.c_size_t(64)
        text = None
        if libc.iconv(handle, ctypes.byref(inp), ctypes.byref(inLeft), ctypes.byref(out),
                      ctypes.byref(outLeft)) != FAILED and not inLeft.value and \
                libc.iconv(handle, None, None, ctypes.byref(out), ctypes.byref(outLeft)) != FAILED:
            text = target.raw[:64 - outLeft.value].decode("utf-32-le")
            text = text if len(text) == 1 else None
        cache[data] = text
        return text
    return decode


def code_pages():
    """(number expression, number, iconv name or None, [names]) of each page written with the
    system's tables that does not hold every character."""
    source = open(os.path.join(ROOT, "xml", "XmlCodePages.cpp"), encoding="utf-8").read()
    table = source[source.index("kCodePages[] = {"):source.index("// clang-format on")]
    entry = re.compile(r'\{(\w+),\s*(\w+),\s*(\d+),\s*("[^"]*"|nullptr),\s*(\d+),\s*(\w+),\s*((?:"[^"]*"\s*)+)\}')
    for number, form, iso, iconv_name, _, complete, names in entry.findall(table):
        if form != "kSystem" or complete == "true":
            continue
        names = " ".join(re.findall(r'"([^"]*)"', names)).split()
        value = ENGINE_NUMBERS.get(number) or int(number)
        if number.isdigit():
            names += [s.format(value) for s in NUMBER_SPELLINGS + (IBM_SPELLINGS if value < 870 else [])]
        if int(iso):
            names.append(f"iso-8859-{iso}")
        yield number, value, None if iconv_name == "nullptr" else iconv_name.strip('"'), names


def known_decoders(names):
    found = {}
    for name in names:
        decode = open_decoder(name)
        if decode:
            found[name] = decode
    return found


def double_byte(proxy):
    return proxy and any(proxy(bytes([lead])) is None and proxy(bytes([lead, 0xA1])) is not None
                         for lead in range(0x80, 0x100))


def single_byte_chars(readers):
    chars = []
    for byte in range(0x100):
        read = {reader(bytes([byte])) for reader in readers}
        chars.append(ord(read.pop()) if len(read) == 1 and None not in read else 0)
    return chars


def double_byte_ranges(proxy, readers):
    def codes():
        for byte in range(0x100):
            yield byte, bytes([byte])
        for lead in range(0x80, 0x100):
            for trail in range(0x100):
                yield lead << 8 | trail, bytes([lead, trail])
    found, run = [], None
    for code, data in codes():
        c = proxy(data)
        if c is not None and all(reader(data) == c for reader in readers):
            run = [code, code] if run is None else [run[0], code]
        elif run:
            found.append(run)
            run = None
    if run:
        found.append(run)
    return found


def main():
    print("""// Generated by tools/gen-standard-forms.py from glibc's iconv tables; do not edit.
// What other readers read the bytes of each code page as, under every name the engine takes for it:
// for a single-byte page the character of each byte (0 for none), for a double-byte page the codes
// they read as the Windows table does (a byte, or a lead byte times 256 plus a trail byte).
#include "XmlInternal.h"
#include "XmlText.h"

#include <iterator>

namespace XmlDetail
{
// clang-format off
constexpr CCodeRange kAsciiCodes[] = {{0x0000, 0x007F}};""")
    rows = []
    for number, value, iconv_name, names in sorted(code_pages(), key=lambda page: page[1]):
        readers = known_decoders(names)
        label = "k" + number[len("kCodePage"):] if number.startswith("k") else f"kPage{value}"
        proxy = open_decoder(iconv_name) if iconv_name else None
        if not readers:
            rows.append(f"    {{{number}, 0x80, nullptr, kAsciiCodes, 1}},")
            continue
        print(f"// {', '.join(readers)}")
        if double_byte(proxy):
            found = double_byte_ranges(proxy, list(readers.values()))
            print(f"constexpr CCodeRange {label}[] = {{")
            for i in range(0, len(found), 6):
                print("    " + " ".join(f"{{0x{a:04X}, 0x{b:04X}}}," for a, b in found[i:i + 6]))
            print("};")
            rows.append(f"    {{{number}, 0x80, nullptr, {label}, std::size({label})}},")
            continue
        chars = single_byte_chars(list(readers.values()))
        first = 0x80 if all(chars[b] == b for b in range(0x80)) else 0
        print(f"constexpr char16_t {label}[] = {{")
        for i in range(first, 0x100, 12):
            print("    " + " ".join(f"0x{c:04X}," for c in chars[i:min(i + 12, 0x100)]))
        print("};")
        rows.append(f"    {{{number}, 0x{first:02X}, {label}, nullptr, 0}},")
    print()
    print("const CStandardForm kStandardForms[] = {")
    print("\n".join(rows))
    print("};")
    print("const std::size_t kStandardFormCount = std::size(kStandardForms);")
    print("// clang-format on")
    print("} // namespace XmlDetail")


main()
