# Adds every direct subfolder that has a CMakeLists.txt, in sorted order, so
# each subsystem keeps its own tests, payload or benchmarks in its own folder.
macro(orvik_add_all_subdirectories)
    file(GLOB _orvik_children CONFIGURE_DEPENDS LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT _orvik_children)
    foreach(_orvik_child IN LISTS _orvik_children)
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_orvik_child}/CMakeLists.txt)
            add_subdirectory(${_orvik_child})
        endif()
    endforeach()
endmacro()
