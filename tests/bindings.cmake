# The Python package and the C# binding, each run as its users run it.
# Included from tests/CMakeLists.txt. They test packaging, not memory safety,
# and a sanitized library can't be loaded into an interpreter as is.
if(WIN32 OR WHISPER_INF_SANITIZE)
    return()
endif()

# The wheel, built and installed into a fresh virtual environment.
add_test(NAME python_package
         COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/python_wheel_test.sh" "${CMAKE_BINARY_DIR}"
                 "${CMAKE_CURRENT_BINARY_DIR}/python_package")
set_tests_properties(python_package PROPERTIES
    FIXTURES_REQUIRED test_model LABELS real_engine SKIP_RETURN_CODE 77
    ENVIRONMENT "MODEL=${test_model};SAMPLE=${PROJECT_SOURCE_DIR}/samples/hello.wav")

# The binding and its example compiled with Mono's mcs, run by mono against
# this library and the engine found on the library path.
find_program(MCS_EXECUTABLE mcs)
find_program(MONO_EXECUTABLE mono)
if(NOT MCS_EXECUTABLE OR NOT MONO_EXECUTABLE)
    # Counted as skipped, with the reason.
    add_test(NAME csharp_binding COMMAND "${CMAKE_COMMAND}" -E echo
             "skipped: Mono's mcs and mono are not installed (scripts/setup.sh installs them)")
    set_tests_properties(csharp_binding PROPERTIES SKIP_REGULAR_EXPRESSION "skipped: ")
    return()
endif()
set(csharp_example "${CMAKE_CURRENT_BINARY_DIR}/csharp/Example.exe")
file(MAKE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/csharp")
add_test(NAME csharp_build
         COMMAND "${MCS_EXECUTABLE}" -nologo -warnaserror -r:System.Runtime.Serialization.dll
                 "-out:${csharp_example}" "${PROJECT_SOURCE_DIR}/bindings/csharp/WhisperInf.cs"
                 "${PROJECT_SOURCE_DIR}/bindings/csharp/Example.cs")
set_tests_properties(csharp_build PROPERTIES FIXTURES_SETUP csharp_example)
function(add_csharp_test name wav expected)
    add_test(NAME csharp_${name} COMMAND "${MONO_EXECUTABLE}" "${csharp_example}" "${test_model}" "${wav}")
    set_tests_properties(csharp_${name} PROPERTIES
        FIXTURES_REQUIRED "csharp_example;test_model" LABELS real_engine
        PASS_REGULAR_EXPRESSION "${expected}"
        ENVIRONMENT "LD_LIBRARY_PATH=$<TARGET_FILE_DIR:whisper_inf>:${WHISPER_ENGINE_DIR}/lib")
endfunction()
add_csharp_test(sample "${PROJECT_SOURCE_DIR}/samples/hello.wav"
    "language: en\n\\[      0 ->    1000 ms\\] tiny test\n\\[   1200 ->    2000 ms\\] model\n")
add_csharp_test(missing_file missing.wav "Example: Transcribing missing.wav failed. the library's diagnostics")
