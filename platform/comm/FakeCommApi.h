// A scripted stand-in for the serial ports, for tests. While it lives it is
// the installed comm API; it answers the port calls from a script, records
// every call, and fails the calls it is told to fail.
//
//   plat::CVirtualClock clock;
//   plat::CScopedClock scoped(clock);
//   plat::CFakeCommApi fake;
//   fake.SetReply("COM3", "ATI3\r", "ATI3\r\r\nKorvane 56000\r\n\r\nOK\r\n");
//   ... code under test ...
//   EXPECT_EQ(fake.Writes()[0].second, "ATI3\r");
//
// Devices: "COM1".."COM8" exist and are silent unless told otherwise; any
// other name exists once it has been given a reply, a state or a properties
// length. A port opens once at a time (a second open fails, as does the open
// of a busy or missing port).
//
// A write queues the reply found for (port, bytes written): the one set with
// SetReply, else the responder's answer, else nothing. ReadFile delivers the
// queued bytes up to its count. Closing or opening a port drops what is queued.
//
// Time: if the installed clock is virtual, calls advance it as a real port
// would take: Sleep by its argument; a read that got bytes by the interval
// timeout (none when it filled its count); a read that got nothing by the full
// total timeout (10550 ms with the transaction's timeouts). With a real clock
// installed nothing waits.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/comm/Comm.h"

namespace plat {

enum class CommCall {
    CreateFileA,
    GetCommProperties,
    GetCommState,
    SetCommState,
    GetCommTimeouts,
    SetCommTimeouts,
    WriteFile,
    ReadFile,
    CloseHandle,
    Sleep,
};
constexpr int kCommCallKinds = 10;

const char* CommCallName(CommCall call);

// One call as the fake saw it.
struct SCommCallRecord {
    CommCall call{};
    std::string port;  // the name opened, or the port of the handle ("" for Sleep or an unknown handle)
    bool ok = true;    // the call's result (Sleep: always true)
    std::string bytes; // WriteFile: the bytes written; ReadFile: the bytes delivered
    // Sleep: milliseconds; WriteFile: length; ReadFile: count asked for;
    // GetCommProperties: wPacketLength on entry (the block size claimed).
    DWORD value = 0;
    // CreateFileA: access, share mode, creation disposition, flags.
    std::array<DWORD, 4> open{};
    bool nullPointers = true;       // CreateFileA: no security attributes or template; I/O: no overlapped record
    DCB dcb{};                      // Get/SetCommState: the settings delivered / applied
    COMMTIMEOUTS timeouts{};        // Get/SetCommTimeouts: the timeouts delivered / applied
};

class CFakeCommApi final : public ICommApi {
public:
    // Answers a write with the bytes the device sends back ("" for nothing).
    using Responder = std::function<std::string(const std::string& port, const std::string& written)>;

    CFakeCommApi();  // installs itself
    ~CFakeCommApi() override;  // restores the POSIX implementation
    CFakeCommApi(const CFakeCommApi&) = delete;
    CFakeCommApi& operator=(const CFakeCommApi&) = delete;

    // Devices.
    void SetReply(const std::string& port, const std::string& written, const std::string& reply);
    void SetResponder(Responder responder);
    void SetMissing(const std::string& port, bool missing = true);
    void SetBusy(const std::string& port, bool busy = true);  // held open by someone else
    // The full size of the properties packet that GetCommProperties reports
    // (default 64: no provider-specific data). The bytes after the record are
    // filled with 0xA5 as far as the caller's block reaches.
    void SetPacketLength(const std::string& port, WORD length);
    void SetState(const std::string& port, const DCB& dcb);  // default: 9600 bit/s, 8N1
    DCB State(const std::string& port) const;
    // Bytes the device sends without being asked; delivered by the next read
    // of the port that is open now (dropped at close).
    void QueueInput(const std::string& port, const std::string& bytes);

    // Failures. A failing call changes nothing and returns FALSE (CreateFileA:
    // INVALID_HANDLE_VALUE). Counts are per kind of call, from 1, since construction.
    void FailNext(CommCall call, int times = 1);
    void FailNth(CommCall call, int n);
    void FailAlways(CommCall call, bool on = true);
    void ClearFailures();

    // The record.
    const std::vector<SCommCallRecord>& Calls() const { return m_calls; }
    std::vector<SCommCallRecord> Calls(CommCall call) const;
    std::vector<CommCall> Sequence() const;
    int Count(CommCall call) const;
    std::vector<std::pair<std::string, std::string>> Writes() const;  // (port, bytes), successful writes in order
    std::vector<std::string> Opens() const;                           // every name asked to open, in order
    bool IsOpen(const std::string& port) const;
    void ClearCalls() { m_calls.clear(); }

    // ICommApi
    HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                       DWORD disposition, DWORD flags, HANDLE templateFile) override;
    BOOL GetCommProperties(HANDLE h, COMMPROP* prop) override;
    BOOL GetCommState(HANDLE h, DCB* dcb) override;
    BOOL SetCommState(HANDLE h, DCB* dcb) override;
    BOOL GetCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts) override;
    BOOL SetCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts) override;
    BOOL WriteFile(HANDLE h, const void* data, DWORD count, DWORD* written, LPOVERLAPPED overlapped) override;
    BOOL ReadFile(HANDLE h, void* buffer, DWORD count, DWORD* read, LPOVERLAPPED overlapped) override;
    BOOL CloseHandle(HANDLE h) override;
    void Sleep(DWORD ms) override;

private:
    struct SDevice {
        bool missing = false;
        bool busy = false;
        WORD packetLength = sizeof(COMMPROP);
        DCB dcb = DefaultState();
        COMMTIMEOUTS timeouts{};
        std::string input;
        HANDLE openHandle = nullptr;
    };

    static DCB DefaultState()
    {
        DCB dcb;
        dcb.BaudRate = 9600;
        return dcb;
    }
    SDevice& Device(const std::string& port);
    const SDevice* FindDevice(const std::string& port) const;
    // Starts the record of a call and decides whether it fails by script.
    SCommCallRecord& Begin(CommCall call, const std::string& port);
    bool Fails(CommCall call);
    // The open device behind h, or null; names its port in the record.
    SDevice* Open(HANDLE h, std::string& port);
    static void Advance(DWORD ms);

    std::map<std::string, SDevice> m_devices;
    std::map<std::pair<std::string, std::string>, std::string> m_replies;
    Responder m_responder;
    std::map<HANDLE, std::string> m_handles;
    std::uintptr_t m_nextHandle = 0x1000;
    std::array<int, kCommCallKinds> m_seen{};
    std::array<int, kCommCallKinds> m_failNext{};
    std::array<bool, kCommCallKinds> m_failAlways{};
    std::array<std::set<int>, kCommCallKinds> m_failNth;
    std::vector<SCommCallRecord> m_calls;
};

}  // namespace plat
