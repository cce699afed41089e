#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Every seed is made here (or copied from the repository's own test data), so
the corpora can be made again on any machine: python3 fuzz/make_corpus.py.
Seeds are small on purpose; the fuzzer grows its own corpus from them.
"""

import io
import os
import shutil
import struct
import zipfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")
PNGSUITE = os.path.join(ROOT, "tests", "data", "pngsuite")


def write(target, name, data):
    if target == "loader" and len(data) < 64:
        data += bytes(64 - len(data))  # the front door refuses 56 bytes or less
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# ---- zlib streams ----

TEXT = b"The quick brown fox jumps over the lazy dog. " * 6
STREAMS = {
    "stored": zlib.compress(b"stored bytes", 0),
    "fixed": zlib.compress(b"abcabcabcabcabc", 1),
    "dynamic": zlib.compress(TEXT, 9),
    "runs": zlib.compress(b"\0" * 300 + b"\xff" * 40, 9),
    "empty": zlib.compress(b"", 9),
}
SIZES = {"stored": 12, "fixed": 15, "dynamic": len(TEXT), "runs": 340, "empty": 0}


def inflate_seeds():
    for name, stream in STREAMS.items():
        size = SIZES[name]
        for label, room in (("exact", size), ("short", max(0, size - 5)), ("roomy", size + 64)):
            write("inflate", f"{name}-{label}", struct.pack("<HB", room, 0) + stream)
            write("inflate_zlib", f"{name}-{label}", struct.pack("<H", room) + stream)
    # deflate64 on: length symbol 285 with 16 extra bits
    write("inflate", "dynamic-deflate64", struct.pack("<HB", 400, 1) + STREAMS["dynamic"])


# ---- GIF ----

def lzw_encode(indices, min_code_size):
    """A plain GIF LZW encoder (variable width, clear when the table is full)."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    codes = []
    width = min_code_size + 1
    table = {bytes([i]): i for i in range(clear)}
    next_code = end + 1
    out_bits, nbits, out = 0, 0, bytearray()

    def emit(code):
        nonlocal out_bits, nbits
        out_bits |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(out_bits & 0xFF)
            out_bits >>= 8
            nbits -= 8

    emit(clear)
    prefix = b""
    for i in indices:
        s = prefix + bytes([i])
        if s in table:
            prefix = s
            continue
        emit(table[prefix])
        if next_code < 4096:
            table[s] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear)
            table = {bytes([k]): k for k in range(clear)}
            next_code = end + 1
            width = min_code_size + 1
        prefix = bytes([i])
    if prefix:
        emit(table[prefix])
    emit(end)
    if nbits:
        out.append(out_bits & 0xFF)
    return bytes(out)


def sub_blocks(data):
    out = bytearray()
    for at in range(0, len(data), 255):
        chunk = data[at:at + 255]
        out += bytes([len(chunk)]) + chunk
    return bytes(out) + b"\0"


def gif(width, height, colours, indices, version=b"89a", local=False, transparent=None, interlace=False,
        extensions=b""):
    size_code = max(0, (colours - 1).bit_length() - 1)
    table = b"".join(bytes([(i * 37) & 255, (255 - i * 11) & 255, (i * 73) & 255]) for i in range(2 << size_code))
    head = b"GIF" + version + struct.pack("<HH", width, height)
    head += bytes([0 if local else 0x80 | size_code, 0, 0]) + (b"" if local else table)
    body = extensions
    if transparent is not None:
        body += b"\x21\xF9\x04\x01\x00\x00" + bytes([transparent]) + b"\x00"
    flags = (0x80 | size_code if local else 0) | (0x40 if interlace else 0)
    body += b"," + struct.pack("<HHHH", 0, 0, width, height) + bytes([flags]) + (table if local else b"")
    rows = list(range(height))
    if interlace:
        rows = [y for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)) for y in range(start, height, step)]
    stored = [indices[y * width + x] for y in rows for x in range(width)]
    min_code = max(2, size_code + 1)
    body += bytes([min_code]) + sub_blocks(lzw_encode(stored, min_code))
    return head + body + b";"


def gif_seeds():
    pattern = [(x * 3 + y * 5) % 4 for y in range(9) for x in range(11)]
    noise = [(i * 7919 + i // 13) % 16 for i in range(20 * 14)]
    seeds = {
        "plain": gif(11, 9, 4, pattern),
        "gif87a": gif(11, 9, 4, pattern, version=b"87a"),
        "local-table": gif(11, 9, 4, pattern, local=True),
        "transparent": gif(11, 9, 4, pattern, transparent=2),
        "interlaced": gif(20, 14, 16, noise, interlace=True),
        "extensions": gif(11, 9, 4, pattern, transparent=1,
                          extensions=b"\x21\xFF\x0bNETSCAPE2.0\x03\x01\x00\x00\x00" + b"\x21\xFE\x02hi\x00"),
    }
    for name, data in seeds.items():
        write("gif", name, data)
        write("loader", "gif-" + name, data)
    # The LZW decoder alone: code size, output size, codes.
    for name, (indices, colours) in {"pattern": (pattern, 4), "noise": (noise, 16)}.items():
        size_code = max(2, (colours - 1).bit_length())
        data = lzw_encode(indices, size_code)
        write("gif_lzw", name, bytes([size_code]) + struct.pack("<H", len(indices)) + data)
        write("gif_lzw", name + "-short", bytes([size_code]) + struct.pack("<H", len(indices) // 2) + data)


# ---- BMP and the platform loader's formats ----

def bmp(width, height, bits, pixels, palette=b"", compression=0, masks=b""):
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(pixels), 2835, 2835,
                         len(palette) // 4, 0)
    offset = 14 + len(header) + len(masks) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + masks + palette + pixels


def rows(width, height, bits, value):
    stride = (width * bits + 31) // 32 * 4
    return b"".join(bytes((value(x, y) & 255 for x in range(stride))) for y in range(height))


def bmp_seeds():
    grey = b"".join(bytes([i, i, i, 0]) for i in range(0, 256, 16))
    seeds = {
        "32bpp-alpha": bmp(5, 4, 32, bytes((i * 13) & 255 for i in range(5 * 4 * 4))),
        "32bpp-top-down": bmp(5, -4, 32, bytes((i * 29) & 255 for i in range(5 * 4 * 4))),
        "24bpp": bmp(7, 3, 24, rows(7, 3, 24, lambda x, y: (x * 31 + y) & 255)),
        "8bpp": bmp(6, 4, 8, rows(6, 4, 8, lambda x, y: (x + y) % 16), grey),
        "4bpp": bmp(9, 3, 4, rows(9, 3, 4, lambda x, y: 0x12 * (x % 8)), grey),
        "1bpp": bmp(17, 2, 1, rows(17, 2, 1, lambda x, y: 0xA5), b"\0\0\0\0\xff\xff\xff\0"),
        "16bpp-bitfields": bmp(4, 2, 16, rows(4, 2, 16, lambda x, y: x * 40), masks=struct.pack("<III", 0xF800, 0x07E0, 0x001F),
                               compression=3),
        "rle8": bmp(4, 2, 8, bytes([4, 1, 0, 0, 2, 3, 2, 5, 0, 1]), grey, compression=1),
        "os2-header": b"BM" + struct.pack("<IHHI", 26 + 6 + 8, 0, 0, 32) + struct.pack("<IHHHH", 12, 2, 2, 1, 1)
                      + b"\0\0\0\xff\xff\xff" + b"\x80\0\0\0\x40\0\0\0",
        "pgm": b"P5\n4 3\n255\n" + bytes(range(0, 240, 20)),
        "ppm": b"P3\n2 2\n255\n255 0 0 0 255 0\n0 0 255 255 255 255\n",
        "xbm": b"#define s_width 8\n#define s_height 2\nstatic char s_bits[] = { 0x81, 0x7e };\n",
        "xpm": b'/* XPM */\nstatic char *s[] = {\n"3 2 2 1",\n"a c #ff0000",\n"b c None",\n"aba",\n"bab"};\n',
    }
    for name, data in seeds.items():
        write("bmp", name, data)
        write("loader", "bmp-" + name, data)


# ---- ICO and CUR ----

def png_file(width, height):
    raw = b"".join(b"\0" + bytes((x * 40 + y * 9) & 255 for x in range(width * 4)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def ico(entries, kind=1):
    """entries: (width, height, bits, data) with data a DIB (header, table, pixels, mask) or a PNG."""
    out = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    body = b""
    for width, height, bits, data in entries:
        out += struct.pack("<BBBBHHII", width & 255, height & 255, 0, 0, 1, bits, len(data), offset + len(body))
        body += data
    return out + body


def dib_entry(width, height, bits, palette=b""):
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    colour = rows(width, height, bits, lambda x, y: (x * 17 + y * 3) & 255)
    mask = rows(width, height, 1, lambda x, y: 0x0F if y % 2 else 0)
    return header + palette + colour + mask


def ico_seeds():
    palette16 = b"".join(bytes([i * 16, 255 - i * 16, i * 8, 0]) for i in range(16))
    seeds = {
        "32bpp": ico([(16, 16, 32, dib_entry(16, 16, 32))]),
        "4bpp-and-8bpp": ico([(8, 8, 4, dib_entry(8, 8, 4, palette16)),
                              (16, 16, 8, dib_entry(16, 16, 8, palette16 * 16))]),
        "1bpp": ico([(16, 16, 1, dib_entry(16, 16, 1, b"\0\0\0\0\xff\xff\xff\0"))]),
        "png-entry": ico([(16, 16, 32, png_file(16, 16)), (8, 8, 32, dib_entry(8, 8, 32))]),
        "cursor": ico([(16, 16, 32, dib_entry(16, 16, 32))], kind=2),
    }
    for name, data in seeds.items():
        write("ico", name, data)
        write("loader", "ico-" + name, data)


# ---- PNG ----

PNG_SEEDS = ["basn0g01.png", "basn0g16.png", "basn2c08.png", "basn3p04.png", "basn4a08.png", "basn6a16.png",
             "basi0g08.png", "basi3p02.png", "tbrn2c08.png", "tbbn3p08.png", "f02n2c08.png", "f04n0g08.png",
             "s01i3p01.png", "s07n3p02.png"]


def png_seeds():
    for name in PNG_SEEDS:
        path = os.path.join(PNGSUITE, name)
        if not os.path.exists(path):
            continue
        for target in ("png", "png_nozlib"):
            write(target, name, open(path, "rb").read())
    for name in PNG_SEEDS[:4]:
        path = os.path.join(PNGSUITE, name)
        if os.path.exists(path):
            write("loader", "png-" + name, open(path, "rb").read())


# ---- CSV and design data ----

def text_seeds():
    csv = {
        "plain.csv": "user_name,user_number,isluck\n张三,1001,否\n李四,1002,是\n",
        "quoted.csv": 'user_number,user_name\r\n"2001","王, ""小"" 五"\r\n"2002","多\n行"\r\n',
        "two-columns.csv": "USER_NAME , User_Number\nAda,1\nBob,2\n\n",
        "bad-isluck.csv": "user_name,user_number,isluck\nX,1,maybe\n",
        "broken-quote.csv": 'user_name,user_number\n"open,1\n',
    }
    for name, text in csv.items():
        write("csv", name, text.encode("utf-8"))
    write("csv", "bom.csv", b"\xef\xbb\xbf" + csv["plain.csv"].encode("utf-8"))
    write("csv", "gb18030.csv", csv["plain.csv"].encode("gb18030"))
    write("csv", "utf16.csv", csv["plain.csv"].encode("utf-16"))

    form = open(os.path.join(ROOT, "app", "form1.frm"), "rb").read()
    write("design_data", "form1.frm", form)
    write("design_data", "small.frm", 'Begin LumenButton B1\n   caption = "x"\n   theme = 3\n'
                                      '   font = "Tahoma", 9.75, 700, 0\n   enabled = False\nEnd\n'.encode("utf-8"))


def xlsx(sheet_rows, shared):
    """A minimal workbook: one sheet, shared strings, cells as (ref, type, value)."""
    def cell(ref, kind, value):
        if kind == "s":
            return f'<c r="{ref}" t="s"><v>{value}</v></c>'
        if kind == "inline":
            return f'<c r="{ref}" t="inlineStr"><is><t>{value}</t></is></c>'
        return f'<c r="{ref}"><v>{value}</v></c>'
    rows = "".join(f'<row r="{n}">' + "".join(cell(*c) for c in cells) + "</row>"
                   for n, cells in sheet_rows)
    ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
    rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
    files = {
        "[Content_Types].xml": '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/'
                               'content-types"><Default Extension="xml" ContentType="application/xml"/></Types>',
        "_rels/.rels": f'<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
                       f'relationships"><Relationship Id="rId1" Type="{rel}/officeDocument" '
                       f'Target="xl/workbook.xml"/></Relationships>',
        "xl/workbook.xml": f'<?xml version="1.0"?><workbook {ns} xmlns:r="{rel}"><sheets>'
                           f'<sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>',
        "xl/_rels/workbook.xml.rels": f'<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/'
                                      f'package/2006/relationships"><Relationship Id="rId1" Type="{rel}/worksheet" '
                                      f'Target="worksheets/sheet1.xml"/><Relationship Id="rId2" '
                                      f'Type="{rel}/sharedStrings" Target="sharedStrings.xml"/></Relationships>',
        "xl/worksheets/sheet1.xml": f'<?xml version="1.0"?><worksheet {ns}><sheetData>{rows}</sheetData></worksheet>',
        "xl/sharedStrings.xml": f'<?xml version="1.0"?><sst {ns}>' + "".join(f"<si><t>{t}</t></si>" for t in shared)
                                + "</sst>",
    }
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in files.items():
            # A fixed date keeps the seeds the same from run to run.
            z.writestr(zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0)), text.encode("utf-8"),
                       compress_type=zipfile.ZIP_DEFLATED)
    return out.getvalue()


def xlsx_seeds():
    shared = ["user_name", "user_number", "张三", "isluck", "否"]
    write("xlsx", "plain.xlsx", xlsx([(1, [("A1", "s", 0), ("B1", "s", 1), ("C1", "s", 3)]),
                                      (2, [("A2", "s", 2), ("B2", "n", "13866512345"), ("C2", "s", 4)]),
                                      (4, [("A4", "inline", "Ada"), ("B4", "n", "1.3866512346E10")])], shared))
    write("xlsx", "scientific.xlsx", xlsx([(1, [("A1", "s", 0), ("B1", "s", 1)]),
                                           (2, [("A2", "s", 2), ("B2", "inline", "1.38665E+10")])], shared))


def xml_seeds():
    ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
    documents = {
        "sheet.xml": f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n<worksheet {ns}><sheetData>'
                     '<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="inlineStr"><is><t>张三</t></is></c></row>'
                     '<row r="2"><c r="A2"/><c r="B2"><v>13866512345</v></c></row></sheetData></worksheet>',
        "strings.xml": f'<sst {ns}><si><t xml:space="preserve"> a&amp;b </t></si><si><r><t>&#x4E2D;</t></r>'
                       '<rPh sb="0"><t>x</t></rPh></si><si><t><![CDATA[<c>]]></t></si><!-- note --></sst>',
        "prefixed.xml": '<x:worksheet xmlns:x="u" xmlns:r="v"><x:sheet r:id="rId1" name=\'S\'/></x:worksheet>',
        "latin1.xml": '<?xml version="1.0" encoding="ISO-8859-1"?><a>caf\xe9</a>',
    }
    for name, text in documents.items():
        # The first byte sets the pieces' size.
        write("xml", name, bytes([len(name)]) + text.encode("latin-1" if "latin1" in name else "utf-8"))


# ---- Access files and the child's frames ----

def access_file(signature, version, page_size, pages):
    """A file that starts like an Access database: its header page (type 0,
    the engine's signature at 4, the version at 0x14) and pages of the given
    types, each with the type and a page-format byte, the rest zero. Enough
    for the library to open it and look for its catalogue."""
    header = bytearray(page_size)
    header[0] = 0
    header[1] = 1
    header[4:4 + len(signature)] = signature
    header[0x14] = version
    out = bytes(header)
    for kind in pages:
        page = bytearray(page_size)
        page[0] = kind
        page[1] = 1
        if kind == 2:  # a table definition starts with "VC" in both formats
            page[2:4] = b"VC"
        out += bytes(page)
    return out


def frame(kind, payload):
    return kind + struct.pack("<I", len(payload)) + payload


def record_frame(line, fields):
    payload = struct.pack("<II", line, len(fields))
    for field in fields:
        data = field.encode("utf-8")
        payload += struct.pack("<I", len(data)) + data
    return frame(b"R", payload)


def mdb_seeds():
    write("mdb", "jet3-header.mdb", access_file(b"Standard Jet DB\0", 0, 2048, [1, 2, 1]))
    write("mdb", "jet4-header.mdb", access_file(b"Standard Jet DB\0", 1, 4096, [1, 2, 1, 2]))
    write("mdb", "ace12-header.accdb", access_file(b"Standard ACE DB\0", 2, 4096, [1, 2]))
    write("mdb", "frames-records", record_frame(0, ["user_name", "user_number", "isluck"])
          + frame(b"G", struct.pack("<QQ", 1, 2)) + record_frame(1, ["张三", "13800000001", "否"])
          + frame(b"E", b""))
    write("mdb", "frames-problem", frame(b"P", struct.pack("<I", 0) + "no table sheet".encode("utf-8")))


def main():
    for target in os.listdir(CORPUS) if os.path.isdir(CORPUS) else []:
        shutil.rmtree(os.path.join(CORPUS, target))
    inflate_seeds()
    gif_seeds()
    bmp_seeds()
    ico_seeds()
    png_seeds()
    text_seeds()
    xlsx_seeds()
    xml_seeds()
    mdb_seeds()


if __name__ == "__main__":
    main()
