# cmake -DSOURCE=file -DFOLDER=folder -DNAME=name -DSTAMP=file -P place_if_absent.cmake
#
# Copies SOURCE into FOLDER as NAME when FOLDER holds no file of that name in any case (the
# configurator finds files in any case). A file there that this script placed itself, as STAMP
# records by its hash, is replaced by a newer build; any other is left alone.
foreach(variable SOURCE FOLDER NAME STAMP)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "place_if_absent.cmake needs -D${variable}=...")
  endif()
endforeach()

file(MAKE_DIRECTORY "${FOLDER}")
string(TOLOWER "${NAME}" wanted)
file(GLOB entries LIST_DIRECTORIES true RELATIVE "${FOLDER}" "${FOLDER}/*")
set(present "")
foreach(entry IN LISTS entries)
  string(TOLOWER "${entry}" lower)
  if(lower STREQUAL wanted)
    set(present "${entry}")
  endif()
endforeach()

file(SHA256 "${SOURCE}" wanted_hash)
if(present)
  set(placed_hash "")
  if(EXISTS "${STAMP}")
    file(READ "${STAMP}" placed_hash)
  endif()
  if(IS_DIRECTORY "${FOLDER}/${present}" OR NOT present STREQUAL NAME)
    return()
  endif()
  file(SHA256 "${FOLDER}/${present}" present_hash)
  if(present_hash STREQUAL wanted_hash OR NOT present_hash STREQUAL placed_hash)
    return()
  endif()
endif()

# Copied beside the target and renamed over it, so the folder never holds half a file.
file(COPY_FILE "${SOURCE}" "${FOLDER}/${NAME}.placing")
file(RENAME "${FOLDER}/${NAME}.placing" "${FOLDER}/${NAME}")
file(WRITE "${STAMP}" "${wanted_hash}")
message(STATUS "Placed ${FOLDER}/${NAME}")
