"""What tools/metafile_facts.py says about small metafiles written here, byte by byte."""
import functools
import operator
import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools"))
import metafile_facts as facts  # noqa: E402


def emf_record(kind, body=b""):
    return struct.pack("<II", kind, 8 + len(body)) + body


def plus(kind, flags=0, data=b""):
    return struct.pack("<HHII", kind, flags, 12 + len(data), len(data)) + data


def plus_comment(*records):
    payload = b"EMF+" + b"".join(records)
    return emf_record(facts.EMR_COMMENT, struct.pack("<I", len(payload)) + payload)


def emf(*records):
    header = bytearray(emf_record(facts.EMR_HEADER, bytes(80)))
    header[40:44] = b" EMF"
    return bytes(header) + b"".join(records) + emf_record(facts.EMR_EOF, bytes(12))


def bitblt(rop):
    body = bytearray(92)
    struct.pack_into("<I", body, 32, rop)  # dwRop sits 40 bytes into the record
    return emf_record(facts.EMR_BITBLT, bytes(body))


MOVE_TO = emf_record(27, bytes(8))
SOLID_ARGB = 0x8000


def dual_picture():
    """A GetDC section with a mask pair, then a see-through polygon with its GDI fallback."""
    return emf(
        plus_comment(plus(facts.PLUS_HEADER, 0x0001, bytes(16))),
        plus_comment(plus(0x401E, 0x0009), plus(facts.PLUS_GETDC)),
        MOVE_TO, bitblt(0x00EE0086), bitblt(0x008800C6),
        plus_comment(plus(0x400C, SOLID_ARGB | 0x4000, bytes(8))),
        MOVE_TO, MOVE_TO, MOVE_TO)


def wmf_record(function, params=b""):
    return struct.pack("<IH", (6 + len(params)) // 2, function) + params


def wmfc_chunk(count, piece, remaining, total, checksum):
    body = b"WMFC" + struct.pack("<IIHIIIII", 1, 0x00010000, checksum, 0, count, len(piece),
                                 remaining, total) + piece
    body += b"\0" * (len(body) % 2)
    return wmf_record(facts.META_ESCAPE, struct.pack("<HH", facts.MFCOMMENT, len(body)) + body)


def checksum_of(data):
    words = struct.unpack("<%dH" % (len(data) // 2), data)
    return ~functools.reduce(operator.xor, words, 0) & 0xFFFF


def wmf(records):
    body = b"".join(records) + wmf_record(0)
    return struct.pack("<HHHIHIH", 1, 9, 0x0300, (18 + len(body)) // 2, 0, 0, 0) + body


def wmf_carrying(inner, pieces=3, checksum=None, order=None):
    size = -(-len(inner) // pieces)
    chunks = [inner[i:i + size] for i in range(0, len(inner), size)]
    checksum = checksum_of(inner) if checksum is None else checksum
    records, done = [], 0
    for piece in chunks:
        done += len(piece)
        records.append(wmfc_chunk(len(chunks), piece, len(inner) - done, len(inner), checksum))
    if order:
        records = [records[i] for i in order]
    return wmf(records)


class DualPictures(unittest.TestCase):
    def test_gdi_records_are_told_apart_by_getdc_section(self):
        f = facts.emf_facts(dual_picture())
        self.assertTrue(f["dual"])
        self.assertEqual((f["get_dc"], f["plus_drawing"]), (1, 1))
        self.assertEqual((f["gdi_in_get_dc"], f["gdi_drawn"]), (3, 3))
        self.assertEqual(f["rops"], {"SRCPAINT": 1, "SRCAND": 1})
        self.assertFalse(f["broken"])

    def test_header_without_dual_flag_is_emf_plus_only(self):
        f = facts.emf_facts(emf(plus_comment(plus(facts.PLUS_HEADER, 0, bytes(16)))))
        self.assertIs(f["dual"], False)
        self.assertIn("EMF+ only", facts.summary(f))

    def test_plain_gdi_picture_and_mask_pair_outside_getdc(self):
        f = facts.emf_facts(emf(MOVE_TO, bitblt(0x00EE0086)))
        self.assertIn("GDI only", facts.summary(f))
        self.assertEqual(f["rops"], {"SRCPAINT(outside)": 1})

    def test_metafile_image_object_is_counted_even_when_continued(self):
        image = struct.pack("<II", 0xDBC01002, facts.PLUS_IMAGE_METAFILE)
        whole = plus(facts.PLUS_OBJECT, facts.PLUS_OBJECT_IMAGE << 8, image)
        continued = plus(facts.PLUS_OBJECT, 0x8000 | facts.PLUS_OBJECT_IMAGE << 8,
                         struct.pack("<I", 1000) + image)
        f = facts.emf_facts(emf(plus_comment(whole, continued)))
        self.assertEqual(f["plus_metafile_images"], 2)

    def test_truncated_and_foreign_input_is_reported_not_raised(self):
        picture = dual_picture()
        for cut in range(0, len(picture), 7):
            facts.emf_facts(picture[:cut])
            facts.wmf_facts(picture[:cut])
        self.assertTrue(facts.emf_facts(picture[:len(picture) - 30])["broken"])
        self.assertFalse(facts.emf_facts(picture)["broken"])
        carrying = wmf_carrying(picture)
        self.assertTrue(facts.wmf_facts(carrying[:len(carrying) - 4])["broken"])
        self.assertFalse(facts.wmf_facts(carrying)["broken"])
        self.assertEqual(facts.emf_facts(b"GIF89a" + bytes(100))["problem"], "no EMF header")
        self.assertEqual(facts.wmf_facts(bytes(40))["problem"], "no WMF header")


class EmbeddedEmf(unittest.TestCase):
    def test_chunks_are_joined_into_the_emf_inside(self):
        f = facts.wmf_facts(wmf_carrying(dual_picture(), pieces=3))
        self.assertEqual((f["wmfc_chunks"], f["wmfc_declared"]), (3, 3))
        self.assertTrue(f["wmfc_complete"])
        self.assertTrue(f["wmfc_checksum_ok"])
        self.assertTrue(f["embedded"]["dual"])
        self.assertEqual(f["embedded"]["gdi_in_get_dc"], 3)

    def test_placeable_header_is_passed_over(self):
        placeable = struct.pack("<IHhhhhHIH", facts.PLACEABLE_KEY, 0, 0, 0, 100, 100, 1440, 0, 0)
        f = facts.wmf_facts(placeable + wmf_carrying(dual_picture(), pieces=2))
        self.assertTrue(f["wmfc_complete"])

    def test_out_of_order_or_missing_chunks_are_not_complete(self):
        inner = dual_picture()
        swapped = facts.wmf_facts(wmf_carrying(inner, pieces=3, order=[1, 0, 2]))
        self.assertFalse(swapped["wmfc_in_order"])
        self.assertFalse(swapped["wmfc_complete"])
        missing = facts.wmf_facts(wmf_carrying(inner, pieces=3, order=[0, 1]))
        self.assertTrue(missing["wmfc_in_order"])
        self.assertFalse(missing["wmfc_complete"])

    def test_checksum_one_off_is_reported_with_both_values(self):
        inner = dual_picture()
        wrong = (checksum_of(inner) + 1) & 0xFFFF
        f = facts.wmf_facts(wmf_carrying(inner, checksum=wrong))
        self.assertFalse(f["wmfc_checksum_ok"])
        self.assertIn("checksum 0x%04X, not 0x%04X" % (wrong, checksum_of(inner)), facts.summary(f))

    def test_wmf_without_chunks(self):
        f = facts.wmf_facts(wmf([wmf_record(0x0213, bytes(4))]))
        self.assertEqual((f["records"], f["wmfc_chunks"]), (2, 0))
        self.assertIn("no embedded EMF", facts.summary(f))


if __name__ == "__main__":
    unittest.main()
