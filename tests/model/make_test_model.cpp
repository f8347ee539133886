// make_test_model: writes a stand-in model for the speech engine, in the
// engine's own file format, so that tests and benchmarks can load it through
// the real engine and run complete transcriptions without downloaded weights.
// The weights are not trained: the text is meaningless, but fixed and
// deterministic.
//
// Usage: make_test_model [--size NAME] [--type f16|q8_0|q5_0] [--text-tokens N] OUTPUT
//
//   --size         test (the default: 16 state channels, one layer, 2.4 MB,
//                  for the tests), or tiny, base, small, medium, large-v3,
//                  large-v3-turbo: the published hyperparameters and tensor
//                  shapes and types, so the engine allocates and computes
//                  exactly what it does for the published model of that size.
//   --type         how the large matrices are stored (default f16); q8_0 and
//                  q5_0 as in the engine's quantised files, whose conv
//                  kernels stay f16. Rows must hold a multiple of 32 values,
//                  which rules out the test size.
//   --text-tokens  ordinary text tokens each 30-second window decodes
//                  (default 3). Real speech gives 60 to 90; the extra ones
//                  lengthen the second segment, so decoding costs what it
//                  costs with speech.
//
// File layout (legacy "ggml" container read by whisper_model_load; every
// integer and float is little-endian, nothing is padded or aligned):
//   u32  magic 0x67676d6c
//   i32  n_vocab, n_audio_ctx, n_audio_state, n_audio_head, n_audio_layer,
//        n_text_ctx, n_text_state, n_text_head, n_text_layer, n_mels, ftype
//   i32  mel n_mel, i32 mel n_fft, f32[n_mel * n_fft] mel filter bank
//   i32  token count N, then N times: u32 byte length + raw bytes
//        (ids N..n_vocab-1, i.e. the control, language and timestamp
//        tokens, are synthesised by the engine itself)
//   tensors until EOF, each:
//        i32 n_dims, i32 name length, i32 type (0 = f32, 1 = f16,
//        6 = q5_0, 8 = q8_0), i32 ne[n_dims] (innermost dimension first),
//        name bytes, data
//   Quantised data is blocks of 32 consecutive values. q8_0: f16 scale d,
//   32 x i8 q; value = d * q. q5_0: f16 scale d, u32 whose bit j is bit 4
//   of q[j], 16 bytes holding q[j] & 15 (low nibble) and q[j + 16] & 15
//   (high nibble); value = d * (q - 16).
//
// How the weights behave: the decoder's attention outputs and positional
// embedding are zero, so the next token depends only on the current one.
// Each "chain" token owns one state channel; a decoder MLP unit of layer 0
// per chain token pushes the residual stream towards its successor's channel
// (the other layers' MLPs write zero), and the tied token embedding turns
// that into a large logit for the successor. All other tokens get logit 0,
// far below. The chain is
//   <|sot|> -> <|en|>            (language detection always answers "en")
//   <|transcribe|>/<|translate|> -> <|0.00|> -> " tiny" -> " test"
//   -> <|1.00|> -> <|1.20|> -> " model" [-> extra text tokens] -> <|2.00|>
//   -> <|endoftext|>
// which yields two segments: [0.00, 1.00] " tiny test", [1.20, 2.00] " model".
// Ending on a single timestamp makes the engine move on to the next 30-second
// window. With timestamps disabled (<|notimestamps|> ends the prompt) the
// chain skips the timestamps and yields " tiny test model". Because only the
// last prompt token matters, past-text prompts and the chosen language do not
// change the result. The encoder gets small pseudo-random weights so it does
// real work, but its output does not influence the text.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// The published sizes. A vocabulary of 51865 or more makes the engine treat
// the model as multilingual (99 language tokens, 100 for large-v3's 51866),
// and the engine names the size by the number of encoder layers.
struct ModelSize {
    std::string_view name;
    int32_t vocab;
    int32_t state;
    int32_t heads;
    int32_t audio_layers;
    int32_t text_layers;
    int32_t mels;
    float scale;  // of the pseudo-random weights: small enough to keep deep stacks finite
};

constexpr ModelSize kSizes[] = {
    {"test", 51865, 16, 2, 1, 1, 80, 0.125f},
    {"tiny", 51865, 384, 6, 4, 4, 80, 0.02f},
    {"base", 51865, 512, 8, 6, 6, 80, 0.02f},
    {"small", 51865, 768, 12, 12, 12, 80, 0.02f},
    {"medium", 51865, 1024, 16, 24, 24, 80, 0.02f},
    {"large-v3", 51866, 1280, 20, 32, 32, 128, 0.02f},
    {"large-v3-turbo", 51866, 1280, 20, 32, 4, 128, 0.02f},
};

enum class Type : int32_t { F32 = 0, F16 = 1, Q5_0 = 6, Q8_0 = 8 };

struct WeightType {
    std::string_view name;
    Type type;
    int32_t ftype;  // the header's code; quantised files add 1000 x the block format's version, 2
};

constexpr WeightType kWeightTypes[] = {
    {"f16", Type::F16, 1},
    {"q8_0", Type::Q8_0, 2007},
    {"q5_0", Type::Q5_0, 2008},
};

// Audio context and the filter bank's width match what the engine's 30 s
// windowing and timestamp math assume.
constexpr int32_t kAudioCtx = 1500;
constexpr int32_t kTextCtx = 448;
constexpr int32_t kFft = 201;  // 1 + 400/2 frequency bins
constexpr int32_t kTextTokens = 50257;  // ordinary text tokens
constexpr int kBlock = 32;  // values per quantised block
constexpr int kDefaultTextTokens = 3;
// The engine decodes at most n_text_ctx / 2 - 4 tokens a window; the chain
// adds seven to the text tokens.
constexpr int kMaxTextTokens = 200;

// Control token ids as the engine derives them: <|endoftext|> and
// <|startoftranscript|> follow the text tokens, then one token per language,
// then the task tokens; timestamps come last.
struct Tokens {
    int32_t eot;
    int32_t sot;
    int32_t lang_en;
    int32_t translate;
    int32_t transcribe;
    int32_t no_timestamps;
    int32_t beg;  // <|0.00|>; each further id adds 20 ms
};

Tokens tokens_for(int32_t vocab) {
    const int32_t languages = vocab - 51766;
    const int32_t task = kTextTokens + 2 + languages;
    return {kTextTokens, kTextTokens + 1, kTextTokens + 2, task, task + 1, task + 5, task + 6};
}

// Ordinary token ids with fixed text.
constexpr int32_t kDash = 256;   // " -"  (the engine looks it up by text)
constexpr int32_t kQuote = 257;  // " '"  (likewise; " " is byte 0x20)
constexpr int32_t kWord1 = 258;
constexpr int32_t kWord2 = 259;
constexpr int32_t kWord3 = 260;
// Extra text tokens: every other filler word, those with a leading space.
constexpr int32_t kFirstExtraWord = 261;

// Channel 0 of the final layer norm output is a constant 1 (weight 0,
// bias 1); it gives <|endoftext|> a moderate logit everywhere so decoding
// stops when the chain's preferred token is masked by the engine.
constexpr int kConstChannel = 0;
constexpr float kFinalGain = 20.0f;
constexpr float kEotBias = 20.0f;

struct Link {
    int32_t from;
    int32_t to;
    float weight;  // how strongly the MLP unit of `from` points at `to`
};

// Chain token i owns state channel i + 1 and decoder MLP unit i.
struct Chain {
    std::vector<int32_t> tokens;
    std::vector<Link> links;

    std::size_t index_of(int32_t id) const {
        return static_cast<std::size_t>(std::find(tokens.begin(), tokens.end(), id) - tokens.begin());
    }
};

Chain make_chain(const Tokens &t, int text_tokens) {
    const int32_t ts_a = t.beg + 50;    // 1.00 s
    const int32_t ts_b = t.beg + 60;    // 1.20 s
    const int32_t ts_end = t.beg + 100; // 2.00 s
    Chain chain;
    chain.tokens = {t.sot, t.lang_en, t.transcribe, t.translate, t.no_timestamps, t.beg, kWord1,
                    kWord2, ts_a, ts_b, kWord3, ts_end, t.eot};
    // Secondary, weaker links give the fallback when the engine masks the
    // primary successor (timestamps disabled).
    chain.links = {
        {t.sot, t.lang_en, 1.0f},      {t.lang_en, t.transcribe, 1.0f}, {t.transcribe, t.beg, 1.0f},
        {t.translate, t.beg, 1.0f},    {t.no_timestamps, kWord1, 1.0f}, {t.beg, kWord1, 1.0f},
        {kWord1, kWord2, 1.0f},        {kWord2, ts_a, 1.0f},            {kWord2, kWord3, 0.5f},
        {ts_a, ts_b, 1.0f},            {ts_b, kWord3, 1.0f},            {ts_end, t.eot, 1.0f},
    };
    int32_t last = kWord3;
    for (int i = kDefaultTextTokens; i < text_tokens; ++i) {
        const int32_t word = kFirstExtraWord + 2 * (i - kDefaultTextTokens);
        chain.tokens.push_back(word);
        chain.links.push_back({last, word, 1.0f});
        last = word;
    }
    chain.links.push_back({last, ts_end, 1.0f});
    return chain;
}

// splitmix64: tiny, portable, fixed-seed generator.
struct Rng {
    uint64_t s;
    uint64_t next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [-scale, scale); integer-derived so it is bit-identical
    // on every platform.
    float uniform(float scale) {
        const int32_t k = static_cast<int32_t>(next() >> 43) - (1 << 20);
        return scale * static_cast<float>(k) / static_cast<float>(1 << 20);
    }
};

// IEEE binary32 -> binary16, round to nearest even. Values here are small
// and finite; overflow saturates to infinity, tiny values flush through the
// subnormal path.
uint16_t to_half(float f) {
    uint32_t x;
    std::memcpy(&x, &f, sizeof x);
    const uint16_t sign = static_cast<uint16_t>((x >> 16) & 0x8000u);
    const int32_t exp = static_cast<int32_t>((x >> 23) & 0xFFu) - 127 + 15;
    uint32_t mant = x & 0x7FFFFFu;
    if (((x >> 23) & 0xFFu) == 0xFFu) {
        return static_cast<uint16_t>(sign | 0x7C00u | (mant ? 0x200u : 0u));
    }
    if (exp >= 31) return static_cast<uint16_t>(sign | 0x7C00u);
    if (exp <= 0) {
        if (exp < -10) return sign;
        mant |= 0x800000u;
        const int shift = 14 - exp;
        uint32_t half = mant >> shift;
        const uint32_t rem = mant & ((1u << shift) - 1u);
        const uint32_t mid = 1u << (shift - 1);
        if (rem > mid || (rem == mid && (half & 1u))) ++half;
        return static_cast<uint16_t>(sign | half);
    }
    uint32_t half = (static_cast<uint32_t>(exp) << 10) | (mant >> 13);
    const uint32_t rem = mant & 0x1FFFu;
    if (rem > 0x1000u || (rem == 0x1000u && (half & 1u))) ++half;  // may carry into exponent, which is correct
    return static_cast<uint16_t>(sign | half);
}

// Collects the file's bytes and writes them in large pieces: the larger
// models run to gigabytes, so nothing holds more than one piece.
class Output {
  public:
    explicit Output(std::FILE *file) : file_(file), piece_(kPiece) {}
    void u8(uint8_t v) { put(&v, 1); }
    void u16(uint16_t v) {
        const uint8_t b[2] = {static_cast<uint8_t>(v & 0xFFu), static_cast<uint8_t>(v >> 8)};
        put(b, sizeof b);
    }
    void u32(uint32_t v) {
        const uint8_t b[4] = {static_cast<uint8_t>(v & 0xFFu), static_cast<uint8_t>((v >> 8) & 0xFFu),
                              static_cast<uint8_t>((v >> 16) & 0xFFu), static_cast<uint8_t>(v >> 24)};
        put(b, sizeof b);
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void f32(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        u32(bits);
    }
    void f16(float f) { u16(to_half(f)); }
    void bytes(std::string_view s) {
        for (char c : s) u8(static_cast<uint8_t>(c));
    }
    // False once any write failed.
    bool flush() {
        if (used_ > 0 && std::fwrite(piece_.data(), 1, used_, file_) != used_) ok_ = false;
        used_ = 0;
        return ok_;
    }

  private:
    void put(const uint8_t *b, std::size_t n) {
        if (used_ + n > kPiece) flush();
        std::memcpy(piece_.data() + used_, b, n);
        used_ += n;
    }

    static constexpr std::size_t kPiece = 1 << 20;
    std::FILE *file_;
    std::vector<uint8_t> piece_;
    std::size_t used_ = 0;
    bool ok_ = true;
};

// As the engine's reference quantiser: scale = largest magnitude / 127,
// values rounded half away from zero.
void q8_0_block(Output &out, const float (&x)[kBlock]) {
    float amax = 0.0f;
    for (float v : x) amax = std::max(amax, std::fabs(v));
    const float d = amax / 127.0f;
    const float id = d != 0.0f ? 1.0f / d : 0.0f;
    out.f16(d);
    for (float v : x) out.u8(static_cast<uint8_t>(static_cast<int8_t>(std::round(v * id))));
}

// As the engine's reference quantiser: scale = the value of largest
// magnitude / -16, so that value is q = 0 and the others fall in 0..31.
void q5_0_block(Output &out, const float (&x)[kBlock]) {
    float amax = 0.0f;
    float max = 0.0f;
    for (float v : x) {
        if (amax < std::fabs(v)) {
            amax = std::fabs(v);
            max = v;
        }
    }
    const float d = max / -16.0f;
    const float id = d != 0.0f ? 1.0f / d : 0.0f;
    uint32_t q[kBlock];
    uint32_t high_bits = 0;
    for (int j = 0; j < kBlock; ++j) {
        q[j] = static_cast<uint32_t>(std::min(31, static_cast<int>(x[j] * id + 16.5f)));
        high_bits |= ((q[j] >> 4) & 1u) << j;
    }
    out.f16(d);
    out.u32(high_bits);
    for (int j = 0; j < kBlock / 2; ++j) out.u8(static_cast<uint8_t>((q[j] & 0xFu) | ((q[j + kBlock / 2] & 0xFu) << 4)));
}

// Writes one tensor. `ne` is innermost-first; `next()` yields its values in
// memory order (innermost index fastest), i.e. row r of a [cols, rows]
// matrix is the r-th run of cols values.
template <class Values>
void tensor(Output &out, const std::string &name, std::vector<int32_t> ne, Type type, Values next) {
    out.i32(static_cast<int32_t>(ne.size()));
    out.i32(static_cast<int32_t>(name.size()));
    out.i32(static_cast<int32_t>(type));
    std::size_t n = 1;
    for (int32_t d : ne) {
        out.i32(d);
        n *= static_cast<std::size_t>(d);
    }
    out.bytes(name);
    if (type == Type::F32 || type == Type::F16) {
        for (std::size_t i = 0; i < n; ++i) {
            if (type == Type::F32) out.f32(next()); else out.f16(next());
        }
        return;
    }
    float block[kBlock];
    for (std::size_t i = 0; i < n; i += kBlock) {  // rows are whole blocks (checked in main)
        for (float &v : block) v = next();
        if (type == Type::Q8_0) q8_0_block(out, block); else q5_0_block(out, block);
    }
}

// A constant with a few exceptions, in memory order.
class Sparse {
  public:
    explicit Sparse(float background, std::vector<std::pair<std::size_t, float>> exceptions = {})
        : background_(background), exceptions_(std::move(exceptions)) {
        std::sort(exceptions_.begin(), exceptions_.end());
    }
    float operator()() {
        const std::size_t i = index_++;
        if (next_ < exceptions_.size() && exceptions_[next_].first == i) return exceptions_[next_++].second;
        return background_;
    }

  private:
    float background_;
    std::vector<std::pair<std::size_t, float>> exceptions_;
    std::size_t index_ = 0;
    std::size_t next_ = 0;
};

// Triangular filters on a widening grid of FFT bins, whose last centre is
// bin 181 for any number of filters. Only integer arithmetic shapes the grid
// so the bytes do not depend on the C library's log/exp.
std::vector<float> mel_filters(int32_t mels) {
    std::vector<float> f(static_cast<std::size_t>(mels) * kFft, 0.0f);
    const int widening = mels * mels / (180 - mels);
    auto center = [widening](int m) { return 1 + m + (m * m) / widening; };
    for (int m = 0; m < mels; ++m) {
        const int lo = m == 0 ? 0 : center(m - 1);
        const int mid = center(m);
        const int hi = center(m + 1);
        for (int k = lo; k <= hi && k < kFft; ++k) {
            float v;
            if (k <= mid) {
                v = mid == lo ? 1.0f : static_cast<float>(k - lo) / static_cast<float>(mid - lo);
            } else {
                v = static_cast<float>(hi - k) / static_cast<float>(hi - mid);
            }
            f[static_cast<std::size_t>(m) * kFft + k] = v / static_cast<float>(hi - lo + 1);
        }
    }
    return f;
}

// Ordinary token texts: all 256 single bytes (so the engine's tokenizer can
// encode any prompt), the fixed entries above, then unique ASCII filler
// words. Texts must be unique because the engine indexes tokens by text.
std::vector<std::string> vocabulary() {
    std::vector<std::string> words;
    words.reserve(kTextTokens);
    std::set<std::string> seen;
    auto add = [&](const std::string &s) {
        words.push_back(s);
        seen.insert(s);
    };
    for (int b = 0; b < 256; ++b) add(std::string(1, static_cast<char>(b)));
    const std::pair<int32_t, const char *> fixed[] = {
        {kDash, " -"}, {kQuote, " '"}, {kWord1, " tiny"}, {kWord2, " test"}, {kWord3, " model"},
    };
    for (const auto &f : fixed) {
        if (static_cast<int32_t>(words.size()) != f.first) return {};  // ids above must stay in order
        add(f.second);
    }
    static const char kCons[] = "bdfgklmnprstvz";
    static const char kVow[] = "aeiou";
    const uint32_t nc = sizeof kCons - 1, nv = sizeof kVow - 1;
    for (uint32_t k = 0; static_cast<int32_t>(words.size()) < kTextTokens; ++k) {
        std::string s = (k & 1u) ? "" : " ";
        uint32_t v = k >> 1;
        do {
            s += kCons[v % nc];
            v /= nc;
            s += kVow[v % nv];
            v /= nv;
        } while (v != 0);
        if (seen.count(s) == 0) add(s);
    }
    return words;
}

bool write_model(Output &out, const ModelSize &size, const WeightType &weights, const Chain &chain) {
    const int32_t D = size.state;
    const std::size_t Ds = static_cast<std::size_t>(D);
    const Type wt = weights.type;
    const Tokens t = tokens_for(size.vocab);
    Rng rng{0x5EEDC0DE12345678ull};
    auto random = [&rng, r = size.scale] { return rng.uniform(r); };

    out.u32(0x67676d6cu);
    for (int32_t v : {size.vocab, kAudioCtx, D, size.heads, size.audio_layers, kTextCtx, D, size.heads,
                      size.text_layers, size.mels, weights.ftype}) {
        out.i32(v);
    }

    out.i32(size.mels);
    out.i32(kFft);
    for (float v : mel_filters(size.mels)) out.f32(v);

    const auto words = vocabulary();
    if (static_cast<int32_t>(words.size()) != kTextTokens) return false;
    out.i32(static_cast<int32_t>(words.size()));
    for (const auto &s : words) {
        out.u32(static_cast<uint32_t>(s.size()));
        out.bytes(s);
    }

    // Encoder: arbitrary small weights, unit layer norms.
    tensor(out, "encoder.positional_embedding", {D, kAudioCtx}, Type::F32, random);
    tensor(out, "encoder.conv1.weight", {3, size.mels, D}, Type::F16, random);
    tensor(out, "encoder.conv1.bias", {1, D}, Type::F32, random);
    tensor(out, "encoder.conv2.weight", {3, D, D}, Type::F16, random);
    tensor(out, "encoder.conv2.bias", {1, D}, Type::F32, random);
    for (int l = 0; l < size.audio_layers; ++l) {
        const std::string p = "encoder.blocks." + std::to_string(l) + ".";
        tensor(out, p + "attn_ln.weight", {D}, Type::F32, Sparse(1.0f));
        tensor(out, p + "attn_ln.bias", {D}, Type::F32, Sparse(0.0f));
        tensor(out, p + "attn.query.weight", {D, D}, wt, random);
        tensor(out, p + "attn.query.bias", {D}, Type::F32, random);
        tensor(out, p + "attn.key.weight", {D, D}, wt, random);
        tensor(out, p + "attn.value.weight", {D, D}, wt, random);
        tensor(out, p + "attn.value.bias", {D}, Type::F32, random);
        tensor(out, p + "attn.out.weight", {D, D}, wt, random);
        tensor(out, p + "attn.out.bias", {D}, Type::F32, random);
        tensor(out, p + "mlp_ln.weight", {D}, Type::F32, Sparse(1.0f));
        tensor(out, p + "mlp_ln.bias", {D}, Type::F32, Sparse(0.0f));
        tensor(out, p + "mlp.0.weight", {D, 4 * D}, wt, random);
        tensor(out, p + "mlp.0.bias", {4 * D}, Type::F32, random);
        tensor(out, p + "mlp.2.weight", {4 * D, D}, wt, random);
        tensor(out, p + "mlp.2.bias", {D}, Type::F32, random);
    }
    tensor(out, "encoder.ln_post.weight", {D}, Type::F32, Sparse(1.0f));
    tensor(out, "encoder.ln_post.bias", {D}, Type::F32, Sparse(0.0f));

    // Decoder. Zero positional embedding keeps the next token independent
    // of where the prompt ends.
    tensor(out, "decoder.positional_embedding", {D, kTextCtx}, Type::F32, Sparse(0.0f));

    // Tied token embedding: chain tokens are one-hot on their channel,
    // everything else is zero (logit 0).
    std::vector<std::pair<std::size_t, float>> embedding;
    for (std::size_t i = 0; i < chain.tokens.size(); ++i) {
        embedding.push_back({static_cast<std::size_t>(chain.tokens[i]) * Ds + i + 1, 1.0f});
    }
    embedding.push_back({static_cast<std::size_t>(t.eot) * Ds + kConstChannel, kEotBias});
    tensor(out, "decoder.token_embedding.weight", {D, size.vocab}, wt, Sparse(0.0f, embedding));

    for (int l = 0; l < size.text_layers; ++l) {
        const std::string p = "decoder.blocks." + std::to_string(l) + ".";
        // Attention blocks compute on random weights but their output
        // projections are zero, so they leave the residual stream as is.
        for (const char *a : {"attn", "cross_attn"}) {
            tensor(out, p + a + "_ln.weight", {D}, Type::F32, Sparse(1.0f));
            tensor(out, p + a + "_ln.bias", {D}, Type::F32, Sparse(0.0f));
            tensor(out, p + a + ".query.weight", {D, D}, wt, random);
            tensor(out, p + a + ".query.bias", {D}, Type::F32, random);
            tensor(out, p + a + ".key.weight", {D, D}, wt, random);
            tensor(out, p + a + ".value.weight", {D, D}, wt, random);
            tensor(out, p + a + ".value.bias", {D}, Type::F32, random);
            tensor(out, p + a + ".out.weight", {D, D}, wt, Sparse(0.0f));
            tensor(out, p + a + ".out.bias", {D}, Type::F32, Sparse(0.0f));
        }

        // MLP of layer 0: hidden unit u fires only when the input is chain
        // token u (its channel is the normalised peak, about sqrt(D), against
        // about -1/sqrt(D) elsewhere; weight 4 and bias -4 leave the others
        // near -4, which GELU maps to about 0), then writes onto the
        // successor's channel(s).
        std::vector<std::pair<std::size_t, float>> w0, b0, w2;
        for (std::size_t u = 0; l == 0 && u < chain.tokens.size(); ++u) {
            w0.push_back({u * Ds + u + 1, 4.0f});
            b0.push_back({u, -4.0f});
        }
        for (std::size_t k = 0; l == 0 && k < chain.links.size(); ++k) {
            const std::size_t u = chain.index_of(chain.links[k].from);
            const std::size_t to = chain.index_of(chain.links[k].to) + 1;
            w2.push_back({to * 4 * Ds + u, chain.links[k].weight});  // row = output channel, column = hidden unit
        }
        tensor(out, p + "mlp_ln.weight", {D}, Type::F32, Sparse(1.0f));
        tensor(out, p + "mlp_ln.bias", {D}, Type::F32, Sparse(0.0f));
        tensor(out, p + "mlp.0.weight", {D, 4 * D}, wt, Sparse(0.0f, w0));
        tensor(out, p + "mlp.0.bias", {4 * D}, Type::F32, Sparse(0.0f, b0));
        tensor(out, p + "mlp.2.weight", {4 * D, D}, wt, Sparse(0.0f, w2));
        tensor(out, p + "mlp.2.bias", {D}, Type::F32, Sparse(0.0f));
    }

    tensor(out, "decoder.ln.weight", {D}, Type::F32, Sparse(kFinalGain, {{kConstChannel, 0.0f}}));
    tensor(out, "decoder.ln.bias", {D}, Type::F32, Sparse(0.0f, {{kConstChannel, 1.0f}}));
    return true;
}

template <class Table>
auto find_named(const Table &table, std::string_view name) -> decltype(&table[0]) {
    for (const auto &entry : table) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

int usage(const char *problem) {
    std::fprintf(stderr,
                 "make_test_model: %s\n"
                 "usage: make_test_model [--size test|tiny|base|small|medium|large-v3|large-v3-turbo]\n"
                 "                       [--type f16|q8_0|q5_0] [--text-tokens N] OUTPUT\n",
                 problem);
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    const ModelSize *size = &kSizes[0];
    const WeightType *weights = &kWeightTypes[0];
    int text_tokens = kDefaultTextTokens;
    const char *path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--size" && has_value) {
            if ((size = find_named(kSizes, argv[++i])) == nullptr) return usage("unknown size");
        } else if (arg == "--type" && has_value) {
            if ((weights = find_named(kWeightTypes, argv[++i])) == nullptr) return usage("unknown type");
        } else if (arg == "--text-tokens" && has_value) {
            char *end = nullptr;
            const long n = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || n < kDefaultTextTokens || n > kMaxTextTokens) {
                return usage("--text-tokens takes a number from 3 to 200");
            }
            text_tokens = static_cast<int>(n);
        } else if (arg.rfind("-", 0) != 0 && path == nullptr) {
            path = argv[i];
        } else {
            return usage(("unexpected argument '" + std::string(arg) + "'").c_str());
        }
    }
    if (path == nullptr) return usage("no output file");
    if (weights->type != Type::F16 && size->state % kBlock != 0) {
        return usage("quantised types need rows of a multiple of 32 values; this size has fewer");
    }
    const Chain chain = make_chain(tokens_for(size->vocab), text_tokens);
    // One channel per chain token plus the constant one.
    if (static_cast<int32_t>(chain.tokens.size()) + 1 > size->state) {
        return usage("this size has too few state channels for that many text tokens");
    }

    std::FILE *file = std::fopen(path, "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "make_test_model: cannot open '%s' for writing\n", path);
        return 1;
    }
    Output out(file);
    const bool complete = write_model(out, *size, *weights, chain);
    const bool written = out.flush();
    if (std::fclose(file) != 0 || !written || !complete) {
        std::fprintf(stderr, "make_test_model: failed writing '%s'\n", path);
        std::remove(path);
        return 1;
    }
    return 0;
}
