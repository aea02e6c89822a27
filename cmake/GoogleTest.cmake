# GoogleTest is built from Debian's sources so that the same framework serves the native,
# sanitizer and MinGW builds.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# In an optimised build the test programs' own code and the test framework are compiled at -O1:
# they are most of the compile time at -O3 (with MinGW, gtest-all takes 23 s of CPU against 10 s
# at -O1, a large test file 18 against 13), while their run time is the code under test's, which
# keeps the build's optimisation.
set(PARLAVOX_TEST_CODE_OPTIONS $<$<NOT:$<CONFIG:Debug>>:-O1>)
foreach(framework gtest gtest_main gmock gmock_main)
    target_compile_options(${framework} PRIVATE ${PARLAVOX_TEST_CODE_OPTIONS})
endforeach()

# parlavox_add_test(NAME sources... LIBS libs...): one test executable, discovered at test time
# (under Wine for the Windows build).
function(parlavox_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_options(${name} PRIVATE ${PARLAVOX_TEST_CODE_OPTIONS})
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 300 NO_PRETTY_VALUES
                         WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                         PROPERTIES ENVIRONMENT "PARLAVOX_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
endfunction()
