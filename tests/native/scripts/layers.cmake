# The layers of src/, bottom to top: a file may include only from its own
# folder's layer or one below it, and a library may link only libraries of
# its own layer or below. Every folder of src/ must be in the table, and each
# holds at most one library.
#
#   cmake -DSOURCE_DIR=<checkout> -P layers.cmake
#
# Prints every offence (file and include, or CMakeLists and library) and
# fails if there is one.
cmake_minimum_required(VERSION 3.25)

set(ORVIK_LAYERS
    ground        # result codes, texts, code page, paths, directories, shell folders
    installlog    # INSTALL.LOG, logged directory creation, what an installation owns
    window        # module record, window object, centring, message boxes
    archive       # CRCs, member headers, lh5 decoder, archive check
    extraction    # extractor and copy-method dialog
    registration  # registry, OLE, shortcuts, earlier installations
    install       # the install procedure
    wizard        # sheet, pages, destination logic
    setup         # entry point, setup.exe
)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "layers.cmake: SOURCE_DIR not given")
endif()
set(src ${SOURCE_DIR}/src)
set(offences)

function(layer_rank folder out)
    list(FIND ORVIK_LAYERS "${folder}" rank)
    set(${out} ${rank} PARENT_SCOPE)
endfunction()

# Folders.
file(GLOB entries LIST_DIRECTORIES true RELATIVE ${src} ${src}/*)
foreach(entry IN LISTS entries)
    if(IS_DIRECTORY ${src}/${entry})
        layer_rank(${entry} rank)
        if(rank LESS 0)
            list(APPEND offences "src/${entry}: folder not in the layer table")
        endif()
    endif()
endforeach()

# Includes. Project headers are named by their folder ("ground/path.h"); a
# bare name would hide which layer it comes from.
file(GLOB_RECURSE files RELATIVE ${src} ${src}/*.h ${src}/*.cpp ${src}/*.c ${src}/*.rc ${src}/*.inc)
list(SORT files)
foreach(file IN LISTS files)
    if(NOT file MATCHES "/")
        list(APPEND offences "src/${file}: not in a layer's folder")
        continue()
    endif()
    string(REGEX MATCH "^[^/]+" own ${file})
    layer_rank(${own} own_rank)
    if(own_rank LESS 0)
        continue()  # reported with its folder
    endif()
    file(STRINGS ${src}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS lines)
        if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
            set(name ${CMAKE_MATCH_1})
            set(quoted TRUE)
        elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
            set(name ${CMAKE_MATCH_1})
            set(quoted FALSE)
        else()
            continue()
        endif()
        if(NOT name MATCHES "^([^/]+)/")
            if(quoted)
                list(APPEND offences "src/${file}: #include \"${name}\" does not name its folder")
            endif()
            continue()
        endif()
        set(folder ${CMAKE_MATCH_1})
        layer_rank(${folder} rank)
        if(rank LESS 0)
            # <sys/stat.h> and the like; a quoted folder must be a layer.
            if(quoted)
                list(APPEND offences "src/${file}: #include \"${name}\": folder ${folder} not in the layer table")
            endif()
        elseif(rank GREATER own_rank)
            list(APPEND offences "src/${file}: #include \"${name}\": layer ${folder} is above ${own}")
        endif()
    endforeach()
endforeach()

# Libraries: which folder defines each, then every link of one.
file(GLOB lists RELATIVE ${src} ${src}/*/CMakeLists.txt)
list(SORT lists)
set(defined)
foreach(list_file IN LISTS lists)
    string(REGEX MATCH "^[^/]+" folder ${list_file})
    file(READ ${src}/${list_file} text)
    string(REGEX REPLACE "#[^\n]*" "" text "${text}")
    string(REGEX MATCHALL "add_(library|executable)\\([ \t\r\n]*[A-Za-z0-9_]+" adds "${text}")
    set(libraries 0)
    foreach(add IN LISTS adds)
        string(REGEX REPLACE "^add_(library|executable)\\([ \t\r\n]*" "" target ${add})
        set(folder_of_${target} ${folder})
        list(APPEND defined ${target})
        if(add MATCHES "^add_library")
            math(EXPR libraries "${libraries} + 1")
        endif()
    endforeach()
    if(libraries GREATER 1)
        list(APPEND offences "src/${list_file}: ${libraries} libraries (a layer is one library)")
    endif()
endforeach()
foreach(list_file IN LISTS lists)
    string(REGEX MATCH "^[^/]+" folder ${list_file})
    layer_rank(${folder} own_rank)
    file(READ ${src}/${list_file} text)
    string(REGEX REPLACE "#[^\n]*" "" text "${text}")
    string(REGEX MATCHALL "target_link_libraries\\([^)]*\\)" calls "${text}")
    foreach(call IN LISTS calls)
        string(REGEX REPLACE "^target_link_libraries\\(|\\)$" "" call "${call}")
        string(REGEX REPLACE "[ \t\r\n]+" ";" words "${call}")
        list(FILTER words EXCLUDE REGEX "^$")
        list(POP_FRONT words target)
        foreach(word IN LISTS words)
            if(NOT word IN_LIST defined)
                continue()  # system libraries, resources, visibility keywords
            endif()
            layer_rank(${folder_of_${word}} rank)
            if(rank GREATER own_rank)
                list(APPEND offences
                    "src/${list_file}: ${target} links ${word}: layer ${folder_of_${word}} is above ${folder}")
            endif()
        endforeach()
    endforeach()
endforeach()

if(offences)
    foreach(offence IN LISTS offences)
        message("${offence}")  # unwrapped, one a line
    endforeach()
    list(LENGTH offences count)
    message(FATAL_ERROR "${count} offence(s) against the layers")
endif()
list(LENGTH files count)
message(STATUS "layers: ${count} files, every include and link points down")
