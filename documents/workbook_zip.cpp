// .xlsx and .ods workbooks: zipped XML parts, unpacked with libzip and parsed with pugixml.
//
// Nothing a header says is trusted: the number of zip entries is checked before libzip reads its
// directory, each part is inflated only up to kMaxPartBytes whatever size the directory claims,
// and a part is parsed only when the tree it would make fits kMaxPartTreeBytes. Every walk over a
// parsed part follows a fixed path of element names or an explicit stack, so the depth of a part
// costs no stack.

#include "documents/workbook_reading.h"

#include "platform/error.h"

#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trelvant::workbook {
namespace {

// An .xlsx or .ods has a dozen parts; one with a thousand sheets and their drawings a few thousand.
constexpr std::uint64_t kMaxZipEntries = 10000;

// The largest part read: a worksheet of a hundred thousand cells is a few MiB.
constexpr std::size_t kMaxPartBytes = 16u * 1024u * 1024u;

// The memory of the parsed tree of one part, estimated from its text before it is parsed.
constexpr std::uint64_t kMaxPartTreeBytes = 48u * 1024u * 1024u;

constexpr unsigned kPartParseOptions = pugi::parse_default | pugi::parse_ws_pcdata;

std::string Mib(std::uint64_t bytes)
{
    return std::to_string(bytes / (1024 * 1024)) + " MiB";
}

std::uint64_t Little(const std::string& bytes, std::size_t at, int size)
{
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// The largest entry count that any end of central directory record in the zip's last 64 KiB
// gives (zip64's where a record defers to it): libzip takes the entry count from one of them, and
// a record hidden in the zip's comment must not hide another. nullopt where there is none, which
// libzip then reports.
std::optional<std::uint64_t> ZipEntryCount(const std::string& bytes)
{
    constexpr std::size_t kEndRecord = 22;
    constexpr std::size_t kZip64EndRecord = 56;
    if (bytes.size() < kEndRecord) return std::nullopt;
    std::optional<std::uint64_t> largest;
    const std::size_t lowest = bytes.size() > kEndRecord + 0xFFFF ? bytes.size() - kEndRecord - 0xFFFF : 0;
    for (std::size_t at = bytes.size() - kEndRecord + 1; at-- > lowest;) {
        if (bytes.compare(at, 4, "PK\x05\x06") != 0) continue;
        std::uint64_t count = std::max(Little(bytes, at + 8, 2), Little(bytes, at + 10, 2));
        // A zip64 locator stands just before the record; its end record holds the real count.
        if (at >= 20 && bytes.compare(at - 20, 4, "PK\x06\x07") == 0) {
            const std::uint64_t record = Little(bytes, at - 20 + 8, 8);
            if (bytes.size() >= kZip64EndRecord && record <= bytes.size() - kZip64EndRecord &&
                bytes.compare(record, 4, "PK\x06\x06") == 0)
                count = std::max({count, Little(bytes, record + 24, 8), Little(bytes, record + 32, 8)});
        }
        largest = std::max(largest.value_or(0), count);
    }
    return largest;
}

std::string_view LocalName(std::string_view name)
{
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool Named(const pugi::xml_node& node, std::string_view localName)
{
    return node.type() == pugi::node_element && LocalName(node.name()) == localName;
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view localName)
{
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (Named(child, localName)) return child;
    return {};
}

// The attribute of that local name, whatever its prefix; a prefixed one only where wanted.
pugi::xml_attribute Attribute(const pugi::xml_node& node, std::string_view localName, bool prefixed = false)
{
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
        std::string_view name = attribute.name();
        if (LocalName(name) == localName && (!prefixed || name.size() > localName.size())) return attribute;
    }
    return {};
}

// The children of node pushed so that the first is popped first: a walk in document order with a
// stack of its own, however deep the part.
void PushChildren(const pugi::xml_node& node, std::vector<pugi::xml_node>& pending)
{
    for (pugi::xml_node child = node.last_child(); child; child = child.previous_sibling()) pending.push_back(child);
}

std::string_view Trimmed(std::string_view text)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

template <typename Integer>
std::optional<Integer> ParseCount(std::string_view text)
{
    text = Trimmed(text);
    Integer value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The texts of an element's text children, CDATA included, in order.
std::string OwnText(const pugi::xml_node& node)
{
    std::string text;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
    return text;
}

// U+FFFF, which XML does not allow: a reference to the character 0 is parsed as this one, so that
// the parser, whose texts end at a 0, does not cut the cell's text there (RestoreNul).
constexpr std::string_view kNulStandIn = "\xEF\xBF\xBF";

// The part with every character reference to 0 ("&#0;", "&#x00;") made a reference to the stand-in;
// nullopt when the part holds the stand-in itself, which no well-formed part does.
std::optional<std::string> WithNulStandIns(std::string part)
{
    if (part.find(kNulStandIn) != std::string::npos) return std::nullopt;
    std::string out;
    std::size_t copied = 0;
    for (std::size_t at = part.find("&#"); at != std::string::npos; at = part.find("&#", at + 2)) {
        std::size_t digits = at + 2;
        const bool hex = digits < part.size() && (part[digits] == 'x' || part[digits] == 'X');
        if (hex) ++digits;
        std::size_t end = digits;
        std::uint64_t value = 0;
        while (end < part.size() && end - digits < 12 && std::isxdigit(static_cast<unsigned char>(part[end])) &&
               (hex || std::isdigit(static_cast<unsigned char>(part[end])))) {
            const char c = part[end];
            value = value * (hex ? 16 : 10) +
                    static_cast<std::uint64_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
            ++end;
        }
        if (end == digits || end >= part.size() || part[end] != ';') continue;
        if (value == 0xFFFF) return std::nullopt;
        if (value != 0) continue;
        out.append(part, copied, at - copied);
        out += "&#xFFFF;";
        copied = end + 1;
    }
    if (copied == 0) return part;
    out.append(part, copied, std::string::npos);
    return out;
}

// A cell's text with the stand-in made the character 0 again.
std::string RestoreNul(std::string text)
{
    for (std::size_t at = text.find(kNulStandIn); at != std::string::npos; at = text.find(kNulStandIn, at + 1))
        text.replace(at, kNulStandIn.size(), 1, '\0');
    return text;
}

class ZipWorkbook {
public:
    ZipWorkbook(const std::filesystem::path& workbook, const std::string& bytes) : workbook_(workbook)
    {
        if (std::optional<std::uint64_t> count = ZipEntryCount(bytes); count && *count > kMaxZipEntries)
            ThrowNotReadable(workbook_, "it holds more than " + std::to_string(kMaxZipEntries) + " parts");
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
        if (source != nullptr) {
            archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
            if (archive_ == nullptr) zip_source_free(source);
        }
        const int code = zip_error_code_zip(&error);
        zip_error_fini(&error);
        if (code == ZIP_ER_MEMORY) throw std::bad_alloc();
        if (archive_ == nullptr) ThrowNotReadable(workbook_, "it is not a complete zip archive");
    }
    ~ZipWorkbook()
    {
        if (archive_ != nullptr) zip_discard(archive_);
    }
    ZipWorkbook(const ZipWorkbook&) = delete;
    ZipWorkbook& operator=(const ZipWorkbook&) = delete;

    const std::filesystem::path& path() const { return workbook_; }

    bool has(std::string_view name) const { return locate(name) >= 0; }

    // The inflated bytes of the part of that name (case ignored), or nullopt when the zip holds
    // no such part. A part that cannot be inflated whole, or inflates past kMaxPartBytes, ends
    // the read.
    std::optional<std::string> read(std::string_view name) const
    {
        const zip_int64_t index = locate(name);
        if (index < 0) return std::nullopt;
        zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
        if (file == nullptr) {
            const int code = zip_error_code_zip(zip_get_error(archive_));
            if (code == ZIP_ER_MEMORY) throw std::bad_alloc();
            if (code == ZIP_ER_COMPNOTSUPP)
                fail(name, "is compressed by a method that cannot be read");
            if (code == ZIP_ER_ENCRNOTSUPP || code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD)
                fail(name, "is encrypted");
            fail(name, "cannot be unpacked");
        }
        std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(file, zip_fclose);
        std::string part;
        char chunk[64 * 1024];
        for (;;) {
            const zip_int64_t got = zip_fread(file, chunk, sizeof chunk);
            if (got < 0) {
                if (zip_error_code_zip(zip_file_get_error(file)) == ZIP_ER_MEMORY) throw std::bad_alloc();
                fail(name, "is damaged");
            }
            if (got == 0) break;
            if (part.size() + static_cast<std::size_t>(got) > kMaxPartBytes)
                fail(name, "is larger than " + Mib(kMaxPartBytes) + " unpacked");
            part.append(chunk, static_cast<std::size_t>(got));
        }
        // The size the directory gives is not trusted for reading, but a part of another size
        // than it says is damaged.
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) &&
            stat.size != part.size())
            fail(name, "is damaged");
        return part;
    }

    // The part parsed; a part listed but missing ends the read like a damaged one.
    void parse(std::string_view name, std::string part, pugi::xml_document& document) const
    {
        checkTreeSize(name, part);
        std::optional<std::string> standIns = WithNulStandIns(std::move(part));
        if (!standIns) fail(name, "is not well-formed XML (it holds the character U+FFFF)");
        part = std::move(*standIns);
        const pugi::xml_parse_result result =
            document.load_buffer(part.data(), part.size(), kPartParseOptions, pugi::encoding_auto);
        if (result.status == pugi::status_out_of_memory) throw std::bad_alloc();
        if (!result) fail(name, "is not well-formed XML (" + std::string(result.description()) + ")");
    }

    bool parseIfPresent(std::string_view name, pugi::xml_document& document) const
    {
        std::optional<std::string> part = read(name);
        if (!part) return false;
        parse(name, std::move(*part), document);
        return true;
    }

    void parseRequired(std::string_view name, pugi::xml_document& document) const
    {
        if (!parseIfPresent(name, document)) fail(name, "is missing");
    }

    [[noreturn]] void fail(std::string_view name, const std::string& what) const
    {
        ThrowNotReadable(workbook_, "its part " + std::string(name) + " " + what);
    }

private:
    zip_int64_t locate(std::string_view name) const
    {
        return zip_name_locate(archive_, std::string(name).c_str(), ZIP_FL_NOCASE);
    }

    // A parsed tree holds a node per element and per text, and a record per attribute: counted
    // from the text, they bound what parsing it would take.
    void checkTreeSize(std::string_view name, const std::string& part) const
    {
        std::uint64_t nodes = 1;
        std::uint64_t attributes = 0;
        bool inText = false;
        for (std::size_t i = 0; i < part.size(); ++i) {
            const char c = part[i];
            if (c == '<') {
                if (i + 1 < part.size() && part[i + 1] != '/') ++nodes;
                inText = false;
            } else if (c == '>') {
                inText = true;
            } else if (c == '=') {
                ++attributes;
            } else if (inText) {
                ++nodes;  // a text between two tags is one node
                inText = false;
            }
        }
        if (nodes * sizeof(void*) * 8 + attributes * sizeof(void*) * 5 > kMaxPartTreeBytes)
            fail(name, "is too large to read (more than " + Mib(kMaxPartTreeBytes) + " when parsed)");
    }

    std::filesystem::path workbook_;
    zip_t* archive_ = nullptr;
};

// Part names: relationship targets are relative to the folder of the part that names them, or
// absolute from the package's root when they start with "/".
std::string FolderOf(std::string_view part)
{
    const std::size_t slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

std::string ResolveTarget(std::string_view fromPart, std::string_view target)
{
    std::string joined = target.starts_with('/') ? std::string(target.substr(1)) : FolderOf(fromPart) + std::string(target);
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= joined.size()) {
        std::size_t end = joined.find('/', start);
        if (end == std::string::npos) end = joined.size();
        std::string segment = joined.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(std::move(segment));
        }
        start = end + 1;
    }
    std::string resolved;
    for (const std::string& segment : segments) resolved += (resolved.empty() ? "" : "/") + segment;
    return resolved;
}

std::string RelationshipsOf(std::string_view part)
{
    const std::size_t slash = part.rfind('/');
    const std::string_view file = slash == std::string_view::npos ? part : part.substr(slash + 1);
    return FolderOf(part) + "_rels/" + std::string(file) + ".rels";
}

struct Relationship {
    std::string type;    // the last segment of its type: "officeDocument", "worksheet", ...
    std::string target;  // the part's name, resolved
};

// The relationships of a part by their Id; an empty list when the part has none.
std::vector<std::pair<std::string, Relationship>> ReadRelationships(const ZipWorkbook& zip, std::string_view part)
{
    std::vector<std::pair<std::string, Relationship>> relationships;
    const std::string name = part.empty() ? "_rels/.rels" : RelationshipsOf(part);
    pugi::xml_document document;
    if (!zip.parseIfPresent(name, document)) return relationships;
    const pugi::xml_node root = document.document_element();
    for (pugi::xml_node node = root.first_child(); node; node = node.next_sibling()) {
        if (!Named(node, "Relationship")) continue;
        std::string_view type = node.attribute("Type").value();
        if (const std::size_t slash = type.rfind('/'); slash != std::string_view::npos) type.remove_prefix(slash + 1);
        Relationship relationship{std::string(type), {}};
        if (std::string_view(node.attribute("TargetMode").value()) != "External")
            relationship.target = ResolveTarget(part, node.attribute("Target").value());
        relationships.emplace_back(node.attribute("Id").value(), std::move(relationship));
    }
    return relationships;
}

// ---- .xlsx ----

// The text of a shared string or an inline string: its own <t>, or the <t> of each rich text
// run; the phonetic reading (<rPh>) is not part of it.
std::string StringItemText(const pugi::xml_node& item)
{
    std::string text;
    for (pugi::xml_node child = item.first_child(); child; child = child.next_sibling()) {
        if (Named(child, "t")) {
            text += OwnText(child);
        } else if (Named(child, "r")) {
            for (pugi::xml_node run = child.first_child(); run; run = run.next_sibling())
                if (Named(run, "t")) text += OwnText(run);
        }
    }
    return text;
}

// The shared strings, held one after the other in one text.
class SharedStrings {
public:
    void read(const ZipWorkbook& zip, const std::string& part)
    {
        pugi::xml_document document;
        zip.parseRequired(part, document);
        for (pugi::xml_node item = document.document_element().first_child(); item; item = item.next_sibling()) {
            if (!Named(item, "si")) continue;
            const std::string text = StringItemText(item);
            spans_.emplace_back(texts_.size(), text.size());
            texts_ += text;
        }
    }

    std::optional<std::string_view> at(std::string_view indexText) const
    {
        const std::optional<std::uint64_t> index = ParseCount<std::uint64_t>(indexText);
        if (!index || *index >= spans_.size()) return std::nullopt;
        const auto [start, size] = spans_[*index];
        return std::string_view(texts_).substr(start, size);
    }

private:
    std::string texts_;
    std::vector<std::pair<std::size_t, std::size_t>> spans_;
};

// "BC12" as column 54 and row 11, both from 0; nullopt for anything else.
std::optional<std::pair<std::uint64_t, std::uint64_t>> CellReference(std::string_view reference)
{
    std::uint64_t column = 0;
    std::size_t i = 0;
    for (; i < reference.size() && i < 4; ++i) {
        char c = reference[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z') break;
        column = column * 26 + static_cast<std::uint64_t>(c - 'A' + 1);
    }
    if (i == 0) return std::nullopt;
    const std::optional<std::uint64_t> row = ParseCount<std::uint64_t>(reference.substr(i));
    if (!row || *row == 0 || reference.substr(i).starts_with('+') || reference.substr(i).size() > 10) return std::nullopt;
    return std::pair{column - 1, *row - 1};
}

class XlsxSheetReader {
public:
    XlsxSheetReader(const ZipWorkbook& zip, const SharedStrings& strings, SheetCells& cells)
        : zip_(zip), strings_(strings), cells_(cells)
    {
    }

    void read(const std::string& part)
    {
        pugi::xml_document document;
        zip_.parseRequired(part, document);
        const pugi::xml_node sheetData = Child(document.document_element(), "sheetData");
        std::uint64_t nextRow = 0;
        std::vector<std::uint64_t> rows;
        for (pugi::xml_node row = sheetData.first_child(); row; row = row.next_sibling()) {
            if (!Named(row, "row")) continue;
            std::uint64_t r = nextRow;
            if (pugi::xml_attribute number = row.attribute("r")) {
                const std::optional<std::uint64_t> parsed = ParseCount<std::uint64_t>(number.value());
                if (!parsed || *parsed == 0) bad("a row numbered '" + std::string(number.value()) + "'");
                r = *parsed - 1;
            }
            rows.push_back(r);
            readRow(row, r);
            nextRow = r + 1;
        }
        // A row or a cell given twice is damage, not a value that replaces another.
        if (const std::optional<std::uint64_t> row = Repeated(rows)) damaged("row " + std::to_string(*row + 1));
        if (const std::optional<std::uint64_t> cell = Repeated(cellKeys_))
            damaged("cell " + CellName(*cell >> kColumnBits, *cell & ((std::uint64_t{1} << kColumnBits) - 1)));
    }

private:
    void readRow(const pugi::xml_node& row, std::uint64_t r)
    {
        std::uint64_t nextColumn = 0;
        for (pugi::xml_node cell = row.first_child(); cell; cell = cell.next_sibling()) {
            if (!Named(cell, "c")) continue;
            std::uint64_t c = nextColumn;
            std::uint64_t cellRow = r;
            if (pugi::xml_attribute reference = cell.attribute("r")) {
                const auto parsed = CellReference(reference.value());
                if (!parsed) bad("a cell named '" + std::string(reference.value()) + "'");
                std::tie(c, cellRow) = *parsed;
            }
            // A row past any worksheet's holds no value (add refuses one): only its place would be kept.
            if (cellRow < kMaxWorksheetCells && c < kMaxWorksheetCells) cellKeys_.push_back(cellRow << kColumnBits | c);
            if (std::optional<std::string> text = value(cell)) cells_.add(cellRow, c, RestoreNul(std::move(*text)));
            nextColumn = c + 1;
        }
    }

    std::optional<std::string> value(const pugi::xml_node& cell)
    {
        const std::string_view type = cell.attribute("t").value();
        if (type == "inlineStr") return StringItemText(Child(cell, "is"));
        const pugi::xml_node v = Child(cell, "v");
        if (!v) return std::nullopt;  // no value, or a formula without a stored result
        const std::string text = OwnText(v);
        if (type == "s") {
            const std::optional<std::string_view> shared = strings_.at(text);
            if (!shared) bad("a cell naming shared string '" + text + "', which it does not hold");
            cells_.expectText(shared->size());  // before a long shared string is copied
            return std::string(*shared);
        }
        if (type == "str" || type == "d") return text;
        if (type == "b") {
            const std::string_view flag = Trimmed(text);
            if (flag == "1" || flag == "true") return "1";
            if (flag == "0" || flag == "false") return "0";
            bad("a boolean cell holding '" + text + "'");
        }
        if (type == "e") return std::nullopt;  // an error result reads as an empty cell
        if (!type.empty() && type != "n") bad("a cell of the unknown type '" + std::string(type) + "'");
        if (Trimmed(text).empty()) return std::nullopt;
        WorkbookField number = NumberTextField(text);
        if (!number) bad("a number cell holding '" + text + "'");
        return number;
    }

    [[noreturn]] void bad(const std::string& what) const
    {
        ThrowNotReadable(zip_.path(), "its worksheet " + cells_.name() + " holds " + what);
    }

    [[noreturn]] void damaged(const std::string& what) const
    {
        ThrowNotReadable(zip_.path(), "its worksheet " + cells_.name() + " is damaged: it holds " + what + " twice");
    }

    // The smallest value that stands more than once in values, which it sorts.
    static std::optional<std::uint64_t> Repeated(std::vector<std::uint64_t>& values)
    {
        std::sort(values.begin(), values.end());
        const auto twice = std::adjacent_find(values.begin(), values.end());
        if (twice == values.end()) return std::nullopt;
        return *twice;
    }

    // A cell's key: its row above its column, both below kMaxWorksheetCells.
    static constexpr int kColumnBits = 20;
    static_assert(kMaxWorksheetCells <= std::uint64_t{1} << kColumnBits);

    const ZipWorkbook& zip_;
    const SharedStrings& strings_;
    SheetCells& cells_;
    std::vector<std::uint64_t> cellKeys_;
};

std::optional<Worksheet> ReadXlsx(const ZipWorkbook& zip, const std::string& workbookPart, std::string_view sheetName)
{
    pugi::xml_document workbook;
    zip.parseRequired(workbookPart, workbook);
    const pugi::xml_node sheets = Child(workbook.document_element(), "sheets");
    pugi::xml_node found;
    for (pugi::xml_node sheet = sheets.first_child(); sheet; sheet = sheet.next_sibling())
        if (Named(sheet, "sheet") && EqualsIgnoringAsciiCase(sheet.attribute("name").value(), sheetName)) {
            found = sheet;
            break;
        }
    if (!found) return std::nullopt;
    const std::string name = found.attribute("name").value();
    const std::string id = Attribute(found, "id", true).value();
    workbook.reset();

    std::string sheetPart;
    std::string sharedStringsPart;
    for (const auto& [relationshipId, relationship] : ReadRelationships(zip, workbookPart)) {
        if (relationshipId == id && !id.empty()) sheetPart = relationship.target;
        if (relationship.type == "sharedStrings" && sharedStringsPart.empty()) sharedStringsPart = relationship.target;
    }
    if (sheetPart.empty())
        ThrowNotReadable(zip.path(), "its worksheet " + name + " names no part of the workbook");

    SharedStrings strings;
    if (!sharedStringsPart.empty()) strings.read(zip, sharedStringsPart);
    SheetCells cells(zip.path(), name);
    XlsxSheetReader(zip, strings, cells).read(sheetPart);
    return std::move(cells).finish();
}

// ---- .ods ----

// A cell's text: its paragraphs joined by line breaks; within a paragraph <text:s text:c="n"/>
// is n blanks, <text:tab/> a tab, <text:line-break/> a line break, and spans, links and other
// inline elements give their text. Notes and annotations are not part of it.
class ParagraphText {
public:
    ParagraphText(const ZipWorkbook& zip, const std::string& sheet) : zip_(zip), sheet_(sheet) {}

    // The text, ending the read as soon as it passes room bytes.
    std::string of(const pugi::xml_node& cell, std::uint64_t room)
    {
        text_.clear();
        room_ = room;
        bool first = true;
        for (pugi::xml_node p = cell.first_child(); p; p = p.next_sibling()) {
            if (!Named(p, "p") && !Named(p, "h")) continue;
            if (!first) append(1, '\n');
            first = false;
            inline_(p);
        }
        return text_;
    }

private:
    void inline_(const pugi::xml_node& paragraph)
    {
        // Depth first through the paragraph's children, with a stack of our own.
        std::vector<pugi::xml_node> pending;
        PushChildren(paragraph, pending);
        while (!pending.empty()) {
            const pugi::xml_node node = pending.back();
            pending.pop_back();
            if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
                const std::string_view value = node.value();
                append(value);
                continue;
            }
            if (node.type() != pugi::node_element) continue;
            const std::string_view name = LocalName(node.name());
            if (name == "s") {
                const pugi::xml_attribute count = Attribute(node, "c");
                const std::optional<std::uint64_t> blanks = count ? ParseCount<std::uint64_t>(count.value()) : 1;
                append(blanks ? *blanks : 1, ' ');
            } else if (name == "tab") {
                append(1, '\t');
            } else if (name == "line-break") {
                append(1, '\n');
            } else if (name != "note" && name != "annotation" && name != "bookmark-ref" && name != "soft-page-break") {
                PushChildren(node, pending);
            }
        }
    }

    void append(std::string_view text)
    {
        room(text.size());
        text_ += text;
    }
    void append(std::uint64_t count, char c)
    {
        room(count);
        text_.append(static_cast<std::size_t>(count), c);
    }
    void room(std::uint64_t more) const
    {
        if (more > room_ || text_.size() + more > room_)
            ThrowNotReadable(zip_.path(), "the texts of its worksheet " + sheet_ + " are larger than " +
                                              Mib(kMaxWorksheetTextBytes));
    }

    const ZipWorkbook& zip_;
    const std::string& sheet_;
    std::string text_;
    std::uint64_t room_ = kMaxWorksheetTextBytes;
};

// Rows and columns past the largest worksheet all read as this one: counting on past it could
// only overflow.
constexpr std::uint64_t kBeyond = kMaxWorksheetCells + 1;

std::uint64_t Saturated(std::uint64_t position)
{
    return std::min(position, kBeyond);
}

// a * b, or just past the texts' bound when that is more.
std::uint64_t Product(std::uint64_t a, std::uint64_t b)
{
    a = Saturated(a);
    b = std::min<std::uint64_t>(b, kMaxWorksheetTextBytes + 1);
    return a != 0 && b > (kMaxWorksheetTextBytes + 1) / a ? kMaxWorksheetTextBytes + 1 : a * b;
}

class OdsSheetReader {
public:
    OdsSheetReader(const ZipWorkbook& zip, SheetCells& cells) : zip_(zip), cells_(cells), paragraphs_(zip, cells.name())
    {
    }

    // Rows stand in the table itself or in header-rows, rows and row-group elements, which may
    // hold each other.
    void read(const pugi::xml_node& table)
    {
        std::vector<pugi::xml_node> pending;
        PushChildren(table, pending);
        while (!pending.empty()) {
            const pugi::xml_node node = pending.back();
            pending.pop_back();
            if (Named(node, "table-row")) {
                row(node);
            } else if (Named(node, "table-header-rows") || Named(node, "table-rows") || Named(node, "table-row-group")) {
                PushChildren(node, pending);
            }
        }
    }

private:
    std::uint64_t repeat(const pugi::xml_node& node, std::string_view attribute) const
    {
        const pugi::xml_attribute count = Attribute(node, attribute);
        if (!count) return 1;
        const std::optional<std::uint64_t> parsed = ParseCount<std::uint64_t>(count.value());
        if (!parsed || *parsed == 0)
            ThrowNotReadable(zip_.path(), "its worksheet " + cells_.name() + " repeats a row or cell '" +
                                              std::string(count.value()) + "' times");
        return *parsed;
    }

    // A row's cells, each with its repeat count; empty cells are only counted.
    void row(const pugi::xml_node& node)
    {
        const std::uint64_t rows = repeat(node, "number-rows-repeated");
        struct Run {
            std::uint64_t column;
            std::uint64_t count;
            std::string text;
        };
        std::vector<Run> runs;
        std::uint64_t column = 0;
        std::uint64_t rowText = 0;  // the row's texts so far, each as often as it repeats
        for (pugi::xml_node cell = node.first_child(); cell; cell = cell.next_sibling()) {
            if (!Named(cell, "table-cell") && !Named(cell, "covered-table-cell")) continue;
            const std::uint64_t count = repeat(cell, "number-columns-repeated");
            // Each text is held, while it is read, to the room the row's texts before it leave.
            const std::uint64_t used = Product(rows, rowText);
            cells_.expectText(used);
            std::optional<std::string> text = value(cell, cells_.textRoom() - used);
            if (text && !text->empty()) {
                rowText = std::min(rowText + Product(count, text->size()), kMaxWorksheetTextBytes + 1);
                cells_.expectText(Product(rows, rowText));
                runs.push_back({column, count, RestoreNul(std::move(*text))});
            }
            column = Saturated(column + std::min(count, kBeyond));
        }
        if (runs.empty()) {
            row_ = Saturated(row_ + std::min(rows, kBeyond));  // empty rows, however many, cost nothing
            return;
        }
        // A repeat that would pass the bounds is refused before it is expanded.
        std::uint64_t lastColumn = 0;
        for (const Run& run : runs)
            lastColumn = std::max(lastColumn, Saturated(run.column + std::min(run.count, kBeyond)) - 1);
        cells_.expect(Saturated(row_ + std::min(rows, kBeyond)) - 1, lastColumn, Product(rows, rowText));
        for (std::uint64_t r = 0; r < rows; ++r, ++row_)
            for (const Run& run : runs)
                for (std::uint64_t c = 0; c < run.count; ++c) cells_.add(row_, run.column + c, run.text);
    }

    // The cell's value; a text of the cell's paragraphs ends the read past room bytes.
    std::optional<std::string> value(const pugi::xml_node& cell, std::uint64_t room)
    {
        // An error result, which LibreOffice marks in an attribute of its own beside the string
        // it shows ("#DIV/0!"), reads as an empty cell.
        for (pugi::xml_attribute attribute = cell.first_attribute(); attribute; attribute = attribute.next_attribute())
            if (std::string_view(attribute.name()).starts_with("calcext:") &&
                LocalName(attribute.name()) == "value-type" && std::string_view(attribute.value()) == "error")
                return std::nullopt;
        const pugi::xml_attribute typeAttribute = officeAttribute(cell, "value-type");
        const std::string_view type = typeAttribute.value();
        if (type == "float" || type == "percentage" || type == "currency") {
            const pugi::xml_attribute value = officeAttribute(cell, "value");
            if (!value) return paragraphs_.of(cell, room);  // the number as shown, where its value is missing
            const std::string text = value.value();
            WorkbookField number = NumberTextField(text);
            if (!number)
                ThrowNotReadable(zip_.path(), "its worksheet " + cells_.name() + " holds a number cell holding '" +
                                                  text + "'");
            return number;
        }
        if (type == "boolean") {
            const std::string_view flag = Trimmed(officeAttribute(cell, "boolean-value").value());
            if (flag == "true" || flag == "1") return "1";
            if (flag == "false" || flag == "0") return "0";
            return std::nullopt;
        }
        if (type == "date") return officeAttribute(cell, "date-value").value();
        if (type == "time") return officeAttribute(cell, "time-value").value();
        if (type == "string")
            if (const pugi::xml_attribute stored = officeAttribute(cell, "string-value")) return stored.value();
        if (type.empty() && !Child(cell, "p") && !Child(cell, "h")) return std::nullopt;
        return paragraphs_.of(cell, room);
    }

    // office:value-type and its kin; LibreOffice adds calcext:value-type beside it.
    static pugi::xml_attribute officeAttribute(const pugi::xml_node& cell, std::string_view localName)
    {
        for (pugi::xml_attribute attribute = cell.first_attribute(); attribute; attribute = attribute.next_attribute()) {
            const std::string_view name = attribute.name();
            if (LocalName(name) == localName && !name.starts_with("calcext:")) return attribute;
        }
        return {};
    }

    const ZipWorkbook& zip_;
    SheetCells& cells_;
    ParagraphText paragraphs_;
    std::uint64_t row_ = 0;
};

std::optional<Worksheet> ReadOds(const ZipWorkbook& zip, std::string_view sheetName)
{
    pugi::xml_document content;
    zip.parseRequired("content.xml", content);
    const pugi::xml_node spreadsheet = Child(Child(content.document_element(), "body"), "spreadsheet");
    for (pugi::xml_node table = spreadsheet.first_child(); table; table = table.next_sibling()) {
        if (!Named(table, "table")) continue;
        const std::string name = Attribute(table, "name").value();
        if (!EqualsIgnoringAsciiCase(name, sheetName)) continue;
        SheetCells cells(zip.path(), name);
        OdsSheetReader(zip, cells).read(table);
        return std::move(cells).finish();
    }
    return std::nullopt;
}

}  // namespace

std::optional<Worksheet> ReadZipWorksheet(const std::filesystem::path& workbook, const std::string& bytes,
                                          std::string_view sheetName)
{
    ZipWorkbook zip(workbook, bytes);

    // An .xlsx names its workbook part in the package's relationships.
    for (const auto& [id, relationship] : ReadRelationships(zip, {}))
        if (relationship.type == "officeDocument" && !relationship.target.empty())
            return ReadXlsx(zip, relationship.target, sheetName);

    // An .ods says so in its first part; its sheets are in content.xml.
    if (const std::optional<std::string> mimetype = zip.read("mimetype");
        mimetype && Trimmed(*mimetype).starts_with("application/vnd.oasis.opendocument.spreadsheet"))
        return ReadOds(zip, sheetName);
    if (zip.has("content.xml")) return ReadOds(zip, sheetName);
    if (zip.has("xl/workbook.xml")) return ReadXlsx(zip, "xl/workbook.xml", sheetName);
    ThrowNotReadable(workbook, "it is a zip archive, but neither an .xlsx nor an .ods workbook");
}

}  // namespace trelvant::workbook
