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

    size_t head = 0;
    for (;;) {
        while (head < buf_.size() && CommandLength(buf_[head].value) == 0)
            ++head;
        if (head == buf_.size())
            break;
        const size_t len = CommandLength(buf_[head].value);
        if (buf_.size() - head < len)
            break;
        uint8_t sum = 0;
        for (size_t i = 0; i < len; ++i)
            sum = static_cast<uint8_t>(sum + buf_[head + i].value);
        if (sum != 0) {
            ++rejected_;
            ++head;
            continue;
        }
        Frame f;
        f.firstByteUs = buf_[head].atUs;
        f.bytes.resize(len);
        for (size_t i = 0; i < len; ++i)
            f.bytes[i] = buf_[head + i].value;
        head += len;
        out.push_back(std::move(f));
    }
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(head));
    return out;
}

} // namespace standsim
