# The layer check on small trees: one that keeps to the layers passes; each
# kind of offence fails and is named.
#
#   cmake -DCHECK=<layers.cmake> -DWORK_DIR=<scratch> -P layers_test.cmake
cmake_minimum_required(VERSION 3.25)

# A tree that keeps to the layers: includes of its own layer, of one below
# and of the system; links down and to system libraries.
function(write_clean_tree root)
    file(REMOVE_RECURSE ${root})
    file(WRITE ${root}/src/ground/path.h "#pragma once\n#include <cstddef>\n")
    file(WRITE ${root}/src/ground/path.cpp "#include \"ground/path.h\"\n#include <sys/stat.h>\n")
    file(WRITE ${root}/src/ground/CMakeLists.txt
        "add_library(orvik_ground STATIC path.cpp)\nif(WIN32)\n    target_link_libraries(orvik_ground PUBLIC advapi32)\nendif()\n")
    file(WRITE ${root}/src/wizard/page.cpp
        "#include \"wizard/page.h\"\n#include <windows.h>\n  #  include \"ground/path.h\"\n")
    file(WRITE ${root}/src/wizard/page.h "#pragma once\n")
    file(WRITE ${root}/src/wizard/CMakeLists.txt
        "# target_link_libraries(orvik_wizard PUBLIC orvik_setup) was dropped\nadd_library(orvik_wizard STATIC page.cpp)\ntarget_link_libraries(orvik_wizard PUBLIC\n    orvik_ground\n    $<TARGET_NAME_IF_EXISTS:orvik_other> user32)\n")
    file(WRITE ${root}/src/setup/main.cpp "#include \"wizard/page.h\"\n")
    file(WRITE ${root}/src/setup/CMakeLists.txt
        "add_library(orvik_setup STATIC start.cpp)\nadd_executable(setup WIN32 main.cpp)\ntarget_link_libraries(setup PRIVATE orvik_setup orvik_wizard orvik_ground)\n")
endfunction()

# name | file to write (under the tree) | its text | what the failure must say
set(cases
    "clean|||"
    "upward include|src/ground/bad.cpp|#include \"wizard/page.h\"\n|src/ground/bad.cpp: #include \"wizard/page.h\": layer wizard is above ground"
    "upward include in a header, spaced|src/wizard/bad.h|# include \"setup/main.h\"\n|src/wizard/bad.h: #include \"setup/main.h\": layer setup is above wizard"
    "upward include in angle brackets|src/ground/bad.h|#include <wizard/page.h>\n|src/ground/bad.h: #include \"wizard/page.h\": layer wizard is above ground"
    "include of a folder not in the table|src/wizard/bad.cpp|#include \"cleanup/old.h\"\n|src/wizard/bad.cpp: #include \"cleanup/old.h\": folder cleanup not in the layer table"
    "bare include|src/wizard/bad.cpp|#include \"page.h\"\n|src/wizard/bad.cpp: #include \"page.h\" does not name its folder"
    "folder not in the table|src/cleanup/old.cpp|#include \"ground/path.h\"\n|src/cleanup: folder not in the layer table"
    "file outside the folders|src/loose.cpp|\n|src/loose.cpp: not in a layer's folder"
    "upward link|src/ground/CMakeLists.txt|add_library(orvik_ground STATIC path.cpp)\ntarget_link_libraries(orvik_ground\n    PUBLIC kernel32 orvik_wizard)\n|src/ground/CMakeLists.txt: orvik_ground links orvik_wizard: layer wizard is above ground"
    "two libraries in a layer|src/ground/CMakeLists.txt|add_library(orvik_ground STATIC path.cpp)\nadd_library(orvik_more STATIC path.cpp)\n|src/ground/CMakeLists.txt: 2 libraries (a layer is one library)"
)

set(failures)
foreach(case IN LISTS cases)
    string(REPLACE "|" ";" fields "${case}")
    list(LENGTH fields n)
    while(n LESS 4)
        list(APPEND fields "")
        math(EXPR n "${n} + 1")
    endwhile()
    list(GET fields 0 name)
    list(GET fields 1 file)
    list(GET fields 2 text)
    list(GET fields 3 expected)
    set(root ${WORK_DIR}/tree)
    write_clean_tree(${root})
    if(file)
        file(WRITE ${root}/${file} "${text}")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${root} -P ${CHECK}
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(expected STREQUAL "")
        if(NOT result EQUAL 0)
            list(APPEND failures "${name}: failed on a tree that keeps to the layers:\n${out}")
        endif()
    else()
        string(FIND "${out}" "${expected}" at)
        if(result EQUAL 0)
            list(APPEND failures "${name}: passed")
        elseif(at LESS 0)
            list(APPEND failures "${name}: failed without naming \"${expected}\":\n${out}")
        endif()
    endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR}/tree)

if(failures)
    foreach(failure IN LISTS failures)
        message("${failure}")
    endforeach()
    message(FATAL_ERROR "the layer check misjudged a tree")
endif()
list(LENGTH cases count)
message(STATUS "layers_test: ${count} trees checked as expected")
