#include "service/FirmwareImage.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr uint32_t FusesLinearAddress = 0x0030;
constexpr uint32_t FusesLastOffset = 13;

// Byte source over a fixed buffer: bounded memory and one pass, whatever the file's size.
class HexInput {
public:
    explicit HexInput(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
    ~HexInput()
    {
        if (file_)
            std::fclose(file_);
    }
    HexInput(const HexInput&) = delete;
    HexInput& operator=(const HexInput&) = delete;

    bool IsOpen() const { return file_ != nullptr; }

    // Next byte, or -1 at the end of the file or on a read error.
    int Char()
    {
        if (pos_ == len_) {
            if (!file_)
                return -1;
            len_ = std::fread(buf_, 1, sizeof buf_, file_);
            pos_ = 0;
            if (len_ == 0)
                return -1;
        }
        return buf_[pos_++];
    }

    // Two upper-case hexadecimal digits, high first; added to the record's sum.
    bool Byte(uint32_t& value)
    {
        int hi = Digit(Char());
        if (hi < 0)
            return false;
        int lo = Digit(Char());
        if (lo < 0)
            return false;
        value = static_cast<uint32_t>(hi * 16 + lo);
        sum += value;
        return true;
    }

    uint32_t sum = 0;

private:
    static int Digit(int c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    std::FILE* file_;
    unsigned char buf_[65536];
    size_t pos_ = 0;
    size_t len_ = 0;
};

}  // namespace

void ClearFirmwareImage(FirmwareImage& firmware)
{
    std::memset(firmware.image, 0xFF, sizeof firmware.image);
    std::memset(firmware.fuses, 0xFF, sizeof firmware.fuses);
}

int ReadHexFile(uint8_t* image, uint8_t* fuses, const std::string& path)
{
    uint32_t linear = 0;
    uint32_t highest = 0;
    auto in = std::make_unique<HexInput>(path);  // the buffer is too big for the stack
    if (!in->IsOpen())
        return 0;
    for (;;) {
        if (in->Char() != ':')
            return 0;
        in->sum = 0;
        uint32_t count, addrHi, addrLo, type;
        if (!in->Byte(count) || !in->Byte(addrHi) || !in->Byte(addrLo) || !in->Byte(type))
            return 0;
        const uint32_t address = addrHi * 256 + addrLo;
        uint32_t value;
        if (type == 4) {
            // Exactly two bytes, whatever the count says.
            uint32_t hi, lo;
            if (!in->Byte(hi) || !in->Byte(lo))
                return 0;
            linear = hi * 256 + lo;
        } else if (type == 0) {
            for (uint32_t i = 0; i < count; ++i) {
                const uint32_t a = address + i;  // no wrap at 16 bits
                if (!in->Byte(value))
                    return 0;
                if (linear == 0) {
                    // Past FFFFh there is no room; the address still counts toward the length.
                    if (a < 65536)
                        image[a] = static_cast<uint8_t>(value);
                    if (a > highest)
                        highest = a;
                } else if (linear == FusesLinearAddress && a <= FusesLastOffset) {
                    fuses[a] = static_cast<uint8_t>(value);
                }
            }
        } else if (type == 2) {
            // The segment is read and not applied.
            for (uint32_t i = 0; i < count; ++i)
                if (!in->Byte(value))
                    return 0;
        }
        if (!in->Byte(value))  // checksum
            return 0;
        // The line end is taken blindly; a file may end right here.
        in->Char();
        in->Char();
        if ((in->sum & 0xFF) != 0)
            return 0;
        if (type == 1)
            return static_cast<int>(highest + 1);
    }
}

LoadVerdict JudgeFirmwareLength(int length)
{
    if (length <= 0)
        return LoadVerdict::Unreadable;
    if (length > MaxFirmwareLength)
        return LoadVerdict::TooLong;
    return LoadVerdict::Ok;
}

LoadVerdict LoadFirmwareFile(FirmwareImage& firmware, const std::string& path, int& length)
{
    ClearFirmwareImage(firmware);
    const int read = ReadHexFile(firmware.image, firmware.fuses, path);
    const LoadVerdict verdict = JudgeFirmwareLength(read);
    length = verdict == LoadVerdict::Ok ? read : 0;
    return verdict;
}

QString LoadVerdictText(LoadVerdict verdict)
{
    switch (verdict) {
    case LoadVerdict::Unreadable:
        return QStringLiteral("Не могу прочитать файл...");
    case LoadVerdict::TooLong:
        return QStringLiteral("Слишком длинный файл...");
    case LoadVerdict::Ok:
        break;
    }
    return {};
}
