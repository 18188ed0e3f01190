// One complete exchange with a modem on a serial port: open the port by name,
// configure it (57600 bit/s, 8 data bits, no parity, one stop bit), write one
// command line, wait the caller's time, read what came back, close the port,
// and return the reply as text. Failures come back as fixed texts in place of
// the reply; see ModemPort.cpp and README.md beside it.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

#include "platform/comm/Comm.h"
#include "platform/ui/String.h"
#include "platform/ui/Wnd.h"

class CModemPort : public CWnd {
public:
    CModemPort();
    ~CModemPort() override;

    // Returns the reply (the bytes received up to the first NUL, at most
    // 1025, possibly none) or one of "Invalid Port Error", "CommProp Error",
    // "ComState Error", "CBR Error", "Timeouts Error", "SetComTimeouts",
    // "Error Writing To Port", "Error Reading Port". A port is left open
    // (until the next Transact, ClosePort or destruction) only after a
    // failure once it was open.
    CString Transact(CString portName, CString command, int wait, CString terminator);

    // Closes the open port and releases its properties block. TRUE when no
    // port is open afterwards, FALSE when the close failed (the port then
    // stays open and held).
    BOOL ClosePort();

    // How many times a transaction tries to close its port after the read
    // before it gives up and returns the reply with the port still held.
    static constexpr int kCloseTries = 3;

private:
    struct SFree {
        void operator()(COMMPROP* block) const { std::free(block); }
    };
    using CommPropBlock = std::unique_ptr<COMMPROP, SFree>;

    static CommPropBlock AllocateProperties(std::size_t size);
    // Closes the port whatever becomes of it, for a port left open.
    void DropPort();
    // ClosePort, tried up to kCloseTries times; TRUE once it succeeded.
    BOOL CloseWithRetries();

    CString m_strPort;
    CommPropBlock m_pCommProp;  // COMMPROP and provider-specific data
    HANDLE m_hPort;
    DCB m_dcb;

    DECLARE_MESSAGE_MAP()
};

// The allocation of properties blocks, calloc unless replaced (tests put in
// one that fails). It must return zero-filled memory that free releases, or
// null. Null restores calloc.
using CommPropAllocator = void* (*)(std::size_t count, std::size_t size);
void SetCommPropAllocator(CommPropAllocator allocator);
