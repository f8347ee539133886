// The exports against the engine double. The library binds once per process,
// so every test here runs in a process of its own (one CTest test each) and
// starts from the unbound state.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "include/whisper_inf.h"
#include "tests/engine_double/double_client.h"

namespace {

const std::string log_prefix = "[whisper_inf] ";
const std::string local_name = engine_library_names[CURRENT_DIRECTORY_CANDIDATE];
const std::string bound_here = log_prefix + "Loaded: " + local_name + "\n" + log_prefix +
                               "Library loaded successfully\n";

int load_quietly(const char* path) {
    stderr_capture quiet;
    return whisper_inf_load(path);
}

TEST(Binding, FirstLoadBindsAndLaterLoadsOnlyReplaceTheModel) {
    engine_double_script* script = use_variant("complete");
    ASSERT_NE(script, nullptr);

    stderr_capture first;
    EXPECT_EQ(whisper_inf_load("first.bin"), 0);
    EXPECT_EQ(first.finish(), bound_here + log_prefix + "Loading model: first.bin\n" + log_prefix +
                                  "Model loaded successfully\n");

    stderr_capture second;
    EXPECT_EQ(whisper_inf_load("second.bin"), 0);
    EXPECT_EQ(second.finish(), log_prefix + "Loading model: second.bin\n" + log_prefix +
                                   "Model loaded successfully\n");
    EXPECT_EQ(script->init_calls, 2);
    EXPECT_EQ(script->free_calls, 1) << "the first model is released before the second loads";
}

class MissingSymbol : public testing::TestWithParam<const char*> {};

TEST_P(MissingSymbol, RefusesTheEngineAndRetriesOnTheNextLoad) {
    const std::string name = GetParam();
    ASSERT_TRUE(change_directory(variant_dir(std::string("missing_") + name)));
    const std::string expected = log_prefix + "Loaded: " + local_name + "\n" + log_prefix +
                                 "Missing symbol: " + name + "\n";
    for (int attempt = 0; attempt < 2; ++attempt) {
        stderr_capture log;
        EXPECT_EQ(whisper_inf_load("model.bin"), -1);
        EXPECT_EQ(log.finish(), expected) << "attempt " << attempt;
        EXPECT_FALSE(library_is_loaded(variant_file(std::string("missing_") + name)))
            << "a refused engine is released";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryEntryPoint, MissingSymbol,
                         testing::Values("whisper_init_from_file", "whisper_free",
                                         "whisper_full_default_params", "whisper_full",
                                         "whisper_full_n_segments", "whisper_full_get_segment_t0",
                                         "whisper_full_get_segment_t1",
                                         "whisper_full_get_segment_text", "whisper_full_lang_id",
                                         "whisper_lang_str", "whisper_lang_id",
                                         "whisper_print_timings"));

TEST(Binding, NoEngineLibraryLeavesEverythingUnbound) {
    ASSERT_TRUE(change_directory(variant_dir("none")));
    for (int attempt = 0; attempt < 2; ++attempt) {
        stderr_capture log;
        EXPECT_EQ(whisper_inf_load("model.bin"), -1);
        EXPECT_EQ(log.finish(), log_prefix + "Failed to load whisper library: LoadLibrary failed\n");
    }
    stderr_capture log;
    whisper_inf_unload();
    const float samples[4] = {};
    EXPECT_EQ(whisper_inf_transcribe_pcm(samples, 4, "en", 0, 0), nullptr);
    EXPECT_EQ(log.finish(), log_prefix + "Model unloaded\n" + log_prefix + "No model loaded\n");
}

TEST(Binding, NullModelPathBindsNothing) {
    ASSERT_TRUE(change_directory(variant_dir("complete")));
    stderr_capture log;
    EXPECT_EQ(whisper_inf_load(nullptr), -1);
    EXPECT_EQ(log.finish(), log_prefix + "model_path is NULL\n");
    EXPECT_FALSE(library_is_loaded(variant_file("complete")));
}

const std::string model_loaded = log_prefix + "Loading model: model.bin\n" + log_prefix +
                                 "Model loaded successfully\n";

TEST(Binding, EngineTellingTheBuiltVersionIsBound) {
    ASSERT_TRUE(change_directory(variant_dir("version_same")));
    stderr_capture log;
    EXPECT_EQ(whisper_inf_load("model.bin"), 0);
    EXPECT_EQ(log.finish(), bound_here + model_loaded);
}

TEST(Binding, EngineTellingAnotherVersionIsRefusedAndReleased) {
    ASSERT_TRUE(change_directory(variant_dir("version_other")));
    stderr_capture log;
    EXPECT_EQ(whisper_inf_load("model.bin"), -1);
    EXPECT_EQ(log.finish(), log_prefix + "Loaded: " + local_name + "\n" + log_prefix +
                                "Engine version mismatch: built for " WHISPER_INF_ENGINE_VERSION
                                ", found 0.0.0\n");
    EXPECT_FALSE(library_is_loaded(variant_file("version_other")));
}

// An engine that keeps its backends as plugins beside it has them loaded
// from its folder, once, and is refused when that gives no device: such an
// engine (and the double) aborts the process on a model load.
const std::string plugin_engine = "backend_loader";

ggml_double_script* plugin_engine_ggml() {
    EXPECT_TRUE(change_directory(variant_dir(plugin_engine)));
    return ggml_double(variant_dir(plugin_engine) + "/" + GGML_DOUBLE_FILE);
}

// A host may have loaded another ggml under the stock name first.
TEST(Backends, LoadedOnceFromTheEngineFolderLeavingAnotherGgmlAlone) {
    ggml_double_script* stock = ggml_double(STOCK_GGML_PATH);
    ggml_double_script* ggml = plugin_engine_ggml();
    ASSERT_NE(stock, nullptr);
    ASSERT_NE(ggml, nullptr);
    stderr_capture log;
    EXPECT_EQ(whisper_inf_load("model.bin"), 0);
    EXPECT_EQ(whisper_inf_load("model.bin"), 0);
    EXPECT_EQ(log.finish(), bound_here + model_loaded + model_loaded);
    EXPECT_EQ(ggml->load_calls, 1);
    const std::filesystem::path folder = std::filesystem::u8path(ggml->folder);
    EXPECT_TRUE(folder.is_absolute()) << ggml->folder;
    EXPECT_TRUE(std::filesystem::equivalent(folder / ENGINE_DOUBLE_FILE, variant_file(plugin_engine)))
        << ggml->folder;
    EXPECT_EQ(stock->load_calls + stock->count_calls, 0) << "neither bound nor called";
}

TEST(Backends, EngineWithoutADeviceIsRefusedBeforeItLoadsAModel) {
    ggml_double_script* ggml = plugin_engine_ggml();
    ASSERT_NE(ggml, nullptr);
    ggml->devices = 0;
    for (int attempt = 1; attempt <= 2; ++attempt) {
        stderr_capture log;
        EXPECT_EQ(whisper_inf_load("model.bin"), -1);
        EXPECT_EQ(log.finish(), log_prefix + "Loaded: " + local_name + "\n" + log_prefix +
                                    "No backend device: the engine found no usable backend in " +
                                    ggml->folder + "\n");
        EXPECT_EQ(ggml->load_calls, attempt) << "each binding loads the backends";
        EXPECT_FALSE(library_is_loaded(variant_file(plugin_engine))) << "a refused engine is released";
    }
}

// From a folder without the engine, the first name finds it through the
// platform's own search.
void expect_bound_by_bare_name() {
    ASSERT_TRUE(change_directory(variant_dir("none")));
    stderr_capture log;
    EXPECT_EQ(whisper_inf_load("model.bin"), 0);
    EXPECT_EQ(log.finish(), log_prefix + "Loaded: " + engine_library_names[0] + "\n" + log_prefix +
                                "Library loaded successfully\n" + model_loaded);
}

TEST(SearchPath, EngineOnThePlatformSearchPathIsTheFirstCandidate) {
    const char* search_path = std::getenv(SEARCH_PATH_VARIABLE);
    if (search_path == nullptr ||
        std::string(search_path).find(variant_dir("complete")) == std::string::npos) {
        GTEST_SKIP() << "run through CTest, which puts the double on the search path";
    }
    expect_bound_by_bare_name();
}

// Run by CTest from a copy of this program that has the complete double
// beside it, whose path ENGINE_BESIDE_PROGRAM names.
TEST(Placement, EngineBesideTheProgramIsTheFirstCandidate) {
    const char* beside = std::getenv("ENGINE_BESIDE_PROGRAM");
    if (beside == nullptr) {
        GTEST_SKIP() << "run through CTest, from the copy with the engine beside it";
    }
    expect_bound_by_bare_name();
    EXPECT_TRUE(library_is_loaded(beside));
}

TEST(Lifecycle, RefusedModelLeavesNoModelLoaded) {
    engine_double_script* script = use_variant("complete");
    ASSERT_NE(script, nullptr);
    ASSERT_EQ(load_quietly("good.bin"), 0);

    stderr_capture log;
    EXPECT_EQ(whisper_inf_load("refuse.bin"), -1);
    const float samples[4] = {};
    EXPECT_EQ(whisper_inf_transcribe_pcm(samples, 4, nullptr, 0, 0), nullptr);
    EXPECT_EQ(log.finish(), log_prefix + "Loading model: refuse.bin\n" + log_prefix +
                                "Failed to load model: refuse.bin\n" + log_prefix +
                                "No model loaded\n");
    EXPECT_EQ(script->free_calls, 1) << "the earlier model was released before the attempt";
    EXPECT_EQ(script->full_calls, 0);

    EXPECT_EQ(load_quietly("good-again.bin"), 0) << "the binding survives a refused model";
}

TEST(Lifecycle, UnloadReleasesTheModelOnceAndAlwaysReports) {
    engine_double_script* script = use_variant("complete");
    ASSERT_NE(script, nullptr);
    ASSERT_EQ(load_quietly("model.bin"), 0);

    stderr_capture log;
    whisper_inf_unload();
    whisper_inf_unload();
    EXPECT_EQ(log.finish(), log_prefix + "Model unloaded\n" + log_prefix + "Model unloaded\n");
    EXPECT_EQ(script->free_calls, 1);
    EXPECT_TRUE(library_is_loaded(variant_file("complete"))) << "the engine stays bound";
    whisper_inf_free(nullptr);
}

}  // namespace
