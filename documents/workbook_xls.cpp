// .xls workbooks (BIFF5 and BIFF8) through FreeXL.

#include "documents/workbook_reading.h"
#include "platform/file_names.h"

#include <freexl.h>

namespace trelvant::workbook {
namespace {

class FreexlHandle {
public:
    FreexlHandle(const std::filesystem::path& file, const std::filesystem::path& workbook)
    {
        // FreeXL takes the path's bytes; it wants a handle closed even when the open failed.
        int status = freexl_open(file.c_str(), &handle_);
        if (status != FREEXL_OK) {
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

}  // namespace

std::optional<Worksheet> ReadXlsWorksheet(const std::filesystem::path& workbook, const std::string& /*bytes*/,
                                          std::string_view sheetName)
{
    FreexlHandle xls(ResolveFileName(workbook), workbook);
    unsigned int sheetCount = 0;
    if (freexl_get_info(xls.get(), FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK) ThrowNotReadable(workbook);
    for (unsigned int index = 0; index < sheetCount && index <= 0xFFFF; ++index) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(xls.get(), static_cast<unsigned short>(index), &name) != FREEXL_OK ||
            name == nullptr)
            ThrowNotReadable(workbook);
        if (!EqualsIgnoringAsciiCase(name, sheetName)) continue;

        SheetCells cells(workbook, name);
        unsigned int rowCount = 0;
        unsigned short columnCount = 0;
        if (freexl_select_active_worksheet(xls.get(), static_cast<unsigned short>(index)) != FREEXL_OK ||
            freexl_worksheet_dimensions(xls.get(), &rowCount, &columnCount) != FREEXL_OK)
            ThrowNotReadable(workbook);
        for (unsigned int r = 0; r < rowCount; ++r) {
            for (unsigned short c = 0; c < columnCount; ++c) {
                FreeXL_CellValue cell{};
                if (freexl_get_cell_value(xls.get(), r, c, &cell) != FREEXL_OK) ThrowNotReadable(workbook);
                if (WorkbookField field = XlsField(cell)) cells.add(r, c, std::move(*field));
            }
        }
        return std::move(cells).finish();
    }
    return std::nullopt;
}

}  // namespace trelvant::workbook
