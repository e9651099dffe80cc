# Tests that serve or reach the motion-capture ports at their fixed numbers. Where this machine can
# give a test a network namespace of its own (as root), each such test runs in one, with loopback
# only, so that they run side by side with every other test; elsewhere, and in the cross build
# whose tests share one Wine server, they take turns through one lock.
#
#   tarvex_fixed_ports_program(<target>)  every test of a GoogleTest program discovered later
#   TARVEX_FIXED_PORTS_LAUNCHER           the command to put ahead of a script test's command
#   TARVEX_FIXED_PORTS_PROPERTIES         the test properties each such test takes
option(TARVEX_TEST_NETWORK_NAMESPACES
    "Run the tests on the fixed motion-capture ports each in a network namespace of its own, where the machine allows it"
    ON)

set(TARVEX_FIXED_PORTS_LAUNCHER "")
set(TARVEX_FIXED_PORTS_PROPERTIES RESOURCE_LOCK mocap_ports)
if(TARVEX_TEST_NETWORK_NAMESPACES AND NOT CMAKE_CROSSCOMPILING AND NOT WIN32)
    set(_launcher "${PROJECT_SOURCE_DIR}/tests/common/run-in-own-network.sh")
    execute_process(COMMAND "${_launcher}" true RESULT_VARIABLE _result OUTPUT_QUIET ERROR_QUIET)
    if(_result EQUAL 0)
        set(TARVEX_FIXED_PORTS_LAUNCHER "${_launcher}")
        set(TARVEX_FIXED_PORTS_PROPERTIES "")
        message(STATUS "Tests on the fixed motion-capture ports: each in its own network namespace")
    else()
        message(STATUS "Tests on the fixed motion-capture ports: one at a time (no network namespace here without root)")
    endif()
endif()

function(tarvex_fixed_ports_program target)
    if(TARVEX_FIXED_PORTS_LAUNCHER)
        set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR "${TARVEX_FIXED_PORTS_LAUNCHER}")
    endif()
endfunction()
