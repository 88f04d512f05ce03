#include "FuzzEntries.h"

#include "journal/JournalGrid.h"
#include "journal/JournalLoader.h"
#include "link/COM.h"
#include "link/StandProtocol.h"
#include "service/FirmwareImage.h"
#include "store/Fastini.h"
#include "store/Iniparam.h"

#include <algorithm>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// The input as a file the loaders open by name, kept in memory: nothing on
// disk to clean up, and tens of thousands of runs a second stay cheap.
class MemoryFile {
public:
    MemoryFile(const void* data, size_t size) : fd_(::memfd_create("fuzz-input", MFD_CLOEXEC))
    {
        const auto* p = static_cast<const char*>(data);
        for (size_t done = 0; fd_ >= 0 && done < size;) {
            const ssize_t n = ::write(fd_, p + done, size - done);
            if (n <= 0) {
                ::close(fd_);
                fd_ = -1;
                break;
            }
            done += static_cast<size_t>(n);
        }
    }
    ~MemoryFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    bool Ok() const { return fd_ >= 0; }
    // Opening it gives a fresh description that reads from the first byte.
    std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    int fd_;
};

uint8_t Sum(const uint8_t* bytes, size_t count)
{
    unsigned sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<uint8_t>(sum);
}

}  // namespace

int RunFuzzEntry(FuzzEntry entry, const uint8_t* data, size_t size)
{
    const std::string broken = entry(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz rule broken: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}

// ---------------------------------------------------------------- HEX reader

std::string FuzzHexReader(const uint8_t* data, size_t size)
{
    MemoryFile file(data, size);
    if (!file.Ok())
        return "cannot make the input file";
    // Heap blocks of the exact sizes, so a stray store is caught at once.
    Bytes image(65536, 0xFF);
    Bytes fuses(16, 0xFF);
    const int length = ReadHexFile(image.data(), fuses.data(), file.Path());
    // Highest address: a data record of FFh bytes starting at FFFFh.
    if (length < 0 || length > 0xFFFF + 0xFF + 1)
        return "length " + std::to_string(length) + " out of 0..65791";
    if (size == 0 || data[0] != ':') {
        if (length != 0)
            return "accepted a file that does not start with ':'";
    }
    if (fuses[14] != 0xFF || fuses[15] != 0xFF)
        return "fuses 14 or 15 written";
    for (size_t a = static_cast<size_t>(std::max(length, 1)); length > 0 && a < image.size(); ++a)
        if (image[a] != 0xFF)
            return "image byte " + std::to_string(a) + " written beyond the length " + std::to_string(length);
    return {};
}

// ---------------------------------------------------------------- INI loader

namespace {

std::string CheckIniFile(const TFastIniFile& ini)
{
    if (ini.Failed != 0)
        return "load of a readable file failed";
    if (ini.Modified)
        return "a load left the file modified";
    for (int i = 0; i < ini.SectionCount(); ++i) {
        const TIniSection* s = ini.GetSection(i);
        if (!s)
            return "section " + std::to_string(i) + " missing";
        const std::string& name = s->Name();
        if (name.empty() || name.find_first_of(std::string("]\r\n\0", 4)) != std::string::npos)
            return "section name '" + name + "' cannot come from a header line";
        // Lookups see the first of equal names.
        const TIniSection* found = ini.FindSection(name);
        for (int k = 0; k < ini.SectionCount(); ++k) {
            const TIniSection* other = ini.GetSection(k);
            if (IniNameEquals(other->Name(), name)) {
                if (found != other)
                    return "FindSection('" + name + "') is not the first match";
                break;
            }
        }
        for (int j = 0; j < s->ParamCount(); ++j) {
            const TIniParam* p = s->GetParam(j);
            const std::string& key = p->Name();
            if (key.empty() || key.front() == ' ' || key.back() == ' ' || key.front() == '['
                || key.find_first_of(std::string("=\r\n\0", 4)) != std::string::npos)
                return "key '" + key + "' cannot come from a key line";
            if (p->Value().find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
                return "value of '" + key + "' holds a line end";
            if (s->FindParam(key) == nullptr)
                return "key '" + key + "' not found in its own section";
            const std::string value = ini.ReadString(name, key, "?");
            const int32_t number = ini.ReadInteger(name, key, -1);
            const bool flag = ini.ReadBool(name, key, false);
            if (found == s && s->FindParam(key) == p && value != p->Value())
                return "ReadString('" + key + "') is not the first key's value";
            if (found == s && s->FindParam(key) == p && flag != (number != 0))
                return "ReadBool and ReadInteger disagree on '" + key + "'";
        }
    }
    return {};
}

}  // namespace

std::string FuzzIniLoader(const uint8_t* data, size_t size)
{
    MemoryFile file(data, size);
    if (!file.Ok())
        return "cannot make the input file";
    std::string first;
    {
        TFastIniFile ini(file.Path());
        if (std::string broken = CheckIniFile(ini); !broken.empty())
            return broken;
        first = ini.Serialize();
    }
    // What Save writes must load back to the same settings.
    MemoryFile saved(first.data(), first.size());
    if (!saved.Ok())
        return "cannot make the saved file";
    TFastIniFile again(saved.Path());
    if (std::string broken = CheckIniFile(again); !broken.empty())
        return "after a save: " + broken;
    if (again.Serialize() != first)
        return "a saved file loads back different";
    return {};
}

// ---------------------------------------------------------------- journal loader

std::string FuzzJournalLoader(const uint8_t* data, size_t size)
{
    MemoryFile file(data, size);
    if (!file.Ok())
        return "cannot make the input file";
    JournalGrid grid;
    const JournalGrid fresh;
    grid.SetCell(1, 0, "old");  // must not survive the load
    if (!LoadJournalFile(file.Path(), grid))
        return "a readable file was refused";
    for (int c = 0; c < grid.ColumnCount(); ++c)
        if (grid.Cell(0, c) != fresh.Cell(0, c))
            return "header cell " + std::to_string(c) + " changed";
    const int rows = grid.RowCount() - 1;
    if (size == 0) {
        if (rows != 1 || !grid.Cell(1, 0).isEmpty())
            return "an empty file must leave the empty row 1";
        return {};
    }
    // Each row is one piece of at most 255 bytes, and no piece is empty.
    const size_t least = (size + kJournalLineBuffer - 2) / (kJournalLineBuffer - 1);
    if (rows < 1 || static_cast<size_t>(rows) < least || static_cast<size_t>(rows) > size)
        return std::to_string(rows) + " rows for " + std::to_string(size) + " bytes";
    for (int r = 1; r <= rows; ++r) {
        if (grid.Cell(r, 0) != QString::number(r))
            return "row " + std::to_string(r) + " numbered '" + grid.Cell(r, 0).toStdString() + "'";
        for (int c = 1; c < grid.ColumnCount(); ++c) {
            const QString& cell = grid.Cell(r, c);
            if (cell.contains(';') || cell.contains('\r') || cell.contains(QChar(0)))
                return "cell " + std::to_string(r) + "," + std::to_string(c) + " holds a separator";
        }
    }
    return {};
}

// ---------------------------------------------------------------- stand replies

namespace {

// The stand's side of the line: the reply bytes of the input, nothing more.
class ScriptedCom : public COM {
public:
    bool open = true;
    Bytes script;
    size_t pos = 0;
    std::vector<Bytes> written;
    int reads = 0;

    bool IsOpen() override { return open; }
    bool Purge(uint32_t) override { return open; }
    bool Write(const void* buffer, uint32_t count) override
    {
        const auto* p = static_cast<const uint8_t*>(buffer);
        written.emplace_back(p, p + count);
        return open;
    }
    bool Read(void* buffer, uint32_t count) override
    {
        ++reads;
        const size_t n = std::min<size_t>(count, script.size() - pos);
        if (n > 0)
            std::memcpy(buffer, script.data() + pos, n);
        pos += n;
        return open && n == count;
    }
};

// Takes argument bytes from the input; missing ones read as 0.
class ArgReader {
public:
    ArgReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t Word()
    {
        const uint8_t lo = Byte();
        return static_cast<uint16_t>(lo | Byte() << 8);
    }
    Bytes Block()
    {
        Bytes b(32);
        for (uint8_t& x : b)
            x = Byte();
        return b;
    }
    Bytes Rest() const { return pos_ < size_ ? Bytes(data_ + pos_, data_ + size_) : Bytes(); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

struct Expected {
    uint8_t command;
    size_t frameLength;
    size_t replyLength;
};

// A reply counts when it is complete and sums to 0; the operation's own test comes on top.
bool ReplyGood(const Bytes& reply, size_t length)
{
    return reply.size() >= length && Sum(reply.data(), length) == 0;
}

std::string CheckFrame(const ScriptedCom& com, const Expected& e)
{
    if (!com.open) {
        if (!com.written.empty() || com.reads != 0)
            return "a closed channel was used";
        return {};
    }
    if (com.written.size() != 1)
        return std::to_string(com.written.size()) + " frames written";
    const Bytes& frame = com.written[0];
    if (frame.size() != e.frameLength || frame[0] != e.command)
        return "wrong frame for command " + std::to_string(e.command);
    if (Sum(frame.data(), frame.size()) != 0)
        return "frame for command " + std::to_string(e.command) + " does not sum to 0";
    return {};
}

std::string Verdict(const char* op, bool accepted, bool expected)
{
    if (accepted == expected)
        return {};
    return std::string(op) + (accepted ? " accepted a bad reply" : " refused a good reply");
}

}  // namespace

std::string FuzzStandReplies(const uint8_t* data, size_t size)
{
    if (size == 0)
        return {};
    ScriptedCom com;
    com.open = (data[0] & 0x80) == 0;
    const int op = (data[0] & 0x7F) % 10;
    ArgReader args(data + 1, size - 1);
    StandLink link(com);

    auto finish = [&](const Expected& e, const char* name, bool accepted, bool expected) {
        std::string broken = CheckFrame(com, e);
        return broken.empty() ? Verdict(name, accepted, com.open && expected) : broken;
    };

    switch (op) {
    case 0: {
        com.script = args.Rest();
        auto status = std::make_unique<StandStatus>();
        const bool ok = link.QueryStatus(*status);
        std::string broken = finish({'S', 2, 13}, "QueryStatus", ok, ReplyGood(com.script, 13));
        if (broken.empty() && ok && std::memcmp(status.get(), com.script.data(), 13) != 0)
            broken = "QueryStatus record differs from the reply";
        return broken;
    }
    case 1: {
        com.script = args.Rest();
        StandInfo info;
        info.StandNumber = 0xA5;
        info.FirmwareVersion = 0x5A;
        const bool ok = link.QueryStandInfo(info);
        std::string broken = finish({'N', 2, 3}, "QueryStandInfo", ok, ReplyGood(com.script, 3));
        if (!broken.empty())
            return broken;
        const bool same = ok ? info.StandNumber == com.script[0] && info.FirmwareVersion == com.script[1]
                             : info.StandNumber == 0xA5 && info.FirmwareVersion == 0x5A;
        return same ? std::string() : "QueryStandInfo identity wrong";
    }
    case 2: {
        com.script = args.Rest();
        const bool ok = link.RestartStand();
        return finish({'R', 2, 2}, "RestartStand", ok, ReplyGood(com.script, 2));
    }
    case 3:
    case 5: {
        const bool eprom = op == 3;
        const uint16_t address = eprom ? args.Byte() : args.Word();
        com.script = args.Rest();
        Bytes dest(32, 0xEE);
        const bool ok = eprom ? link.ReadEpromBlock(static_cast<uint8_t>(address), dest.data())
                              : link.ReadFlashBlock(address, dest.data());
        const char* name = eprom ? "ReadEpromBlock" : "ReadFlashBlock";
        std::string broken =
            finish({static_cast<uint8_t>(eprom ? 'e' : 'f'), eprom ? 3u : 4u, 33}, name, ok, ReplyGood(com.script, 33));
        if (!broken.empty())
            return broken;
        if (com.open && (com.written[0][1] != (address & 0xFF) || (!eprom && com.written[0][2] != address >> 8)))
            return std::string(name) + " sent the wrong address";
        const bool same = ok ? std::equal(dest.begin(), dest.end(), com.script.begin())
                             : std::all_of(dest.begin(), dest.end(), [](uint8_t b) { return b == 0xEE; });
        return same ? std::string() : std::string(name) + " destination wrong";
    }
    case 4: {
        const uint8_t address = args.Byte();
        const uint8_t value = args.Byte();
        com.script = args.Rest();
        const bool ok = link.WriteEpromByte(address, value);
        const bool good = ReplyGood(com.script, 2) && com.script[0] == value;
        return finish({'E', 4, 2}, "WriteEpromByte", ok, good);
    }
    case 6: {
        const uint16_t address = args.Word();
        const Bytes block = args.Block();
        com.script = args.Rest();
        const bool ok = link.WriteFlashBlock(address, block.data());
        const bool good = ReplyGood(com.script, 33) && std::equal(block.begin(), block.end(), com.script.begin());
        std::string broken = finish({'F', 36, 33}, "WriteFlashBlock", ok, good);
        if (broken.empty() && com.open && !std::equal(block.begin(), block.end(), com.written[0].begin() + 3))
            broken = "WriteFlashBlock sent other data";
        return broken;
    }
    case 7: {
        const uint16_t number = args.Word();
        const uint8_t year = args.Byte();
        com.script = args.Rest();
        const bool ok = link.WriteSerialNumber(number, year);
        const bool good = ReplyGood(com.script, 2) && com.script[0] == 'A';
        return finish({'A', 5, 2}, "WriteSerialNumber", ok, good);
    }
    case 8: {
        com.script = args.Rest();
        uint8_t code = 0xC3;
        const bool ok = link.QuerySerialWriteResult(code);
        const bool good = ReplyGood(com.script, 3) && com.script[0] == 'a';
        std::string broken = finish({'a', 2, 3}, "QuerySerialWriteResult", ok, good);
        if (broken.empty() && code != (ok ? com.script[1] : 0xC3))
            broken = "QuerySerialWriteResult code wrong";
        return broken;
    }
    default: {
        com.script = args.Rest();
        Bytes reply(10, 0xEE);
        const BoardInfoResult result = link.QueryBoardInfo(reply.data());
        if (std::string broken = CheckFrame(com, {'D', 2, 10}); !broken.empty())
            return broken;
        BoardInfoResult expected = BoardInfoResult::NoAnswer;
        if (com.open && !com.script.empty()) {
            if (com.script[0] == 0)
                expected = BoardInfoResult::NotReady;
            else if (ReplyGood(com.script, 10))
                expected = BoardInfoResult::Ok;
        }
        if (result != expected)
            return "QueryBoardInfo gave " + std::to_string(static_cast<int>(result)) + " for " +
                   std::to_string(static_cast<int>(expected));
        if (result == BoardInfoResult::NotReady && com.pos != 1)
            return "QueryBoardInfo read past a 0 readiness byte";
        if (result == BoardInfoResult::Ok && !std::equal(reply.begin(), reply.end(), com.script.begin()))
            return "QueryBoardInfo reply buffer differs";
        return {};
    }
    }
}
