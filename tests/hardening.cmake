# Hardening tests: hostile input through the exports, and memory stress.
# Included from tests/CMakeLists.txt after the engine doubles are defined.
# Both lean on POSIX: file modes, effective users, resident memory.
if(WIN32)
    return()
endif()
add_executable(bad_input_tests bad_input_test.cpp)
target_link_libraries(bad_input_tests PRIVATE whisper_inf platform_layer GTest::gtest_main
                                              project_warnings)
target_include_directories(bad_input_tests SYSTEM PRIVATE "${WHISPER_ENGINE_DIR}/include")
target_compile_definitions(bad_input_tests PRIVATE
    ENGINE_DOUBLE_DIR="${double_root}" ENGINE_DOUBLE_FILE="${double_file}")
add_dependencies(bad_input_tests engine_double_complete)
# Under AddressSanitizer no single allocation may exceed 16 MiB: the largest
# file here is 256 KiB, so only a size taken from a header could.
gtest_discover_tests(bad_input_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "ASAN_OPTIONS=max_allocation_size_mb=16")

# Resident memory means nothing under the sanitizers' allocator.
if(NOT WHISPER_INF_SANITIZE AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
    add_executable(stress_tests stress_test.cpp)
    target_link_libraries(stress_tests PRIVATE whisper_inf GTest::gtest_main project_warnings)
    target_compile_definitions(stress_tests PRIVATE
        ENGINE_DOUBLE_DIR="${double_root}" TEST_MODEL_PATH="${test_model}")
    add_dependencies(stress_tests engine_double_complete)
    gtest_discover_tests(stress_tests TEST_FILTER "StressDouble.*" DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS stress)
    gtest_discover_tests(stress_tests TEST_FILTER "StressRealEngine.*" DISCOVERY_TIMEOUT 60
        PROPERTIES FIXTURES_REQUIRED test_model ENVIRONMENT "${real_engine_environment}"
                   LABELS "stress;real_engine")
endif()
