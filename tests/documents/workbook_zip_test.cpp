// The .xlsx and .ods reader on packages made here part by part: what writers do differently, and
// what a damaged or hostile package does.
#include "documents/workbook.h"

#include "platform/error.h"
#include "tests/support/stored_zip.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace trelvant {
namespace {

namespace fs = std::filesystem;

constexpr WorkbookField null = std::nullopt;

const std::string kPackageRelationships =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
    R"(</Relationships>)";
const std::string kWorkbook =
    R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
    R"(<sheets><sheet name="Notes" sheetId="1" r:id="rId1"/><sheet name="RInfoCob" sheetId="2" r:id="rId2"/></sheets></workbook>)";
const std::string kWorkbookRelationships =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/../worksheets/map.xml"/>)"
    R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>)"
    R"(</Relationships>)";
const std::string kNotes = R"(<worksheet><sheetData><row><c><v>1</v></c></row></sheetData></worksheet>)";
const std::string kSharedStrings =
    R"(<sst><si><t>Index</t></si><si><r><t>Kühler </t></r><r><rPr><b/></rPr><t xml:space="preserve">Süd</t></r>)"
    R"(<rPh sb="0" eb="1"><t>reading</t></rPh></si><si><t xml:space="preserve"> </t></si><si><t/></si></sst>)";

std::string Sheet(const std::string& rows)
{
    // The dimension is never trusted: it claims the whole worksheet.
    return R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><dimension ref="A1:XFD1048576"/>)"
           R"(<sheetData>)" + rows + R"(</sheetData></worksheet>)";
}

// A package with the worksheets Notes and RInfoCob; parts may be replaced or left out (nullptr).
struct Xlsx {
    std::string map;
    const std::string* packageRelationships = &kPackageRelationships;
    const std::string* workbook = &kWorkbook;
    const std::string* workbookRelationships = &kWorkbookRelationships;
    const std::string* sharedStrings = &kSharedStrings;

    std::string bytes() const
    {
        std::vector<test::ZipEntry> entries;
        if (packageRelationships) entries.emplace_back("_rels/.rels", *packageRelationships);
        if (workbook) entries.emplace_back("xl/workbook.xml", *workbook);
        if (workbookRelationships) entries.emplace_back("xl/_rels/workbook.xml.rels", *workbookRelationships);
        if (sharedStrings) entries.emplace_back("xl/sharedStrings.xml", *sharedStrings);
        entries.emplace_back("xl/worksheets/sheet1.xml", kNotes);
        entries.emplace_back("xl/worksheets/map.xml", map);
        return test::StoredZip(entries);
    }
};

std::string Ods(const std::string& tables)
{
    const std::string content =
        R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
        R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
        R"( xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0">)"
        R"(<office:body><office:spreadsheet>)" + tables + R"(</office:spreadsheet></office:body></office:document-content>)";
    return test::StoredZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", content}});
}

std::string OdsTable(const std::string& rows)
{
    return Ods(R"(<table:table table:name="Notes"><table:table-row><table:table-cell office:value-type="float" office:value="1"/></table:table-row></table:table>)"
               R"(<table:table table:name="RInfoCob"><table:table-column table:number-columns-repeated="1024"/>)" + rows +
               R"(</table:table>)");
}

class ZipWorkbook : public testing::Test {
protected:
    std::optional<Worksheet> read(const std::string& bytes, const std::string& sheet = "rinfocob")
    {
        const fs::path file = folder / "book";
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        return ReadWorksheet(file, sheet);
    }

    std::string refusal(const std::string& bytes)
    {
        try {
            read(bytes);
        } catch (const Error& e) {
            const std::string message = e.what();
            const std::string lead = (folder / "book").string() + " is not a workbook that can be read";
            EXPECT_EQ(message.rfind(lead, 0), 0u) << message;
            return message.substr(std::min(message.size(), lead.size()));
        }
        return "(read)";
    }

    test::TempFolder folder;
};

TEST_F(ZipWorkbook, XlsxCellsWithAndWithoutReferencesInAnyOrder)
{
    const Xlsx book{Sheet(
        R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)"
        // No references: row 2 follows row 1, its cells follow each other; "C2" then places one.
        R"(<row><c><v>10</v></c><c t="s"><v>1</v></c><c r="D2" t="s"><v>2</v></c><c><v>2.5E-3</v></c></row>)"
        // Cells out of order and a row after a gap.
        R"(<row r="5"><c r="C5" t="b"><v>1</v></c><c r="A5" t="str"><f>"a"&amp;"b"</f><v>ab</v></c>)"
        R"(<c r="B5" t="e"><v>#DIV/0!</v></c><c r="E5" t="s"><v>3</v></c><c r="F5"><f>1+2</f></c></row>)"
        R"(<row r="6"><c r="B6" t="inlineStr"><is><r><t>in</t></r><r><t>line</t></r></is></c><c r="C6" t="b"><v>0</v></c>)"
        R"(<c r="A6"><v>1E+20</v></c></row>)")};
    const std::optional<Worksheet> sheet = read(book.bytes());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->name, "RInfoCob");
    EXPECT_EQ(sheet->records, (std::vector<WorkbookRecord>{
                                  {"10", "Kühler Süd", null, " ", "0.0025"},
                                  {null, null, null, null, null},
                                  {null, null, null, null, null},
                                  {"ab", null, "1", null, null},
                                  {"100000000000000000000", "inline", "0", null, null},
                              }));
}

TEST_F(ZipWorkbook, XlsxWithPrefixedElementsAndItsWorkbookElsewhere)
{
    const std::string relationships =
        R"(<Relationships><Relationship Id="a" Type="http://purl.oclc.org/ooxml/officeDocument/relationships/officeDocument" Target="/book/main.xml"/></Relationships>)";
    const std::string workbook =
        R"(<x:workbook xmlns:x="s" xmlns:rel="r"><x:sheets><x:sheet name="RINFOCOB" rel:id="s7"/></x:sheets></x:workbook>)";
    const std::string workbookRelationships =
        R"(<Relationships><Relationship Id="s7" Type="t/worksheet" Target="../xl/worksheets/map.xml"/></Relationships>)";
    const std::string sheet =
        R"(<x:worksheet xmlns:x="s"><x:sheetData><x:row r="2"><x:c r="A2" t="inlineStr"><x:is><x:t>0x20</x:t></x:is></x:c>)"
        R"(<x:c r="B2"><x:v>2</x:v></x:c></x:row></x:sheetData></x:worksheet>)";
    const std::string bytes = test::StoredZip({{"_rels/.rels", relationships},
                                               {"book/main.xml", workbook},
                                               {"book/_rels/main.xml.rels", workbookRelationships},
                                               {"xl/worksheets/map.xml", sheet}});
    const std::optional<Worksheet> read_ = read(bytes);
    ASSERT_TRUE(read_);
    EXPECT_EQ(read_->name, "RINFOCOB");
    EXPECT_EQ(read_->records, (std::vector<WorkbookRecord>{{"0x20", "2"}}));
}

TEST_F(ZipWorkbook, OdsParagraphsBlanksRepeatsAndGroups)
{
    const std::optional<Worksheet> sheet = read(OdsTable(
        R"(<table:table-header-rows><table:table-row><table:table-cell office:value-type="string"><text:p>Index</text:p></table:table-cell></table:table-row></table:table-header-rows>)"
        R"(<table:table-row-group><table:table-row-group>)"
        // Blanks: one (no count), three, leading and trailing; a tab, a line break, nested spans,
        // two paragraphs; an annotation is not part of the text.
        R"(<table:table-row><table:table-cell office:value-type="string"><text:p><text:s/>5</text:p></table:table-cell>)"
        R"(<table:table-cell office:value-type="string"><text:p>5<text:s/></text:p></table:table-cell>)"
        R"(<table:table-cell office:value-type="string"><office:annotation><text:p>note</text:p></office:annotation>)"
        R"(<text:p>a<text:s text:c="3"/>b<text:tab/>c<text:line-break/><text:span>d<text:span>e</text:span></text:span></text:p><text:p>f</text:p></table:table-cell>)"
        R"(</table:table-row></table:table-row-group></table:table-row-group>)"
        // Equal rows stored once; equal cells stored once; a covered cell's text; an empty cell.
        R"(<table:table-row table:number-rows-repeated="2"><table:table-cell office:value-type="float" office:value="61444" table:number-columns-repeated="2"/>)"
        R"(<table:covered-table-cell office:value-type="string"><text:p>under</text:p></table:covered-table-cell></table:table-row>)"
        // Numbers of other kinds, a boolean, an error result, a stored string value.
        R"(<table:table-row><table:table-cell office:value-type="percentage" office:value="0.5"/>)"
        R"(<table:table-cell office:value-type="boolean" office:boolean-value="false"><text:p>FALSE</text:p></table:table-cell>)"
        R"(<table:table-cell table:formula="of:=1/0" office:value-type="string" office:string-value="" calcext:value-type="error"><text:p>#DIV/0!</text:p></table:table-cell>)"
        R"(<table:table-cell office:value-type="string" office:string-value="stored"><text:p>shown</text:p></table:table-cell>)"
        // A number cell without its value gives the number as shown.
        R"(<table:table-cell office:value-type="float"><text:p>7</text:p></table:table-cell></table:table-row>)"
        // Trailing empty rows and cells, however many, cost nothing.
        R"(<table:table-row table:number-rows-repeated="1048000000"><table:table-cell table:number-columns-repeated="16384"/></table:table-row>)"));
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->records, (std::vector<WorkbookRecord>{
                                  {" 5", "5 ", "a   b\tc\nde\nf", null, null},
                                  {"61444", "61444", "under", null, null},
                                  {"61444", "61444", "under", null, null},
                                  {"0.5", "0", null, "stored", "7"},
                              }));
}

struct Refusal {
    const char* what;
    std::string bytes;
    std::string reason;  // what follows "<path> is not a workbook that can be read"
};

std::vector<Refusal> Refusals()
{
    static const std::string sharedWithoutPart = R"(<Relationships><Relationship Id="rId2" Type="x/worksheet" Target="worksheets/map.xml"/></Relationships>)";
    static const std::string missingSheet = R"(<Relationships><Relationship Id="rId2" Type="x/worksheet" Target="worksheets/gone.xml"/></Relationships>)";
    static const std::string noRelationships = R"(<Relationships/>)";
    std::vector<Refusal> refusals = {
        {"shared string index past the table", Xlsx{Sheet(R"(<row><c t="s"><v>4</v></c></row>)")}.bytes(),
         ": its worksheet RInfoCob holds a cell naming shared string '4', which it does not hold"},
        {"shared strings without their part", [] {
             Xlsx book{Sheet(R"(<row><c t="s"><v>0</v></c></row>)")};
             book.workbookRelationships = &sharedWithoutPart;
             return book.bytes();
         }(),
         ": its worksheet RInfoCob holds a cell naming shared string '0', which it does not hold"},
        {"a listed part that the zip does not hold", [] {
             Xlsx book{Sheet("")};
             book.workbookRelationships = &missingSheet;
             return book.bytes();
         }(),
         ": its part xl/worksheets/gone.xml is missing"},
        {"a listed shared strings part that the zip does not hold", [] {
             Xlsx book{Sheet("")};
             book.sharedStrings = nullptr;
             return book.bytes();
         }(),
         ": its part xl/sharedStrings.xml is missing"},
        {"a worksheet without a relationship", [] {
             Xlsx book{Sheet("")};
             book.workbookRelationships = &noRelationships;
             return book.bytes();
         }(),
         ": its worksheet RInfoCob names no part of the workbook"},
        {"a damaged worksheet part", Xlsx{"<worksheet><sheetData><row><c"}.bytes(),
         ": its part xl/worksheets/map.xml is not well-formed XML (Error parsing start element tag)"},
        {"a cell reference that names no cell", Xlsx{Sheet(R"(<row><c r="1A"><v>1</v></c></row>)")}.bytes(),
         ": its worksheet RInfoCob holds a cell named '1A'"},
        {"a row numbered 0", Xlsx{Sheet(R"(<row r="0"><c><v>1</v></c></row>)")}.bytes(),
         ": its worksheet RInfoCob holds a row numbered '0'"},
        {"a number cell that holds no number", Xlsx{Sheet(R"(<row><c><v>12abc</v></c></row>)")}.bytes(),
         ": its worksheet RInfoCob holds a number cell holding '12abc'"},
        {"a used range beyond the bound", Xlsx{Sheet(R"(<row r="2"><c r="A2"><v>1</v></c><c r="XFD1048576"><v>1</v></c></row>)")}.bytes(),
         ": its worksheet RInfoCob spans more than 1048576 cells"},
        {"an ods repeat of no cells", OdsTable(R"(<table:table-row table:number-rows-repeated="0"/>)"),
         ": its worksheet RInfoCob repeats a row or cell '0' times"},
        {"a value repeated across a hundred million columns",
         OdsTable(R"(<table:table-row><table:table-cell office:value-type="float" office:value="1" table:number-columns-repeated="100000000"/></table:table-row>)"),
         ": its worksheet RInfoCob spans more than 1048576 cells"},
        {"a row of values repeated a billion times",
         OdsTable(R"(<table:table-row table:number-rows-repeated="1000000000"><table:table-cell office:value-type="float" office:value="1"/></table:table-row>)"),
         ": its worksheet RInfoCob spans more than 1048576 cells"},
        {"four billion blanks in one cell",
         OdsTable(R"(<table:table-row><table:table-cell office:value-type="string"><text:p><text:s text:c="4000000000"/></text:p></table:table-cell></table:table-row>)"),
         ": the texts of its worksheet RInfoCob are larger than 16 MiB"},
        {"an ods without its content", test::StoredZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}}),
         ": its part content.xml is missing"},
        {"a zip that is no workbook", test::StoredZip({{"notes.txt", "61444,0"}}),
         ": it is a zip archive, but neither an .xlsx nor an .ods workbook"},
        {"a zip cut short", Xlsx{Sheet("")}.bytes().substr(0, 200), ": it is not a complete zip archive"},
        {"two cells A2", Xlsx{Sheet(R"(<row r="2"><c r="A2"><v>1</v></c><c r="A2"><v>2</v></c></row>)")}.bytes(),
         ": its worksheet RInfoCob is damaged: it holds cell A2 twice"},
        {"a cell placed after its row's cells and named again",
         Xlsx{Sheet(R"(<row r="2"><c r="B2"><v>1</v></c><c r="A2"><v>2</v></c><c><v>3</v></c></row>)")}.bytes(),
         ": its worksheet RInfoCob is damaged: it holds cell B2 twice"},
        {"an empty cell C3 given twice", Xlsx{Sheet(R"(<row r="3"><c r="C3"/><c r="C3"/></row>)")}.bytes(),
         ": its worksheet RInfoCob is damaged: it holds cell C3 twice"},
        {"two rows numbered 2",
         Xlsx{Sheet(R"(<row r="2"><c r="A2"><v>1</v></c></row><row r="2"><c r="B2"><v>2</v></c></row>)")}.bytes(),
         ": its worksheet RInfoCob is damaged: it holds row 2 twice"},
        {"a row numbered as the one before it", Xlsx{Sheet(R"(<row><c><v>1</v></c></row><row r="1"/>)")}.bytes(),
         ": its worksheet RInfoCob is damaged: it holds row 1 twice"},
        {"a reference to the character U+FFFF",
         Xlsx{Sheet(R"(<row><c t="inlineStr"><is><t>&#xFFFF;</t></is></c></row>)")}.bytes(),
         ": its part xl/worksheets/map.xml is not well-formed XML (it holds the character U+FFFF)"},
        {"two hundred cells of 15,000,000 blanks each",
         OdsTable("<table:table-row>" + [] {
             std::string cells;
             for (int c = 0; c < 200; ++c)
                 cells += R"(<table:table-cell office:value-type="string"><text:p><text:s text:c="15000000"/></text:p></table:table-cell>)";
             return cells;
         }() + "</table:table-row>"),
         ": the texts of its worksheet RInfoCob are larger than 16 MiB"},
        {"two cells of 10 MiB in a row repeated twice",
         OdsTable(R"(<table:table-row table:number-rows-repeated="2"><table:table-cell office:value-type="string"><text:p><text:s text:c="5000000"/></text:p></table:table-cell>)"
                  R"(<table:table-cell office:value-type="string"><text:p><text:s text:c="5000000"/></text:p></table:table-cell></table:table-row>)"),
         ": the texts of its worksheet RInfoCob are larger than 16 MiB"},
    };
    return refusals;
}

TEST_F(ZipWorkbook, DamagedOrHostilePackagesAreRefusedWithTheirReason)
{
    for (const Refusal& c : Refusals()) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(refusal(c.bytes), c.reason);
    }
}

// One text of 9 MiB shared by two cells: the texts handed over are bounded, not each copy.
TEST_F(ZipWorkbook, OneLongSharedStringInManyCellsIsRefusedNotCopied)
{
    const std::string shared = "<sst><si><t>" + std::string(9u << 20, 'x') + "</t></si></sst>";
    Xlsx book{Sheet(R"(<row><c t="s"><v>0</v></c><c t="s"><v>0</v></c></row>)")};
    book.sharedStrings = &shared;
    EXPECT_EQ(refusal(book.bytes()), ": the texts of its worksheet RInfoCob are larger than 16 MiB");
}

// Control characters are handed on as they stand, the character 0 too (for the import to refuse
// them), however the part writes them: never a text cut at a 0.
TEST_F(ZipWorkbook, ControlCharactersAreKeptNotCut)
{
    const std::optional<Worksheet> xlsx = read(Xlsx{Sheet(
        R"(<row r="2"><c r="A2" t="inlineStr"><is><t>Eng&#0;ine</t></is></c><c r="B2" t="inlineStr"><is><t>&#x0000;</t></is></c>)"
        R"(<c r="C2" t="inlineStr"><is><t>a&#1;b&#x1B;c&#9;</t></is></c><c r="D2" t="str"><v>&#00;x</v></c></row>)")}.bytes());
    ASSERT_TRUE(xlsx);
    EXPECT_EQ(xlsx->records, (std::vector<WorkbookRecord>{
                                 {std::string("Eng\0ine", 7), std::string(1, '\0'), "a\x01" "b\x1B" "c\t", std::string("\0x", 2)}}));

    const std::optional<Worksheet> ods = read(OdsTable(
        R"(<table:table-row><table:table-cell office:value-type="string"><text:p>Index</text:p></table:table-cell></table:table-row>)"
        R"(<table:table-row><table:table-cell office:value-type="string"><text:p>a&#0;b</text:p></table:table-cell>)"
        R"(<table:table-cell office:value-type="string" office:string-value="&#x1B;[0m"/></table:table-row>)"));
    ASSERT_TRUE(ods);
    EXPECT_EQ(ods->records, (std::vector<WorkbookRecord>{{std::string("a\0b", 3), "\x1B[0m"}}));
}

// The zip's directory is counted before it is read: ten thousand and one parts are refused,
// ten thousand are read.
TEST_F(ZipWorkbook, AZipOfMoreThanTenThousandPartsIsRefused)
{
    Xlsx book{Sheet(R"(<row><c><v>7</v></c></row>)")};
    std::vector<test::ZipEntry> entries = {{"_rels/.rels", kPackageRelationships},
                                           {"xl/workbook.xml", kWorkbook},
                                           {"xl/_rels/workbook.xml.rels", kWorkbookRelationships},
                                           {"xl/sharedStrings.xml", kSharedStrings},
                                           {"xl/worksheets/sheet1.xml", kNotes},
                                           {"xl/worksheets/map.xml", book.map}};
    while (entries.size() < 10000) entries.emplace_back("media/" + std::to_string(entries.size()), "");
    EXPECT_EQ(read(test::StoredZip(entries))->records, (std::vector<WorkbookRecord>{}));
    entries.emplace_back("media/one more", "");
    EXPECT_EQ(refusal(test::StoredZip(entries)), ": it holds more than 10000 parts");
}

}  // namespace
}  // namespace trelvant
