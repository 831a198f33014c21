# GoogleTest from Debian's sources, built with the project's cross compiler,
# and the wrapper through which ctest runs each test program under Wine.

# The Wine prefix of a build tree has the bitness of the programs it holds.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(QUILLO_WINEARCH win32)
else()
  set(QUILLO_WINEARCH win64)
endif()
file(WRITE ${CMAKE_BINARY_DIR}/wine-arch "${QUILLO_WINEARCH}\n")
configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)

if(BUILD_TESTING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  include(GoogleTest)
endif()

# quillo_test_main(seconds)
# The main of the test programs whose watchdog ends a test after `seconds`:
# compiled once per watchdog value, not once per program.
function(quillo_test_main seconds)
  if(NOT TARGET quillo_test_main_${seconds})
    add_library(quillo_test_main_${seconds} OBJECT ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
    target_compile_definitions(quillo_test_main_${seconds} PRIVATE QUILLO_TEST_WATCHDOG_SECONDS=${seconds})
    target_link_libraries(quillo_test_main_${seconds} PRIVATE quillo_test_support GTest::gtest)
  endif()
endfunction()

# quillo_add_gtest(name SOURCES a.cpp b.cpp LIBS lib1 lib2 [TIMEOUT s] [WATCHDOG s]
#                  [RUN_SERIAL])
# One test program; every TEST in its sources becomes one ctest test. Its main
# ends the program when one test runs longer than WATCHDOG seconds (40 by
# default), naming the test and what it waited for; TIMEOUT is ctest's outer
# bound. RUN_SERIAL runs each test alone (tests that change machine-wide state).
function(quillo_add_gtest name)
  cmake_parse_arguments(ARG "RUN_SERIAL" "TIMEOUT;WATCHDOG" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 60)
  endif()
  if(NOT ARG_WATCHDOG)
    set(ARG_WATCHDOG 40)
  endif()
  quillo_test_main(${ARG_WATCHDOG})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE quillo_test_main_${ARG_WATCHDOG} ${ARG_LIBS}
                        quillo_test_support GTest::gmock GTest::gtest)
  gtest_add_tests(TARGET ${name} SOURCES ${ARG_SOURCES} TEST_LIST added)
  set_tests_properties(${added} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  if(ARG_RUN_SERIAL)
    set_tests_properties(${added} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()
