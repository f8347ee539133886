# Windows-only tests, included by tests/CMakeLists.txt.

# Windows finds a program's DLLs beside it, so the programs that link the
# library are built next to it, as a host's folder would hold them.
set_target_properties(engine_double_tests real_engine_tests c_host PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}")

# The engine beside the program: a copy of the double tests in a folder of
# their own with the library and the complete double.
set(beside_dir "${CMAKE_CURRENT_BINARY_DIR}/beside")
add_custom_command(TARGET engine_double_tests POST_BUILD
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${beside_dir}"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different "$<TARGET_FILE:engine_double_tests>"
            "$<TARGET_FILE:whisper_inf>" "$<TARGET_FILE:engine_double_complete>" "${beside_dir}")
set(beside_test Placement.EngineBesideTheProgramIsTheFirstCandidate)
add_test(NAME ${beside_test}
    COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR}
            "${beside_dir}/$<TARGET_FILE_NAME:engine_double_tests>" --gtest_filter=${beside_test})
set_tests_properties(${beside_test} PROPERTIES
    ENVIRONMENT "ENGINE_BESIDE_PROGRAM=${beside_dir}/${double_file}"
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test"
    FAIL_REGULAR_EXPRESSION "SKIPPED|FAILED")

# The DLL's export table and its imports, as objdump reads them.
add_test(NAME exports COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/check_pe_dll.sh" exports "${CMAKE_OBJDUMP}"
                              "$<TARGET_FILE:whisper_inf>" ${public_exports})
add_test(NAME imports COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/check_pe_dll.sh" imports "${CMAKE_OBJDUMP}"
                              "$<TARGET_FILE:whisper_inf>" KERNEL32.dll msvcrt.dll "api-ms-win-crt-*.dll")
