# Fails when a source file includes a header from a floor above its own. From the bottom up:
# platform; documents; image; project; editors; shell. The command-line tool stands on the core
# (platform, documents, image) only.
cmake_minimum_required(VERSION 3.20)

set(above_platform documents image project editors shell cli)
set(above_documents image project editors shell cli)
set(above_image project editors shell cli)
set(above_project editors shell cli)
set(above_editors shell cli)
set(above_cli project editors shell)

set(faults "")
foreach(floor platform documents image project editors cli)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${floor}/*.h" "${SOURCE_DIR}/${floor}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^#include \"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" target "${line}")
      if(target IN_LIST above_${floor})
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
        string(APPEND faults "\n  ${shown}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Includes that reach a floor above:${faults}")
endif()
