# Test registration shared by every test folder.
#
#   orvik_add_test(NAME n SOURCES ... [LIBS ...] [PORTABLE] [WINDOWS] [WIN9X]
#                  [ENVIRONMENT k=v ...] [LABELS extra ...] [TIMEOUT s])
#
# PORTABLE tests build in all three configurations: in the host build they
# carry the label "native", in the two cross builds "windows" (run under
# Wine; the i686 build's under WoW64, named n_i686 and labelled "i686").
# WINDOWS tests exist in the cross builds only. Each test program is one
# CTest test; under Wine it gets a prefix of its own (scripts/wine-run).
# WIN9X adds a second run of the same program, n_win9x, in a prefix that
# reports Windows 98, labelled "win9x".

enable_testing()

if(WIN32)
    if(NOT TARGET gtest)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    endif()
    set(ORVIK_GTEST_MAIN gtest_main)
    set(ORVIK_GTEST gtest)
else()
    find_package(GTest REQUIRED)
    set(ORVIK_GTEST_MAIN GTest::gtest_main)
    set(ORVIK_GTEST GTest::gtest)
endif()

if(WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(ORVIK_TEST_SUFFIX _i686)
    set(ORVIK_BUILD_LABEL i686)
else()
    set(ORVIK_TEST_SUFFIX "")
    set(ORVIK_BUILD_LABEL "")
endif()

# The test's name in this build, for add_test.
function(orvik_test_name out name)
    set(${out} ${name}${ORVIK_TEST_SUFFIX} PARENT_SCOPE)
endfunction()

# Labels (plus this build's), timeout and environment of a test registered
# with orvik_test_name. Exit code 77 is a skip: wine-run does not run a
# 32-bit program where no 32-bit code runs.
function(orvik_set_test_properties test timeout labels environment)
    set_tests_properties(${test} PROPERTIES LABELS "${labels};${ORVIK_BUILD_LABEL}" TIMEOUT ${timeout}
                         SKIP_RETURN_CODE 77)
    if(environment)
        set_tests_properties(${test} PROPERTIES ENVIRONMENT "${environment}")
    endif()
    # GUI tests take screenshots: the index of them is written after them.
    set(label_list ${labels})
    if(WIN32 AND "gui" IN_LIST label_list)
        set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED screens)
    endif()
endfunction()

# The same test again in a prefix that reports Windows 98: test_win9x.
# command... is the test's command line.
function(orvik_add_win9x_run name timeout labels environment)
    orvik_test_name(test ${name}_win9x)
    add_test(NAME ${test} COMMAND ${ARGN})
    orvik_set_test_properties(${test} ${timeout} "${labels};win9x"
                              "${environment};ORVIK_WINE_VERSION=win98;ORVIK_PREFIX_NAME=${test}")
endfunction()

function(orvik_add_test)
    cmake_parse_arguments(T "PORTABLE;WINDOWS;WIN9X;NO_MAIN" "NAME;TIMEOUT" "SOURCES;LIBS;ENVIRONMENT;LABELS" ${ARGN})
    if(WIN32)
        if(NOT T_PORTABLE AND NOT T_WINDOWS)
            return()
        endif()
        set(label windows)
    else()
        if(NOT T_PORTABLE)
            return()
        endif()
        set(label native)
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    if(T_NO_MAIN)
        target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${ORVIK_GTEST})
    else()
        target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${ORVIK_GTEST_MAIN})
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    orvik_test_name(test ${T_NAME})
    add_test(NAME ${test} COMMAND ${T_NAME})
    orvik_set_test_properties(${test} ${T_TIMEOUT} "${label};${T_LABELS}" "${T_ENVIRONMENT}")
    if(WIN32 AND T_WIN9X)
        orvik_add_win9x_run(${T_NAME} ${T_TIMEOUT} "${label};${T_LABELS}" "${T_ENVIRONMENT}"
                            ${T_NAME})
    endif()
endfunction()
