# Warnings are on everywhere; they stop the build only where asked for (every preset does), so
# that a packager's plain build is not broken by a newer compiler's false warnings.
# Sanitizers apply to every target of a flavour.
option(TARVEX_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)

if(MSVC)
    add_compile_options(/W4 /permissive- /utf-8)
    # The standard C functions the code uses portably (getenv, fopen, strncpy) are not errors.
    add_compile_definitions(_CRT_SECURE_NO_WARNINGS NOMINMAX)
    if(TARVEX_WARNINGS_AS_ERRORS)
        add_compile_options(/WX)
    endif()
else()
    add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
        -Wno-missing-field-initializers)
    if(TARVEX_WARNINGS_AS_ERRORS)
        add_compile_options(-Werror)
    endif()
endif()

if(TARVEX_SANITIZER)
    if(MSVC)
        message(FATAL_ERROR "TARVEX_SANITIZER is for GCC and Clang builds")
    endif()
    list(JOIN TARVEX_SANITIZER "," _tarvex_sanitizers)
    add_compile_options(-fsanitize=${_tarvex_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${_tarvex_sanitizers})
endif()
