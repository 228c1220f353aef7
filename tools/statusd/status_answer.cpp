#include "status_answer.h"

#include <algorithm>
#include <vector>

namespace {

std::vector<std::uint8_t> AnswerBytes(const ServeOptions& options) {
    const auto& record = options.record.bytes;
    switch (options.mode) {
        case ServeOptions::Mode::Record:
        case ServeOptions::Mode::Drip:
        case ServeOptions::Mode::KeepOpen:
            return {record.begin(), record.end()};
        case ServeOptions::Mode::Short:
        case ServeOptions::Mode::Reset:
            return {record.begin(),
                    record.begin() + std::ptrdiff_t(std::min(options.shortLength, record.size()))};
        case ServeOptions::Mode::Oversize: {
            std::vector<std::uint8_t> bytes(std::max(options.oversizeLength, record.size()), 0xEE);
            std::copy(record.begin(), record.end(), bytes.begin());
            return bytes;
        }
        case ServeOptions::Mode::Close:
        case ServeOptions::Mode::Hang:
            break;
    }
    return {};
}

}  // namespace

bool SendAnswer(const ServeOptions& options, const SendBytes& send, const Pause& pause) {
    const std::vector<std::uint8_t> answer = AnswerBytes(options);
    if (options.mode != ServeOptions::Mode::Drip) return send(answer.data(), answer.size());
    // Until the client leaves, which a client that reads once does after one byte.
    for (const std::uint8_t& byte : answer)
        if (!send(&byte, 1) || !pause(options.dripInterval)) return false;
    return true;
}
