#!/usr/bin/env python3
"""Reads the resources of a PE file and checks the ones that only a look at the file can check:
the version record, the manifest and the icon.

Usage: check_resources.py <program.exe> [--arch x86|amd64]
Prints one line per difference and exits with 1 when there is any.
"""
import struct
import sys
import xml.etree.ElementTree as ET

RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 14, 16, 24

VERSION_STRINGS = {"FileVersion": "1.2.0.1", "ProductVersion": "1.2.0.1", "FileDescription": "XML Tavrin",
                   "ProductName": "Tavrin"}
FIXED_VERSION = (0x00010000, 0x00000001)  # 1.0.0.1 as most and least significant halves

# Vista, 7, 8, 8.1, 10 and 11: without them the version queries report Windows 8.
SUPPORTED_OS = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}
WINDOWS_SETTINGS = [
    ("dpiAware", "http://schemas.microsoft.com/SMI/2005/WindowsSettings", "true"),
    ("dpiAwareness", "http://schemas.microsoft.com/SMI/2016/WindowsSettings", "PerMonitorV2"),
    ("longPathAware", "http://schemas.microsoft.com/SMI/2016/WindowsSettings", "true"),
]

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


def align4(at):
    return (at + 3) & ~3


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
    # Without it Windows redirects a 32-bit program's writes under protected folders to a private copy.
    level = root.find("{urn:schemas-microsoft-com:asm.v3}trustInfo/{urn:schemas-microsoft-com:asm.v3}security/"
                      "{urn:schemas-microsoft-com:asm.v3}requestedPrivileges/"
                      "{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel")
    expect("manifest requested execution level", None if level is None else level.get("level"), "asInvoker")
    supported = {e.get("Id") for e in root.findall("{urn:schemas-microsoft-com:compatibility.v1}compatibility/"
                                                  "{urn:schemas-microsoft-com:compatibility.v1}application/"
                                                  "{urn:schemas-microsoft-com:compatibility.v1}supportedOS")}
    expect("manifest supported systems", sorted(supported), sorted(SUPPORTED_OS))
    settings = root.find("{urn:schemas-microsoft-com:asm.v3}application/{urn:schemas-microsoft-com:asm.v3}windowsSettings")
    for name, namespace, want in WINDOWS_SETTINGS:
        element = None if settings is None else settings.find(f"{{{namespace}}}{name}")
        expect(f"manifest {name}", None if element is None else element.text, want)


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
    want = {(s, s, 8) for s in (48, 32, 24, 16)} | {(s, s, 32) for s in (16, 20, 24, 32, 40, 48, 64, 256)}
    expect("icon 128 images (width, height, bits)", sorted(images), sorted(want))


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
    check_version(res)
    check_manifest(res, arch)
    check_icon(res)
    for e in errors:
        print(f"FAIL: {e}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
