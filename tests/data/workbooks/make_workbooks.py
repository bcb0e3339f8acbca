#!/usr/bin/python3
"""Writes the workbooks of the workbook reader's tests into this folder (README.md lists them).

Needs Debian's python3-xlwt (.xls), python3-xlsxwriter and python3-openpyxl (.xlsx) and
python3-odf (.ods); the writers_libreoffice* files also need LibreOffice Calc (soffice, from
libreoffice-calc-nogui) and are left as they are without it. Run it again after changing a
content below; the tests read the committed files.
"""

import datetime
import io
import os
import pathlib
import re
import shutil
import struct
import subprocess
import tempfile
import zipfile
from xml.sax.saxutils import escape as xml_escape

import odf.namespaces
import openpyxl
import openpyxl.styles
import xlsxwriter
import xlwt
from odf import teletype
from odf.number import Boolean, BooleanStyle
from odf.opendocument import OpenDocumentSpreadsheet
from odf.style import Style, TableCellProperties, TextProperties
from odf.table import Table, TableCell, TableColumn, TableRow
from odf.text import P, Span

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
    save_with_fixed_dates(buffer.getvalue(), path)


def save_with_fixed_dates(zipped, path):
    """Writes the entries of a zip written in memory again, dated 2026-01-01."""
    with zipfile.ZipFile(io.BytesIO(zipped)) as written, zipfile.ZipFile(path, "w") as archive:
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


# Workbooks from real writers: one content, two worksheets, written by openpyxl, xlsxwriter, odfpy
# and LibreOffice Calc, each as that writer stores it (README.md lists what each file holds).


class Rich:
    """A text of runs (text, bold), stored as rich text where the writer can."""

    def __init__(self, *runs):
        self.runs = runs

    def text(self):
        return "".join(text for text, _ in self.runs)

    def __repr__(self):
        return "Rich%r" % (self.runs,)


class Marker:
    def __init__(self, name):
        self.name = name

    def __repr__(self):
        return self.name


# An empty cell with a yellow fill: a writer stores it as a cell without a value.
SHADED = Marker("SHADED")
# The stored result of a formula that divides by zero.
DIVISION_BY_ZERO = Marker("#DIV/0!")


class ToSheetEnd:
    """A row repeated down to the worksheet's last row in .ods (as LibreOffice stores a formatted
    area below the values), written three times by the .xlsx writers."""

    def __init__(self, row):
        self.row = row


ODS_LAST_ROW = 1048576

WRITERS_SHEETS = [
    ("rpdodef", [
        RPDODEF_TITLE,
        [" 5", "5 ", "a  b", "   ", "0xFEF1"],
        [61444, -42, 0.1, 2.5, 4294967295],
        ["K\u00fchler S\u00fcd", "\u6771", "$0B", "line 1\nline 2", "a\tb"],
        [True, False, Formula("1+2", 3), Formula('"a"&"b"', "ab"), Formula("1=1", True)],
        [Formula("1/0", DIVISION_BY_ZERO), Rich(("bold", True), (" plain", False)), "", None, "end"],
        ["N", "N", "N", 7, 7],
        ["N", "N", "N", 7, 7],
        ["N", "N", "N", 7, 7],
        [SHADED] * 5,
        [SHADED] * 5,
        [9] * 5,
        [9] * 5,
        ToSheetEnd([SHADED] * 7),  # formatted, wider than the values: no field of its own
    ]),
    ("RInfoCob", [
        MAP_TITLE,
        [10, 1, 33],
        [11, 1, 8],
        [11, 1, 8],
        [11, 1, 8],
        ["0x20", 2, 17],
        [5, 5, 5],
        [12, 5, 0],
        [12, 5, 0],
    ]),
]


def without_empty_texts(sheets):
    return [(name, [[None if value == "" else value for value in row] if isinstance(row, list) else row
                    for row in rows]) for name, rows in sheets]


def xlsx_rows(rows):
    """The rows as an .xlsx writer writes them: a ToSheetEnd row three times."""
    written = []
    for row in rows:
        written.extend([row.row] * 3 if isinstance(row, ToSheetEnd) else [row])
    return written


def cell_key(value):
    """Equal cells have equal keys (True and 1 do not)."""
    if isinstance(value, Formula):
        return ("Formula", value.text, cell_key(value.result))
    return (type(value).__name__, repr(value))


def runs_of_equal(items, key):
    """[(item, count)] for each run of consecutive equal items."""
    runs = []
    for item in items:
        if runs and key(runs[-1][0]) == key(item):
            runs[-1][1] += 1
        else:
            runs.append([item, 1])
    return runs


def ods_row_runs(rows):
    """[(row, repeat)]: equal consecutive rows once, a ToSheetEnd row down to the last row."""
    runs = []
    for row, count in runs_of_equal(rows, lambda row: [cell_key(v) for v in row] if isinstance(row, list) else id(row)):
        if isinstance(row, ToSheetEnd):
            used = sum(n for _, n in runs)
            runs.append((row.row, ODS_LAST_ROW - used))
        else:
            runs.append((row, count))
    return runs


def write_openpyxl(name, sheets):
    book = openpyxl.Workbook()
    book.properties.created = datetime.datetime(2026, 1, 1)
    book.properties.modified = datetime.datetime(2026, 1, 1)
    book.remove(book.active)
    shaded = openpyxl.styles.PatternFill("solid", fgColor="FFFF00")
    for sheet_name, rows in sheets:
        sheet = book.create_sheet(sheet_name)
        for r, row in enumerate(xlsx_rows(rows), start=1):
            for c, value in enumerate(row, start=1):
                if value is None:
                    continue
                cell = sheet.cell(r, c)
                if value is SHADED:
                    cell.fill = shaded
                elif isinstance(value, Formula):
                    cell.value = "=" + value.text  # openpyxl stores no result
                elif isinstance(value, Rich):
                    cell.value = value.text()  # openpyxl 3.0 writes no rich text
                else:
                    cell.value = value  # "" too: openpyxl writes an inline string cell without text
    buffer = io.BytesIO()
    book.save(buffer)
    save_with_fixed_dates(buffer.getvalue(), os.path.join(HERE, name))


def write_xlsxwriter(name, sheets):
    book = xlsxwriter.Workbook(os.path.join(HERE, name))
    book.set_properties({"created": datetime.datetime(2026, 1, 1)})
    bold = book.add_format({"bold": True})
    shaded = book.add_format({"bg_color": "#FFFF00", "pattern": 1})
    for sheet_name, rows in sheets:
        sheet = book.add_worksheet(sheet_name)
        for r, row in enumerate(xlsx_rows(rows)):
            for c, value in enumerate(row):
                if value is None:
                    continue
                if value is SHADED:
                    sheet.write_blank(r, c, None, shaded)
                elif isinstance(value, Formula):
                    result = "#DIV/0!" if value.result is DIVISION_BY_ZERO else value.result
                    sheet.write_formula(r, c, "=" + value.text, None, result)
                elif isinstance(value, Rich):
                    fragments = []
                    for text, is_bold in value.runs:
                        fragments += [bold, text] if is_bold else [text]
                    sheet.write_rich_string(r, c, *fragments)
                elif isinstance(value, bool):
                    sheet.write_boolean(r, c, value)
                elif isinstance(value, (int, float)):
                    sheet.write_number(r, c, value)
                else:
                    sheet.write_string(r, c, value)  # "" becomes an empty shared string
    book.close()


CALCEXT = "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0"


def odfpy_cell(value, styles):
    if value is None:
        return TableCell()
    if value is SHADED:
        return TableCell(stylename=styles["shaded"])
    if isinstance(value, Formula):
        result = value.result
        formula = "of:=" + value.text
        if result is DIVISION_BY_ZERO:  # as LibreOffice stores an error result
            cell = TableCell(formula=formula, valuetype="string", stringvalue="")
            cell.setAttrNS(CALCEXT, "value-type", "error")
            cell.addElement(P(text="#DIV/0!"))
            return cell
        if isinstance(result, bool):
            cell = TableCell(formula=formula, stylename=styles["boolean"], valuetype="boolean",
                             booleanvalue="true" if result else "false")
            cell.addElement(P(text="TRUE" if result else "FALSE"))
        elif isinstance(result, (int, float)):
            cell = TableCell(formula=formula, valuetype="float", value=result)
            cell.addElement(P(text=str(result)))
        else:
            cell = TableCell(formula=formula, valuetype="string", stringvalue=result)
            cell.addElement(P(text=result))
        return cell
    if isinstance(value, Rich):
        cell = TableCell(valuetype="string")
        paragraph = P()
        for text, is_bold in value.runs:
            if is_bold:
                paragraph.addElement(Span(stylename=styles["bold"], text=text))
            else:
                paragraph.addText(text)
        cell.addElement(paragraph)
        return cell
    if isinstance(value, bool):
        cell = TableCell(stylename=styles["boolean"], valuetype="boolean", booleanvalue="true" if value else "false")
        cell.addElement(P(text="TRUE" if value else "FALSE"))
        return cell
    if isinstance(value, (int, float)):
        cell = TableCell(valuetype="float", value=value)
        cell.addElement(P(text=str(value)))
        return cell
    cell = TableCell(valuetype="string")
    paragraph = P()
    teletype.addTextToElement(paragraph, value)  # <text:s>, <text:tab> and <text:line-break>
    cell.addElement(paragraph)
    return cell


def write_odfpy(name, sheets):
    odf.namespaces.nsdict.setdefault(CALCEXT, "calcext")
    book = OpenDocumentSpreadsheet()
    boolean_style = BooleanStyle(name="N99")
    boolean_style.addElement(Boolean())
    book.automaticstyles.addElement(boolean_style)
    styles = {
        "boolean": Style(name="ceBool", family="table-cell", datastylename="N99"),
        "shaded": Style(name="ceShaded", family="table-cell"),
        "bold": Style(name="T1", family="text"),
    }
    styles["shaded"].addElement(TableCellProperties(backgroundcolor="#ffff00"))
    styles["bold"].addElement(TextProperties(fontweight="bold"))
    for style in styles.values():
        book.automaticstyles.addElement(style)
    for sheet_name, rows in sheets:
        table = Table(name=sheet_name)
        for row, repeat in ods_row_runs(rows):
            table_row = TableRow(numberrowsrepeated=repeat) if repeat > 1 else TableRow()
            for value, count in runs_of_equal(row, cell_key):
                cell = odfpy_cell(value, styles)
                if count > 1:
                    cell.setAttrNS(odf.namespaces.TABLENS, "number-columns-repeated", str(count))
                table_row.addElement(cell)
            table.addElement(table_row)
        book.spreadsheet.addElement(table)
    save_ods(book, os.path.join(HERE, name))


# The flat .fods that LibreOffice converts, written here as text: <text:s> for the blanks at
# either end of a paragraph and after a blank, one <text:p> per line.
FODS_HEAD = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" \
xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" \
xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" \
xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" \
xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" \
xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" \
xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" \
xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0" \
office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:automatic-styles>
<number:boolean-style style:name="N99"><number:boolean/></number:boolean-style>
<style:style style:name="ceBool" style:family="table-cell" style:data-style-name="N99"/>
<style:style style:name="ceShaded" style:family="table-cell"><style:table-cell-properties fo:background-color="#ffff00"/></style:style>
<style:style style:name="T1" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
</office:automatic-styles>
<office:body><office:spreadsheet>
"""
FODS_TAIL = "</office:spreadsheet></office:body></office:document>\n"


def odf_paragraph_content(line):
    parts = []
    pieces = re.findall(r" +|\t|[^ \t]+", line)
    for i, piece in enumerate(pieces):
        if piece == "\t":
            parts.append("<text:tab/>")
        elif piece[0] == " ":
            at_an_end = i == 0 or i == len(pieces) - 1
            literal = "" if at_an_end else " "
            rest = len(piece) - len(literal)
            parts.append(literal)
            if rest == 1:
                parts.append("<text:s/>")
            elif rest > 1:
                parts.append('<text:s text:c="%d"/>' % rest)
        else:
            parts.append(xml_escape(piece))
    return "".join(parts)


def fods_cell(value, repeat):
    attributes = ' table:number-columns-repeated="%d"' % repeat if repeat > 1 else ""
    if value is None:
        return "<table:table-cell%s/>" % attributes
    if value is SHADED:
        return '<table:table-cell table:style-name="ceShaded"%s/>' % attributes
    if isinstance(value, Formula):
        attributes += ' table:formula="%s"' % xml_escape("of:=" + value.text, {'"': "&quot;"})
        value = value.result
        if value is DIVISION_BY_ZERO:
            return ('<table:table-cell%s office:value-type="string" office:string-value="" '
                    'calcext:value-type="error"><text:p>#DIV/0!</text:p></table:table-cell>' % attributes)
        if isinstance(value, str):
            attributes += ' office:string-value="%s"' % xml_escape(value, {'"': "&quot;"})
    if isinstance(value, bool):
        return ('<table:table-cell table:style-name="ceBool"%s office:value-type="boolean" office:boolean-value="%s">'
                "<text:p>%s</text:p></table:table-cell>" % (attributes, "true" if value else "false",
                                                             "TRUE" if value else "FALSE"))
    if isinstance(value, (int, float)):
        return ('<table:table-cell%s office:value-type="float" office:value="%r"><text:p>%r</text:p></table:table-cell>'
                % (attributes, value, value))
    if isinstance(value, Rich):
        paragraphs = ["".join('<text:span text:style-name="T1">%s</text:span>' % odf_paragraph_content(text)
                              if is_bold else odf_paragraph_content(text) for text, is_bold in value.runs)]
    else:
        paragraphs = [odf_paragraph_content(line) for line in value.split("\n")]
    return '<table:table-cell%s office:value-type="string">%s</table:table-cell>' % (
        attributes, "".join("<text:p>%s</text:p>" % p if p else "<text:p/>" for p in paragraphs))


def fods_document(sheets):
    lines = [FODS_HEAD]
    for sheet_name, rows in sheets:
        lines.append('<table:table table:name="%s">\n' % xml_escape(sheet_name))
        for row, repeat in ods_row_runs(rows):
            lines.append("<table:table-row%s>%s</table:table-row>\n" % (
                ' table:number-rows-repeated="%d"' % repeat if repeat > 1 else "",
                "".join(fods_cell(value, count) for value, count in runs_of_equal(row, cell_key))))
        lines.append("</table:table>\n")
    lines.append(FODS_TAIL)
    return "".join(lines)


def fix_zip_dates(data):
    """The zip written by LibreOffice with every entry dated 2026-01-01 00:00, in place: the
    entries, their order, compression and data descriptors stay as LibreOffice wrote them."""
    data = bytearray(data)
    end = data.rindex(b"PK\x05\x06")
    count, _, directory = struct.unpack_from("<HII", data, end + 10)
    dos_date = (2026 - 1980) << 9 | 1 << 5 | 1
    at = directory
    for _ in range(count):
        if data[at : at + 4] != b"PK\x01\x02":
            raise SystemExit("unexpected zip from LibreOffice")
        name_length, extra_length, comment_length = struct.unpack_from("<HHH", data, at + 28)
        local = struct.unpack_from("<I", data, at + 42)[0]
        struct.pack_into("<HH", data, at + 12, 0, dos_date)
        struct.pack_into("<HH", data, local + 10, 0, dos_date)
        at += 46 + name_length + extra_length + comment_length
    return bytes(data)


def write_libreoffice(name, sheets, extensions=("xlsx", "ods", "xls")):
    """Converts a flat .fods of the content with LibreOffice Calc (soffice) in a profile of its
    own; without soffice the files already here are kept."""
    soffice = shutil.which("soffice")
    if soffice is None:
        print("soffice not found: %s.* are left as they are" % name)
        return
    with tempfile.TemporaryDirectory(prefix="workbooks-") as work:
        source = os.path.join(work, name + ".fods")
        with open(source, "w", encoding="utf-8") as fods:
            fods.write(fods_document(sheets))
        profile = "-env:UserInstallation=" + pathlib.Path(work, "profile").as_uri()
        for extension in extensions:
            subprocess.run([soffice, profile, "--headless", "--convert-to", extension, "--outdir", work, source],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            with open(os.path.join(work, name + "." + extension), "rb") as converted:
                data = converted.read()
            if extension != "xls":
                data = fix_zip_dates(data)
            with open(os.path.join(HERE, name + "." + extension), "wb") as kept:
                kept.write(data)


# Hostile workbooks: each is refused by a correct reader, hostile_repeat_empty.ods is read.
XLSX_SHARED_STRINGS_TYPE = ('<Override PartName="/xl/sharedStrings.xml" ContentType="application/'
                            'vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>\n</Types>')
XLSX_SHARED_STRINGS_REL = ('<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
                           'relationships/sharedStrings" Target="sharedStrings.xml"/>\n</Relationships>')


def shared_strings_xml(strings):
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="%d" uniqueCount="%d">%s</sst>'
            % (len(strings), len(strings), "".join("<si><t>%s</t></si>" % xml_escape(s) for s in strings)))


def hostile_xlsx_members(sheet_xml, strings=None):
    """The parts of a minimal .xlsx of worksheet RInfoCob, with shared strings when given."""
    members = [
        ("[Content_Types].xml", MINIMAL_CONTENT_TYPES.replace("</Types>", XLSX_SHARED_STRINGS_TYPE)
         if strings is not None else MINIMAL_CONTENT_TYPES),
        ("_rels/.rels", MINIMAL_RELS),
        ("xl/workbook.xml", MINIMAL_WORKBOOK % "RInfoCob"),
        ("xl/_rels/workbook.xml.rels", MINIMAL_WORKBOOK_RELS.replace("</Relationships>", XLSX_SHARED_STRINGS_REL)
         if strings is not None else MINIMAL_WORKBOOK_RELS),
        ("xl/worksheets/sheet1.xml", sheet_xml),
    ]
    if strings is not None:
        members.append(("xl/sharedStrings.xml", shared_strings_xml(strings)))
    return members


SHARED_MAP_STRINGS = MAP_TITLE + ["0x20"]
# Title (Index, NrPdo, PosComp) and the records (10, 1, 33), ("0x20", 2, 17), texts from the table.
SHARED_MAP_SHEET = minimal_sheet([
    ['<c r="%s" t="s"><v>0</v></c>', '<c r="%s" t="s"><v>1</v></c>', '<c r="%s" t="s"><v>2</v></c>'],
    ['<c r="%s"><v>10</v></c>', '<c r="%s"><v>1</v></c>', '<c r="%s"><v>33</v></c>'],
    ['<c r="%s" t="s"><v>%%d</v></c>', '<c r="%s"><v>2</v></c>', '<c r="%s"><v>17</v></c>'],
])


def zip_entry_offsets(data, member):
    """(local header offset, central directory entry offset) of a member of a zip."""
    end = data.rindex(b"PK\x05\x06")
    count, _, at = struct.unpack_from("<HII", data, end + 10)
    for _ in range(count):
        name_length, extra_length, comment_length = struct.unpack_from("<HHH", data, at + 28)
        if data[at + 46 : at + 46 + name_length].decode() == member:
            return struct.unpack_from("<I", data, at + 42)[0], at
        at += 46 + name_length + extra_length + comment_length
    raise SystemExit("no %s in the zip" % member)


def patch_zip(name, member, patch):
    """patch(data, local, central) changes the bytes of a zip written here."""
    path = os.path.join(HERE, name)
    with open(path, "rb") as archive:
        data = bytearray(archive.read())
    local, central = zip_entry_offsets(bytes(data), member)
    patch(data, local, central)
    with open(path, "wb") as archive:
        archive.write(data)


def write_zip_bomb(name, blanks):
    """A worksheet part of `blanks` blanks between its two rows, deflated in pieces."""
    with zipfile.ZipFile(os.path.join(HERE, name), "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for member, text in hostile_xlsx_members("")[:-1]:
            info = zipfile.ZipInfo(member, date_time=(2026, 1, 1, 0, 0, 0))
            archive.writestr(info, text, zipfile.ZIP_DEFLATED)
        info = zipfile.ZipInfo("xl/worksheets/sheet1.xml", date_time=(2026, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        head, tail = minimal_sheet([[inline_cell(v) for v in MAP_TITLE], [inline_cell(v) for v in [10, 1, 33]]]).split("</row>", 1)
        with archive.open(info, "w") as part:
            part.write((head + "</row>").encode())
            piece = b" " * (1 << 20)
            for _ in range(blanks >> 20):
                part.write(piece)
            part.write(tail.encode())


def write_hostile_ods(name, rows, columns_repeated=None):
    """rows: (cells, rows repeated); cells: (value, columns repeated). An optional
    <table:table-column> repeated columns_repeated times."""
    book = OpenDocumentSpreadsheet()
    table = Table(name="RInfoCob")
    if columns_repeated:
        table.addElement(TableColumn(numbercolumnsrepeated=columns_repeated))
    for cells, rows_repeated in rows:
        row = TableRow(numberrowsrepeated=rows_repeated) if rows_repeated > 1 else TableRow()
        for value, repeat in cells:
            cell = ods_cell(value)
            if repeat > 1:
                cell.setAttrNS(odf.namespaces.TABLENS, "number-columns-repeated", str(repeat))
            row.addElement(cell)
        table.addElement(row)
    book.spreadsheet.addElement(table)
    save_ods(book, os.path.join(HERE, name))


def write_deep_spans(name, depth):
    """Worksheet RInfoCob: title, (10, 1, 33), and a cell whose paragraph holds "deep" in spans
    nested depth deep."""
    book = OpenDocumentSpreadsheet()
    table = Table(name="RInfoCob")
    for values in (MAP_TITLE, [10, 1, 33]):
        row = TableRow()
        for value in values:
            row.addElement(ods_cell(value))
        table.addElement(row)
    table.addElement(TableRow())  # replaced below by the row of the deep cell
    book.spreadsheet.addElement(table)
    buffer = io.BytesIO()
    book.write(buffer)
    with zipfile.ZipFile(io.BytesIO(buffer.getvalue())) as written:
        members = [(entry, written.read(entry.filename)) for entry in written.infolist()]
    with zipfile.ZipFile(os.path.join(HERE, name), "w") as archive:
        for entry, data in members:
            if entry.filename == "content.xml":
                deep = ('<table:table-row><table:table-cell office:value-type="string"><text:p>'
                        + "<text:span>" * depth + "deep" + "</text:span>" * depth
                        + "</text:p></table:table-cell></table:table-row>")
                data = data.replace(b"<table:table-row/>", deep.encode())
            info = zipfile.ZipInfo(entry.filename, date_time=(2026, 1, 1, 0, 0, 0))
            info.external_attr = entry.external_attr
            archive.writestr(info, data, entry.compress_type)


def compound_document(stream_name, stream):
    """A compound document of 512-byte sectors holding stream: the allocation table first, then the
    stream (at least 4096 bytes, so outside the mini stream), then the directory."""
    stream = stream.ljust(max(4096, (len(stream) + 511) // 512 * 512), b"\0")
    stream_sectors = len(stream) // 512
    fat_sectors = 1
    while fat_sectors * 128 < fat_sectors + stream_sectors + 1:
        fat_sectors += 1
    directory_sector = fat_sectors + stream_sectors
    header = (b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + bytes(16)
              + struct.pack("<HHHHH6xIIIIIIIII", 0x3E, 3, 0xFFFE, 9, 6, 0, fat_sectors, directory_sector, 0, 4096,
                            0xFFFFFFFE, 0, 0xFFFFFFFE, 0))
    header += b"".join(struct.pack("<I", n) for n in range(fat_sectors)).ljust(109 * 4, b"\xFF")
    fat = [0xFFFFFFFD] * fat_sectors + [fat_sectors + n + 1 for n in range(stream_sectors - 1)] + [0xFFFFFFFE] * 2
    fat += [0xFFFFFFFF] * (fat_sectors * 128 - len(fat))

    def entry(name, kind, child, start, size):
        encoded = name.encode("utf-16-le")
        return (encoded.ljust(64, b"\0") + struct.pack("<HBBIII", len(encoded) + 2, kind, 1, 0xFFFFFFFF, 0xFFFFFFFF, child)
                + bytes(36) + struct.pack("<III", start, size, 0))

    directory = entry("Root Entry", 5, 1, 0xFFFFFFFE, 0) + entry(stream_name, 2, 0xFFFFFFFF, fat_sectors, len(stream))
    directory += (bytes(68) + b"\xFF" * 12 + bytes(48)) * 2
    return header + struct.pack("<%dI" % len(fat), *fat) + stream + directory


def write_hostile_sheet_offsets(name, sheets):
    """A BIFF8 workbook whose globals name that many worksheets, each beginning at offset 0: a
    check that reads the stream again from each worksheet's offset reads it that many times."""
    stream = biff_record(0x0809, struct.pack("<HHHHII", 0x0600, 0x0005, 0x0DBB, 0x07CC, 0, 6))  # BOF
    stream += b"".join(biff_record(0x0085, struct.pack("<IHBB", 0, 0, 1, 0) + b"S") for _ in range(sheets))
    stream += biff_record(0x000A, b"")  # EOF
    with open(os.path.join(HERE, name), "wb") as book:
        book.write(compound_document("Workbook", stream))


def write_hostile_blanks(name, cells, blanks):
    """Worksheet RInfoCob: one row of that many cells, each the text of that many blanks as one
    <text:s text:c="..."/>: a few hundred bytes that would be gigabytes of text."""
    cell = ('<table:table-cell office:value-type="string"><text:p><text:s text:c="%d"/></text:p>'
            '</table:table-cell>' % blanks)
    content = ('<?xml version="1.0" encoding="UTF-8"?>\n'
               '<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"'
               ' xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"'
               ' xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2">'
               '<office:body><office:spreadsheet><table:table table:name="RInfoCob"><table:table-row>'
               + cell * cells + '</table:table-row></table:table></office:spreadsheet></office:body>'
               '</office:document-content>')
    with zipfile.ZipFile(os.path.join(HERE, name), "w") as archive:
        for member, text, method in (("mimetype", "application/vnd.oasis.opendocument.spreadsheet", zipfile.ZIP_STORED),
                                     ("content.xml", content, zipfile.ZIP_DEFLATED)):
            archive.writestr(zipfile.ZipInfo(member, date_time=(2026, 1, 1, 0, 0, 0)), text, method)


def write_hostile():
    title = [(text, 1) for text in MAP_TITLE]
    write_zip_bomb("hostile_zip_bomb.xlsx", 300 << 20)

    write_zip("hostile_claims_4gb.xlsx", hostile_xlsx_members(SHARED_MAP_SHEET % 3, SHARED_MAP_STRINGS))

    def claim_4gb(data, local, central):
        struct.pack_into("<I", data, local + 22, 0xFFFFFFFE)  # uncompressed size
        struct.pack_into("<I", data, central + 24, 0xFFFFFFFE)
    patch_zip("hostile_claims_4gb.xlsx", "xl/worksheets/sheet1.xml", claim_4gb)

    write_hostile_ods("hostile_repeat_columns.ods", [(title, 1), ([(10, 1), (1, 100000000)], 1)])
    write_hostile_ods("hostile_repeat_rows.ods", [(title, 1), ([(10, 1), (1, 1), (33, 1)], 1000000000)])
    # Below and right of the values, empty cells and rows repeated billions of times (beyond 2^31
    # and 2^32 too): nothing to read there.
    write_hostile_ods("hostile_repeat_empty.ods", [
        (title + [(None, 3000000000)], 1),
        ([(10, 1), (1, 1), (33, 1), (None, 4294967296)], 1),
        ([("0x20", 1), (2, 1), (17, 1), (None, 16381)], 1),
        ([(None, 16384)], 2000000000),
        ([(None, 5000000000)], 5000000000),
    ], columns_repeated=10000000000)

    strings = ["Index", "x" * (10 << 20)]
    rows = [['<c r="%s" t="s"><v>0</v></c>']] + [['<c r="%s" t="s"><v>1</v></c>']] * 200
    write_zip("hostile_huge_shared_string.xlsx", hostile_xlsx_members(minimal_sheet(rows), strings))

    write_zip("hostile_missing_part.xlsx", [m for m in hostile_xlsx_members(SHARED_MAP_SHEET % 3, SHARED_MAP_STRINGS)
                                            if m[0] != "xl/worksheets/sheet1.xml"])
    write_zip("hostile_missing_shared_strings.xlsx", hostile_xlsx_members(SHARED_MAP_SHEET % 3))
    write_zip("hostile_shared_string_index.xlsx", hostile_xlsx_members(SHARED_MAP_SHEET % 4, SHARED_MAP_STRINGS))

    write_zip("hostile_bad_compression.xlsx", hostile_xlsx_members(SHARED_MAP_SHEET % 3, SHARED_MAP_STRINGS))

    def unknown_method(data, local, central):
        struct.pack_into("<H", data, local + 8, 77)  # no compression method has the number 77
        struct.pack_into("<H", data, central + 10, 77)
    patch_zip("hostile_bad_compression.xlsx", "xl/worksheets/sheet1.xml", unknown_method)

    write_zip("hostile_corrupt_deflate.xlsx", hostile_xlsx_members(SHARED_MAP_SHEET % 3, SHARED_MAP_STRINGS))

    def invalid_block(data, local, central):
        name_length, extra_length = struct.unpack_from("<HH", data, local + 26)
        data[local + 30 + name_length + extra_length] |= 0x06  # block type 3, which does not exist
    patch_zip("hostile_corrupt_deflate.xlsx", "xl/worksheets/sheet1.xml", invalid_block)

    write_zip("hostile_bad_crc.xlsx", hostile_xlsx_members(SHARED_MAP_SHEET % 3, SHARED_MAP_STRINGS))

    def wrong_crc(data, local, central):
        crc = struct.unpack_from("<I", data, local + 14)[0] ^ 0xFFFFFFFF
        struct.pack_into("<I", data, local + 14, crc)
        struct.pack_into("<I", data, central + 16, crc)
    patch_zip("hostile_bad_crc.xlsx", "xl/worksheets/sheet1.xml", wrong_crc)

    members = hostile_xlsx_members(SHARED_MAP_SHEET % 3, SHARED_MAP_STRINGS)
    strings = members[-1][1]
    members[-1] = ("xl/sharedStrings.xml", strings[: strings.index("<si><t>0x20") + len("<si><t")])
    write_zip("hostile_damaged_shared_strings.xlsx", members)

    depth = 1000000
    deep_cell = '<c r="%s" t="inlineStr"><is>' + "<r>" * depth + "<t>deep</t>" + "</r>" * depth + "</is></c>"
    write_zip("hostile_deep_nesting.xlsx", hostile_xlsx_members(minimal_sheet([
        [inline_cell(v) for v in MAP_TITLE], [inline_cell(v) for v in [10, 1, 33]], [deep_cell]])))
    write_deep_spans("hostile_deep_nesting.ods", depth)
    # Half a million deep, small enough to parse: read, its text "deep".
    write_deep_spans("hostile_deep_spans.ods", 500000)
    write_hostile_blanks("hostile_blanks.ods", 200, 15000000)
    write_hostile_sheet_offsets("hostile_sheet_offsets.xls", 20000)

    with zipfile.ZipFile(os.path.join(HERE, "receive_map.ods")) as whole:
        members = [(entry, whole.read(entry.filename)) for entry in whole.infolist() if entry.filename != "content.xml"]
    with zipfile.ZipFile(os.path.join(HERE, "hostile_content_missing.ods"), "w") as archive:
        for entry, data in members:
            info = zipfile.ZipInfo(entry.filename, date_time=(2026, 1, 1, 0, 0, 0))
            info.external_attr = entry.external_attr
            archive.writestr(info, data, entry.compress_type)



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

    write_openpyxl("writers_openpyxl.xlsx", WRITERS_SHEETS)
    write_xlsxwriter("writers_xlsxwriter.xlsx", WRITERS_SHEETS)
    write_odfpy("writers_odfpy.ods", WRITERS_SHEETS)
    write_libreoffice("writers_libreoffice", WRITERS_SHEETS, ("xlsx", "ods"))
    # FreeXL 1.0.6 cannot open an .xls whose shared strings hold an empty text, as LibreOffice
    # stores an empty text cell: the content's .xls leaves that cell empty, and
    # writers_libreoffice_empty_text.xls holds such a cell alone.
    write_libreoffice("writers_libreoffice", without_empty_texts(WRITERS_SHEETS), ("xls",))
    write_libreoffice("writers_libreoffice_empty_text", [("rpdodef", [["cobid", "id_dev_orig"], ["7", ""]])], ("xls",))
    write_hostile()

if __name__ == "__main__":
    main()
