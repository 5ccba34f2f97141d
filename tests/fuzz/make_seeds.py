#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora (corpus/<target>/seed-*), in the input
layout each target reads with FuzzInput: the examples the rules are written
around, as starting points for the fuzzer. Findings are saved beside them under
other names and kept. Run again after changing a target's layout."""

import pathlib
import re
import struct

HERE = pathlib.Path(__file__).resolve().parent
SOURCE = HERE.parent.parent

# The dialog's parameter names in the order the dialog script declares them.
DIALOG_PARAMETERS = re.findall(r'"name":\s*"(\w+)"', (SOURCE / "package/Kelvane.js").read_text())

# The host-owned ranges of a map record, (offset, size): its opaque members.
OPAQUE_RANGES = [(int(offset), int(size)) for offset, size in
                 re.findall(r"unsigned char opaque(\d+)\[(\d+)\];", (SOURCE / "host/nrvmp_record.h").read_text())]


def u16(v):
    return struct.pack("<H", v)


def f32(v):
    return struct.pack("<f", v)


def f64(v):
    return struct.pack("<d", v)


def i32(v):
    return struct.pack("<i", v)


def text(b):
    return u16(len(b)) + b


def write(target, seeds):
    folder = HERE / "corpus" / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.glob("seed-*"):
        old.unlink()
    for name, data in seeds.items():
        (folder / f"seed-{name}").write_bytes(data)


def overlay_count(count):
    """The two bytes that read as this map count."""
    if count < 8:
        return u16(count)
    for raw in range(0x4000, 0xC000):
        if raw % 1001 == count:
            return u16(raw)
    raise ValueError(count)


write("overlay_list", {
    "numbers-and-range": overlay_count(6) + b"1,3-5",
    "all": overlay_count(4) + b"All",
    "all-lower-case": overlay_count(4) + b"all",
    "range-past-count": overlay_count(4) + b"3-5",
    "range-from-zero": overlay_count(3) + b"0-2",
    "bad-range-then-number": overlay_count(3) + b"5-3,1",
    "equal-range": overlay_count(3) + b"2-2",
    "blank-joins-digits": overlay_count(20) + b"1 2",
    "comma-blank": overlay_count(3) + b"1, 2",
    "words-and-blanks": overlay_count(4) + b"maps 1-3",
    "hyphen-comma": overlay_count(6) + b"3-,5",
    "chained-hyphens": overlay_count(8) + b"3-5-7",
    "hyphen-at-end": overlay_count(4) + b"1-",
    "hyphen-then-comma": overlay_count(4) + b"2-,",
    "empty": overlay_count(4),
    "saturating": overlay_count(1000) + b"99999999999-2,4294967297",
    "whole-range": overlay_count(1000) + b"1-1000",
    "no-maps": u16(0) + b"1,2",
    "negative-count": u16(0xC000) + b"1-3",
    "longest": overlay_count(1000) + (b"1," * 256)[:511],
})

# nu: mode 0 (1 + one byte) or 1 (1 + u32); p: mode 0 (a float), 1 (a
# double), 2 (1), 3 (tiny), 4 (near 1); tolerance: 0 (the dialog's 1e-7).
def critical(nu_byte, p_mode, p_bytes, tolerance=b"\x00"):
    return bytes([0, nu_byte - 1]) + bytes([p_mode]) + p_bytes + tolerance


write("critical_t", {
    "nu10-p05": critical(10, 1, f64(0.05)),
    "nu20-p01": critical(20, 1, f64(0.01)),
    "nu100-p001": critical(100, 1, f64(0.001)),
    "nu2-p05": critical(2, 1, f64(0.05)),
    "nu1-p2": critical(1, 1, f64(0.2)),
    "nu1-p05-unreachable": critical(1, 1, f64(0.05)),
    "nu10-p2-unreachable": critical(10, 1, f64(0.2)),
    "dialog-p": critical(20, 0, f32(0.001)),
    "p-one": critical(5, 2, b""),
    "p-half": critical(1, 1, f64(0.5)),
    "tiny-p": critical(3, 3, u16(0) + u16(1000)),
    "near-one": critical(3, 4, u16(0) + b"\x30"),
    "many-degrees": bytes([1]) + struct.pack("<I", 19046) + bytes([0]) + f32(0.075) + b"\x00",
    "coarse-tolerance": critical(10, 1, f64(0.05), b"\xcb"),
})

# Hostile byte (bit 0: unterminated texts; then the number of maps less one),
# per map 112 record bytes and a kind byte (bit 0: t-map, bit 1: degrees of
# freedom 1 + kind % 64, bit 2: overlay from bit 3), then the seventeen
# parameters in dialog order, each a choice byte and its value.
ABSENT = b"\x00"
ON = b"\x02"
OFF = b"\x01"


def integer(v):
    return b"\x08" + i32(v)


def real(v):
    return b"\x0a" + f32(v)


def overlay(b):
    return b"\x02" + text(b)


def maps(count, kind=0x13, unterminated=False):
    head = bytes([(count - 1) << 1 | int(unterminated)])
    record = bytearray(112)
    for offset, width in OPAQUE_RANGES:
        for k in range(width):
            record[offset + k] = 0xA0 + k
    return head + (bytes(record) + bytes([kind])) * count


def parameters(**chosen):
    unknown = set(chosen) - set(DIALOG_PARAMETERS)
    assert not unknown, f"not parameters of the dialog: {unknown}"
    return b"".join(chosen.get(name, ABSENT) for name in DIALOG_PARAMETERS)


write("option_report", {
    "road-of-one-run": maps(4) + parameters(DoSetMin=ON, DoSetMinP=ON, MinP=real(0.001)),
    "nothing-chosen": maps(1) + parameters(),
    "only-p-switch": maps(2) + parameters(DoSetMinP=ON, MinP=real(0.05)),
    "everything": maps(3) + parameters(DoSetMin=ON, Min=real(3), DoSetMax=ON, Max=real(9), DoClusterSize=ON,
                                       ClusterSize=integer(25), DoUseClusterSize=ON, UseCluster=ON,
                                       DoShowPosNegBoth=ON, PNB=integer(0), DoTransparancy=ON,
                                       Trans=real(0.5), DoOverlayMaps=ON, Overlay=b"\x01"),
    "not-a-number-and-infinities": maps(2) + parameters(DoSetMin=ON, Min=b"\x02", DoSetMax=ON, Max=b"\x03",
                                                        DoTransparancy=ON, Trans=b"\x04"),
    "extreme-integers": maps(2) + parameters(DoClusterSize=b"\x06", ClusterSize=b"\x05",
                                             DoShowPosNegBoth=b"\x03", PNB=b"\x06"),
    "longest-list": maps(4) + parameters(DoOverlayMaps=ON, Overlay=overlay(b"1" + b"7" * 510)),
    "list-beyond-511": maps(4) + parameters(DoOverlayMaps=ON, Overlay=overlay(b"2," * 300)),
    "unterminated-list": maps(3, unterminated=True) + parameters(DoOverlayMaps=ON, Overlay=overlay(b"2")),
    "bad-ranges": maps(4) + parameters(DoOverlayMaps=ON, Overlay=overlay(b"5-3,2-2,1")),
    "p-without-t": maps(2, kind=0x01) + parameters(DoSetMin=ON, DoSetMinP=ON, MinP=real(0.01)),
    "exact-t": maps(4) + parameters(DoSetMin=ON, DoSetMinP=ON, MinP=real(0.005), UseExactT=ON),
})

# Flags (bit 0: remove blanks, bit 1: case sensitive), the number of keys,
# each key and its replacement text, then the file's content.
def lines(flags, pairs, content):
    out = bytes([flags, len(pairs)])
    for key, replacement in pairs:
        out += text(key) + text(replacement)
    return out + content


write("line_replacement", {
    "no-keys": lines(0, [], b"a\nb\nc\n"),
    "no-final-break": lines(2, [(b"zzz", b"X")], b"a\nb\nc"),
    "empty-file": lines(0, [(b"k", b"X")], b""),
    "spacing-and-case": lines(1, [(b"setvalue", b"SetValue = 5")], b"# Keep Me  \n  Set Value = 3\nend\n"),
    "first-key-wins": lines(2, [(b"beta", b"B"), (b"alpha", b"A")], b"alpha beta\nbeta\ngamma\n"),
    "empty-key": lines(2, [(b"", b"X")], b"a\nb\n"),
    "blanks-only-key": lines(3, [(b"   ", b"X")], b"a\n\nb"),
    "carriage-returns-and-tabs": lines(3, [(b"a\tb", b"T")], b"a \tb\r\nab\r\n\t\n"),
    "multi-line-replacement": lines(2, [(b"k", b"one\ntwo \t")], b"k\nrest"),
    "high-bytes": lines(0, [(b"caf\xe9", b"X")], b"CAF\xc9\ncaf\xe9 au lait\n"),
})

# A workspace file's text as it is: the examples, and the corners of its reading.
write("workspace_json", {
    **{path.stem: path.read_bytes() for path in sorted((SOURCE / "examples").glob("*.json"))},
    "empty": b"",
    "maps-before-their-capacity": b'{"maps": [{"name": "Faces"}, {}], "mapNameCapacity": 8}',
    "key-twice": b'{"maps": [{"overlay": 1, "overlay": 0}]}',
    "deep": b"[" * 600 + b"]" * 600,
    "number-beyond-double": b'{"maps": [1, {"mapType": 1e400}]}',
    "not-utf8": b'{"description": "\xed\xa0\x80"}',
    "special-floats": b'{"maps": [{"thresholdMin": "NaN:0x7fc00001", "thresholdMax": "-Infinity"}]}',
})
