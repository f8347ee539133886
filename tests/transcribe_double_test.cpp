// The transcription export against the engine double: the checks, the
// decoding settings handed to the engine, and the document that comes back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "include/whisper_inf.h"
#include "tests/engine_double/double_client.h"

namespace {

const std::string log_prefix = "[whisper_inf] ";

TEST(TranscribePcm, NoModelIsReportedBeforeAnythingElse) {
    engine_double_script* script = loaded_double();
    ASSERT_NE(script, nullptr);
    whisper_inf_unload();
    stderr_capture log;
    EXPECT_EQ(whisper_inf_transcribe_pcm(nullptr, 0, "auto", 0, 0), nullptr);
    EXPECT_EQ(log.finish(), log_prefix + "No model loaded\n");
}

TEST(TranscribePcm, SamplesThatAreMissingOrCountedNonPositiveAreRefused) {
    engine_double_script* script = loaded_double();
    ASSERT_NE(script, nullptr);
    const float samples[16] = {};
    const struct {
        const float* pcm;
        int n_samples;
    } cases[] = {{nullptr, 16}, {samples, 0}, {samples, -16000}};
    for (const auto& c : cases) {
        stderr_capture log;
        EXPECT_EQ(whisper_inf_transcribe_pcm(c.pcm, c.n_samples, nullptr, 0, 0), nullptr);
        EXPECT_EQ(log.finish(), log_prefix + "Invalid PCM data\n") << c.n_samples;
    }
    EXPECT_EQ(script->full_calls, 0);
}

TEST(TranscribePcm, DecodingSettingsOverrideOnlyTheFixedFields) {
    engine_double_script* script = loaded_double();
    ASSERT_NE(script, nullptr);
    static const char german[] = "de";
    static const char automatic[] = "auto";
    const struct {
        const char* language;
        int translate;
        int max_len;
        const char* expected_language;
        bool expected_translate;
        int expected_max_len;
    } cases[] = {
        {nullptr, 0, 0, engine_double_default_language, false, engine_double_default_max_len},
        {automatic, 1, -3, nullptr, true, engine_double_default_max_len},
        {german, 2, 40, german, true, 40},
        {german, -1, 1, german, true, 1},
    };
    std::vector<float> samples(24000, 0.25f);
    for (const auto& c : cases) {
        stderr_capture log;
        whisper_inf_free(whisper_inf_transcribe_pcm(samples.data(), 24000, c.language,
                                                    c.translate, c.max_len));
        EXPECT_EQ(log.finish(), log_prefix + "Transcribing 24000 samples (1.5 sec)...\n");
        const whisper_full_params& p = script->last_params;
        if (c.expected_language == engine_double_default_language) {
            EXPECT_STREQ(p.language, engine_double_default_language);
        } else {
            EXPECT_EQ(p.language, c.expected_language) << "the host's string itself, not a copy";
        }
        EXPECT_EQ(p.translate, c.expected_translate) << c.translate;
        EXPECT_EQ(p.max_len, c.expected_max_len) << c.max_len;
        EXPECT_EQ(p.n_threads, 4);
        EXPECT_FALSE(p.print_special || p.print_progress || p.print_realtime || p.print_timestamps);
        EXPECT_EQ(p.strategy, WHISPER_SAMPLING_GREEDY);
        EXPECT_TRUE(p.no_context) << "fields not fixed keep the engine's default";
        EXPECT_EQ(p.temperature, 0.25f);
        EXPECT_EQ(script->last_samples, samples.data());
        EXPECT_EQ(script->last_n_samples, 24000);
    }
    EXPECT_EQ(script->last_strategy, WHISPER_SAMPLING_GREEDY);
    EXPECT_EQ(script->timings_calls, 4) << "timings are printed after each successful run";

    stderr_capture log;
    whisper_inf_free(whisper_inf_transcribe_pcm(samples.data(), 16000, nullptr, 0, 0));
    EXPECT_EQ(log.finish(), log_prefix + "Transcribing 16000 samples (1.0 sec)...\n");
}

TEST(TranscribePcm, EngineFailureIsReportedAndTheModelStays) {
    engine_double_script* script = loaded_double();
    ASSERT_NE(script, nullptr);
    const float samples[8000] = {};
    script->full_result = -3;
    {
        stderr_capture log;
        EXPECT_EQ(whisper_inf_transcribe_pcm(samples, 8000, "en", 0, 0), nullptr);
        EXPECT_EQ(log.finish(), log_prefix + "Transcribing 8000 samples (0.5 sec)...\n" +
                                    log_prefix + "whisper_full() failed: -3\n");
    }
    EXPECT_EQ(script->timings_calls, 0);
    script->full_result = 0;
    stderr_capture quiet;
    EXPECT_NE(take_document(whisper_inf_transcribe_pcm(samples, 8000, "en", 0, 0)), "(null)");
}

TEST(TranscribePcm, DocumentListsEverySegmentInMilliseconds) {
    engine_double_script* script = loaded_double();
    ASSERT_NE(script, nullptr);
    script->n_segments = 2;
    script->t0[0] = 0;
    script->t1[0] = 248;
    script->text[0] = " Hello there.";
    script->t0[1] = 248;
    script->t1[1] = 512;
    script->text[1] = " She said \"yes\".";
    const float samples[16000] = {};
    stderr_capture quiet;
    EXPECT_EQ(take_document(whisper_inf_transcribe_pcm(samples, 16000, "auto", 0, 0)),
              "{\n"
              "  \"result\": {\"language\": \"en\"},\n"
              "  \"transcription\": [\n"
              "    {\"offsets\": {\"from\": 0, \"to\": 2480}, \"text\": \" Hello there.\"},\n"
              "    {\"offsets\": {\"from\": 2480, \"to\": 5120}, \"text\": \" She said \\\"yes\\\".\"}\n"
              "  ]\n"
              "}\n");
}

TEST(TranscribePcm, ReportedLanguageIsTheHostsUnlessItAskedForDetection) {
    engine_double_script* script = loaded_double();
    ASSERT_NE(script, nullptr);
    const struct {
        const char* asked;
        const char* detected;
        const char* reported;
    } cases[] = {
        {"de", "en", "de"}, {"auto", "fr", "fr"}, {nullptr, "fr", "fr"},
        {"", "fr", ""},     {"auto", nullptr, "en"}, {"Auto", "fr", "Auto"},
    };
    const float samples[160] = {};
    for (const auto& c : cases) {
        script->lang_code = c.detected;
        stderr_capture quiet;
        const std::string document =
            take_document(whisper_inf_transcribe_pcm(samples, 160, c.asked, 0, 0));
        EXPECT_EQ(document, std::string("{\n  \"result\": {\"language\": \"") + c.reported +
                                "\"},\n  \"transcription\": [\n  ]\n}\n")
            << (c.asked ? c.asked : "(null)");
    }
}

}  // namespace
