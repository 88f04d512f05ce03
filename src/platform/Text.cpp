#include "platform/Text.h"

#include <iconv.h>

namespace {

std::string Convert(const char* to, const char* from, const std::string& in)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    std::string out;
    out.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1))
            break;
        // A character the other side cannot hold becomes '?', never a lost tail.
        if (dstLeft == 0)
            break;
        *dst++ = '?';
        --dstLeft;
        // Skip one whole UTF-8 sequence, or one byte of anything else.
        size_t skip = 1;
        if (std::string(from) == "UTF-8") {
            unsigned char c = static_cast<unsigned char>(*src);
            skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (skip > srcLeft)
                skip = srcLeft;
        }
        src += skip;
        srcLeft -= skip;
    }
    out.resize(out.size() - dstLeft);
    iconv_close(cd);
    return out;
}

}  // namespace

std::string ToCp1251(const QString& text)
{
    return Convert("CP1251", "UTF-8", text.toStdString());
}

QString FromCp1251(const std::string& bytes)
{
    return QString::fromStdString(Convert("UTF-8", "CP1251", bytes));
}
