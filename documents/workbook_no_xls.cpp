// A build without FreeXL: .xls workbooks are refused with a word on what to do instead.

#include "documents/workbook_reading.h"

namespace trelvant::workbook {

std::optional<Worksheet> ReadXlsWorksheet(const std::filesystem::path& workbook, const std::string& /*bytes*/,
                                          std::string_view /*sheetName*/)
{
    ThrowNotReadable(workbook, "this build reads .xlsx and .ods workbooks only; save it as one of those");
}

}  // namespace trelvant::workbook
