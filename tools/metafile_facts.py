#!/usr/bin/env python3
"""Lists what kind of metafile a file is, for comparing renderers:
    tools/metafile_facts.py FILE...
For an EMF: whether it carries GDI+ records (EMF+ comments), whether their header marks the
picture dual (drawn twice, once in GDI+ records and once in plain GDI records), how many GDI+
records and GetDC records it holds, how many plain GDI records are drawn outside GetDC sections,
raster operations used by its bit-block transfers (SRCPAINT and SRCAND in pairs imitate
see-through bitmaps; "(outside)" marks those outside GetDC sections), and GDI+ images that are
metafiles.
For a WMF: whether it carries an EMF in META_ESCAPE MFCOMMENT records tagged "WMFC", in how many
chunks, whether the chunks are complete and in order, whether the 16-bit words of the WMF sum
whether the chunks' checksum is the one's complement of the XOR of the EMF's 16-bit words,
and the facts of the EMF inside.
One line per file; --json prints the facts as JSON instead. Reads only; standard library only.
"""
import functools
import json
import operator
import signal
import struct
import sys

EMR_HEADER, EMR_EOF, EMR_COMMENT = 1, 14, 70
EMR_BITBLT, EMR_STRETCHBLT, EMR_STRETCHDIBITS = 76, 77, 81
ROP_NAMES = {0x00CC0020: "SRCCOPY", 0x00EE0086: "SRCPAINT", 0x008800C6: "SRCAND",
             0x00660046: "SRCINVERT", 0x00F00021: "PATCOPY", 0x005A0049: "PATINVERT"}
PLUS_HEADER, PLUS_EOF, PLUS_GETDC, PLUS_OBJECT = 0x4001, 0x4002, 0x4004, 0x4008
PLUS_OBJECT_IMAGE = 5
# Clear, the fills and draws of shapes, paths, images and strings: the records that put ink down.
PLUS_DRAWING = set(range(0x4009, 0x401D)) | {0x4036}
PLUS_IMAGE_METAFILE = 2
META_ESCAPE, MFCOMMENT = 0x0626, 0x000F
WMFC = b"WMFC"
PLACEABLE_KEY = 0x9AC6CDD7


def u16(data, at):
    return struct.unpack_from("<H", data, at)[0] if at + 2 <= len(data) else None


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0] if at + 4 <= len(data) else None


def emf_records(data):
    """The records up to the end record; a record that does not fit, or no end record at all,
    ends the list with one "broken" entry."""
    at = 0
    while at + 8 <= len(data):
        kind, size = struct.unpack_from("<II", data, at)
        if size < 8 or size % 4 or at + size > len(data):
            break
        yield (kind, at, data[at:at + size])
        if kind == EMR_EOF:
            return
        at += size
    yield ("broken", at, None)


def plus_records(payload):
    at = 0
    while at + 12 <= len(payload):
        kind, flags, size, data_size = struct.unpack_from("<HHII", payload, at)
        if size < 12 or at + size > len(payload):
            yield ("broken", 0, b"")
            return
        yield (kind, flags, payload[at + 12:at + 12 + min(data_size, size - 12)])
        at += size


def emf_facts(data):
    facts = {"kind": "emf", "ok": False}
    if u32(data, 0) != EMR_HEADER or data[40:44] != b" EMF":
        facts["problem"] = "no EMF header"
        return facts
    facts.update(ok=True, records=0, gdi_drawn=0, plus_records=0, plus_drawing=0, plus_header=False, dual=None,
                 get_dc=0, gdi_in_get_dc=0, rops={}, plus_metafile_images=0, broken=False)
    in_get_dc = False
    for kind, _, record in emf_records(data):
        if kind == "broken":
            facts["broken"] = True
            break
        facts["records"] += 1
        if kind == EMR_COMMENT and len(record) >= 16 and record[12:16] == b"EMF+":
            data_size = u32(record, 8)
            for pkind, pflags, pdata in plus_records(record[16:12 + data_size]):
                if pkind == "broken":
                    facts["broken"] = True
                    break
                facts["plus_records"] += 1
                facts["plus_drawing"] += pkind in PLUS_DRAWING
                in_get_dc = pkind == PLUS_GETDC
                if pkind == PLUS_HEADER:
                    facts["plus_header"] = True
                    facts["dual"] = bool(pflags & 0x0001)
                elif pkind == PLUS_GETDC:
                    facts["get_dc"] += 1
                elif pkind == PLUS_OBJECT and (pflags >> 8) & 0x7F == PLUS_OBJECT_IMAGE:
                    # A continued object starts with its total size before the object itself.
                    body = pdata[4:] if pflags & 0x8000 else pdata
                    if u32(body, 4) == PLUS_IMAGE_METAFILE:
                        facts["plus_metafile_images"] += 1
            continue
        if kind in (EMR_HEADER, EMR_EOF, EMR_COMMENT):
            continue
        if in_get_dc:
            facts["gdi_in_get_dc"] += 1
        else:
            facts["gdi_drawn"] += 1
        rop = None
        if kind in (EMR_BITBLT, EMR_STRETCHBLT):
            rop = u32(record, 40)
        elif kind == EMR_STRETCHDIBITS:
            rop = u32(record, 68)
        if rop is not None:
            name = ROP_NAMES.get(rop, "0x%08X" % rop) + ("" if in_get_dc else "(outside)")
            facts["rops"][name] = facts["rops"].get(name, 0) + 1
    return facts


def wmf_facts(data):
    facts = {"kind": "wmf", "ok": False}
    start = 22 if u32(data, 0) == PLACEABLE_KEY else 0
    header_words = u16(data, start + 2)
    if header_words != 9 or u16(data, start) not in (1, 2):
        facts["problem"] = "no WMF header"
        return facts
    facts.update(ok=True, records=0, broken=True, wmfc_chunks=0, wmfc_declared=None, wmfc_in_order=True,
                 wmfc_complete=False, wmfc_checksum=None, wmfc_checksum_ok=None, embedded=None)
    at = start + 18
    chunks = []
    while at + 6 <= len(data):
        size_words, function = u32(data, at), u16(data, at + 4)
        if size_words < 3 or at + 2 * size_words > len(data):
            break
        facts["records"] += 1
        if function == META_ESCAPE and u16(data, at + 6) == MFCOMMENT:
            count = u16(data, at + 8)
            body = data[at + 10:at + 10 + count]
            if len(body) >= 34 and body[0:4] == WMFC:
                chunk_count, this_size, remaining, total = struct.unpack_from("<IIII", body, 18)
                if not chunks:
                    facts["wmfc_checksum"] = u16(body, 12)
                chunks.append((chunk_count, this_size, remaining, total, body[34:34 + this_size]))
        if function == 0:
            facts["broken"] = False
            break
        at += 2 * size_words
    facts["wmfc_chunks"] = len(chunks)
    if not chunks:
        return facts
    facts["wmfc_declared"] = chunks[0][0]
    assembled = b""
    for chunk_count, this_size, remaining, total, piece in chunks:
        if chunk_count != chunks[0][0] or total != chunks[0][3] or \
                remaining != total - len(assembled) - this_size or len(piece) != this_size:
            facts["wmfc_in_order"] = False
        assembled += piece
    facts["wmfc_complete"] = facts["wmfc_in_order"] and len(chunks) == chunks[0][0] and \
        len(assembled) == chunks[0][3]
    words = struct.unpack("<%dH" % (len(assembled) // 2), assembled[:len(assembled) // 2 * 2])
    expected = ~functools.reduce(operator.xor, words, 0) & 0xFFFF
    facts["wmfc_checksum_expected"] = expected
    facts["wmfc_checksum_ok"] = facts["wmfc_checksum"] == expected
    facts["embedded"] = emf_facts(assembled)
    return facts


def facts_of(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[40:44] == b" EMF":
        return emf_facts(data)
    return wmf_facts(data)


def summary(facts):
    if not facts["ok"]:
        return facts.get("problem", "unreadable")
    if facts["kind"] == "emf":
        if not facts["plus_header"]:
            kind = "GDI only"
        else:
            kind = "EMF+ dual" if facts["dual"] else "EMF+ only"
        rops = ",".join("%s:%d" % item for item in sorted(facts["rops"].items())) or "-"
        text = "%s; %d GDI+ records (%d drawing), %d GetDC, %d GDI records drawn outside GetDC (%d inside); rops %s" % (
            kind, facts["plus_records"], facts["plus_drawing"], facts["get_dc"], facts["gdi_drawn"], facts["gdi_in_get_dc"], rops)
        if facts["plus_metafile_images"]:
            text += "; %d GDI+ metafile images" % facts["plus_metafile_images"]
        return text + ("; BROKEN records" if facts["broken"] else "")
    broken = "; BROKEN records" if facts["broken"] else ""
    if not facts["wmfc_chunks"]:
        return "WMF, no embedded EMF; %d records%s" % (facts["records"], broken)
    checksum = "checksum right" if facts["wmfc_checksum_ok"] else "checksum 0x%04X, not 0x%04X" % (
        facts["wmfc_checksum"], facts["wmfc_checksum_expected"])
    return "WMF carrying an EMF in %d of %d WMFC chunks, %s, %s%s; inside: %s" % (
        facts["wmfc_chunks"], facts["wmfc_declared"],
        "complete" if facts["wmfc_complete"] else "INCOMPLETE or out of order",
        checksum, broken, summary(facts["embedded"]))


def main(args):
    as_json = "--json" in args
    paths = [a for a in args if a != "--json"]
    if not paths:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    for path in paths:
        try:
            facts = facts_of(path)
        except OSError as error:
            facts = {"ok": False, "problem": str(error)}
        if as_json:
            print(json.dumps({"file": path, **facts}))
        else:
            print("%s: %s" % (path.rsplit("/", 1)[-1], summary(facts)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
