# The real-engine tests again, with the engine's Vulkan plugin: on lavapipe,
# Mesa's software Vulkan device, and with no Vulkan driver at all, where the
# engine keeps to the CPU. Each run is one process, so the slow start of the
# software device is paid once. They carry the label vulkan, which
# scripts/test-vulkan.sh runs and the Linux suite leaves out. The sanitizer
# build leaves them out too: Mesa's software driver leaks on its own.
if(WIN32 OR WHISPER_INF_SANITIZE OR NOT EXISTS "${WHISPER_ENGINE_DIR}/lib/libggml-vulkan.so")
    return()
endif()
set(lavapipe_icd /usr/share/vulkan/icd.d/lvp_icd.x86_64.json)
if(NOT EXISTS "${lavapipe_icd}")
    message(FATAL_ERROR "The Vulkan tests need lavapipe (${lavapipe_icd}): install mesa-vulkan-drivers")
endif()

add_test(NAME vulkan_lavapipe COMMAND real_engine_tests --gtest_filter=-ModelSizes.*)
# ggml leaves CPU-type devices such as lavapipe out unless they are named.
set_tests_properties(vulkan_lavapipe PROPERTIES
    FIXTURES_REQUIRED test_model LABELS "real_engine;vulkan"
    ENVIRONMENT "${real_engine_environment};VK_ICD_FILENAMES=${lavapipe_icd};GGML_VK_VISIBLE_DEVICES=0;ENGINE_BACKEND_LOG=ggml_vulkan: 0 = llvmpipe|${engine_cpu_log}whisper_backend_init_gpu: using Vulkan0 backend\n")

add_test(NAME vulkan_no_device COMMAND real_engine_tests --gtest_filter=-ModelSizes.*)
set_tests_properties(vulkan_no_device PROPERTIES
    FIXTURES_REQUIRED test_model LABELS "real_engine;vulkan"
    ENVIRONMENT "${real_engine_environment};VK_ICD_FILENAMES=/nonexistent/icd.json")
