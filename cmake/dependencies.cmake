# pugixml, CLI11, GoogleTest and libzip: Debian's installed packages for a native build; for a
# cross build, where those packages hold Linux libraries, their sources, built here for the target:
#   TRELVANT_PUGIXML_SOURCE  a pugixml source tree (Debian's source package)
#   TRELVANT_GTEST_SOURCE    a GoogleTest source tree (/usr/src/googletest)
#   TRELVANT_CLI11_INCLUDE   a folder holding CLI/CLI.hpp (header only: /usr/include does not do
#                            for a cross build, it would put the host's C headers on the path)
#   TRELVANT_ZLIB_SOURCE     a zlib source tree (Debian's source package), for libzip
#   TRELVANT_LIBZIP_SOURCE   a libzip source tree (Debian's source package), for the spreadsheet
#                            import (documents/import.cmake takes the target libzip::zip)
set(TRELVANT_PUGIXML_SOURCE "" CACHE PATH "pugixml source tree to build instead of the installed library")
set(TRELVANT_GTEST_SOURCE "" CACHE PATH "GoogleTest source tree to build instead of the installed library")
set(TRELVANT_CLI11_INCLUDE "" CACHE PATH "Folder with CLI/CLI.hpp to use instead of the installed CLI11 package")
set(TRELVANT_ZLIB_SOURCE "" CACHE PATH "zlib source tree to build libzip on")
set(TRELVANT_LIBZIP_SOURCE "" CACHE PATH "libzip source tree to build instead of the installed library")

if(TRELVANT_PUGIXML_SOURCE)
  set(PUGIXML_BUILD_TESTS OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TRELVANT_PUGIXML_SOURCE} ${CMAKE_BINARY_DIR}/third_party/pugixml EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(pugixml REQUIRED)
endif()

# libzip static, reading deflated entries through zlib and nothing else: no bzip2, lzma or zstd
# methods, no encryption, none of its tools, tests or manuals. Warnings in either library's code
# are not ours to fix: they are switched off there.
if(TRELVANT_LIBZIP_SOURCE AND TRELVANT_IMPORT)
  if(NOT TRELVANT_ZLIB_SOURCE)
    message(FATAL_ERROR "TRELVANT_LIBZIP_SOURCE needs TRELVANT_ZLIB_SOURCE: libzip is built on that zlib")
  endif()
  enable_language(C)
  # zlib's own CMake file also makes a DLL and registers its example programs as tests of this
  # build, so its library sources are compiled here as they are.
  set(zlib_sources adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c
      inflate.c infback.c inftrees.c inffast.c trees.c uncompr.c zutil.c)
  list(TRANSFORM zlib_sources PREPEND ${TRELVANT_ZLIB_SOURCE}/)
  add_library(trelvant_zlib STATIC ${zlib_sources})
  target_include_directories(trelvant_zlib SYSTEM PUBLIC ${TRELVANT_ZLIB_SOURCE})
  target_compile_options(trelvant_zlib PRIVATE -w)
  # libzip calls find_package(ZLIB) and links ZLIB::ZLIB: the module takes these entries as found
  # and keeps a ZLIB::ZLIB that exists. An imported target, so that libzip's export of its own
  # targets does not ask for trelvant_zlib in its export set.
  add_library(ZLIB::ZLIB INTERFACE IMPORTED)
  target_link_libraries(ZLIB::ZLIB INTERFACE trelvant_zlib)
  set(ZLIB_INCLUDE_DIR ${TRELVANT_ZLIB_SOURCE} CACHE INTERNAL "zlib built for libzip")
  set(ZLIB_LIBRARY trelvant_zlib CACHE INTERNAL "zlib built for libzip")

  block()
    # libzip's option() calls keep the values set here (they would replace them by the cache's),
    # and its hidden symbols are hidden in the static library as well.
    set(CMAKE_POLICY_DEFAULT_CMP0077 NEW)
    set(CMAKE_POLICY_DEFAULT_CMP0063 NEW)
    set(BUILD_SHARED_LIBS OFF)
    foreach(name ENABLE_BZIP2 ENABLE_LZMA ENABLE_ZSTD ENABLE_COMMONCRYPTO ENABLE_GNUTLS ENABLE_MBEDTLS
                 ENABLE_OPENSSL ENABLE_WINDOWS_CRYPTO BUILD_TOOLS BUILD_REGRESS BUILD_OSSFUZZ BUILD_EXAMPLES
                 BUILD_DOC LIBZIP_DO_INSTALL)
      set(${name} OFF)
    endforeach()
    add_subdirectory(${TRELVANT_LIBZIP_SOURCE} ${CMAKE_BINARY_DIR}/third_party/libzip EXCLUDE_FROM_ALL SYSTEM)
  endblock()
  target_compile_options(zip PRIVATE -w)
  # A static libzip writes ZIP_STATIC into its zipconf.h, which zip.h includes: its functions are
  # then not declared as imported from a DLL.
  if(NOT TARGET libzip::zip)
    add_library(libzip::zip ALIAS zip)
  endif()
endif()

if(TRELVANT_CLI11_INCLUDE)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${TRELVANT_CLI11_INCLUDE})
else()
  find_package(CLI11 REQUIRED)
endif()

if(TRELVANT_TESTS)
  if(TRELVANT_GTEST_SOURCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${TRELVANT_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/third_party/googletest EXCLUDE_FROM_ALL SYSTEM)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
