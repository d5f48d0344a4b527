# The shipped binaries (packaging/shipped.txt) leave the build stripped, their
# debug information kept beside them in FILE.debug, which the binary names in a
# debug link so that a debugger finds it.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/shipped.txt VEXA_SHIPPED_FILES)
set(VEXA_SHIPPED_TARGETS)
foreach(file IN LISTS VEXA_SHIPPED_FILES)
  get_filename_component(target ${file} NAME_WE)
  list(APPEND VEXA_SHIPPED_TARGETS ${target})
endforeach()

# Called at the end of each directory that defines shipped targets: a POST_BUILD
# step may only be added where its target is made.
function(vexa_strip_shipped_here)
  foreach(target IN LISTS VEXA_SHIPPED_TARGETS)
    if(TARGET ${target})
      get_target_property(dir ${target} SOURCE_DIR)
      if(dir STREQUAL CMAKE_CURRENT_SOURCE_DIR)
        add_custom_command(TARGET ${target} POST_BUILD
          COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
          COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>
          COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug $<TARGET_FILE:${target}>
          VERBATIM)
        set_target_properties(${target} PROPERTIES VEXA_STRIPPED ON)
      endif()
    endif()
  endforeach()
endfunction()

# Called once everything is defined: a shipped target no directory stripped fails the configuration.
function(vexa_check_shipped_stripped)
  foreach(target IN LISTS VEXA_SHIPPED_TARGETS)
    if(NOT TARGET ${target})
      message(FATAL_ERROR "packaging/shipped.txt names ${target}, which the build does not make")
    endif()
    get_target_property(stripped ${target} VEXA_STRIPPED)
    if(NOT stripped)
      message(FATAL_ERROR "${target} ships but is not stripped: call vexa_strip_shipped_here() in its directory")
    endif()
  endforeach()
endfunction()
