# pugixml, CLI11 and GoogleTest: Debian's installed packages for a native build; for a cross
# build, where those packages hold Linux libraries, their sources, built here for the target:
#   TRELVANT_PUGIXML_SOURCE  a pugixml source tree (Debian's source package)
#   TRELVANT_GTEST_SOURCE    a GoogleTest source tree (/usr/src/googletest)
#   TRELVANT_CLI11_INCLUDE   a folder holding CLI/CLI.hpp (header only: /usr/include does not do
#                            for a cross build, it would put the host's C headers on the path)
set(TRELVANT_PUGIXML_SOURCE "" CACHE PATH "pugixml source tree to build instead of the installed library")
set(TRELVANT_GTEST_SOURCE "" CACHE PATH "GoogleTest source tree to build instead of the installed library")
set(TRELVANT_CLI11_INCLUDE "" CACHE PATH "Folder with CLI/CLI.hpp to use instead of the installed CLI11 package")

if(TRELVANT_PUGIXML_SOURCE)
  set(PUGIXML_BUILD_TESTS OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TRELVANT_PUGIXML_SOURCE} ${CMAKE_BINARY_DIR}/third_party/pugixml EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(pugixml REQUIRED)
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
