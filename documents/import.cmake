# The spreadsheet import's workbook reader, trelvant_import: .xls through FreeXL, .xlsx and .ods
# through orcus. No Qt. Included only when TRELVANT_IMPORT is on, so a build without the import
# never looks for either library.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FREEXL REQUIRED IMPORTED_TARGET freexl)
pkg_check_modules(ORCUS REQUIRED IMPORTED_TARGET liborcus-0.17 libixion-0.17)
# Its .pc file names an include folder that Debian does not ship (the model's headers are among
# orcus's own), which an imported target refuses: only its libraries are taken.
pkg_check_modules(ORCUS_MODEL REQUIRED liborcus-spreadsheet-model-0.17)

add_library(trelvant_import STATIC
  ${CMAKE_CURRENT_LIST_DIR}/workbook.h
  ${CMAKE_CURRENT_LIST_DIR}/workbook.cpp
)
target_link_libraries(trelvant_import
  PUBLIC trelvant_core
  PRIVATE PkgConfig::FREEXL PkgConfig::ORCUS ${ORCUS_MODEL_LINK_LIBRARIES})
set_target_properties(trelvant_import PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
