# Fails unless the layer library defines exactly one dynamic symbol, the negotiation entry.
execute_process(COMMAND nm -D --defined-only "${LIBRARY}" OUTPUT_VARIABLE symbols
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX REPLACE "[0-9a-fA-F]+ [A-Za-z] " "" names "${symbols}")
string(STRIP "${names}" names)
if(NOT names STREQUAL "xrNegotiateLoaderApiLayerInterface")
    message(FATAL_ERROR "unexpected exports of ${LIBRARY}:\n${symbols}")
endif()
message(STATUS "exports: ${names}")
