# cmake -DSOURCE=folder -DPROJECTS=folder -DNAME=name -P place_project_if_absent.cmake
#
# Copies the example project SOURCE into PROJECTS as NAME, with an empty bin folder, when PROJECTS
# holds nothing of that name in any case. A project that is there, changed or not, is never touched.
foreach(variable SOURCE PROJECTS NAME)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "place_project_if_absent.cmake needs -D${variable}=...")
  endif()
endforeach()

file(MAKE_DIRECTORY "${PROJECTS}")
string(TOLOWER "${NAME}" wanted)
file(GLOB entries LIST_DIRECTORIES true RELATIVE "${PROJECTS}" "${PROJECTS}/*")
foreach(entry IN LISTS entries)
  string(TOLOWER "${entry}" lower)
  if(lower STREQUAL wanted)
    return()
  endif()
endforeach()

# Made beside its place and renamed, so PROJECTS never holds half a project.
set(placing "${PROJECTS}/.${NAME}.placing")
file(REMOVE_RECURSE "${placing}")
file(MAKE_DIRECTORY "${placing}/bin")
file(GLOB documents "${SOURCE}/*.xml")
file(COPY ${documents} DESTINATION "${placing}")
file(RENAME "${placing}" "${PROJECTS}/${NAME}")
message(STATUS "Placed ${PROJECTS}/${NAME}")
