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

# Hosts that keep the library in a folder of their own, neither the program's
# nor the current directory, with the engine beside the library:
#   host/             the host alone
#   host-and-engine/  the host with the complete double beside it
#   <library_folder>/ the library and the double of an engine with plugin
#                     backends, in a folder whose name the ANSI code page
#                     can't hold: its ggml double finds a device only when
#                     given that folder
#   real/             the library and the real engine with its ggml DLLs
#   other/            the library and a double of another version, which is
#                     refused if it is ever bound
add_executable(elsewhere_host elsewhere_host.cpp)
target_link_libraries(elsewhere_host PRIVATE platform_layer project_warnings)
target_link_options(elsewhere_host PRIVATE -municode)
set(elsewhere "${CMAKE_CURRENT_BINARY_DIR}/elsewhere")
set(library_folder "bibliothèque ライブラリ")
file(GLOB real_engine_dlls "${WHISPER_ENGINE_DIR}/lib/*.dll")
set(library_file "$<TARGET_FILE:whisper_inf>")
add_custom_target(elsewhere_layout ALL
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${elsewhere}/host" "${elsewhere}/host-and-engine"
            "${elsewhere}/${library_folder}" "${elsewhere}/real" "${elsewhere}/other"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different "$<TARGET_FILE:elsewhere_host>" "${elsewhere}/host"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different "$<TARGET_FILE:elsewhere_host>"
            "$<TARGET_FILE:engine_double_complete>" "${elsewhere}/host-and-engine"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${library_file}" "$<TARGET_FILE:engine_double_backend_loader>"
            "$<TARGET_FILE:ggml_double>" "${elsewhere}/${library_folder}"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${library_file}" ${real_engine_dlls} "${elsewhere}/real"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${library_file}"
            "$<TARGET_FILE:engine_double_version_other>" "${elsewhere}/other"
    VERBATIM)
add_dependencies(elsewhere_layout elsewhere_host whisper_inf engine_double_complete
                 engine_double_backend_loader engine_double_version_other)

set(library_name "$<TARGET_FILE_NAME:whisper_inf>")
set(bound_beside_library "\\] Loaded: [A-Z]:\\\\[^\n]*\\\\")
set(bound "\n\\[whisper_inf\\] Library loaded successfully")
add_test(NAME Elsewhere.EngineBesideTheLibraryIsBoundByItsFullPath
    COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} "${elsewhere}/host/elsewhere_host.exe"
            "${elsewhere}/${library_folder}/${library_name}" model.bin
    WORKING_DIRECTORY "${elsewhere}")
set_tests_properties(Elsewhere.EngineBesideTheLibraryIsBoundByItsFullPath PROPERTIES
    ENVIRONMENT "LC_ALL=C.UTF-8"
    PASS_REGULAR_EXPRESSION "${bound_beside_library}${library_folder}\\\\whisper\\.dll${bound}")
# The engine loads its CPU plugin from beside itself, and names it.
add_test(NAME Elsewhere.RealEngineBesideTheLibraryTranscribes
    COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} "${elsewhere}/host/elsewhere_host.exe"
            "${elsewhere}/real/${library_name}" "${test_model}" "${PROJECT_SOURCE_DIR}/samples/hello.wav"
    WORKING_DIRECTORY "${elsewhere}")
set_tests_properties(Elsewhere.RealEngineBesideTheLibraryTranscribes PROPERTIES
    FIXTURES_REQUIRED test_model LABELS real_engine
    PASS_REGULAR_EXPRESSION
        "${bound_beside_library}real\\\\whisper\\.dll\nload_backend: loaded CPU backend from [^\n]*\\\\real\\\\ggml-cpu-[^\n]*\\.dll${bound}.*\"text\": \" tiny test\".*\"text\": \" model\"")
add_test(NAME Elsewhere.EngineBesideTheProgramStillComesFirst
    COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} "${elsewhere}/host-and-engine/elsewhere_host.exe"
            "${elsewhere}/other/${library_name}" model.bin
    WORKING_DIRECTORY "${elsewhere}")
set_tests_properties(Elsewhere.EngineBesideTheProgramStillComesFirst PROPERTIES
    PASS_REGULAR_EXPRESSION "\\] Loaded: whisper\\.dll${bound}")
