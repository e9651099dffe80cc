# Warnings are errors everywhere; sanitizers apply to every target of a flavour.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wno-missing-field-initializers -Werror)

if(TARVEX_SANITIZER)
    list(JOIN TARVEX_SANITIZER "," _tarvex_sanitizers)
    add_compile_options(-fsanitize=${_tarvex_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${_tarvex_sanitizers})
endif()
