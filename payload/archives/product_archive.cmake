# orvik_product_archive(ARCHIVE FOLDER [DEPENDS...]): archive 216 made from
# a product folder's whole tree by the host lzhpack (lzhpack c --product:
# ORVIK.exe first, then the folder in code page 932 order; what an
# installation cannot reproduce is refused with the file's name), and the
# sum of the checked archive beside it (ARCHIVE.sum, lzhpack sum). The old
# archive is removed first, and lzhpack renames a complete one into place, so
# a refused folder leaves no archive behind.
function(orvik_product_archive archive folder)
    if(NOT IS_DIRECTORY "${folder}" AND NOT ARGN)
        message(FATAL_ERROR "ORVIK_PRODUCT_DIR=${folder}: not a folder")
    endif()
    # The folder's files and folders as dependencies (looked at again on every
    # build); links are left to lzhpack, which refuses them by name.
    file(GLOB_RECURSE entries CONFIGURE_DEPENDS LIST_DIRECTORIES true "${folder}/*")
    get_filename_component(archive_dir ${archive} DIRECTORY)
    set(inputs "")
    foreach(entry IN LISTS entries)
        if(NOT IS_SYMLINK "${entry}")
            list(APPEND inputs "${entry}")
        endif()
    endforeach()
    add_custom_command(OUTPUT ${archive} ${archive}.sum
        COMMAND ${CMAKE_COMMAND} -E rm -f ${archive} ${archive}.sum
        COMMAND ${CMAKE_COMMAND} -E make_directory ${archive_dir}
        COMMAND ${ORVIK_HOST_LZHPACK} c ${archive} -9 --mtime ${ORVIK_PAYLOAD_MTIME} --product ${folder}
        COMMAND ${ORVIK_HOST_LZHPACK} sum ${archive} ${archive}.sum
        DEPENDS ${inputs} ${ORVIK_HOST_LZHPACK} ${ARGN}
        COMMENT "Archive 216: the product folder ${folder}"
        VERBATIM)
endfunction()
