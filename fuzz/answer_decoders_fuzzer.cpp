// The decoders of online services' answers: success and error bodies of the chat-completions and
// Google translation APIs. Only ResponseDecodingError may leave them.
#include "engines/google_translate_client.h"
#include "engines/online_ai_client.h"
#include "engines/response_decoding.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ovra;
    const QByteArray body = fuzz::bytes(data, size);
    (void)OnlineAIClient::decodeErrorMessage(body);
    (void)GoogleTranslateClient::decodeError(body);
    try {
        const nlohmann::json root = ResponseDecoding::parse(body);
        try {
            (void)OnlineAIClient::decodeReply(root);
        } catch (const ResponseDecodingError&) {
        }
        try {
            (void)GoogleTranslateClient::decodeTranslations(root);
        } catch (const ResponseDecodingError&) {
        }
    } catch (const ResponseDecodingError&) {
    }
    return 0;
}
