// .xls workbooks (BIFF5 and BIFF8) through FreeXL, in a child process of their own.
//
// FreeXL reads out of bounds on damaged files and allocates what their headers declare. What can
// be checked first is checked here (CheckXlsWorkbook); the reading itself runs in a child process
// with limits of memory and time (RunIsolated), which hands the worksheet's cells back as bytes.
// A crash or a limit there is an ordinary refusal here, and the program goes on. FreeXL cuts a
// text at the character 0: a cell showing such a text, as the check finds, is refused by name.

#include "documents/workbook_reading.h"
#include "documents/xls_check.h"
#include "platform/error.h"
#include "platform/file_names.h"
#include "platform/isolated_call.h"

#include <freexl.h>
#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace trelvant::workbook {
namespace {

// What the child hands back: one byte of kind, then for a worksheet its name, its index in the
// workbook, the count of its cells and the cells, for no such worksheet the count of the worksheets FreeXL found, for a
// refusal its message; the first two end with kEndMark. Numbers are 32-bit, least significant
// byte first. A child that ends part way leaves an answer without its count or its end mark.
constexpr char kNoSuchSheet = 'N';
constexpr char kSheet = 'S';
constexpr char kRefused = 'E';
constexpr std::string_view kEndMark = "END.";

class FreexlHandle {
public:
    FreexlHandle(const std::filesystem::path& file, const std::filesystem::path& workbook)
    {
        // FreeXL takes the path's bytes; it wants a handle closed even when the open failed.
        const int status = freexl_open(file.c_str(), &handle_);
        if (status != FREEXL_OK || handle_ == nullptr) {
            Close();
            ThrowNotReadable(workbook);
        }
    }
    ~FreexlHandle() { Close(); }
    FreexlHandle(const FreexlHandle&) = delete;
    FreexlHandle& operator=(const FreexlHandle&) = delete;

    const void* get() const { return handle_; }

private:
    void Close()
    {
        if (handle_ != nullptr) freexl_close(handle_);
        handle_ = nullptr;
    }

    const void* handle_ = nullptr;
};

WorkbookField XlsField(const FreeXL_CellValue& cell)
{
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return std::to_string(cell.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return NumberField(cell.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        if (cell.value.text_value == nullptr) return std::nullopt;
        return std::string(cell.value.text_value);
    default:
        return std::nullopt;
    }
}

void PutNumber(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PatchNumber(std::string& out, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutText(std::string& out, std::string_view text)
{
    PutNumber(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

// In the child: the worksheet read by FreeXL, as bytes. The parent holds the cells to the reader's
// bounds; the child's output is bounded by the isolation's limit.
std::string ReadWithFreexl(const std::filesystem::path& workbook, std::string_view sheetName)
{
    // Every page the child touches costs a fault: one buffer, large enough for the usual table.
    std::string out;
    out.reserve(256 * 1024);
    try {
        FreexlHandle xls(ResolveFileName(workbook), workbook);
        unsigned int sheetCount = 0;
        if (freexl_get_info(xls.get(), FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK) ThrowNotReadable(workbook);
        for (unsigned int index = 0; index < sheetCount && index <= 0xFFFF; ++index) {
            const char* name = nullptr;
            if (freexl_get_worksheet_name(xls.get(), static_cast<unsigned short>(index), &name) != FREEXL_OK ||
                name == nullptr)
                ThrowNotReadable(workbook);
            if (!EqualsIgnoringAsciiCase(name, sheetName)) continue;

            out += kSheet;
            PutText(out, name);
            PutNumber(out, index);
            const std::size_t countAt = out.size();
            PutNumber(out, 0);
            std::uint32_t cellCount = 0;
            unsigned int rowCount = 0;
            unsigned short columnCount = 0;
            if (freexl_select_active_worksheet(xls.get(), static_cast<unsigned short>(index)) != FREEXL_OK ||
                freexl_worksheet_dimensions(xls.get(), &rowCount, &columnCount) != FREEXL_OK)
                ThrowNotReadable(workbook);
            for (unsigned int r = 0; r < rowCount; ++r) {
                for (unsigned short c = 0; c < columnCount; ++c) {
                    FreeXL_CellValue cell{};
                    if (freexl_get_cell_value(xls.get(), r, c, &cell) != FREEXL_OK) ThrowNotReadable(workbook);
                    WorkbookField field = XlsField(cell);
                    if (!field || field->empty()) continue;
                    PutNumber(out, r);
                    PutNumber(out, c);
                    PutText(out, *field);
                    ++cellCount;
                }
            }
            PatchNumber(out, countAt, cellCount);
            out += kEndMark;
            return out;
        }
        out = kNoSuchSheet;
        PutNumber(out, sheetCount);
        out += kEndMark;
        return out;
    } catch (const Error& e) {
        out = kRefused;
        out += e.what();
        return out;
    }
}

// The conversions FreeXL opens for BIFF8 texts and the most common code page of BIFF5, opened once
// in the program and kept: a child finds their modules loaded instead of loading them itself.
void LoadConversions()
{
    static const iconv_t conversions[] = {iconv_open("UTF-8", "UTF-16LE"), iconv_open("UTF-8", "CP1252")};
    (void)conversions;
}

// In the parent: the child's bytes, read strictly.
class Reply {
public:
    Reply(const std::filesystem::path& workbook, std::string_view bytes) : workbook_(workbook), bytes_(bytes) {}

    // The end mark, and nothing after it.
    void end()
    {
        need(kEndMark.size());
        if (bytes_.substr(at_) != kEndMark) ThrowNotReadable(workbook_, "it is damaged (its reading failed)");
        at_ = bytes_.size();
    }

    std::uint32_t number()
    {
        need(4);
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes_[at_ + i]);
        at_ += 4;
        return value;
    }

    std::string text()
    {
        const std::uint32_t size = number();
        need(size);
        std::string value(bytes_.substr(at_, size));
        at_ += size;
        return value;
    }

private:
    void need(std::size_t size) const
    {
        if (size > bytes_.size() - at_) ThrowNotReadable(workbook_, "it is damaged (its reading failed)");
    }

    const std::filesystem::path& workbook_;
    std::string_view bytes_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<Worksheet> ReadXlsWorksheet(const std::filesystem::path& workbook, const std::string& bytes,
                                          std::string_view sheetName)
{
    const XlsCheck check = CheckXlsWorkbook(bytes, kMaxWorksheetCells);
    if (check.refusal) ThrowNotReadable(workbook, *check.refusal);

    LoadConversions();
    const std::string name(sheetName);
    const IsolatedResult result = RunIsolated([&] { return ReadWithFreexl(workbook, name); });
    switch (result.outcome) {
    case IsolatedResult::Outcome::Done:
        break;
    case IsolatedResult::Outcome::OverLimit:
    case IsolatedResult::Outcome::TimedOut:
    case IsolatedResult::Outcome::TooMuchOutput:
        ThrowNotReadable(workbook, "reading it took more memory or time than a workbook may");
    default:
        ThrowNotReadable(workbook, "it is damaged (its reading failed)");
    }

    const std::string_view reply = result.output;
    if (reply.empty()) ThrowNotReadable(workbook, "it is damaged (its reading failed)");
    if (reply.front() == kRefused) throw Error(std::string(reply.substr(1)));
    Reply answer(workbook, reply.substr(1));
    if (reply.front() == kNoSuchSheet) {
        const std::uint32_t found = answer.number();
        answer.end();
        // FreeXL stops where a damaged record misleads it: the worksheets it then leaves out are
        // named all the same by the workbook's own records.
        if (const std::optional<std::vector<std::string>>& named = check.worksheets) {
            const bool asked = std::any_of(named->begin(), named->end(),
                                           [&](const std::string& sheet) { return EqualsIgnoringAsciiCase(sheet, name); });
            if (asked || found != named->size()) ThrowNotReadable(workbook, "it is damaged (its worksheets cannot be read)");
        }
        return std::nullopt;
    }
    if (reply.front() != kSheet) ThrowNotReadable(workbook, "it is damaged (its reading failed)");

    SheetCells sheet(workbook, answer.text());
    const std::uint32_t index = answer.number();
    // FreeXL has cut that cell's text at the character 0: it is refused, never read shortened.
    if (index < check.cellsWithNul.size() && check.cellsWithNul[index]) {
        const XlsCell cell = *check.cellsWithNul[index];
        ThrowNotReadable(workbook, "its worksheet " + sheet.name() + ", cell " + CellName(cell.row, cell.column) +
                                       ", holds the control character 0x00, which a document cannot hold");
    }
    const std::uint32_t count = answer.number();
    for (std::uint32_t n = 0; n < count; ++n) {
        const std::uint32_t row = answer.number();
        const std::uint32_t column = answer.number();
        sheet.add(row, column, answer.text());
    }
    answer.end();
    return std::move(sheet).finish();
}

}  // namespace trelvant::workbook
