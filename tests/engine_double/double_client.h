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

// Makes the variant's library the one the library finds in the current
// directory, and returns its script.
inline engine_double_script* use_variant(const std::string& variant) {
    EXPECT_TRUE(change_directory(variant_dir(variant))) << variant;
    dynlib lib{};
    void* get = nullptr;
    if (dynlib_open(variant_file(variant).c_str(), &lib) != 0 ||
        dynlib_sym(&lib, "engine_double_script_get", &get) != 0) {
        ADD_FAILURE() << "engine double " << variant << ": " << lib.error;
        return nullptr;
    }
    return reinterpret_cast<engine_double_script_fn>(get)();
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
