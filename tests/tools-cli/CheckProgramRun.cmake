# Runs a tool with SWITCHES and checks its exit code and what it printed on each stream (trailing
# line breaks aside). An empty pattern means the stream must be empty.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${PROGRAM} ${SWITCHES}
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE result
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
set(report "${PROGRAM} ${SWITCHES}: exit ${result}\nstdout:\n${out}\nstderr:\n${err}")
if(NOT "${result}" STREQUAL "${EXIT_CODE}")
    message(FATAL_ERROR "expected exit code ${EXIT_CODE}\n${report}")
endif()
foreach(stream out err)
    if(stream STREQUAL "out")
        set(pattern "${STDOUT_REGEX}")
    else()
        set(pattern "${STDERR_REGEX}")
    endif()
    if(pattern STREQUAL "" AND NOT "${${stream}}" STREQUAL "")
        message(FATAL_ERROR "expected nothing on std${stream}\n${report}")
    endif()
    if(NOT pattern STREQUAL "" AND NOT "${${stream}}" MATCHES "${pattern}")
        message(FATAL_ERROR "std${stream} does not match '${pattern}'\n${report}")
    endif()
endforeach()
