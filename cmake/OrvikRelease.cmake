# Release settings of what we ship (setup.exe, setdown.exe, ORVIK.exe).
#
# orvik_product_code(): in the calling folder, code is compiled for size, one
# section per function and datum so that the linker can drop what nothing
# calls, without exceptions (the code throws and catches none; with them the
# runtime's unwinder, terminate handler, demangler and thread library come
# along), and with the checkout's path mapped to "." so that no build path
# gets into the programs. On i686 no unwind tables either: nothing unwinds
# (x86_64 keeps them, its calling convention requires them). The tests link the same libraries, so they test the
# code that ships; their own sources keep the build type's flags.
#
# orvik_shipped_program(target): linked without debug sections, without a link
# time stamp (the PE checksum stays 0), unreferenced sections dropped, and a
# link map beside it (target.map) to see where the bytes go. The same sources
# then give the same bytes, wherever and whenever they are built.
set(ORVIK_PRODUCT_COMPILE_OPTIONS
    -Os -ffunction-sections -fdata-sections -fno-exceptions
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
    -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    list(APPEND ORVIK_PRODUCT_COMPILE_OPTIONS -fno-asynchronous-unwind-tables)
endif()

macro(orvik_product_code)
    if(WIN32)
        add_compile_options(${ORVIK_PRODUCT_COMPILE_OPTIONS})
    endif()
endmacro()

function(orvik_shipped_program target)
    target_link_options(${target} PRIVATE
        -s -Wl,--no-insert-timestamp -Wl,--gc-sections
        -Wl,-Map=$<TARGET_FILE_DIR:${target}>/${target}.map)
endfunction()
