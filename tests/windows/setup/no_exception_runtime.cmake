# cmake -DMAP=program.map -P no_exception_runtime.cmake
# The shipped programs are built without exceptions; nothing may bring the
# runtime's exception support back in (a guarded local static does: the
# guard can throw). Fails naming the member of the runtime that came in and
# what asked for it, as the link map says.
file(STRINGS "${MAP}" lines)
set(previous "")
foreach(line IN LISTS lines)
    if(previous MATCHES "lib(stdc\\+\\+|gcc_eh)\\.a\\((eh_[a-z_]*|guard|vterminate|cp-demangle|unwind-[a-z]*)\\.o\\)")
        string(STRIP "${line}" why)
        message(FATAL_ERROR "${MAP}: ${CMAKE_MATCH_2}.o of lib${CMAKE_MATCH_1}.a is linked in, for ${why}")
    endif()
    set(previous "${line}")
endforeach()
message(STATUS "${MAP}: no exception runtime")
