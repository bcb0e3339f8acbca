// The .xls reading on workbooks made here record by record: what is refused before FreeXL sees the
// file, and what the child process that runs FreeXL does with a crash, a runaway or a blow-up.
#ifdef TRELVANT_WITH_XLS

#include "documents/workbook.h"
#include "platform/error.h"
#include "platform/isolated_call.h"
#include "tests/support/stored_zip.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace trelvant {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Little-endian fields; a field wider than 8 bytes is zero-filled past them.
void Put(std::string& out, std::uint64_t value, int bytes)
{
    test::PutLittle(out, value, std::min(bytes, 8));
    out.append(static_cast<std::size_t>(std::max(bytes - 8, 0)), '\0');
}

void Patch(std::string& out, std::size_t at, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string Bytes(std::uint64_t value, int bytes)
{
    std::string out;
    Put(out, value, bytes);
    return out;
}

std::uint32_t Read32(const std::string& in, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(in[at + i]);
    return value;
}

std::string Record(std::uint16_t id, const std::string& data)
{
    std::string record;
    Put(record, id, 2);
    Put(record, data.size(), 2);
    return record + data;
}

std::string Bof(std::uint16_t kind)
{
    std::string data;
    Put(data, 0x0600, 2);  // BIFF8
    Put(data, kind, 2);    // 5 workbook globals, 0x10 worksheet
    Put(data, 0x0DBB, 2);
    Put(data, 0x07CC, 2);
    Put(data, 0, 8);
    return Record(0x0809, data);
}

struct Sheet {
    std::string name;
    std::uint32_t rows;     // as its DIMENSIONS record declares them
    std::uint16_t columns;
    std::vector<std::vector<double>> numbers;  // from A1
    std::string cells = {};                    // further cell records, after the numbers
};

std::string NumberCell(std::uint16_t row, std::uint16_t column, double value)
{
    std::string number;
    Put(number, row, 2);
    Put(number, column, 2);
    Put(number, 0x0F, 2);
    std::uint64_t bits;
    std::memcpy(&bits, &value, 8);
    Put(number, bits, 8);
    return Record(0x0203, number);
}

// A BIFF8 text from its character count on: the flags, then the characters, 8-bit or, when wide,
// UTF-16LE (made here of 8-bit characters).
std::string UnicodeText(const std::string& text, bool wide)
{
    std::string out = Bytes(text.size(), 2) + Bytes(wide ? 1 : 0, 1);
    for (const char c : text) out += wide ? std::string{c, '\0'} : std::string{c};
    return out;
}

std::string SharedStrings(const std::vector<std::string>& texts, bool wide = false)
{
    std::string data = Bytes(texts.size(), 4) + Bytes(texts.size(), 4);
    for (const std::string& text : texts) data += UnicodeText(text, wide);
    return Record(0x00FC, data);
}

std::string CellHead(std::uint16_t row, std::uint16_t column)
{
    return Bytes(row, 2) + Bytes(column, 2) + Bytes(0x0F, 2);
}

std::string LabelSst(std::uint16_t row, std::uint16_t column, std::uint32_t index)
{
    return Record(0x00FD, CellHead(row, column) + Bytes(index, 4));
}

std::string Label(std::uint16_t row, std::uint16_t column, const std::string& text, bool wide = false)
{
    return Record(0x0204, CellHead(row, column) + UnicodeText(text, wide));
}

// Without formatting runs.
std::string RString(std::uint16_t row, std::uint16_t column, const std::string& text)
{
    return Record(0x00D6, CellHead(row, column) + UnicodeText(text, false) + Bytes(0, 2));
}

// A BIFF8 workbook stream: globals with one BOUNDSHEET a worksheet, then the worksheets.
std::string WorkbookStream(const std::vector<Sheet>& sheets, std::string extraGlobals = {})
{
    std::string globals = Bof(0x0005) + extraGlobals;
    std::vector<std::size_t> offsetFields;
    for (const Sheet& sheet : sheets) {
        std::string data;
        Put(data, 0, 4);  // offset, patched below
        Put(data, 0, 2);  // visible worksheet
        Put(data, sheet.name.size(), 1);
        Put(data, 0, 1);  // 8-bit characters
        data += sheet.name;
        offsetFields.push_back(globals.size() + 4);
        globals += Record(0x0085, data);
    }
    globals += Record(0x000A, "");
    std::string stream = globals;
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        Patch(stream, offsetFields[s], stream.size(), 4);
        stream += Bof(0x0010);
        std::string dimensions;
        Put(dimensions, 0, 4);
        Put(dimensions, sheets[s].rows, 4);
        Put(dimensions, 0, 2);
        Put(dimensions, sheets[s].columns, 2);
        Put(dimensions, 0, 2);
        stream += Record(0x0200, dimensions);
        for (std::size_t r = 0; r < sheets[s].numbers.size(); ++r)
            for (std::size_t c = 0; c < sheets[s].numbers[r].size(); ++c)
                stream += NumberCell(static_cast<std::uint16_t>(r), static_cast<std::uint16_t>(c), sheets[s].numbers[r][c]);
        stream += sheets[s].cells;
        stream += Record(0x000A, "");
    }
    return stream;
}

// Where the fields of the compound document made below stand.
constexpr std::size_t kFatSectorCountField = 44;
constexpr std::size_t kDirectorySector = 2;       // sector 0 the allocation table, 1.. the stream
constexpr std::size_t kEntryNameLength = 64;

// A compound document of 512-byte sectors holding the stream as "Workbook": sector 0 the
// allocation table, then the stream (at least 4096 bytes, so outside the mini stream), then the
// directory.
std::string CompoundDocument(std::string stream)
{
    stream.resize(std::max<std::size_t>(((stream.size() + 511) / 512) * 512, 4096), '\0');
    const std::size_t streamSectors = stream.size() / 512;
    std::size_t fatSectors = 1;
    while (fatSectors * 128 < fatSectors + streamSectors + 1) ++fatSectors;
    const std::size_t directorySector = fatSectors + streamSectors;

    std::string header("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    Put(header, 0, 16);
    Put(header, 0x003E, 2);
    Put(header, 3, 2);       // version 3
    Put(header, 0xFFFE, 2);  // byte order
    Put(header, 9, 2);       // 512-byte sectors
    Put(header, 6, 2);       // 64-byte mini sectors
    Put(header, 0, 6);
    Put(header, 0, 4);                // directory sectors (0 in version 3)
    Put(header, fatSectors, 4);       // allocation table sectors
    Put(header, directorySector, 4);  // first directory sector
    Put(header, 0, 4);
    Put(header, 4096, 4);        // mini stream cutoff
    Put(header, 0xFFFFFFFE, 4);  // no mini allocation table
    Put(header, 0, 4);
    Put(header, 0xFFFFFFFE, 4);  // no DIFAT sectors
    Put(header, 0, 4);
    for (std::size_t s = 0; s < fatSectors; ++s) Put(header, s, 4);  // the allocation table first
    while (header.size() < 512) Put(header, 0xFFFFFFFF, 4);

    std::string fat;
    for (std::size_t s = 0; s < fatSectors; ++s) Put(fat, 0xFFFFFFFD, 4);  // sectors of the table
    for (std::size_t s = 1; s <= streamSectors; ++s) Put(fat, s == streamSectors ? 0xFFFFFFFE : fatSectors + s, 4);
    Put(fat, 0xFFFFFFFE, 4);  // the directory, one sector
    while (fat.size() < 512 * fatSectors) Put(fat, 0xFFFFFFFF, 4);

    auto entry = [](std::u16string name, int type, std::uint32_t child, std::uint32_t start, std::uint32_t size) {
        std::string e;
        for (char16_t c : name) Put(e, c, 2);
        e.resize(64, '\0');
        Put(e, (name.size() + 1) * 2, 2);
        Put(e, type, 1);
        Put(e, 1, 1);  // black
        Put(e, 0xFFFFFFFF, 4);
        Put(e, 0xFFFFFFFF, 4);
        Put(e, child, 4);
        e.resize(116, '\0');
        Put(e, start, 4);
        Put(e, size, 4);
        Put(e, 0, 4);
        return e;
    };
    std::string directory =
        entry(u"Root Entry", 5, 1, 0xFFFFFFFE, 0) + entry(u"Workbook", 2, 0xFFFFFFFF, fatSectors, stream.size());
    directory.resize(512, '\0');
    for (std::size_t at = 256; at < 512; at += 128) Patch(directory, at + 68, 0xFFFFFFFF, 4);  // unused entries
    return header + fat + stream + directory;
}

std::size_t DirectoryAt(const std::string& document)
{
    return document.size() - 512;
}

std::vector<Sheet> OrdinarySheets()
{
    return {{"Notes", 1, 1, {{1}}}, {"rpdodef", 3, 2, {{0, 0}, {61444, 0}, {65262, 3}}}};
}

class XlsWorkbook : public testing::Test {
protected:
    fs::path write(const std::string& bytes, const std::string& name = "book.xls")
    {
        const fs::path file = folder / name;
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        return file;
    }

    // What follows "<path> is not a workbook that can be read" in the refusal.
    std::string refusal(const std::string& bytes, const std::string& sheet = "rpdodef")
    {
        const fs::path file = write(bytes);
        try {
            ReadWorksheet(file, sheet);
        } catch (const Error& e) {
            const std::string message = e.what();
            const std::string lead = file.string() + " is not a workbook that can be read";
            EXPECT_EQ(message.rfind(lead, 0), 0u) << message;
            return message.substr(std::min(message.size(), lead.size()));
        }
        return "(read)";
    }

    test::TempFolder folder;
};

// The workbook the cases below damage, read whole: the way they are made is sound.
TEST_F(XlsWorkbook, AWorkbookMadeRecordByRecordIsRead)
{
    const std::optional<Worksheet> sheet = ReadWorksheet(write(CompoundDocument(WorkbookStream(OrdinarySheets()))), "RPDODEF");
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->name, "rpdodef");
    EXPECT_EQ(sheet->records, (std::vector<WorkbookRecord>{{"61444", "0"}, {"65262", "3"}}));
}

TEST_F(XlsWorkbook, WhatFreexlWouldTrustIsCheckedFirst)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::string reason;
    };
    std::vector<Case> cases;

    std::string longName = CompoundDocument(WorkbookStream(OrdinarySheets()));
    Patch(longName, DirectoryAt(longName) + 128 + kEntryNameLength, 200, 2);
    cases.push_back({"a directory entry name of 200 bytes", longName,
                     ": a name in its compound document's directory is damaged"});

    std::string manySectors = CompoundDocument(WorkbookStream(OrdinarySheets()));
    Patch(manySectors, kFatSectorCountField, 100000, 4);
    cases.push_back({"more allocation table sectors than the file holds", manySectors,
                     ": its compound document counts more sectors than the file holds"});

    std::string loop = CompoundDocument(WorkbookStream(OrdinarySheets()));
    Patch(loop, 512 + 4 * 2, 1, 4);  // the stream's second sector leads back to its first
    cases.push_back({"a chain of sectors that loops", loop, ": a chain of its compound document is damaged"});

    std::string cut = CompoundDocument(WorkbookStream(OrdinarySheets()));
    cut.resize(512 * kDirectorySector + 100);
    cases.push_back({"a file cut short", cut, ": its compound document names a sector past the end of the file"});

    std::vector<Sheet> fullSheets;
    for (int s = 0; s < 40; ++s) fullSheets.push_back({"S" + std::to_string(s), 65536, 256, {}});
    cases.push_back({"40 worksheets each declaring IV65536", CompoundDocument(WorkbookStream(fullSheets)),
                     ": its worksheet S0 spans more than 1048576 cells"});

    std::vector<Sheet> manySheets;
    for (int s = 0; s < 40; ++s) manySheets.push_back({"S" + std::to_string(s), 4096, 256, {}});
    cases.push_back({"40 worksheets of a million cells each", CompoundDocument(WorkbookStream(manySheets)),
                     ": its worksheets span more than 4194304 cells together"});

    cases.push_back({"an empty worksheet declaring 400 million rows",
                     CompoundDocument(WorkbookStream({{"rpdodef", 400000000, 0, {}}})),
                     ": its worksheet rpdodef declares 400000000 rows and 0 columns, more than a worksheet has"});

    std::string pastEnd = WorkbookStream(OrdinarySheets());
    Patch(pastEnd, Bof(5).size() + 4, 1000000, 4);  // the first BOUNDSHEET's offset
    cases.push_back({"a worksheet that begins past the stream", CompoundDocument(pastEnd),
                     ": its worksheet Notes begins past the end of its workbook stream"});

    // Where the worksheets begin: each at a BOF record of its own, after the globals, once.
    const std::size_t firstOffsetField = Bof(5).size() + 4;
    const std::size_t secondOffsetField = firstOffsetField + 4 + 8 + std::string("Notes").size();
    std::string sameStart = WorkbookStream(OrdinarySheets());
    Patch(sameStart, secondOffsetField, Read32(sameStart, firstOffsetField), 4);
    cases.push_back({"two worksheets that begin at the same record", CompoundDocument(sameStart),
                     ": its worksheets Notes and rpdodef begin at the same place"});

    std::string midRecord = WorkbookStream(OrdinarySheets());
    Patch(midRecord, secondOffsetField, Read32(midRecord, secondOffsetField) + 2, 4);
    cases.push_back({"a worksheet that begins inside a record", CompoundDocument(midRecord),
                     ": its worksheet rpdodef does not begin where the workbook says"});

    std::vector<Sheet> atZero(20000, Sheet{"S", 1, 1, {}});
    std::string allAtZero = WorkbookStream(atZero);
    for (std::size_t s = 0; s < atZero.size(); ++s) Patch(allAtZero, firstOffsetField + s * (4 + 9), 0, 4);
    cases.push_back({"20,000 worksheets that all begin at the workbook's BOF", CompoundDocument(allAtZero),
                     ": its worksheet S does not begin where the workbook says"});

    std::vector<Sheet> tooMany;
    for (int s = 0; s < 65536; ++s) tooMany.push_back({"S" + std::to_string(s), 0, 0, {}});
    cases.push_back({"65,536 worksheets", CompoundDocument(WorkbookStream(tooMany)),
                     ": it names more than 65535 worksheets, more than a workbook holds"});

    // The texts FreeXL copies by the lengths they give.
    const std::string pastRecord = ": a text in its workbook stream runs past the end of its record";
    cases.push_back({"a number format of 63,239 characters in 7 bytes",
                     CompoundDocument(WorkbookStream(OrdinarySheets(), Record(0x041E, Bytes(164, 2) + Bytes(0xF707, 2) +
                                                                                          Bytes(0, 1) + "General"))),
                     pastRecord});
    cases.push_back({"a number format whose formatting run count is cut off",
                     CompoundDocument(WorkbookStream(OrdinarySheets(), Record(0x041E, Bytes(164, 2) + Bytes(1, 2) +
                                                                                          Bytes(0x08, 1) + "G"))),
                     pastRecord});
    cases.push_back({"a text cell of 300 characters in 3 bytes",
                     CompoundDocument(WorkbookStream(OrdinarySheets(), Record(0x0204, Bytes(0, 6) + Bytes(300, 2) +
                                                                                          Bytes(0, 1) + "abc"))),
                     pastRecord});
    std::string nameTooLong = WorkbookStream(OrdinarySheets());
    Patch(nameTooLong, firstOffsetField + 6, 200, 1);  // "Notes" said to be 200 characters
    cases.push_back({"a worksheet name longer than its record", CompoundDocument(nameTooLong), pastRecord});

    const std::string sstHead = Bytes(2, 4) + Bytes(2, 4);
    cases.push_back({"a shared string cut short and continued by too little",
                     CompoundDocument(WorkbookStream(OrdinarySheets(),
                                                     Record(0x00FC, sstHead + Bytes(10, 2) + Bytes(1, 1) + "ab") +
                                                         Record(0x003C, Bytes(1, 1) + "cd"))),
                     ": its shared strings are damaged"});
    cases.push_back({"formatting runs that reach past the next record",
                     CompoundDocument(WorkbookStream(OrdinarySheets(),
                                                     Record(0x00FC, sstHead + Bytes(2, 2) + Bytes(0x08, 1) + Bytes(60000, 2) + "ab") +
                                                         Record(0x003C, Bytes(1, 2) + Bytes(0, 1) + "c"))),
                     ": its shared strings are damaged"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(refusal(c.bytes), c.reason);
    }
}

// Shared strings as writers store them are taken: a text cut at a record's end goes on in the
// next, formatting runs after a text are skipped.
TEST_F(XlsWorkbook, SharedStringsAcrossRecordsPassTheCheck)
{
    // "Index" with one formatting run, "NrPdo" cut after "Nr", then "abc" in UTF-16.
    const std::string sst = Record(0x00FC, Bytes(3, 4) + Bytes(3, 4) + Bytes(5, 2) + Bytes(0x08, 1) + Bytes(1, 2) + "Index" +
                                               Bytes(0, 4) + Bytes(5, 2) + Bytes(0, 1) + "Nr") +
                            Record(0x003C, Bytes(0, 1) + "Pdo" + Bytes(3, 2) + Bytes(1, 1) + std::string("a\0b\0c\0", 6));
    const std::optional<Worksheet> sheet =
        ReadWorksheet(write(CompoundDocument(WorkbookStream(OrdinarySheets(), sst))), "rpdodef");
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->records, (std::vector<WorkbookRecord>{{"61444", "0"}, {"65262", "3"}}));
}

// FreeXL hands texts back cut at the character 0: a cell showing such a text is refused, named,
// whether the text is a shared string (cut by a CONTINUE record or not), a LABEL or an RSTRING.
TEST_F(XlsWorkbook, ACellShowingATextThatHoldsTheCharacter0IsRefused)
{
    struct Case {
        const char* what;
        std::string globals;
        std::string cells;  // of rpdodef, after its numbers (A1:B3)
        std::string reason;
    };
    const auto holds0 = [](const std::string& cell) {
        return ": its worksheet rpdodef, cell " + cell +
               ", holds the control character 0x00, which a document cannot hold";
    };
    const std::vector<Case> cases = {
        {"a shared string", SharedStrings({"Engine", "Eng\0ine"s}), LabelSst(2, 1, 1), holds0("B3")},
        {"a 16-bit shared string", SharedStrings({"\0"s}, true), LabelSst(1, 0, 0), holds0("A2")},
        {"a 16-bit shared string, the 0 after a CONTINUE record",
         Record(0x00FC, Bytes(1, 4) + Bytes(1, 4) + Bytes(4, 2) + Bytes(1, 1) + "A"s + '\0') +
             Record(0x003C, Bytes(1, 1) + "B\0\0\0C\0"s),
         LabelSst(2, 1, 0), holds0("B3")},
        {"a 16-bit shared string, the 0 before a CONTINUE record",
         Record(0x00FC, Bytes(1, 4) + Bytes(1, 4) + Bytes(3, 2) + Bytes(1, 1) + "\0\0A\0"s) +
             Record(0x003C, Bytes(0, 1) + "B"),
         LabelSst(2, 1, 0), holds0("B3")},
        {"an 8-bit LABEL", "", Label(2, 1, "Pump\0"s), holds0("B3")},
        {"a 16-bit LABEL", "", Label(0, 1, "\0cobid"s, true), holds0("B1")},
        {"an RSTRING", "", RString(2, 0, "a\0b"s), holds0("A3")},
        {"two cells, the first by row named", SharedStrings({"x\0"s}), LabelSst(2, 1, 0) + Label(1, 1, "\0"s),
         holds0("B2")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<Sheet> sheets = {{"Notes", 1, 1, {{1}}},
                                           {"rpdodef", 3, 2, {{0, 0}, {61444, 0}, {65262, 3}}, c.cells}};
        EXPECT_EQ(refusal(CompoundDocument(WorkbookStream(sheets, c.globals))), c.reason);
    }
}

// A text holding the character 0 that no cell of the worksheet read shows cuts nothing.
TEST_F(XlsWorkbook, ATextThatHoldsTheCharacter0WhereNoCellShowsItIsHarmless)
{
    struct Case {
        const char* what;
        std::string globals;
        std::string notes;    // cells of Notes (A1)
        std::string rpdodef;  // cells of rpdodef, after its numbers (A1:B3)
        WorkbookField b3;     // as read
    };
    const std::vector<Case> cases = {
        {"a shared string no cell shows", SharedStrings({"Engine", "Eng\0ine"s}), "", LabelSst(2, 1, 0), "Engine"},
        {"a cell replaced by a later number", "", "", Label(2, 1, "\0"s) + NumberCell(2, 1, 7), "7"},
        {"a cell of another worksheet", SharedStrings({"\0"s}), LabelSst(0, 0, 0), "", "3"},
        // FreeXL writes the rest of the text over the half character left before the CONTINUE.
        {"the half of a 16-bit character before a CONTINUE record",
         Record(0x00FC, Bytes(1, 4) + Bytes(1, 4) + Bytes(3, 2) + Bytes(1, 1) + "A\0\0"s) +
             Record(0x003C, Bytes(1, 1) + "B\0C\0"s),
         "", LabelSst(2, 1, 0), "ABC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<Sheet> sheets = {{"Notes", 1, 1, {{1}}, c.notes},
                                           {"rpdodef", 3, 2, {{0, 0}, {61444, 0}, {65262, 3}}, c.rpdodef}};
        std::optional<Worksheet> sheet;
        try {
            sheet = ReadWorksheet(write(CompoundDocument(WorkbookStream(sheets, c.globals))), "rpdodef");
        } catch (const Error& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        ASSERT_TRUE(sheet);
        EXPECT_EQ(sheet->records, (std::vector<WorkbookRecord>{{"61444", "0"}, {"65262", c.b3}}));
    }
}

// A workbook that passes every check above but makes FreeXL copy past the end of a buffer (found
// by fuzzing FreeXL): the child process that reads it crashes or refuses, and the program goes on.
TEST_F(XlsWorkbook, AWorkbookThatBreaksFreexlIsRefusedAndTheProgramGoesOn)
{
    const fs::path hostile = fs::path(TRELVANT_WORKBOOKS_TEST_DATA) / "hostile_freexl_overflow.xls";
    for (const char* sheet : {"rpdodef", "RInfoCob"}) {
        try {
            ReadWorksheet(hostile, sheet);
            ADD_FAILURE() << "read";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(hostile.string() + " is not a workbook that can be read", 0), 0u)
                << e.what();
        }
    }
    EXPECT_TRUE(ReadWorksheet(write(CompoundDocument(WorkbookStream(OrdinarySheets())), "next.xls"), "rpdodef"));
}

using Outcome = IsolatedResult::Outcome;

TEST(IsolatedCall, GivesBackWhatTheWorkReturned)
{
    const IsolatedResult result = RunIsolated([] { return std::string("cells\0and more", 14); });
    EXPECT_EQ(result.outcome, Outcome::Done);
    EXPECT_EQ(result.output, std::string("cells\0and more", 14));
}

TEST(IsolatedCall, ACrashOrAThrowEndsOnlyTheChild)
{
    IsolatedResult result = RunIsolated([]() -> std::string {
        std::raise(SIGSEGV);
        return "not reached";
    });
    EXPECT_EQ(result.outcome, Outcome::Crashed);
    EXPECT_EQ(result.signal, SIGSEGV);
    EXPECT_EQ(result.output, "");

    result = RunIsolated([]() -> std::string { std::abort(); });
    EXPECT_EQ(result.outcome, Outcome::Crashed);
    EXPECT_EQ(result.signal, SIGABRT);

    result = RunIsolated([]() -> std::string { throw Error("inside"); });
    EXPECT_EQ(result.outcome, Outcome::Failed);
}

TEST(IsolatedCall, ARunawayIsStoppedByItsLimits)
{
    IsolationLimits limits;
    limits.memoryBytes = 64u * 1024u * 1024u;
    // Under a sanitizer the allocator reports the failed allocation and ends the child itself.
    IsolatedResult result = RunIsolated(
        [] {
            std::vector<std::unique_ptr<char[]>> blocks;
            for (int i = 0; i < 64; ++i) {
                blocks.emplace_back(new char[16u * 1024u * 1024u]);
                std::memset(blocks.back().get(), 1, 16u * 1024u * 1024u);
            }
            return std::string("allocated 1 GiB");
        },
        limits);
    EXPECT_TRUE(result.outcome == Outcome::OverLimit || result.outcome == Outcome::Crashed);

    limits.cpuSeconds = 1;
    const auto start = std::chrono::steady_clock::now();
    result = RunIsolated(
        [] {
            volatile std::uint64_t n = 0;
            for (;;) n = n + 1;
            return std::string();
        },
        limits);
    EXPECT_EQ(result.outcome, Outcome::OverLimit);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    limits.wallTime = std::chrono::milliseconds(300);
    result = RunIsolated(
        [] {
            std::this_thread::sleep_for(std::chrono::hours(1));
            return std::string();
        },
        limits);
    EXPECT_EQ(result.outcome, Outcome::TimedOut);

    limits.maxOutputBytes = 1024 * 1024;
    result = RunIsolated([] { return std::string(4 * 1024 * 1024, 'x'); }, limits);
    EXPECT_EQ(result.outcome, Outcome::TooMuchOutput);
    EXPECT_EQ(result.output, "");
}

}  // namespace
}  // namespace trelvant

#endif
