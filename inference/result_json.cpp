#include "inference/result_json.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "inference/json_text.h"
#include "platform/compiler.h"

namespace {

// Writes into a buffer of known size, or only measures when it has none, so
// one pass sizes the document exactly and a second fills it.
struct document_writer {
    char* buffer;
    std::size_t capacity;
    std::size_t length;
};

PRINTF_FORMAT(2, 3) void write_format(document_writer& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    char* at = out.buffer != nullptr ? out.buffer + out.length : nullptr;
    const std::size_t room = out.buffer != nullptr ? out.capacity - out.length : 0;
    const int written = std::vsnprintf(at, room, format, args);
    va_end(args);
    if (written > 0) {
        out.length += static_cast<std::size_t>(written);
    }
}

void write_escaped(document_writer& out, std::string_view text) {
    if (out.buffer != nullptr) {
        json_escape_to(text, out.buffer + out.length);
    }
    out.length += json_escaped_length(text);
}

std::string_view segment_text(const whisper_api& api, whisper_context* ctx, int index) {
    const char* text = api.whisper_full_get_segment_text(ctx, index);
    return text != nullptr ? std::string_view(text) : std::string_view();
}

const char* reported_language(const whisper_api& api, whisper_context* ctx, const char* language) {
    if (language != nullptr && std::strcmp(language, "auto") != 0) {
        return language;
    }
    const char* detected = api.whisper_lang_str(api.whisper_full_lang_id(ctx));
    return detected != nullptr ? detected : "en";
}

void write_document(document_writer& out, const whisper_api& api, whisper_context* ctx,
                    const char* language) {
    const int n_segments = api.whisper_full_n_segments(ctx);
    out.length = 0;
    write_format(out, "{\n  \"result\": {\"language\": \"");
    write_escaped(out, reported_language(api, ctx, language));
    write_format(out, "\"},\n  \"transcription\": [\n");

    std::size_t lent = 0;  // bytes at the start of this text already written with the previous one
    std::string_view text = n_segments > 0 ? segment_text(api, ctx, 0) : std::string_view();
    for (int i = 0; i < n_segments; ++i) {
        const std::string_view next =
            i + 1 < n_segments ? segment_text(api, ctx, i + 1) : std::string_view();
        text.remove_prefix(lent < text.size() ? lent : text.size());
        const utf8_split split = find_utf8_split(text, next);

        write_format(out, "    {\"offsets\": {\"from\": %lld, \"to\": %lld}, \"text\": \"",
                     static_cast<long long>(api.whisper_full_get_segment_t0(ctx, i)) * 10,
                     static_cast<long long>(api.whisper_full_get_segment_t1(ctx, i)) * 10);
        write_escaped(out, text.substr(0, text.size() - split.tail));
        if (split.tail > 0) {
            char joined[4];
            std::memcpy(joined, text.data() + text.size() - split.tail, split.tail);
            std::memcpy(joined + split.tail, next.data(), split.head);
            write_escaped(out, std::string_view(joined, split.tail + split.head));
        }
        write_format(out, "\"}%s\n", i < n_segments - 1 ? "," : "");

        lent = split.head;
        text = next;
    }
    write_format(out, "  ]\n}\n");
}

}  // namespace

char* build_result_json(const whisper_api& api, whisper_context* ctx, const char* language) {
    document_writer measure = {nullptr, 0, 0};
    write_document(measure, api, ctx, language);

    const std::size_t capacity = measure.length + 1;
    auto* buffer = static_cast<char*>(std::malloc(capacity));
    if (buffer == nullptr) {
        return nullptr;
    }
    document_writer out = {buffer, capacity, 0};
    write_document(out, api, ctx, language);
    buffer[out.length] = '\0';
    return buffer;
}
