// How the tests reach the engine double: each variant is a folder holding a
// library under the engine's file name.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "include/whisper_inf.h"
#include "platform/dynlib.h"
#include "tests/engine_double/engine_double.h"
#include "tests/test_support.h"

inline std::string variant_dir(const std::string& variant) {
    return std::string(ENGINE_DOUBLE_DIR) + "/" + variant;
}

inline std::string variant_file(const std::string& variant) {
    return variant_dir(variant) + "/" + ENGINE_DOUBLE_FILE;
}

// Opens the double at `path` (it stays loaded) and returns its script.
template <typename Script>
Script* double_script(const std::string& path, const char* getter) {
    dynlib lib{};
    void* get = nullptr;
    if (dynlib_open(path.c_str(), &lib) != 0 || dynlib_sym(&lib, getter, &get) != 0) {
        ADD_FAILURE() << "double " << path << ": " << lib.error;
        return nullptr;
    }
    return reinterpret_cast<Script* (*)()>(get)();
}

// Makes the variant's library the one the library finds in the current
// directory, and returns its script.
inline engine_double_script* use_variant(const std::string& variant) {
    EXPECT_TRUE(change_directory(variant_dir(variant))) << variant;
    return double_script<engine_double_script>(variant_file(variant), "engine_double_script_get");
}

inline ggml_double_script* ggml_double(const std::string& path) {
    return double_script<ggml_double_script>(path, "ggml_double_script_get");
}

// Binds the complete double from the current directory and loads a model.
inline engine_double_script* loaded_double() {
    engine_double_script* script = use_variant("complete");
    stderr_capture quiet;
    EXPECT_EQ(whisper_inf_load("model.bin"), 0);
    return script;
}

// The document's text, released through the library; "(null)" for none.
inline std::string take_document(char* document) {
    std::string text = document != nullptr ? document : "(null)";
    whisper_inf_free(document);
    return text;
}
