# Test registration shared by every test folder.
#
#   orvik_add_test(NAME n SOURCES ... [LIBS ...] [PORTABLE] [WINDOWS]
#                  [ENVIRONMENT k=v ...] [LABELS extra ...] [TIMEOUT s])
#
# PORTABLE tests build in all three configurations: in the host build they
# carry the label "native", in the x86_64 build "windows" (run under Wine);
# the i686 build only compiles them. WINDOWS tests exist in the cross builds
# only. Each test program is one CTest test; under Wine it gets a prefix of
# its own (scripts/wine-run).

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

function(orvik_add_test)
    cmake_parse_arguments(T "PORTABLE;WINDOWS;NO_MAIN" "NAME;TIMEOUT" "SOURCES;LIBS;ENVIRONMENT;LABELS" ${ARGN})
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
    if(WIN32 AND NOT ORVIK_RUN_WINDOWS_TESTS)
        return()
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${label};${T_LABELS}" TIMEOUT ${T_TIMEOUT})
    if(T_ENVIRONMENT)
        set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
    endif()
endfunction()
