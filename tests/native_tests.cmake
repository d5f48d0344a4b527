# The unit tests of the library's portable part, for the native sanitizer build
# (included from native/CMakeLists.txt).
add_executable(native_tests
  ${CMAKE_CURRENT_LIST_DIR}/test_main.cpp
  ${top}/native/child_process.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pool_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/containers_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/strings_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/charset_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/concurrency_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/numbers_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/options_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/escapes_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dates_test.cpp)
target_link_libraries(native_tests PRIVATE vexa_native_support GTest::gtest)
target_compile_options(native_tests PRIVATE ${VEXA_WARNINGS})
