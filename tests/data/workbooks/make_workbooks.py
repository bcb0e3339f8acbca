#!/usr/bin/python3
"""Writes the workbooks of the workbook reader's tests into this folder (README.md lists them).

Needs Debian's python3-xlwt (.xls), python3-xlsxwriter (.xlsx) and python3-odf (.ods). Run it
again after changing a content below; the tests read the committed files.
"""

import datetime
import io
import os
import struct
import zipfile

import xlsxwriter
import xlwt
from odf.opendocument import OpenDocumentSpreadsheet
from odf.table import Table, TableCell, TableRow
from odf.text import P

HERE = os.path.dirname(os.path.abspath(__file__))


class Formula:
    """A formula cell and the result the writer stores with it."""

    def __init__(self, text, result):
        self.text = text
        self.result = result


# A content is a list of worksheets (name, rows); a row is a list of cells: int, float, str, bool,
# Formula or None for an empty cell.
RPDODEF_TITLE = ["cobid", "id_dev_orig", "en_bypass", "posind", "n_tpdo"]
MAP_TITLE = ["Index", "NrPdo", "PosComp"]

CONTENTS = {
    "receive_frames": [
        ("Notes", [["rpdodef", "exported"], ["99999", 1], [None, "not this worksheet"]]),
        ("rpdodef", [
            RPDODEF_TITLE,
            [61444, 0, "Y", "Engine speed"],
            ["0xFEF1", 3, None, "Vehicle, speed"],
            [None, 5],
        ]),
    ],
    "transmit_frames": [
        ("RPDODEF", [
            ["Priority", "DP", "PGN", "ID_DEV", "Mnemonic"],
            [6, 0, 61444, 0, "Torque"],
            ["7", "1", "$FEF1", "239", ""],
        ]),
    ],
    "receive_map": [("RInfoCob", [MAP_TITLE, [10, 1, 33], [11, 1, 8], [12, 5, 0]])],
    "receive_map_upper": [("RINFOCOB", [MAP_TITLE, [10, 1, 33], [11, 1, 8], [12, 5, 0]])],
    "receive_map_129": [("RInfoCob", [MAP_TITLE, [10, 129, 33], ["0x20", 2, 17]])],
    "receive_map_bad_frame": [("RInfoCob", [MAP_TITLE, [10, 1, 33], [11, "x", 8], [12, 1, 0]])],
    "receive_map_two_columns": [("RInfoCob", [["Index", "NrPdo"], [10, 1], [11, 1]])],
    "transmit_map": [("TInfoCob", [MAP_TITLE, [10, 1, 33], ["$0B", 2, 136]])],
    "many_frames": [
        ("rpdodef", [RPDODEF_TITLE] + [[61440 + i, i % 240, "N", "Frame %d" % i] for i in range(260)]),
    ],
    "numbers": [
        ("numbers", [
            ["value", "what"],
            [61444, "whole"],
            [-42, "negative whole"],
            [4294967295, "large whole"],
            [0.1, "tenth"],
            [2.5, "two and a half"],
            [Formula("1+2", 3), "formula"],
            [True, "boolean"],
            [],
            [7, "after the empty row"],
        ]),
    ],
}


def write_xls(name, sheets):
    book = xlwt.Workbook(encoding="utf-8")
    for sheet_name, rows in sheets:
        sheet = book.add_sheet(sheet_name)
        for r, row in enumerate(rows):
            for c, value in enumerate(row):
                if value is None:
                    continue
                if isinstance(value, Formula):
                    # xlwt stores no result with a formula; write_xls puts it in afterwards.
                    sheet.write(r, c, xlwt.Formula(value.text))
                else:
                    sheet.write(r, c, value)
    path = os.path.join(HERE, name + ".xls")
    book.save(path)
    for sheet_name, rows in sheets:
        for r, row in enumerate(rows):
            for c, value in enumerate(row):
                if isinstance(value, Formula):
                    store_xls_formula_result(path, r, c, value.result)


def store_xls_formula_result(path, row, column, result):
    """Puts a number result into the FORMULA record of a cell, as spreadsheet programs save it."""
    with open(path, "rb") as book:
        data = bytearray(book.read())
    # xlwt writes the result "empty text" (type 3, then 0xFFFF in the top bytes).
    head = struct.pack("<HHHH", 0x0006, 0, row, column)
    start = 0
    found = None
    while True:
        at = data.find(head[:2], start)
        if at < 0:
            break
        if data[at + 4 : at + 8] == head[4:] and data[at + 10 : at + 18] == struct.pack("<Q", 0xFFFF000000000003):
            found = at
            break
        start = at + 1
    if found is None:
        raise SystemExit("no FORMULA record for row %d, column %d in %s" % (row, column, path))
    data[found + 10 : found + 18] = struct.pack("<d", result)
    with open(path, "wb") as book:
        book.write(data)


def write_xlsx(name, sheets):
    book = xlsxwriter.Workbook(os.path.join(HERE, name + ".xlsx"))
    book.set_properties({"created": datetime.datetime(2026, 1, 1)})
    for sheet_name, rows in sheets:
        sheet = book.add_worksheet(sheet_name)
        for r, row in enumerate(rows):
            for c, value in enumerate(row):
                # xlsxwriter would store "" as an empty shared string, which the reader refuses
                # (empty_shared_string.xlsx shows it); spreadsheet programs leave the cell empty.
                if value is None or value == "":
                    continue
                if isinstance(value, Formula):
                    sheet.write_formula(r, c, "=" + value.text, None, value.result)
                elif isinstance(value, bool):
                    sheet.write_boolean(r, c, value)
                elif isinstance(value, (int, float)):
                    sheet.write_number(r, c, value)
                else:
                    sheet.write_string(r, c, value)
    book.close()


def ods_cell(value):
    if value is None:
        return TableCell()
    if isinstance(value, Formula):
        cell = TableCell(formula="of:=" + value.text, valuetype="float", value=value.result)
        cell.addElement(P(text=str(value.result)))
    elif isinstance(value, bool):
        cell = TableCell(valuetype="boolean", booleanvalue="true" if value else "false")
        cell.addElement(P(text="TRUE" if value else "FALSE"))
    elif isinstance(value, (int, float)):
        cell = TableCell(valuetype="float", value=value)
        cell.addElement(P(text=str(value)))
    else:
        cell = TableCell(valuetype="string")
        cell.addElement(P(text=value))
    return cell


def write_ods(name, sheets):
    book = OpenDocumentSpreadsheet()
    for sheet_name, rows in sheets:
        table = Table(name=sheet_name)
        for row in rows:
            table_row = TableRow()
            for value in row:
                table_row.addElement(ods_cell(value))
            table.addElement(table_row)
        book.spreadsheet.addElement(table)
    save_ods(book, os.path.join(HERE, name + ".ods"))


def save_ods(book, path):
    """Saves with fixed dates on the zip's entries, so writing again gives the same bytes."""
    buffer = io.BytesIO()
    book.write(buffer)
    with zipfile.ZipFile(io.BytesIO(buffer.getvalue())) as written, zipfile.ZipFile(path, "w") as archive:
        for entry in written.infolist():
            info = zipfile.ZipInfo(entry.filename, date_time=(2026, 1, 1, 0, 0, 0))
            info.compress_type = entry.compress_type  # the mimetype entry stays stored, first
            info.external_attr = entry.external_attr
            archive.writestr(info, written.read(entry.filename))


def write_zip(name, members):
    with zipfile.ZipFile(os.path.join(HERE, name), "w", zipfile.ZIP_DEFLATED) as archive:
        for member, text in members:
            info = zipfile.ZipInfo(member, date_time=(2026, 1, 1, 0, 0, 0))
            archive.writestr(info, text, zipfile.ZIP_DEFLATED)


# Minimal .xlsx files written by hand, for what xlsxwriter does not write: cells of inline strings
# (<c t="inlineStr">), as some programs write them instead of a shared strings part, and formulas
# without a stored result.
MINIMAL_CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>
<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>
</Types>"""
MINIMAL_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>
</Relationships>"""
MINIMAL_WORKBOOK = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<sheets><sheet name="%s" sheetId="1" r:id="rId1"/></sheets>
</workbook>"""
MINIMAL_WORKBOOK_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>
</Relationships>"""


def inline_cell(value):
    if isinstance(value, int):
        return '<c r="%%s"><v>%d</v></c>' % value
    return '<c r="%%s" t="inlineStr"><is><t>%s</t></is></c>' % value


def minimal_sheet(rows):
    """rows: lists of the <c> elements' texts, their references given."""
    lines = []
    for r, row in enumerate(rows, start=1):
        cells = "".join(cell % ("%s%d" % ("ABCDE"[c], r)) for c, cell in enumerate(row))
        lines.append('<row r="%d">%s</row>' % (r, cells))
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
            "<sheetData>%s</sheetData></worksheet>" % "".join(lines))


def write_minimal_xlsx(name, sheet_name, rows):
    write_zip(name, [
        ("[Content_Types].xml", MINIMAL_CONTENT_TYPES),
        ("_rels/.rels", MINIMAL_RELS),
        ("xl/workbook.xml", MINIMAL_WORKBOOK % sheet_name),
        ("xl/_rels/workbook.xml.rels", MINIMAL_WORKBOOK_RELS),
        ("xl/worksheets/sheet1.xml", minimal_sheet(rows)),
    ])


def write_cut_xml(source, target, part, cut_after):
    """A copy of a zip workbook whose part ends inside a tag, as a damaged file may."""
    with zipfile.ZipFile(os.path.join(HERE, source)) as whole:
        members = []
        for entry in whole.infolist():
            data = whole.read(entry.filename).decode("utf-8")
            if entry.filename == part:
                data = data[: data.index(cut_after) + len(cut_after)]
            members.append((entry.filename, data))
    write_zip(target, members)


def biff_record(record_id, data):
    return struct.pack("<HH", record_id, len(data)) + data


def write_biff5(name, sheet_name, rows):
    """A BIFF5 workbook (Excel 5 and 95), which xlwt cannot write: 8-bit texts in code page 1252.

    Its stream goes into the compound document of an xlwt workbook, in place of that one's
    4096-byte "Workbook" stream (sector 0), and is named "Book" as BIFF5 names it.
    """
    def bof(kind):  # 0x0005 the workbook globals, 0x0010 a worksheet
        return biff_record(0x0809, struct.pack("<HHHH", 0x0500, kind, 0x0DBB, 0x07CC))

    sheet = bof(0x0010) + biff_record(0x0200, struct.pack("<HHHHH", 0, len(rows), 0, max(map(len, rows)), 0))
    for r, row in enumerate(rows):
        for c, value in enumerate(row):
            if isinstance(value, int):
                sheet += biff_record(0x0203, struct.pack("<HHHd", r, c, 0x0F, float(value)))  # NUMBER
            else:
                text = value.encode("cp1252")
                sheet += biff_record(0x0204, struct.pack("<HHHH", r, c, 0x0F, len(text)) + text)  # LABEL
    sheet += biff_record(0x000A, b"")  # EOF

    title = sheet_name.encode("cp1252")
    head = bof(0x0005) + biff_record(0x0042, struct.pack("<H", 1252))  # CODEPAGE
    sheet_offset = len(head) + 4 + 7 + len(title) + 4  # after BOUNDSHEET and EOF
    stream = (head + biff_record(0x0085, struct.pack("<IHB", sheet_offset, 0, len(title)) + title)
              + biff_record(0x000A, b"") + sheet)

    carrier = os.path.join(HERE, name)
    book = xlwt.Workbook()
    book.add_sheet("x")
    book.save(carrier)
    with open(carrier, "rb") as whole:
        data = bytearray(whole.read())
    entry = data.index("Workbook".encode("utf-16-le"))
    if struct.unpack_from("<II", data, entry + 116) != (0, 4096) or len(stream) > 4096:
        raise SystemExit("unexpected compound document from xlwt")
    data[entry : entry + 64] = "Book".encode("utf-16-le").ljust(64, b"\0")
    struct.pack_into("<H", data, entry + 64, 10)  # the name's length in bytes with its NUL
    data[512 : 512 + 4096] = stream.ljust(4096, b"\0")
    with open(carrier, "wb") as book_file:
        book_file.write(data)


def write_far_corner():
    """Worksheet "rpdodef": a title in A1 and one number in the sheet's last cell."""
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("rpdodef")
    sheet.write(0, 0, "cobid")
    sheet.write(65535, 255, 1)  # IV65536, the last cell of a BIFF8 worksheet
    book.save(os.path.join(HERE, "far_corner.xls"))

    book = xlsxwriter.Workbook(os.path.join(HERE, "far_corner.xlsx"))
    book.set_properties({"created": datetime.datetime(2026, 1, 1)})
    sheet = book.add_worksheet("rpdodef")
    sheet.write_string(0, 0, "cobid")
    sheet.write_number(1048575, 16383, 1)  # XFD1048576
    book.close()

    book = OpenDocumentSpreadsheet()
    table = Table(name="rpdodef")
    row = TableRow()
    row.addElement(ods_cell("cobid"))
    table.addElement(row)
    table.addElement(TableRow(numberrowsrepeated=1048574))
    row = TableRow()
    row.addElement(TableCell(numbercolumnsrepeated=16383))
    row.addElement(ods_cell(1))
    table.addElement(row)
    book.spreadsheet.addElement(table)
    save_ods(book, os.path.join(HERE, "far_corner.ods"))


def main():
    for name, sheets in CONTENTS.items():
        write_xls(name, sheets)
        write_xlsx(name, sheets)
        write_ods(name, sheets)

    with open(os.path.join(HERE, "not_a_workbook.xls"), "w") as text:
        text.write("cobid,id_dev_orig\n61444,0\n")
    for extension in ("xls", "xlsx", "ods"):
        with open(os.path.join(HERE, "receive_map." + extension), "rb") as whole:
            data = whole.read()
        with open(os.path.join(HERE, "receive_map_truncated." + extension), "wb") as half:
            half.write(data[: len(data) // 2])
    book = xlsxwriter.Workbook(os.path.join(HERE, "empty_shared_string.xlsx"))
    book.set_properties({"created": datetime.datetime(2026, 1, 1)})
    sheet = book.add_worksheet("rpdodef")
    for c, value in enumerate(["cobid", "id_dev_orig", "7", ""]):
        sheet.write_string(c // 2, c % 2, value)
    book.close()
    write_far_corner()
    write_biff5("biff5.xls", "RInfoCob", [MAP_TITLE, [10, 1, 33], [11, 1, 8], ["K\u00fchler S\u00fcd", 2, 17]])
    write_cut_xml("receive_map.xlsx", "damaged_xml.xlsx", "xl/worksheets/sheet1.xml", '<c r="B2"')
    write_cut_xml("receive_map.ods", "damaged_xml.ods", "content.xml", '<table:table-cell office:value-type="float"')
    write_zip("zip_not_a_workbook.xlsx", [("notes.txt", "cobid,id_dev_orig\n61444,0\n")])
    write_minimal_xlsx("inline_strings.xlsx", "RInfoCob",
                       [[inline_cell(v) for v in row] for row in [MAP_TITLE, [10, 1, 33], ["0x20", 2, 17]]])
    write_minimal_xlsx("formula_results.xlsx", "rpdodef", [
        ['<c r="%s"><v>1</v></c>'],
        ['<c r="%s"><f>1+2</f></c>',                       # no stored result
         '<c r="%s"><f>A1/0</f></c>',                      # no stored result
         '<c r="%s" t="str"><f>"a"&amp;"b"</f><v>ab</v></c>',  # a text result
         '<c r="%s" t="e"><f>1/0</f><v>#DIV/0!</v></c>',    # an error result
         '<c r="%s"><f>A1*2</f><v>2</v></c>'],              # a number result
    ])

if __name__ == "__main__":
    main()
