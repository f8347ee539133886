# Included by the engine's build right after its ggml project() call
# (scripts/provision-engine.sh passes it as CMAKE_PROJECT_ggml_INCLUDE).
#
# A host may already hold another copy of ggml under the stock names
# (libggml-base.so.0, ggml-base.dll), for instance through a language-model
# plugin. Our engine's two ggml libraries get names of their own, so that
# neither copy's loader hands the other's file to the wrong engine. The backend
# plugins keep their ggml-<backend>[-<variant>] names: the engine's plugin
# scanner looks for exactly that prefix in the folder it is given.
set(WHISPER_INF_GGML_PREFIX "whisper-inf-" CACHE STRING
    "Prefix of the engine's ggml library names")

function(whisper_inf_rename_ggml_libraries)
    foreach(target ggml ggml-base)
        set_target_properties(${target} PROPERTIES OUTPUT_NAME "${WHISPER_INF_GGML_PREFIX}${target}")
    endforeach()
endfunction()

# The libraries are defined further down the ggml tree; rename them once it
# has been read.
cmake_language(DEFER CALL whisper_inf_rename_ggml_libraries)
