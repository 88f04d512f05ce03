#pragma once
// Serial channel: one port, synchronous transfers with the driver-style
// time-outs (c ms between bytes, m*n + c ms in all), optional trace.
#include <cstdint>
#include <string>

struct CommStatRecord {
    uint32_t Flags = 0;
    uint32_t InQueue = 0;   // bytes waiting in the input queue
    uint32_t OutQueue = 0;  // bytes waiting in the output queue
};

class COM {
public:
    COM();
    virtual ~COM();

    // Fields in declaration order, defaults of a fresh object.
    int32_t Port = 1;
    uint32_t BaudIndex = 7;
    int32_t Parity = 0;
    int32_t StopBits = 2;
    uint32_t InQueueSize = 4096;
    uint32_t OutQueueSize = 4096;
    int32_t TraceOn = 0;
    int Handle = -1;  // file descriptor; -1 is the invalid handle
    uint32_t BytesWritten = 0;
    uint32_t BytesRead = 0;
    uint8_t DtrState = 0;
    uint8_t RtsState = 0;
    uint8_t LastFailed = 0;
    uint32_t CommErrors = 0;
    CommStatRecord CommStat;
    uint32_t TimeoutConstant = 100;
    char TraceBuffer[256] = {};

    virtual bool IsOpen();
    virtual bool Open();
    virtual bool Close();
    virtual bool SetTimeout(uint32_t ms);
    virtual bool PutByte(int8_t b);
    virtual bool Write(const void* buffer, uint32_t count);
    virtual bool Transact(const void* wbuf, uint32_t wn, void* rbuf, uint32_t rn, uint32_t limitMs, bool purgeFirst);
    virtual bool GetByte(int8_t& b);
    virtual bool GetByte(uint8_t& b);
    virtual bool Read(void* buffer, uint32_t count);
    virtual uint8_t GetByte();
    virtual bool PutByte(uint8_t b);
    virtual bool EscapeFunction(uint32_t code);
    virtual bool Purge(uint32_t flags);
    virtual uint32_t GetModemStatus();
    virtual void ClearErrors();

    bool ApplyTimeouts();
    void SetDTR(bool level);
    void SetRTS(bool level);
    void PurgeBuffers();
    void TraceLine(bool stamp);

    // The device that port index n names: AppDataDir + "COM<n+1>" when that
    // entry exists (a symlink to a real port or a simulator), else /dev/ttyS<n>.
    static std::string DevicePath(int32_t port);

    static const uint32_t BaudTable[12];
    static uint32_t Multiplier(uint32_t baudIndex);

private:
    // The time-outs in force: set by ApplyTimeouts, as the driver would hold them.
    uint32_t appliedMultiplier_ = 0;
    uint32_t appliedConstant_ = 0;

    // The driver calls: false when the call itself failed (the port is gone);
    // a time-out is not a failure, the count tells how many bytes moved.
    bool DriverWrite(const void* buffer, uint32_t count, uint32_t& written);
    bool DriverRead(void* buffer, uint32_t count, uint32_t& got);
    bool ApplyLineSettings();
    void Trace(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// Purge flags and escape codes with the driver's values.
enum : uint32_t {
    PURGE_TXABORT = 0x0001,
    PURGE_RXABORT = 0x0002,
    PURGE_TXCLEAR = 0x0004,
    PURGE_RXCLEAR = 0x0008,
};
enum : uint32_t { SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6 };
