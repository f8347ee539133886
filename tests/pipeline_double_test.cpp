// The file pipeline against the engine double: the messages of each way it
// can end, in order, and the samples it hands to the engine.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "include/whisper_inf.h"
#include "inference/transcribe_file.h"
#include "tests/engine_double/double_client.h"
#include "tests/reference_conversion.h"
#include "tests/wav_builder.h"

namespace {

using namespace wav_builder;

std::vector<std::int16_t> tone(int frames, int channels) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * channels);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(12000 * std::sin(0.01 * static_cast<double>(i)));
    }
    return samples;
}

struct pipeline_case {
    const char* name;
    bool with_model;
    int full_result;
    bytes file;
    // Expected lines after "[audio_io] Read ..." or the reader's own failure
    // line; %s stands for the file's path.
    std::vector<std::string> lines;
};

std::string expand(const std::string& line, const std::string& path) {
    const std::size_t at = line.find("%s");
    return at == std::string::npos ? line : line.substr(0, at) + path + line.substr(at + 2);
}

TEST(TranscribeFile, EachWayToEndWritesItsMessagesInOrder) {
    const std::vector<std::int16_t> one_frame = {100, -100};
    const std::vector<pipeline_case> cases = {
        {"not a WAV file", true, 0, {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '},
         {"[audio_io] Not a WAV file: %s", "[whisper_inf] Failed to read WAV: %s"}},
        {"reader's silent failure", true, 0, wav_file({fmt_chunk(1, 16000), make_chunk("data", {})}),
         {"[whisper_inf] Failed to read WAV: %s"}},
        {"conversion fails", true, 0, wav_file({fmt_chunk(1, 0), data_chunk(tone(10, 1))}),
         {"[audio_io] Read %s: 10 frames, 0 Hz, 1 ch", "[whisper_inf] WAV: 0 Hz, 1 ch, 10 frames",
          "[whisper_inf] Failed to resample"}},
        {"no model", false, 0, wav_file({fmt_chunk(2, 44100), data_chunk(tone(44100, 2))}),
         {"[audio_io] Read %s: 44100 frames, 44100 Hz, 2 ch",
          "[whisper_inf] WAV: 44100 Hz, 2 ch, 44100 frames",
          "[whisper_inf] Resampled: 16000 samples (16kHz mono)", "[whisper_inf] No model loaded"}},
        {"single frame converts to nothing", true, 0,
         wav_file({fmt_chunk(2, 44100), data_chunk(one_frame)}),
         {"[audio_io] Read %s: 1 frames, 44100 Hz, 2 ch", "[whisper_inf] WAV: 44100 Hz, 2 ch, 1 frames",
          "[whisper_inf] Resampled: 0 samples (16kHz mono)", "[whisper_inf] Invalid PCM data"}},
        {"single frame without a model", false, 0,
         wav_file({fmt_chunk(2, 44100), data_chunk(one_frame)}),
         {"[audio_io] Read %s: 1 frames, 44100 Hz, 2 ch", "[whisper_inf] WAV: 44100 Hz, 2 ch, 1 frames",
          "[whisper_inf] Resampled: 0 samples (16kHz mono)", "[whisper_inf] No model loaded"}},
        {"engine fails", true, -7, wav_file({fmt_chunk(1, 16000), data_chunk(tone(8000, 1))}),
         {"[audio_io] Read %s: 8000 frames, 16000 Hz, 1 ch",
          "[whisper_inf] WAV: 16000 Hz, 1 ch, 8000 frames",
          "[whisper_inf] Resampled: 8000 samples (16kHz mono)",
          "[whisper_inf] Transcribing 8000 samples (0.5 sec)...",
          "[whisper_inf] whisper_full() failed: -7"}},
    };
    engine_double_script* script = loaded_double();
    ASSERT_NE(script, nullptr);
    for (const pipeline_case& c : cases) {
        {
            stderr_capture quiet;
            if (c.with_model) {
                ASSERT_EQ(whisper_inf_load("model.bin"), 0);
            } else {
                whisper_inf_unload();
            }
        }
        script->full_result = c.full_result;
        temp_file file(c.file);
        std::string expected;
        for (const std::string& line : c.lines) {
            expected += expand(line, file.path) + "\n";
        }
        stderr_capture log;
        EXPECT_EQ(whisper_inf_transcribe(file.path.c_str(), "en", 0, 0), nullptr) << c.name;
        EXPECT_EQ(log.finish(), expected) << c.name;
    }
}

TEST(TranscribeFile, MissingOrNullPathIsRefusedBeforeReading) {
    ASSERT_NE(loaded_double(), nullptr);
    stderr_capture log;
    EXPECT_EQ(whisper_inf_transcribe(nullptr, "en", 0, 0), nullptr);
    EXPECT_EQ(whisper_inf_transcribe("no-such-file.wav", "en", 0, 0), nullptr);
    EXPECT_EQ(log.finish(), "[whisper_inf] wav_path is NULL\n"
                            "[audio_io] Cannot open: no-such-file.wav\n"
                            "[whisper_inf] Failed to read WAV: no-such-file.wav\n");
}

TEST(TranscribeFile, EngineReceivesTheConvertedSamplesOfTheFile) {
    engine_double_script* script = loaded_double();
    ASSERT_NE(script, nullptr);
    const struct {
        int rate;
        int channels;
        int frames;
    } shapes[] = {{44100, 2, 44100}, {16000, 1, 16000}, {8000, 3, 4000}, {48000, 6, 24000},
                  // A frame carried over a block boundary, and a single frame.
                  {44100, 1, wav_block_samples}, {44100, 1, wav_block_samples - 1},
                  {44100, 1, wav_block_samples + 1}, {44100, 2, wav_block_samples / 2 + 1},
                  {22050, 3, wav_block_samples / 3 - 1}, {22050, 3, wav_block_samples / 3 + 1},
                  {8000, 1, 1}};
    for (const auto& shape : shapes) {
        const std::vector<std::int16_t> pcm = tone(shape.frames, shape.channels);
        std::vector<float> decoded(pcm.size());
        for (std::size_t i = 0; i < pcm.size(); ++i) {
            decoded[i] = static_cast<float>(pcm[i]) / 32768.0f;
        }
        const std::vector<float> expected =
            reference_to_16k_mono(decoded.data(), shape.frames, shape.channels, shape.rate);
        ASSERT_LE(expected.size(), static_cast<std::size_t>(engine_double_kept_samples));

        temp_file file(wav_file({fmt_chunk(static_cast<std::uint16_t>(shape.channels),
                                           static_cast<std::uint32_t>(shape.rate)),
                                 data_chunk(pcm)}));
        stderr_capture quiet;
        char* document = whisper_inf_transcribe(file.path.c_str(), "de", 1, 12);
        ASSERT_NE(document, nullptr);
        whisper_inf_free(document);
        ASSERT_EQ(script->last_n_samples, static_cast<int>(expected.size())) << shape.rate;
        EXPECT_EQ(std::vector<float>(script->kept_samples, script->kept_samples + expected.size()),
                  expected)
            << shape.rate << " Hz, " << shape.channels << " ch";
        EXPECT_STREQ(script->last_params.language, "de");
        EXPECT_TRUE(script->last_params.translate);
        EXPECT_EQ(script->last_params.max_len, 12);
    }
}

}  // namespace
