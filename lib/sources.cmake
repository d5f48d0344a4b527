# The library's sources, listed once for the Windows build and the native one.
# Portable: what builds on the native stand-in system layer too.
set(VEXA_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pool.cpp
  ${CMAKE_CURRENT_LIST_DIR}/containers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/strings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/byte_classes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/narrow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wide.cpp
  ${CMAKE_CURRENT_LIST_DIR}/language.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/facilities/numbers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/facilities/dates.cpp
  ${CMAKE_CURRENT_LIST_DIR}/facilities/options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/facilities/escapes.cpp)
# Windows only: the clipboard, streams, processes, files, wildcards, system
# queries and the automation client helpers.
set(VEXA_SYSTEM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/clipboard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/facilities/streams.cpp
  ${CMAKE_CURRENT_LIST_DIR}/facilities/process.cpp
  ${CMAKE_CURRENT_LIST_DIR}/facilities/files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/facilities/wildcards.cpp
  ${CMAKE_CURRENT_LIST_DIR}/facilities/system_queries.cpp
  ${CMAKE_CURRENT_LIST_DIR}/facilities/automation.cpp)
