#pragma once
// The program's own file primitive: a thin owner of one POSIX file
// descriptor. Operations report through their result and Failed; nothing
// throws. Sharing modes are advisory flock locks taken when the file opens,
// so two instances of the program keep out of each other's files.
#include <cstdint>
#include <string>

enum class TFileAccess { Read, Write };

// What other openers may do while this one holds the file.
//   None: an exclusive lock; any other locked opener fails.
//   Read: a reader takes a shared lock (other readers welcome). A writer still
//         takes the exclusive lock: flock cannot let readers in while keeping
//         a second writer out, and a second writer is the one that corrupts.
enum class TFileShare { None, Read };

enum class TFileCreate {
    OpenAlways,    // open, or create empty when missing
    CreateAlways,  // create, emptying an existing file (only once it is locked)
    OpenExisting,  // fail when missing
};

enum class TFileHint { Normal, SequentialScan };

enum class TFileOrigin { Begin, Current, End };

class TFile {
public:
    TFile() = default;
    TFile(const std::string& name, TFileAccess access, TFileShare share, TFileCreate create,
          TFileHint hint = TFileHint::Normal);
    ~TFile();
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;

    bool Open(const std::string& name, TFileAccess access, TFileShare share, TFileCreate create,
              TFileHint hint = TFileHint::Normal);
    bool Close();
    bool IsOpen() const { return handle_ >= 0; }
    bool Write(const void* data, uint32_t length);
    bool Seek(int32_t distance, TFileOrigin origin);
    uint32_t Position();  // 0xFFFFFFFF (and Failed) when the query fails
    bool Truncate();
    // One line with its line end (at most two CR/LF bytes) and a zero byte;
    // a line longer than size - 1 bytes comes in pieces.
    bool ReadLine(char* buffer, uint32_t size);
    // Data written so far reaches the disk before this returns true.
    bool Sync();

    bool Failed = false;      // result of the last operation
    uint32_t LastError = 0;   // errno of the last failed system call, 0 after a good one
    uint32_t BytesWritten = 0;

protected:
    int handle_ = -1;
};
