# GoogleTest is built from Debian's sources so that the same framework serves the native,
# sanitizer and MinGW builds.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# In an optimised build the test programs' own code and the test framework are compiled at -O1:
# they are most of the compile time at -O3 (with MinGW, gtest-all takes 23 s of CPU against 10 s
# at -O1, a large test file 18 against 13), while their run time is the code under test's, which
# keeps the build's optimisation.
set(PARLAVOX_TEST_CODE_OPTIONS $<$<NOT:$<CONFIG:Debug>>:-O1>)
foreach(framework gtest gtest_main gmock gmock_main)
    target_compile_options(${framework} PRIVATE ${PARLAVOX_TEST_CODE_OPTIONS})
endforeach()

# parlavox_add_test(NAME SOURCES sources... LIBS libs... [SHARDS n]): one test executable, which
# ctest runs as n processes (NAME, or NAME-0 .. NAME-<n-1>), each the n-th part of its cases by
# GoogleTest's own sharding. A process per case spent more time starting processes (under ASan,
# under Wine) than running the cases; a few shards of the long programs keep both cores busy.
# One case alone: run the program with --gtest_filter=Suite.Case.
function(parlavox_add_test name)
    cmake_parse_arguments(ARG "" "SHARDS" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_SHARDS)
        set(ARG_SHARDS 1)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    target_compile_options(${name} PRIVATE ${PARLAVOX_TEST_CODE_OPTIONS})
    math(EXPR last_shard "${ARG_SHARDS} - 1")
    foreach(shard RANGE ${last_shard})
        set(test_name ${name})
        if(ARG_SHARDS GREATER 1)
            set(test_name ${name}-${shard})
        endif()
        add_test(NAME ${test_name} COMMAND ${name} --gtest_brief=1 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
        set_tests_properties(${test_name} PROPERTIES ENVIRONMENT
            "PARLAVOX_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data;GTEST_TOTAL_SHARDS=${ARG_SHARDS};GTEST_SHARD_INDEX=${shard}")
    endforeach()
endfunction()
