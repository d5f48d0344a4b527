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

# Left out here: what only the real system has (code page 932 and the Japanese
# runtime locale, UTF-7, the storage layout of a 2-byte wchar_t).
set(native_exclusions
  *InJapanese
  Language.*
  LWString.GrowsToFiveQuartersOfTheNeed
  WideToNarrow.EscapesWhatTheCodePageCannotHold
  WideToNarrow.LongDoubleByteTextFillingWholePieces
  NarrowToWide.KeepsADoubleByteCharacterWholeAtThePieceBoundary
  NarrowToWide.KeepsUtf8AndUtf7SequencesWholeAtThePieceBoundary
  Options.PairListsReportTooManySeparators
  Options.RangeListsReportBackwardRangesAndKeepThem
  TextToTime.ReportsInOneWordingAndConvertsTheFieldsSetSoFar)
list(JOIN native_exclusions ":" native_filter)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-results)
add_test(NAME native_tests COMMAND native_tests --gtest_color=no "--gtest_filter=-${native_filter}"
         --gtest_output=xml:${CMAKE_BINARY_DIR}/test-results/native_tests.xml)
set_tests_properties(native_tests PROPERTIES LABELS native TIMEOUT 600
                     ENVIRONMENT "LANG=en_US.UTF-8;LC_ALL=en_US.UTF-8;VEXA_EXPECT_ACP=1252")
