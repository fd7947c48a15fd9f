# Optional code signing of what we ship, SHA-256 Authenticode by osslsigncode:
# setdown.exe and the stand-in ORVIK.exe before they are packed, both
# setup.exe in build/dist last (scripts/dist). Given on the configure of a
# Windows build tree (scripts/build passes on the environment variables of
# the same names):
#   ORVIK_SIGN_PKCS12         the certificate with its key, a PKCS#12 file; its
#                             password in ORVIK_SIGN_PASSWORD, best as an
#                             environment variable (no command line shows it)
#   ORVIK_SIGN_COMMAND        instead, a command of one's own (a hardware token):
#                             called with the file to sign, which it signs in place
#   ORVIK_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server (osslsigncode -ts)
# Without a time-stamp server the signing time is fixed: SOURCE_DATE_EPOCH
# when it is set at configure time, else the payload time, so that the same
# sources, certificate and time give the same bytes. Without a certificate or
# command nothing is signed and nothing changes.
#
# The settings become one script, signing/sign-file FILE..., in the build
# tree; the password lies beside it in signing/password, in a folder only its
# owner can read, and is taken out of CMakeCache.txt.
#
# The same script, written elsewhere (the signing test uses this):
#   cmake -DORVIK_SIGN_PKCS12=... -DORVIK_SIGN_DIR=dir -DORVIK_SIGN_TIME=t -P OrvikSigning.cmake

# orvik_signing_script(dir time out): writes dir/sign-file and sets out to it,
# or removes it and sets out empty when nothing is to be signed.
function(orvik_signing_script dir time out)
    set(script ${dir}/sign-file)
    if(NOT ORVIK_SIGN_PKCS12 AND NOT ORVIK_SIGN_COMMAND)
        file(REMOVE_RECURSE ${dir})
        set(${out} "" PARENT_SCOPE)
        return()
    endif()
    file(MAKE_DIRECTORY ${dir})
    file(CHMOD ${dir} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

    if(ORVIK_SIGN_COMMAND)
        separate_arguments(command UNIX_COMMAND "${ORVIK_SIGN_COMMAND}")
    else()
        if(NOT EXISTS "${ORVIK_SIGN_PKCS12}")
            message(FATAL_ERROR "ORVIK_SIGN_PKCS12: no such file: ${ORVIK_SIGN_PKCS12}")
        endif()
        find_program(ORVIK_OSSLSIGNCODE osslsigncode REQUIRED)
        # A password given now replaces the stored one; a configure without
        # one (CMake's own re-run during a build) keeps it.
        set(password_file ${dir}/password)
        if(DEFINED ORVIK_SIGN_PASSWORD)
            file(WRITE ${password_file} "${ORVIK_SIGN_PASSWORD}")
            unset(ORVIK_SIGN_PASSWORD CACHE)
        elseif(DEFINED ENV{ORVIK_SIGN_PASSWORD})
            file(WRITE ${password_file} "$ENV{ORVIK_SIGN_PASSWORD}")
        elseif(NOT EXISTS ${password_file})
            file(WRITE ${password_file} "")
        endif()
        file(CHMOD ${password_file} PERMISSIONS OWNER_READ OWNER_WRITE)
        get_filename_component(pkcs12 "${ORVIK_SIGN_PKCS12}" ABSOLUTE)
        set(command ${ORVIK_OSSLSIGNCODE} sign -pkcs12 ${pkcs12} -readpass ${password_file} -h sha256)
        if(ORVIK_SIGN_TIMESTAMP_URL)
            list(APPEND command -ts ${ORVIK_SIGN_TIMESTAMP_URL})
        else()
            list(APPEND command -time ${time})
        endif()
        list(APPEND command -in)
    endif()

    set(words "")
    foreach(word IN LISTS command)
        string(REPLACE "'" "'\\''" word "${word}")
        string(APPEND words " '${word}'")
    endforeach()
    if(ORVIK_SIGN_COMMAND)
        set(sign "${words} \"$file\"")
    else()
        # osslsigncode writes a new file; it replaces the old one only when whole.
        set(sign "${words} \"$file\" -out \"$file.signed\" >/dev/null\n    mv -f \"$file.signed\" \"$file\"")
    endif()
    # Replaced only when it changes, so that a configure again re-signs nothing.
    file(WRITE ${script}.new "#!/bin/bash
# Signs each FILE in place (written by cmake/OrvikSigning.cmake).
set -euo pipefail
for file in \"$@\"; do
    rm -f \"$file.signed\"
   ${sign}
done
")
    configure_file(${script}.new ${script} COPYONLY)
    file(REMOVE ${script}.new)
    file(CHMOD ${script} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    set(${out} ${script} PARENT_SCOPE)
endfunction()

# orvik_sign_step(out file): "COMMAND <script> file" for add_custom_command
# when this build signs, else nothing.
function(orvik_sign_step out file)
    if(ORVIK_SIGN_FILE)
        set(${out} COMMAND ${ORVIK_SIGN_FILE} ${file} PARENT_SCOPE)
    else()
        set(${out} "" PARENT_SCOPE)
    endif()
endfunction()

# orvik_signing(time): in a Windows build tree, the script in signing/ and
# ORVIK_SIGN_FILE naming it (empty without signing), for the calling folder;
# ORVIK_SIGN_DEPENDS: the files whose change signs again.
macro(orvik_signing time)
    if(WIN32)
        set(ORVIK_SIGN_PKCS12 "" CACHE FILEPATH "Code-signing certificate and key (PKCS#12); empty: nothing is signed")
        set(ORVIK_SIGN_COMMAND "" CACHE STRING "Signing command of one's own instead, called with the file to sign in place")
        set(ORVIK_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server; empty: a fixed signing time")
        if(DEFINED ENV{SOURCE_DATE_EPOCH})
            orvik_signing_script(${CMAKE_BINARY_DIR}/signing $ENV{SOURCE_DATE_EPOCH} ORVIK_SIGN_FILE)
        else()
            orvik_signing_script(${CMAKE_BINARY_DIR}/signing ${time} ORVIK_SIGN_FILE)
        endif()
        set(ORVIK_SIGN_DEPENDS ${ORVIK_SIGN_FILE})
        if(ORVIK_SIGN_FILE AND ORVIK_SIGN_PKCS12)
            list(APPEND ORVIK_SIGN_DEPENDS ${ORVIK_SIGN_PKCS12})
        endif()
    endif()
endmacro()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    orvik_signing_script(${ORVIK_SIGN_DIR} ${ORVIK_SIGN_TIME} script)
    message(STATUS "${script}")
endif()
