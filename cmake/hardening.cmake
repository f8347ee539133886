# Instrumented builds, each configured in a build directory of its own by
# scripts/test-hardening.sh. Included before any target so that the library,
# the engine doubles and every test are built alike.
option(WHISPER_INF_SANITIZE "Build everything with AddressSanitizer and UBSan" OFF)
option(WHISPER_INF_FUZZ "Build the libFuzzer targets in fuzz/ (clang only)" OFF)

set(whisper_inf_sanitize_flags
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
if(WHISPER_INF_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "WHISPER_INF_FUZZ needs clang (libFuzzer)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link ${whisper_inf_sanitize_flags})
    add_link_options(${whisper_inf_sanitize_flags})
elseif(WHISPER_INF_SANITIZE)
    add_compile_options(${whisper_inf_sanitize_flags})
    add_link_options(${whisper_inf_sanitize_flags})
endif()
