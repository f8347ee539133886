# The Python package, run as its users run it.
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
