#include "port/ModemPort.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

CommPropAllocator g_allocate = nullptr;

// Line settings of every transaction.
constexpr DWORD kBaudRate = 57600;
constexpr BYTE kByteSize = 8;

// Timeouts of every transaction, in milliseconds: a read ends 20 ms after the
// last byte or 10 x 1025 + 300 = 10550 ms after it began; a write has
// 100 + 10 per byte.
constexpr COMMTIMEOUTS kTimeouts = {20, 10, 300, 10, 100};

constexpr DWORD kReplyBytes = 1025;

}  // namespace

void SetCommPropAllocator(CommPropAllocator allocator) { g_allocate = allocator; }

BEGIN_MESSAGE_MAP(CModemPort, CWnd)
END_MESSAGE_MAP()

CModemPort::CModemPort() : m_hPort(INVALID_HANDLE_VALUE) {}

// Closes a port still open, with the same bounded retries as a transaction;
// the properties block goes with the object in any case.
CModemPort::~CModemPort() { CloseWithRetries(); }

BOOL CModemPort::CloseWithRetries()
{
    for (int i = 0; i < kCloseTries; ++i)
        if (ClosePort()) return TRUE;
    return FALSE;
}

CModemPort::CommPropBlock CModemPort::AllocateProperties(std::size_t size)
{
    void* block = g_allocate ? g_allocate(1, size) : std::calloc(1, size);
    CommPropBlock owned(static_cast<COMMPROP*>(block));
    if (owned) owned->wPacketLength = static_cast<WORD>(size);
    return owned;
}

void CModemPort::DropPort()
{
    if (m_hPort != INVALID_HANDLE_VALUE) CloseHandle(m_hPort);
    m_hPort = INVALID_HANDLE_VALUE;
    m_pCommProp.reset();
}

CString CModemPort::Transact(CString portName, CString command, int wait, CString terminator)
{
    m_strPort = portName;

    // A port left open by a transaction that failed part-way.
    DropPort();

    m_hPort = CreateFileA(m_strPort, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_NO_BUFFERING, nullptr);
    if (m_hPort == INVALID_HANDLE_VALUE) return "Invalid Port Error";

    // Size the properties: the driver leaves the full size of its packet
    // (record and provider-specific data) in wPacketLength. If this query
    // fails, the size stays that of the record.
    std::size_t size = 0;
    if (CommPropBlock probe = AllocateProperties(sizeof(COMMPROP))) {
        GetCommProperties(m_hPort, probe.get());
        size = std::max<std::size_t>(probe->wPacketLength, sizeof(COMMPROP));
    }  // the probe is released here
    if (size) m_pCommProp = AllocateProperties(size);
    if (!m_pCommProp) {
        // No memory for the properties: give the port up at once, so that
        // between transactions a block is held exactly when a port is.
        DropPort();
        return "CommProp Error";
    }
    if (!GetCommProperties(m_hPort, m_pCommProp.get())) return "CommProp Error";

    if (!GetCommState(m_hPort, &m_dcb)) return "ComState Error";
    m_dcb.BaudRate = kBaudRate;
    m_dcb.ByteSize = kByteSize;
    m_dcb.Parity = NOPARITY;
    m_dcb.StopBits = ONESTOPBIT;
    if (!SetCommState(m_hPort, &m_dcb)) return "CBR Error";

    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(m_hPort, &timeouts)) return "Timeouts Error";
    timeouts = kTimeouts;
    if (!SetCommTimeouts(m_hPort, &timeouts)) return "SetComTimeouts";

    // The command and the terminator in one write, every byte as given (a
    // NUL included), nothing added. A partial write is not detected.
    const std::string line = command.Str() + terminator.Str();
    DWORD written = 0;
    if (!WriteFile(m_hPort, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        return "Error Writing To Port";

    // The modem answers meanwhile; the port queues the reply for the read.
    Sleep(static_cast<DWORD>(std::max(wait, 0)));

    std::array<char, kReplyBytes + 1> reply{};  // the last byte stays NUL
    DWORD received = 0;
    if (!ReadFile(m_hPort, reply.data(), kReplyBytes, &received, nullptr)) return "Error Reading Port";

    // A close that keeps failing must not hold up the reply: after
    // kCloseTries the port stays open and held, and the next Transact,
    // ClosePort or the destructor closes it.
    CloseWithRetries();

    return CString(reply.data());  // up to the first NUL
}

BOOL CModemPort::ClosePort()
{
    if (m_hPort != INVALID_HANDLE_VALUE) {
        if (!CloseHandle(m_hPort)) return FALSE;
        m_hPort = INVALID_HANDLE_VALUE;
    }
    m_pCommProp.reset();
    return TRUE;
}
