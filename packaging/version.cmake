# The version number lives in the file VERSION at the top of the tree. This
# reads it and generates vexa_version.h for the sources and the version
# resources; the target vexa_version carries its include directory.
include_guard(GLOBAL)

file(STRINGS "${CMAKE_CURRENT_LIST_DIR}/../VERSION" VEXA_VERSION LIMIT_COUNT 1)
string(STRIP "${VEXA_VERSION}" VEXA_VERSION)
if(NOT VEXA_VERSION MATCHES "^([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "VERSION must hold MAJOR.MINOR, such as 1.04, not '${VEXA_VERSION}'")
endif()
# Leading zeros dropped: the resource compiler reads 04 as octal, and 08 not at all.
math(EXPR VEXA_VERSION_MAJOR "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^0+([0-9])" "\\1" VEXA_VERSION_MINOR "${CMAKE_MATCH_2}")
set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/../VERSION")
configure_file("${CMAKE_CURRENT_LIST_DIR}/version.h.in" "${CMAKE_BINARY_DIR}/generated/vexa_version.h" @ONLY)

add_library(vexa_version INTERFACE)
target_include_directories(vexa_version INTERFACE "${CMAKE_BINARY_DIR}/generated")
