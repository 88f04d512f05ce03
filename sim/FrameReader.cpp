#include "FrameReader.h"

namespace standsim {

std::vector<Frame> FrameReader::Push(const uint8_t* data, size_t n, int64_t nowUs)
{
    std::vector<Frame> out;
    if (n == 0)
        return out;
    if (!buf_.empty() && nowUs - lastUs_ > kStaleUs)
        buf_.clear();
    lastUs_ = nowUs;
    for (size_t i = 0; i < n; ++i)
        buf_.push_back({data[i], nowUs});

    for (;;) {
        while (!buf_.empty() && CommandLength(buf_.front().value) == 0)
            buf_.pop_front();
        if (buf_.empty())
            break;
        const size_t len = CommandLength(buf_.front().value);
        if (buf_.size() < len)
            break;
        uint8_t sum = 0;
        for (size_t i = 0; i < len; ++i)
            sum = static_cast<uint8_t>(sum + buf_[i].value);
        if (sum != 0) {
            ++rejected_;
            buf_.pop_front();
            continue;
        }
        Frame f;
        f.firstByteUs = buf_.front().atUs;
        f.bytes.reserve(len);
        for (size_t i = 0; i < len; ++i)
            f.bytes.push_back(buf_[i].value);
        buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(len));
        out.push_back(std::move(f));
    }
    return out;
}

} // namespace standsim
