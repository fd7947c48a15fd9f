# Cross build for 32-bit Windows (every Windows, the 9x family included).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORVIK_TRIPLE i686-w64-mingw32)
# The -posix thread model: GoogleTest needs std::condition_variable.
set(CMAKE_C_COMPILER   ${ORVIK_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVIK_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${ORVIK_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORVIK_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
