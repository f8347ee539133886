// make_test_model: writes a tiny stand-in model for the speech engine so
// tests can load it through the real engine and run a complete transcription
// without any downloaded weights. The weights are not trained: the text it
// produces is meaningless, but it is fixed and deterministic.
//
// Usage: make_test_model OUTPUT_PATH
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
//        i32 n_dims, i32 name length, i32 type (0 = f32, 1 = f16),
//        i32 ne[n_dims] (innermost dimension first), name bytes, data
//
// How the weights behave: the decoder's attention outputs and positional
// embedding are zero, so the next token depends only on the current one.
// Each "chain" token owns one state channel; a decoder MLP unit per chain
// token pushes the residual stream towards its successor's channel, and the
// tied token embedding turns that into a large logit for the successor. All
// other tokens get logit 0, far below. The chain is
//   <|sot|> -> <|en|>            (language detection always answers "en")
//   <|transcribe|>/<|translate|> -> <|0.00|> -> " tiny" -> " test"
//   -> <|1.00|> -> <|1.20|> -> " model" -> <|2.00|> -> <|endoftext|>
// which yields two segments: [0.00, 1.00] " tiny test", [1.20, 2.00] " model".
// With timestamps disabled (<|notimestamps|> ends the prompt) the chain
// skips the timestamps and yields " tiny test model". Because only the last
// prompt token matters, past-text prompts and the chosen language do not
// change the result. The encoder gets small pseudo-random weights so it does
// real work, but its output does not influence the text.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// Sizes. n_vocab 51865 makes the engine treat the model as multilingual
// (it checks n_vocab >= 51865; 99 language tokens). Audio context and mel
// count match what the engine's 30 s windowing and timestamp math assume.
constexpr int32_t kVocab = 51865;
constexpr int32_t kAudioCtx = 1500;
constexpr int32_t kState = 16;
constexpr int32_t kHeads = 2;
constexpr int32_t kLayers = 1;
constexpr int32_t kTextCtx = 448;
constexpr int32_t kMels = 80;
constexpr int32_t kFtype = 1;  // big matrices stored as f16
constexpr int32_t kFft = 201;  // 1 + 400/2 frequency bins
constexpr int32_t kTextTokens = 50257;  // ordinary text tokens

// Control token ids as the engine derives them for a 51865-token vocabulary.
constexpr int32_t kEot = 50257;
constexpr int32_t kSot = 50258;
constexpr int32_t kLangEn = kSot + 1;
constexpr int32_t kTranslate = 50358;
constexpr int32_t kTranscribe = 50359;
constexpr int32_t kNoTimestamps = 50363;
constexpr int32_t kBeg = 50364;  // <|0.00|>; each further id adds 20 ms

// Ordinary token ids with fixed text.
constexpr int32_t kDash = 256;   // " -"  (the engine looks it up by text)
constexpr int32_t kQuote = 257;  // " '"  (likewise; " " is byte 0x20)
constexpr int32_t kWord1 = 258;
constexpr int32_t kWord2 = 259;
constexpr int32_t kWord3 = 260;

constexpr int32_t kTsA = kBeg + 50;    // 1.00 s
constexpr int32_t kTsB = kBeg + 60;    // 1.20 s
constexpr int32_t kTsEnd = kBeg + 100; // 2.00 s

// Channel 0 of the final layer norm output is a constant 1 (weight 0,
// bias 1); it gives <|endoftext|> a moderate logit everywhere so decoding
// stops when the chain's preferred token is masked by the engine.
constexpr int kConstChannel = 0;
constexpr float kFinalGain = 20.0f;
constexpr float kEotBias = 20.0f;

struct ChainToken {
    int32_t id;
    int channel;
};

const ChainToken kChain[] = {
    {kSot, 1},       {kLangEn, 2}, {kTranscribe, 3}, {kTranslate, 4},
    {kNoTimestamps, 5}, {kBeg, 6}, {kWord1, 7},      {kWord2, 8},
    {kTsA, 9},       {kTsB, 10},   {kWord3, 11},     {kTsEnd, 12},
    {kEot, 13},
};

struct Edge {
    int32_t from;
    int32_t to;
    float weight;  // how strongly the MLP unit of `from` points at `to`
};

// Secondary, weaker edges give the fallback when the engine masks the
// primary successor (timestamps disabled).
const Edge kEdges[] = {
    {kSot, kLangEn, 1.0f},
    {kLangEn, kTranscribe, 1.0f},
    {kTranscribe, kBeg, 1.0f},
    {kTranslate, kBeg, 1.0f},
    {kNoTimestamps, kWord1, 1.0f},
    {kBeg, kWord1, 1.0f},
    {kWord1, kWord2, 1.0f},
    {kWord2, kTsA, 1.0f},
    {kWord2, kWord3, 0.5f},
    {kTsA, kTsB, 1.0f},
    {kTsB, kWord3, 1.0f},
    {kWord3, kTsEnd, 1.0f},
    {kTsEnd, kEot, 1.0f},
};

int channel_of(int32_t id) {
    for (const auto &c : kChain) {
        if (c.id == id) return c.channel;
    }
    return -1;
}

int unit_of(int32_t id) {
    int i = 0;
    for (const auto &c : kChain) {
        if (c.id == id) return i;
        ++i;
    }
    return -1;
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

class Writer {
  public:
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) buf_.push_back(static_cast<char>((v >> (8 * i)) & 0xFFu));
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void u16(uint16_t v) {
        buf_.push_back(static_cast<char>(v & 0xFFu));
        buf_.push_back(static_cast<char>((v >> 8) & 0xFFu));
    }
    void f32(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        u32(bits);
    }
    void f16(float f) { u16(to_half(f)); }
    void bytes(const std::string &s) { buf_.append(s); }
    const std::string &data() const { return buf_; }

  private:
    // IEEE binary32 -> binary16, round to nearest even. Values here are
    // small and finite; overflow saturates to infinity, tiny values flush
    // through the subnormal path.
    static uint16_t to_half(float f) {
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

    std::string buf_;
};

enum class Type { F32 = 0, F16 = 1 };

// Writes one tensor. `ne` is innermost-first; `values` is in memory order
// (innermost index fastest), i.e. row r of a [cols, rows] matrix starts at
// r * cols.
void tensor(Writer &w, const std::string &name, std::vector<int32_t> ne, Type type,
            const std::vector<float> &values) {
    w.i32(static_cast<int32_t>(ne.size()));
    w.i32(static_cast<int32_t>(name.size()));
    w.i32(static_cast<int32_t>(type));
    for (int32_t n : ne) w.i32(n);
    w.bytes(name);
    for (float v : values) {
        if (type == Type::F32) w.f32(v); else w.f16(v);
    }
}

std::vector<float> filled(size_t n, float v) { return std::vector<float>(n, v); }

std::vector<float> random_values(Rng &rng, size_t n, float scale) {
    std::vector<float> v(n);
    for (auto &x : v) x = rng.uniform(scale);
    return v;
}

// Triangular filters on a widening grid of FFT bins. Only basic arithmetic
// is used so the bytes do not depend on the C library's log/exp.
std::vector<float> mel_filters() {
    std::vector<float> f(static_cast<size_t>(kMels) * kFft, 0.0f);
    auto center = [](int m) { return 1 + m + (m * m) / 64; };
    for (int m = 0; m < kMels; ++m) {
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
            f[static_cast<size_t>(m) * kFft + k] = v / static_cast<float>(hi - lo + 1);
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

bool write_model(Writer &w) {
    const int D = kState;
    const size_t Ds = static_cast<size_t>(D);
    Rng rng{0x5EEDC0DE12345678ull};

    w.u32(0x67676d6cu);
    for (int32_t v : {kVocab, kAudioCtx, kState, kHeads, kLayers, kTextCtx, kState, kHeads, kLayers,
                      kMels, kFtype}) {
        w.i32(v);
    }

    w.i32(kMels);
    w.i32(kFft);
    for (float v : mel_filters()) w.f32(v);

    const auto words = vocabulary();
    if (static_cast<int32_t>(words.size()) != kTextTokens) return false;
    w.i32(static_cast<int32_t>(words.size()));
    for (const auto &s : words) {
        w.u32(static_cast<uint32_t>(s.size()));
        w.bytes(s);
    }

    const Type wt = Type::F16;
    const float r = 0.125f;

    // Encoder: arbitrary small weights, unit layer norms.
    tensor(w, "encoder.positional_embedding", {D, kAudioCtx}, Type::F32,
           random_values(rng, Ds * kAudioCtx, r));
    tensor(w, "encoder.conv1.weight", {3, kMels, D}, wt, random_values(rng, 3u * kMels * Ds, r));
    tensor(w, "encoder.conv1.bias", {1, D}, Type::F32, random_values(rng, Ds, r));
    tensor(w, "encoder.conv2.weight", {3, D, D}, wt, random_values(rng, 3u * Ds * Ds, r));
    tensor(w, "encoder.conv2.bias", {1, D}, Type::F32, random_values(rng, Ds, r));
    for (int l = 0; l < kLayers; ++l) {
        const std::string p = "encoder.blocks." + std::to_string(l) + ".";
        tensor(w, p + "attn_ln.weight", {D}, Type::F32, filled(Ds, 1.0f));
        tensor(w, p + "attn_ln.bias", {D}, Type::F32, filled(Ds, 0.0f));
        tensor(w, p + "attn.query.weight", {D, D}, wt, random_values(rng, Ds * Ds, r));
        tensor(w, p + "attn.query.bias", {D}, Type::F32, random_values(rng, Ds, r));
        tensor(w, p + "attn.key.weight", {D, D}, wt, random_values(rng, Ds * Ds, r));
        tensor(w, p + "attn.value.weight", {D, D}, wt, random_values(rng, Ds * Ds, r));
        tensor(w, p + "attn.value.bias", {D}, Type::F32, random_values(rng, Ds, r));
        tensor(w, p + "attn.out.weight", {D, D}, wt, random_values(rng, Ds * Ds, r));
        tensor(w, p + "attn.out.bias", {D}, Type::F32, random_values(rng, Ds, r));
        tensor(w, p + "mlp_ln.weight", {D}, Type::F32, filled(Ds, 1.0f));
        tensor(w, p + "mlp_ln.bias", {D}, Type::F32, filled(Ds, 0.0f));
        tensor(w, p + "mlp.0.weight", {D, 4 * D}, wt, random_values(rng, 4 * Ds * Ds, r));
        tensor(w, p + "mlp.0.bias", {4 * D}, Type::F32, random_values(rng, 4 * Ds, r));
        tensor(w, p + "mlp.2.weight", {4 * D, D}, wt, random_values(rng, 4 * Ds * Ds, r));
        tensor(w, p + "mlp.2.bias", {D}, Type::F32, random_values(rng, Ds, r));
    }
    tensor(w, "encoder.ln_post.weight", {D}, Type::F32, filled(Ds, 1.0f));
    tensor(w, "encoder.ln_post.bias", {D}, Type::F32, filled(Ds, 0.0f));

    // Decoder. Zero positional embedding keeps the next token independent
    // of where the prompt ends.
    tensor(w, "decoder.positional_embedding", {D, kTextCtx}, Type::F32, filled(Ds * kTextCtx, 0.0f));

    // Tied token embedding: chain tokens are one-hot on their channel,
    // everything else is zero (logit 0).
    std::vector<float> emb(Ds * kVocab, 0.0f);
    for (const auto &c : kChain) emb[static_cast<size_t>(c.id) * Ds + c.channel] = 1.0f;
    emb[static_cast<size_t>(kEot) * Ds + kConstChannel] = kEotBias;
    tensor(w, "decoder.token_embedding.weight", {D, kVocab}, wt, emb);

    for (int l = 0; l < kLayers; ++l) {
        const std::string p = "decoder.blocks." + std::to_string(l) + ".";
        // Attention blocks compute on random weights but their output
        // projections are zero, so they leave the residual stream as is.
        for (const char *a : {"attn", "cross_attn"}) {
            tensor(w, p + a + "_ln.weight", {D}, Type::F32, filled(Ds, 1.0f));
            tensor(w, p + a + "_ln.bias", {D}, Type::F32, filled(Ds, 0.0f));
            tensor(w, p + a + ".query.weight", {D, D}, wt, random_values(rng, Ds * Ds, r));
            tensor(w, p + a + ".query.bias", {D}, Type::F32, random_values(rng, Ds, r));
            tensor(w, p + a + ".key.weight", {D, D}, wt, random_values(rng, Ds * Ds, r));
            tensor(w, p + a + ".value.weight", {D, D}, wt, random_values(rng, Ds * Ds, r));
            tensor(w, p + a + ".value.bias", {D}, Type::F32, random_values(rng, Ds, r));
            tensor(w, p + a + ".out.weight", {D, D}, wt, filled(Ds * Ds, 0.0f));
            tensor(w, p + a + ".out.bias", {D}, Type::F32, filled(Ds, 0.0f));
        }

        // MLP: hidden unit u fires only when the input is chain token u
        // (its channel is the normalised peak, ~3.9 vs ~-0.26 elsewhere;
        // weight 4 and bias -4 give ~11.5 vs ~-5, which GELU maps to
        // ~11.5 vs ~0), then writes onto the successor's channel(s).
        tensor(w, p + "mlp_ln.weight", {D}, Type::F32, filled(Ds, 1.0f));
        tensor(w, p + "mlp_ln.bias", {D}, Type::F32, filled(Ds, 0.0f));
        std::vector<float> w0(4 * Ds * Ds, 0.0f), b0(4 * Ds, 0.0f), w2(4 * Ds * Ds, 0.0f);
        for (const auto &c : kChain) {
            const size_t u = static_cast<size_t>(unit_of(c.id));
            w0[u * Ds + c.channel] = 4.0f;
            b0[u] = -4.0f;
        }
        for (const auto &e : kEdges) {
            const size_t u = static_cast<size_t>(unit_of(e.from));
            const size_t to = static_cast<size_t>(channel_of(e.to));
            w2[to * 4 * Ds + u] = e.weight;  // row = output channel, column = hidden unit
        }
        tensor(w, p + "mlp.0.weight", {D, 4 * D}, wt, w0);
        tensor(w, p + "mlp.0.bias", {4 * D}, Type::F32, b0);
        tensor(w, p + "mlp.2.weight", {4 * D, D}, wt, w2);
        tensor(w, p + "mlp.2.bias", {D}, Type::F32, filled(Ds, 0.0f));
    }

    std::vector<float> ln_w(Ds, kFinalGain), ln_b(Ds, 0.0f);
    ln_w[kConstChannel] = 0.0f;
    ln_b[kConstChannel] = 1.0f;
    tensor(w, "decoder.ln.weight", {D}, Type::F32, ln_w);
    tensor(w, "decoder.ln.bias", {D}, Type::F32, ln_b);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_PATH\n", argc > 0 ? argv[0] : "make_test_model");
        return 2;
    }
    static_assert(sizeof(kChain) / sizeof(kChain[0]) <= 4 * kState, "one MLP unit per chain token");
    static_assert(sizeof(kChain) / sizeof(kChain[0]) < kState, "one channel per chain token plus the constant one");

    Writer w;
    if (!write_model(w)) {
        std::fprintf(stderr, "make_test_model: internal vocabulary layout error\n");
        return 1;
    }

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    if (!out) {
        std::fprintf(stderr, "make_test_model: cannot open '%s' for writing\n", argv[1]);
        return 1;
    }
    out.write(w.data().data(), static_cast<std::streamsize>(w.data().size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_test_model: failed writing '%s'\n", argv[1]);
        return 1;
    }
    return 0;
}
