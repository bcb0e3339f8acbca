# The spreadsheet import's workbook reader, trelvant_import. No Qt. Included only when
# TRELVANT_IMPORT is on, so a build without the import never looks for its libraries.
#  - .xlsx and .ods: our own reader of the zipped XML parts, on libzip and pugixml;
#  - .xls: FreeXL, only when TRELVANT_XLS is on (it needs a POSIX system to run isolated).
# A cross build takes libzip and zlib from TRELVANT_LIBZIP_SOURCE and TRELVANT_ZLIB_SOURCE
# (cmake/dependencies.cmake); a native build takes Debian's libzip-dev.
find_package(PkgConfig REQUIRED)
if(NOT TARGET libzip::zip)
  # Debian's CMake package of libzip names its command-line tools, which libzip-dev does not
  # bring: the library is taken through pkg-config.
  pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET GLOBAL libzip)
  add_library(libzip::zip ALIAS PkgConfig::LIBZIP)
endif()

add_library(trelvant_import STATIC
  ${CMAKE_CURRENT_LIST_DIR}/workbook.h
  ${CMAKE_CURRENT_LIST_DIR}/workbook_reading.h
  ${CMAKE_CURRENT_LIST_DIR}/workbook.cpp
  ${CMAKE_CURRENT_LIST_DIR}/workbook_zip.cpp
)
target_link_libraries(trelvant_import PUBLIC trelvant_core PRIVATE libzip::zip)
if(TRELVANT_XLS)
  pkg_check_modules(FREEXL REQUIRED IMPORTED_TARGET freexl)
  target_sources(trelvant_import PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/workbook_xls.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xls_check.h
    ${CMAKE_CURRENT_LIST_DIR}/xls_check.cpp
    ${CMAKE_SOURCE_DIR}/platform/isolated_call.h
    ${CMAKE_SOURCE_DIR}/platform/isolated_call.cpp)
  target_link_libraries(trelvant_import PRIVATE PkgConfig::FREEXL)
  target_compile_definitions(trelvant_import PUBLIC TRELVANT_WITH_XLS)
else()
  target_sources(trelvant_import PRIVATE ${CMAKE_CURRENT_LIST_DIR}/workbook_no_xls.cpp)
endif()
set_target_properties(trelvant_import PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
