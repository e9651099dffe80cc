# Runs tarvex-check as a user would and checks its exit codes and its --json report, read with
# CMake's own JSON reader. Arguments: CHECK (the program), EMULATOR (empty, or Wine for the
# Windows build), WORK_DIR (scratch folder).
cmake_minimum_required(VERSION 3.25)

function(run_check out_code out_text)
    execute_process(COMMAND ${EMULATOR} ${CHECK} ${ARGN}
        RESULT_VARIABLE code OUTPUT_VARIABLE text ERROR_VARIABLE errors TIMEOUT 30)
    set(${out_code} "${code}" PARENT_SCOPE)
    set(${out_text} "${text}${errors}" PARENT_SCOPE)
endfunction()

function(expect condition message)
    if(NOT ${condition})
        message(FATAL_ERROR "${message}")
    endif()
endfunction()

run_check(code text --help)
if(NOT code EQUAL 0 OR NOT text MATCHES "Usage: tarvex-check")
    message(FATAL_ERROR "--help: exit ${code}, output:\n${text}")
endif()

run_check(code text --no-such-option)
if(NOT code EQUAL 2)
    message(FATAL_ERROR "a wrong option: exit ${code} instead of 2, output:\n${text}")
endif()

# No configuration, the layer switched off, and (on Linux) a manifest whose library is missing.
file(REMOVE_RECURSE "${WORK_DIR}")
set(manifest_dir "${WORK_DIR}/home/openxr/1/api_layers/implicit.d")
file(WRITE "${manifest_dir}/XR_APILAYER_TARVEX_tracking_override.json" [=[
{"file_format_version": "1.0.0", "api_layer": {"name": "XR_APILAYER_TARVEX_tracking_override",
 "library_path": "./missing/libtarvex_tracking.so", "api_version": "1.0",
 "implementation_version": "1", "disable_environment": "DISABLE_TARVEX_TRACKING_OVERRIDE"}}
]=])
unset(ENV{TARVEX_OPENXR_CONFIG})
unset(ENV{XR_API_LAYER_PATH})
set(ENV{XDG_DATA_HOME} "${WORK_DIR}/home")
set(ENV{XDG_DATA_DIRS} "${WORK_DIR}/none")
set(ENV{XDG_CONFIG_DIRS} "${WORK_DIR}/none")
set(ENV{DISABLE_TARVEX_TRACKING_OVERRIDE} 1)

run_check(code json --json --seconds 0.2)
if(NOT code EQUAL 1)
    message(FATAL_ERROR "a failing setup: exit ${code} instead of 1, output:\n${json}")
endif()
string(JSON passed ERROR_VARIABLE error GET "${json}" passed)
if(error)
    message(FATAL_ERROR "--json output does not parse: ${error}\n${json}")
endif()
if(passed)
    message(FATAL_ERROR "a failing setup reports passed:\n${json}")
endif()
string(JSON count LENGTH "${json}" checks)
set(failed "")
math(EXPR last "${count} - 1")
foreach(index RANGE ${last})
    string(JSON check GET "${json}" checks ${index} check)
    string(JSON verdict GET "${json}" checks ${index} verdict)
    string(JSON message GET "${json}" checks ${index} message)
    if(verdict STREQUAL "fail")
        list(APPEND failed ${check})
        string(JSON advice GET "${json}" checks ${index} advice)
        if(advice STREQUAL "")
            message(FATAL_ERROR "failure without advice: ${message}")
        endif()
    endif()
endforeach()
set(expected_failures variable disable)
if(NOT EMULATOR)
    list(APPEND expected_failures library)
endif()
foreach(check IN LISTS expected_failures)
    if(NOT check IN_LIST failed)
        message(FATAL_ERROR "check '${check}' did not fail; failed: ${failed}\n${json}")
    endif()
endforeach()
message(STATUS "failed as expected: ${failed}")
