#!/usr/bin/env python3
"""Reads the resources of a PE file and checks them against what the program must carry:
dialog templates, strings, the version record, the manifest, the icon and the check-box strip.

Usage: check_resources.py <program.exe> [--arch x86|amd64]
Prints one line per difference and exits with 1 when there is any.
"""
import struct
import sys
import xml.etree.ElementTree as ET

RT_BITMAP, RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 2, 3, 5, 6, 14, 16, 24

WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CLIPSIBLINGS, WS_CLIPCHILDREN, WS_CAPTION, WS_BORDER = 0x04000000, 0x02000000, 0x00C00000, 0x00800000
WS_VSCROLL, WS_SYSMENU, WS_MINIMIZEBOX, WS_GROUP, WS_TABSTOP = 0x00200000, 0x00080000, 0x00020000, 0x00020000, 0x00010000
DS_3DLOOK, DS_SETFONT, DS_MODALFRAME, DS_CONTROL = 0x0004, 0x0040, 0x0080, 0x0400
WS_EX_TRANSPARENT, WS_EX_CONTROLPARENT, WS_EX_STATICEDGE, WS_EX_APPWINDOW = 0x20, 0x10000, 0x20000, 0x40000
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX = 0, 1, 3
ES_LEFT, ES_AUTOHSCROLL = 0, 0x80
SS_LEFT, SS_ICON, SS_NOPREFIX = 0, 3, 0x80
LBS_NOTIFY, LBS_OWNERDRAWFIXED, LBS_HASSTRINGS, LBS_NOINTEGRALHEIGHT = 0x1, 0x10, 0x40, 0x100
TCS_FOCUSNEVER = 0x8000

BUTTON, EDIT, STATIC, LISTBOX = "button", "edit", "static", "listbox"
# A template names a predefined class by its atom or by its name, in any letter case.
CLASS_ATOMS = {0x80: BUTTON, 0x81: EDIT, 0x82: STATIC, 0x83: LISTBOX, 0x84: "scrollbar", 0x85: "combobox"}
VISIBLE_CHILD = WS_CHILD | WS_VISIBLE
FONT = (8, 400, 0, 0, "Tahoma")  # points, weight, italic, charset, face
PAGE_STYLE = VISIBLE_CHILD | DS_CONTROL | DS_SETFONT | DS_3DLOOK
PAGE_EXSTYLE = WS_EX_CONTROLPARENT | WS_EX_TRANSPARENT
CHECK_LIST = (VISIBLE_CHILD | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS
              | LBS_NOINTEGRALHEIGHT)


def page(list_id, extra_style=0):
    return dict(style=PAGE_STYLE | extra_style, exstyle=PAGE_EXSTYLE, rect=(0, 0, 299, 168), caption="",
                controls=[(list_id, LISTBOX, "", CHECK_LIST, 0, (7, 10, 285, 149))])


# id: style, extended style, (x, y, cx, cy), caption; controls as (id, class, text, style, exstyle, rect)
DIALOGS = {
    100: dict(style=WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, exstyle=0,
              rect=(0, 0, 216, 55), caption="About Tavrin", controls=[
                  (0xFFFF, STATIC, 128, VISIBLE_CHILD | SS_ICON, 0, (11, 17, 21, 20)),
                  (0xFFFF, STATIC, "Mirex XML Customization Tool", VISIBLE_CHILD | WS_GROUP | SS_LEFT | SS_NOPREFIX, 0,
                   (40, 14, 119, 8)),
                  (0xFFFF, STATIC, None, VISIBLE_CHILD | WS_GROUP | SS_LEFT, 0, (40, 25, 119, 8)),
                  (1, BUTTON, "OK", VISIBLE_CHILD | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, (159, 7, 50, 15)),
              ]),
    102: dict(style=WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | WS_CLIPCHILDREN
              | WS_CLIPSIBLINGS | DS_SETFONT, exstyle=WS_EX_STATICEDGE | WS_EX_APPWINDOW, rect=(0, 0, 320, 218),
              caption="Corvale IP Phone XML Customization Tool", controls=[
                  (1000, "systabcontrol32", "", VISIBLE_CHILD | WS_GROUP | WS_TABSTOP | TCS_FOCUSNEVER, 0,
                   (7, 7, 306, 186)),
                  (1016, BUTTON, "&Close", VISIBLE_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 0, (263, 197, 50, 14)),
                  (1017, BUTTON, "&Save", VISIBLE_CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, (202, 197, 50, 14)),
                  (1018, BUTTON, "&Enable All", VISIBLE_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 0, (7, 197, 50, 14)),
                  (1019, BUTTON, "&Disable All", VISIBLE_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 0, (68, 197, 50, 14)),
              ]),
    104: page(1006),
    105: page(1012, WS_TABSTOP),
    134: page(1022),
    135: dict(style=PAGE_STYLE, exstyle=PAGE_EXSTYLE, rect=(0, 0, 299, 167), caption="", controls=[
        (1024, BUTTON, "Enable PDF Link", VISIBLE_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX, 0, (21, 52, 66, 10)),
        (1025, EDIT, "", VISIBLE_CHILD | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, 0, (18, 36, 120, 14)),
        (0xFFFF, STATIC, "PDF Link Name", VISIBLE_CHILD | WS_GROUP | SS_LEFT, 0, (22, 25, 90, 8)),
    ]),
}

STRINGS = {101: "&About Tavrin...", 62177: "Uncheck", 62178: "Check", 62179: "Mixed"}
VERSION_STRINGS = {"FileVersion": "1.2.0.1", "ProductVersion": "1.2.0.1", "FileDescription": "XML Tavrin",
                   "ProductName": "Tavrin"}
FIXED_VERSION = (0x00010000, 0x00000001)  # 1.0.0.1 as most and least significant halves

errors = []


def expect(what, got, wanted):
    if got != wanted:
        errors.append(f"{what}: expected {wanted!r}, got {got!r}")


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ executable")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size = struct.unpack_from("<HHIIIH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.rsrc_rva, self.rsrc_size = struct.unpack_from("<II", data, directories + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            _, vsize, va, raw_size, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((va, max(vsize, raw_size), raw))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def resources(self):
        """{(type, name): bytes} of the first language of each resource; ids only, names as strings."""
        if self.rsrc_rva == 0:
            raise ValueError("it has no resources")
        base = self.offset(self.rsrc_rva)
        out = {}

        def entries(table):
            named, ids = struct.unpack_from("<HH", self.data, base + table + 12)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, base + table + 16 + 8 * i)
                if key & 0x80000000:
                    at = base + (key & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, at)[0]
                    key = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield key, target

        for rtype, t in entries(0):
            for name, n in entries(t & 0x7FFFFFFF):
                for _, leaf in entries(n & 0x7FFFFFFF):
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    at = self.offset(rva)
                    out.setdefault((rtype, name), self.data[at:at + size])
        return out


def read_sz(data, at):
    end = at
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def read_sz_or_ord(data, at):
    if data[at:at + 2] == b"\xff\xff":
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    return read_sz(data, at)


def align4(at):
    return (at + 3) & ~3


def parse_dialog(data):
    ver, sig, _, exstyle, style, count, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", data, 0)
    if (ver, sig) != (1, 0xFFFF):
        raise ValueError("not an extended dialog template")
    at = 26
    menu, at = read_sz_or_ord(data, at)
    cls, at = read_sz_or_ord(data, at)
    caption, at = read_sz(data, at)
    font = None
    if style & DS_SETFONT:
        points, weight, italic, charset = struct.unpack_from("<HHBB", data, at)
        face, at = read_sz(data, at + 6)
        font = (points, weight, italic, charset, face)
    controls = []
    for _ in range(count):
        at = align4(at)
        _, cexstyle, cstyle, ccx, ccy, ccw, cch, cid = struct.unpack_from("<IIIhhhhI", data, at)
        at += 24
        ccls, at = read_sz_or_ord(data, at)
        ccls = ccls.lower() if isinstance(ccls, str) else CLASS_ATOMS.get(ccls, ccls)
        text, at = read_sz_or_ord(data, at)
        extra = struct.unpack_from("<H", data, at)[0]
        at += 2 + extra
        controls.append((cid & 0xFFFF, ccls, text, cstyle, cexstyle, (ccx, ccy, ccw, cch)))
    return dict(style=style, exstyle=exstyle, rect=(x, y, cx, cy), caption=caption, menu=menu, cls=cls,
                font=font, controls=controls)


def check_dialogs(res):
    for did, want in DIALOGS.items():
        data = res.get((RT_DIALOG, did))
        if data is None:
            errors.append(f"dialog {did}: missing")
            continue
        got = parse_dialog(data)
        expect(f"dialog {did} style", hex(got["style"]), hex(want["style"]))
        expect(f"dialog {did} extended style", hex(got["exstyle"]), hex(want["exstyle"]))
        expect(f"dialog {did} position and size", got["rect"], want["rect"])
        expect(f"dialog {did} caption", got["caption"], want["caption"])
        expect(f"dialog {did} menu", got["menu"], "")
        expect(f"dialog {did} class", got["cls"], "")
        expect(f"dialog {did} font", got["font"], FONT)
        expect(f"dialog {did} control count", len(got["controls"]), len(want["controls"]))
        for i, (g, w) in enumerate(zip(got["controls"], want["controls"])):
            name = f"dialog {did} control {i} (id {w[0]})"
            expect(f"{name} id", g[0], w[0])
            expect(f"{name} class", g[1], w[1])
            if w[2] is not None:
                expect(f"{name} text", g[2], w[2])
            elif not g[2]:
                errors.append(f"{name} text: expected a rights line, got nothing")
            expect(f"{name} style", hex(g[3]), hex(w[3]))
            expect(f"{name} extended style", hex(g[4]), hex(w[4]))
            expect(f"{name} position and size", g[5], w[5])


def check_strings(res):
    for sid, want in STRINGS.items():
        data = res.get((RT_STRING, sid // 16 + 1))
        if data is None:
            errors.append(f"string {sid}: its block is missing")
            continue
        at = 0
        text = None
        for i in range(16):
            length = struct.unpack_from("<H", data, at)[0]
            if i == sid % 16:
                text = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            at += 2 + 2 * length
        expect(f"string {sid}", text, want)


def parse_version_node(data, at):
    """(key, value bytes, value type, children, end)"""
    length, value_length, vtype = struct.unpack_from("<HHH", data, at)
    end = at + length
    key, p = read_sz(data, at + 6)
    p = align4(p)
    size = value_length * 2 if vtype == 1 else value_length
    value = data[p:p + size]
    p = align4(p + size)
    children = []
    while p < end:
        child = parse_version_node(data, p)
        children.append(child)
        p = align4(child[4])
    return key, value, vtype, children, end


def check_version(res):
    data = res.get((RT_VERSION, 1))
    if data is None:
        errors.append("version record: missing")
        return
    key, fixed, _, children, _ = parse_version_node(data, 0)
    expect("version record key", key, "VS_VERSION_INFO")
    sig, _, fms, fls, pms, pls = struct.unpack_from("<IIIIII", fixed, 0)
    expect("version record signature", hex(sig), hex(0xFEEF04BD))
    expect("fixed file version", (fms, fls), FIXED_VERSION)
    expect("fixed product version", (pms, pls), FIXED_VERSION)
    tables = [c for c in children if c[0] == "StringFileInfo"]
    translations = [c for c in children if c[0] == "VarFileInfo"]
    if not tables or not tables[0][3]:
        errors.append("version record: no string table")
        return
    table = tables[0][3][0]
    values = {}
    for name, value, _, _, _ in table[3]:
        values[name] = value.decode("utf-16-le").rstrip("\0")
    for name, want in VERSION_STRINGS.items():
        expect(f"version string {name}", values.get(name), want)
    if translations and translations[0][3]:
        lang, codepage = struct.unpack_from("<HH", translations[0][3][0][1], 0)
        expect("version translation", f"{lang:04x}{codepage:04x}", table[0].lower())
    else:
        errors.append("version record: no translation")


def check_manifest(res, arch):
    data = res.get((RT_MANIFEST, 1))
    if data is None:
        errors.append("manifest (type 24, id 1): missing")
        return
    ns = {"a": "urn:schemas-microsoft-com:asm.v1"}
    try:
        root = ET.fromstring(data)
    except ET.ParseError as e:
        errors.append(f"manifest: not well-formed: {e}")
        return
    identity = root.find("a:assemblyIdentity", ns)
    if identity is None:
        errors.append("manifest: no assemblyIdentity")
    else:
        expect("manifest identity version", identity.get("version"), "1.0.0.0")
        expect("manifest identity processor", identity.get("processorArchitecture"), arch)
        expect("manifest identity type", identity.get("type"), "win32")
    deps = root.findall("a:dependency/a:dependentAssembly/a:assemblyIdentity", ns)
    controls = [d for d in deps if d.get("name") == "Microsoft.Windows.Common-Controls"]
    if not controls:
        errors.append("manifest: no dependency on Microsoft.Windows.Common-Controls")
        return
    want = {"type": "win32", "version": "6.0.0.0", "processorArchitecture": arch,
            "publicKeyToken": "6595b64144ccf1df", "language": "*"}
    for attr, value in want.items():
        expect(f"manifest common-controls {attr}", controls[0].get(attr), value)


def check_icon(res):
    data = res.get((RT_GROUP_ICON, 128))
    if data is None:
        errors.append("icon 128: missing")
        return
    _, _, count = struct.unpack_from("<HHH", data, 0)
    images = set()
    for i in range(count):
        w, h, _, _, _, bpp, _, _ = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
        images.add((w or 256, h or 256, bpp))
    want = {(s, s, bpp) for s in (48, 32, 24, 16) for bpp in (8, 32)}
    expect("icon 128 images (width, height, bits)", sorted(images), sorted(want))


def check_strip(res):
    data = res.get((RT_BITMAP, 30996))
    if data is None:
        errors.append("bitmap 30996: missing")
        return
    _, w, h, _, bpp, compression = struct.unpack_from("<IiiHHI", data, 0)
    expect("bitmap 30996 (width, height, bits, compression)", (w, h, bpp, compression), (33, 11, 4, 0))


def main():
    args = sys.argv[1:]
    arch = "x86"
    if "--arch" in args:
        i = args.index("--arch")
        arch = args[i + 1]
        del args[i:i + 2]
    if len(args) != 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        with open(args[0], "rb") as f:
            pe = Pe(f.read())
        res = pe.resources()
    except (OSError, ValueError, struct.error) as e:
        print(f"FAIL: cannot read the resources of {args[0]}: {e}")
        return 1
    check_dialogs(res)
    check_strings(res)
    check_version(res)
    check_manifest(res, arch)
    check_icon(res)
    check_strip(res)
    for e in errors:
        print(f"FAIL: {e}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
