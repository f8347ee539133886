// The library against the real engine and the generated stand-in models, whose
// output is fixed: " tiny test" from 0 to 1 s and " model" from 1.2 to 2 s.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "include/whisper_inf.h"
#include "tests/json_document.h"
#include "tests/test_support.h"

namespace {

std::vector<float> three_seconds_of_tone() {
    std::vector<float> samples(48000);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = 0.3f * static_cast<float>(std::sin(2 * 3.14159265358979 * 440.0 * i / 16000.0));
    }
    return samples;
}

struct segment {
    double from;
    double to;
    std::string text;
};

// Parses a result document strictly and returns its language and segments. A
// missing member throws, which fails the calling test.
bool read_document(const char* document, std::string& language, std::vector<segment>& segments) {
    const nlohmann::json root = json_document::parse(document != nullptr ? document : "");
    if (root.is_discarded()) {
        return false;
    }
    language = root.at("result").at("language").get<std::string>();
    segments.clear();
    for (const nlohmann::json& item : root.at("transcription")) {
        const nlohmann::json& offsets = item.at("offsets");
        segments.push_back({offsets.at("from").get<double>(), offsets.at("to").get<double>(),
                            item.at("text").get<std::string>()});
    }
    return true;
}

// The document every generated model gives for any audio of a few seconds.
std::string fixed_document(const std::string& language) {
    return "{\n  \"result\": {\"language\": \"" + language +
           "\"},\n  \"transcription\": [\n"
           "    {\"offsets\": {\"from\": 0, \"to\": 1000}, \"text\": \" tiny test\"},\n"
           "    {\"offsets\": {\"from\": 1200, \"to\": 2000}, \"text\": \" model\"}\n"
           "  ]\n}\n";
}

// Asserts that `log` holds the '|'-separated lines of `expected`, in order.
void expect_lines_in_order(const std::string& log, const std::string& expected) {
    std::size_t at = 0;
    for (std::size_t start = 0; start <= expected.size();) {
        const std::size_t end = std::min(expected.find('|', start), expected.size());
        const std::string line = expected.substr(start, end - start);
        at = log.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << "\n" << log;
        at += line.size();
        start = end + 1;
    }
}

class RealEngine : public testing::Test {
protected:
    static void SetUpTestSuite() {
        stderr_capture log;
        const int loaded = whisper_inf_load(TEST_MODEL_PATH);
        load_log = log.finish();
        ASSERT_EQ(loaded, 0) << load_log;
    }
    // What the engine wrote while loading the model, device choice included.
    static inline std::string load_log;
};

// The same tests run against each engine build. ENGINE_BACKEND_LOG lists,
// separated by '|', what that build's log must say, in this order, about the
// device it picked; a CPU engine finds none.
TEST_F(RealEngine, LoadLogNamesTheDeviceTheEngineUses) {
    const char* setting = std::getenv("ENGINE_BACKEND_LOG");
    expect_lines_in_order(load_log, setting ? setting : "whisper_backend_init_gpu: no GPU found\n");
}

TEST_F(RealEngine, TranscribesSamplesIntoAValidDocumentWithOrderedOffsets) {
    const std::vector<float> samples = three_seconds_of_tone();
    const struct {
        const char* language;
        const char* reported;
    } cases[] = {{"auto", "en"}, {nullptr, "en"}, {"de", "de"}};
    for (const auto& c : cases) {
        stderr_capture log;
        char* document = whisper_inf_transcribe_pcm(samples.data(), 48000, c.language, 0, 0);
        const std::string diagnostics = log.finish();
        std::string language;
        std::vector<segment> segments;
        ASSERT_TRUE(read_document(document, language, segments))
            << (document ? document : "(null)") << diagnostics;
        // Byte for byte, so every engine build is held to one document.
        EXPECT_EQ(std::string(document), fixed_document(c.reported));
        whisper_inf_free(document);

        EXPECT_EQ(language, c.reported);
        ASSERT_EQ(segments.size(), 2u);
        EXPECT_EQ(segments[0].text, " tiny test");
        EXPECT_EQ(segments[1].text, " model");
        EXPECT_EQ(segments[0].from, 0);
        EXPECT_EQ(segments[0].to, 1000);
        EXPECT_EQ(segments[1].from, 1200);
        EXPECT_EQ(segments[1].to, 2000);
        EXPECT_EQ(diagnostics.rfind("[whisper_inf] Transcribing 48000 samples (3.0 sec)...\n", 0), 0u)
            << diagnostics;
    }
}

TEST_F(RealEngine, ModelTheEngineRefusesLeavesNoModelAndAReloadRecovers) {
    const std::vector<float> samples = three_seconds_of_tone();
    stderr_capture log;
    EXPECT_EQ(whisper_inf_load("/nonexistent/model.bin"), -1);
    EXPECT_EQ(whisper_inf_transcribe_pcm(samples.data(), 48000, "en", 0, 0), nullptr);
    const std::string diagnostics = log.finish();
    EXPECT_NE(diagnostics.find("[whisper_inf] Failed to load model: /nonexistent/model.bin\n"),
              std::string::npos);
    EXPECT_NE(diagnostics.find("[whisper_inf] No model loaded\n"), std::string::npos);

    stderr_capture quiet;
    ASSERT_EQ(whisper_inf_load(TEST_MODEL_PATH), 0);
    char* document = whisper_inf_transcribe_pcm(samples.data(), 48000, "en", 1, 5);
    EXPECT_TRUE(document != nullptr && json_document::is_valid(document));
    whisper_inf_free(document);
}

// Models of the published sizes, which the generator writes with the
// published hyperparameters: the engine must read those, load the model and
// give the same document, and the file must be as large as the published one.
TEST(ModelSizes, PublishedSizesLoadWithTheirHyperparametersAndGiveTheFixedDocument) {
    const struct {
        const char* options;
        const char* log;  // lines of the engine's load log, in order, '|'-separated
        double mib;       // the published file's size
    } cases[] = {
        {"--size tiny",
         "n_vocab       = 51865|n_audio_ctx   = 1500|n_audio_state = 384|n_audio_head  = 6|"
         "n_audio_layer = 4|n_text_ctx    = 448|n_text_state  = 384|n_text_head   = 6|"
         "n_text_layer  = 4|n_mels        = 80|ftype         = 1|type          = 1 (tiny)",
         75},
        {"--size base",
         "n_vocab       = 51865|n_audio_state = 512|n_audio_head  = 8|n_audio_layer = 6|"
         "n_text_state  = 512|n_text_head   = 8|n_text_layer  = 6|ftype         = 1|type          = 2 (base)",
         142},
        {"--size tiny --type q8_0", "n_audio_state = 384|ftype         = 7|qntvr         = 2|type          = 1 (tiny)",
         41.5},
        // Not published; 22 bytes per 32 weights where f16 takes 64.
        {"--size tiny --type q5_0", "n_audio_state = 384|ftype         = 8|qntvr         = 2|type          = 1 (tiny)",
         28.5},
    };
    const std::string model = TEST_MODEL_PATH ".sized";
    const std::vector<float> samples = three_seconds_of_tone();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string command = std::string("\"") + MAKE_TEST_MODEL + "\" " + c.options + " \"" + model + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const double mib = static_cast<double>(std::filesystem::file_size(model)) / (1024.0 * 1024.0);
        EXPECT_NEAR(mib, c.mib, 0.03 * c.mib);

        stderr_capture log;
        const int loaded = whisper_inf_load(model.c_str());
        char* document = whisper_inf_transcribe_pcm(samples.data(), 48000, "en", 0, 0);
        const std::string diagnostics = log.finish();
        std::remove(model.c_str());
        ASSERT_EQ(loaded, 0) << diagnostics;
        expect_lines_in_order(diagnostics, c.log);
        EXPECT_EQ(std::string(document ? document : "(null)"), fixed_document("en")) << diagnostics;
        whisper_inf_free(document);
    }
}

}  // namespace
