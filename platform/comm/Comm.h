// Serial port calls in the shape the port code is written against: open a COM
// port by name, query its properties, get and set its line settings and
// timeouts, write, read, close, and sleep. All calls are synchronous.
//
// The free functions forward to the installed ICommApi. By default that is the
// POSIX implementation (termios), which maps "COM1".."COM8" to serial devices:
//   - "COMn" opens /dev/ttyS(n-1), or the device named by an environment
//     variable of the same name (COM3=/dev/ttyUSB0). Any other name fails,
//     as does a device that is no terminal or is the program's own terminal.
//   - A port is held exclusively (TIOCEXCL and an flock), so a second open of
//     a port in use fails until the holder closes it.
//   - The open port runs raw: no echo, no line editing, no signals, no flow
//     control by XON/XOFF, no translation of CR or LF; bytes pass unchanged.
//     Modem-control settings (HUPCL, CLOCAL, CRTSCTS) stay as the port had them.
//   - ReadFile and WriteFile keep the COMMTIMEOUTS of the handle; every wait
//     is measured on plat::Clock() and blocks in poll.
// Tests install another ICommApi (see FakeCommApi.h) with SetCommApi.
#pragma once

#include <cstdint>

#include "platform/base/WinTypes.h"

using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

// Never defined: the port calls take no security attributes and do no
// overlapped I/O, so only null pointers of these types are accepted.
struct SECURITY_ATTRIBUTES;
struct OVERLAPPED;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using LPOVERLAPPED = OVERLAPPED*;

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_FLAG_NO_BUFFERING = 0x20000000u;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;
constexpr DWORD MAXDWORD = 0xFFFFFFFFu;

// DCB.Parity
constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;
// DCB.StopBits
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;
// DCB.fRtsControl
constexpr BYTE RTS_CONTROL_ENABLE = 1;
constexpr BYTE RTS_CONTROL_HANDSHAKE = 2;

// Line settings of a port. The fields are those that a serial line on this
// platform can honour; flags are plain bytes (0 or 1).
struct DCB {
    DWORD DCBlength = sizeof(DCB);
    DWORD BaudRate = 0;        // bit/s
    BYTE fBinary = 1;          // always 1: ports carry bytes unchanged
    BYTE fParity = 0;          // check the parity of received bytes
    BYTE fOutxCtsFlow = 0;     // hold output while CTS is low
    BYTE fRtsControl = RTS_CONTROL_ENABLE;  // RTS_CONTROL_HANDSHAKE: RTS tracks input room
    BYTE fOutX = 0;            // XON/XOFF flow control of output
    BYTE fInX = 0;             // XON/XOFF flow control of input
    BYTE ByteSize = 8;         // data bits, 5..8
    BYTE Parity = NOPARITY;
    BYTE StopBits = ONESTOPBIT;
    char XonChar = 0x11;
    char XoffChar = 0x13;

    friend bool operator==(const DCB&, const DCB&) = default;
};

// Communications properties. The driver may follow the record with
// provider-specific data; wPacketLength then gives the full size.
struct COMMPROP {
    WORD wPacketLength;
    WORD wPacketVersion;
    DWORD dwServiceMask;
    DWORD dwReserved1;
    DWORD dwMaxTxQueue;
    DWORD dwMaxRxQueue;
    DWORD dwMaxBaud;
    DWORD dwProvSubType;
    DWORD dwProvCapabilities;
    DWORD dwSettableParams;
    DWORD dwSettableBaud;
    WORD wSettableData;
    WORD wSettableStopParity;
    DWORD dwCurrentTxQueue;
    DWORD dwCurrentRxQueue;
    DWORD dwProvSpec1;
    DWORD dwProvSpec2;
    WORD wcProvChar[1];
};
static_assert(sizeof(COMMPROP) == 64, "COMMPROP is a 64-byte record");

constexpr DWORD SP_SERIALCOMM = 0x00000001u;
constexpr DWORD PST_RS232 = 0x00000001u;
constexpr DWORD BAUD_USER = 0x10000000u;

// Timeouts in milliseconds. A read ends at the first of: the count reached;
// ReadIntervalTimeout passed after a received byte with no further byte (once
// a first byte has arrived; 0 = unused); ReadTotalTimeoutMultiplier x count +
// ReadTotalTimeoutConstant since the read began (both 0 = unused). A read ended
// by a limit succeeds with what arrived. ReadIntervalTimeout MAXDWORD with both
// totals 0 returns at once with what is queued. A write ends after
// WriteTotalTimeoutMultiplier x length + WriteTotalTimeoutConstant (both 0 =
// unused) and succeeds with what was sent.
struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL GetCommProperties(HANDLE hFile, COMMPROP* lpCommProp);
BOOL GetCommState(HANDLE hFile, DCB* lpDCB);
BOOL SetCommState(HANDLE hFile, DCB* lpDCB);
BOOL GetCommTimeouts(HANDLE hFile, COMMTIMEOUTS* lpCommTimeouts);
BOOL SetCommTimeouts(HANDLE hFile, COMMTIMEOUTS* lpCommTimeouts);
BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite,
               DWORD* lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead,
              DWORD* lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
BOOL CloseHandle(HANDLE hObject);
void Sleep(DWORD dwMilliseconds);

namespace plat {

// The port calls, one virtual each; the free functions above forward here.
class ICommApi {
public:
    virtual ~ICommApi() = default;
    virtual HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE templateFile) = 0;
    virtual BOOL GetCommProperties(HANDLE h, COMMPROP* prop) = 0;
    virtual BOOL GetCommState(HANDLE h, DCB* dcb) = 0;
    virtual BOOL SetCommState(HANDLE h, DCB* dcb) = 0;
    virtual BOOL GetCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL SetCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL WriteFile(HANDLE h, const void* data, DWORD count, DWORD* written, LPOVERLAPPED overlapped) = 0;
    virtual BOOL ReadFile(HANDLE h, void* buffer, DWORD count, DWORD* read, LPOVERLAPPED overlapped) = 0;
    virtual BOOL CloseHandle(HANDLE h) = 0;
    virtual void Sleep(DWORD ms) = 0;
};

// The implementation in force: the POSIX one unless a test installed another.
ICommApi& CommApi();

// Installs api (nullptr restores the POSIX one). Install before anything
// opens a port; not thread-safe.
void SetCommApi(ICommApi* api);

// The POSIX implementation itself, whatever is installed.
ICommApi& PosixCommApi();

}  // namespace plat
