#include "platform/comm/FakeCommApi.h"

#include <algorithm>
#include <cstring>

#include "platform/base/Clock.h"

namespace plat {

namespace {

int Index(CommCall call) { return static_cast<int>(call); }

bool IsStandardPort(const std::string& port)
{
    return port.size() == 4 && port.compare(0, 3, "COM") == 0 && port[3] >= '1' && port[3] <= '8';
}

}  // namespace

const char* CommCallName(CommCall call)
{
    static constexpr const char* kNames[kCommCallKinds] = {
        "CreateFileA",     "GetCommProperties", "GetCommState", "SetCommState", "GetCommTimeouts",
        "SetCommTimeouts", "WriteFile",         "ReadFile",     "CloseHandle",  "Sleep",
    };
    return kNames[Index(call)];
}

CFakeCommApi::CFakeCommApi() { SetCommApi(this); }

CFakeCommApi::~CFakeCommApi() { SetCommApi(nullptr); }

CFakeCommApi::SDevice& CFakeCommApi::Device(const std::string& port) { return m_devices[port]; }

const CFakeCommApi::SDevice* CFakeCommApi::FindDevice(const std::string& port) const
{
    auto it = m_devices.find(port);
    return it == m_devices.end() ? nullptr : &it->second;
}

void CFakeCommApi::SetReply(const std::string& port, const std::string& written, const std::string& reply)
{
    Device(port);
    m_replies[{port, written}] = reply;
}

void CFakeCommApi::SetResponder(Responder responder) { m_responder = std::move(responder); }

void CFakeCommApi::SetMissing(const std::string& port, bool missing) { Device(port).missing = missing; }

void CFakeCommApi::SetBusy(const std::string& port, bool busy) { Device(port).busy = busy; }

void CFakeCommApi::SetPacketLength(const std::string& port, WORD length) { Device(port).packetLength = length; }

void CFakeCommApi::SetState(const std::string& port, const DCB& dcb) { Device(port).dcb = dcb; }

DCB CFakeCommApi::State(const std::string& port) const
{
    const SDevice* d = FindDevice(port);
    return d ? d->dcb : SDevice{}.dcb;
}

void CFakeCommApi::QueueInput(const std::string& port, const std::string& bytes) { Device(port).input += bytes; }

void CFakeCommApi::FailNext(CommCall call, int times) { m_failNext[Index(call)] += std::max(times, 0); }

void CFakeCommApi::FailNth(CommCall call, int n) { m_failNth[Index(call)].insert(n); }

void CFakeCommApi::FailAlways(CommCall call, bool on) { m_failAlways[Index(call)] = on; }

void CFakeCommApi::ClearFailures()
{
    m_failNext = {};
    m_failAlways = {};
    m_failNth = {};
}

std::vector<SCommCallRecord> CFakeCommApi::Calls(CommCall call) const
{
    std::vector<SCommCallRecord> out;
    for (const SCommCallRecord& r : m_calls)
        if (r.call == call) out.push_back(r);
    return out;
}

std::vector<CommCall> CFakeCommApi::Sequence() const
{
    std::vector<CommCall> out;
    for (const SCommCallRecord& r : m_calls) out.push_back(r.call);
    return out;
}

int CFakeCommApi::Count(CommCall call) const
{
    return static_cast<int>(std::count_if(m_calls.begin(), m_calls.end(), [call](const SCommCallRecord& r) { return r.call == call; }));
}

std::vector<std::pair<std::string, std::string>> CFakeCommApi::Writes() const
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const SCommCallRecord& r : m_calls)
        if (r.call == CommCall::WriteFile && r.ok) out.emplace_back(r.port, r.bytes);
    return out;
}

std::vector<std::string> CFakeCommApi::Opens() const
{
    std::vector<std::string> out;
    for (const SCommCallRecord& r : m_calls)
        if (r.call == CommCall::CreateFileA) out.push_back(r.port);
    return out;
}

bool CFakeCommApi::IsOpen(const std::string& port) const
{
    const SDevice* d = FindDevice(port);
    return d && d->openHandle;
}

SCommCallRecord& CFakeCommApi::Begin(CommCall call, const std::string& port)
{
    SCommCallRecord r;
    r.call = call;
    r.port = port;
    r.ok = !Fails(call);
    m_calls.push_back(std::move(r));
    return m_calls.back();
}

bool CFakeCommApi::Fails(CommCall call)
{
    const int k = Index(call);
    const int n = ++m_seen[k];
    if (m_failAlways[k] || m_failNth[k].count(n)) return true;
    if (m_failNext[k] > 0) {
        --m_failNext[k];
        return true;
    }
    return false;
}

CFakeCommApi::SDevice* CFakeCommApi::Open(HANDLE h, std::string& port)
{
    auto it = m_handles.find(h);
    if (it == m_handles.end()) return nullptr;
    port = it->second;
    return &m_devices[port];
}

void CFakeCommApi::Advance(DWORD ms)
{
    if (Clock().IsVirtual()) Clock().SleepMs(ms);
}

HANDLE CFakeCommApi::CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE templateFile)
{
    const std::string port = name ? name : "";
    SCommCallRecord& r = Begin(CommCall::CreateFileA, port);
    r.open = {access, shareMode, disposition, flags};
    r.nullPointers = !security && !templateFile;
    const SDevice* known = FindDevice(port);
    const bool exists = known ? !known->missing : IsStandardPort(port);
    const bool inUse = known && (known->busy || known->openHandle);
    if (r.ok && (!exists || inUse)) r.ok = false;
    if (!r.ok) return INVALID_HANDLE_VALUE;
    HANDLE h = reinterpret_cast<HANDLE>(m_nextHandle++);
    m_handles[h] = port;
    SDevice& d = Device(port);
    d.openHandle = h;
    d.timeouts = {};
    d.input.clear();
    return h;
}

BOOL CFakeCommApi::GetCommProperties(HANDLE h, COMMPROP* prop)
{
    std::string port;
    SDevice* d = Open(h, port);
    SCommCallRecord& r = Begin(CommCall::GetCommProperties, port);
    if (prop) r.value = prop->wPacketLength;
    if (!r.ok || !d || !prop) return r.ok = false;

    // The packet: the record, then provider-specific bytes; written as far
    // as the block the caller claims to have reaches.
    const size_t full = std::max<size_t>(d->packetLength, sizeof(COMMPROP));
    std::vector<unsigned char> packet(full, 0xA5);
    COMMPROP rec{};
    rec.wPacketLength = d->packetLength;
    rec.wPacketVersion = 2;
    rec.dwServiceMask = SP_SERIALCOMM;
    rec.dwProvSubType = PST_RS232;
    rec.dwMaxBaud = BAUD_USER;
    std::memcpy(packet.data(), &rec, sizeof rec);
    const size_t claimed = std::max<size_t>(prop->wPacketLength, sizeof(prop->wPacketLength));
    std::memcpy(prop, packet.data(), std::min(claimed, full));
    prop->wPacketLength = d->packetLength;
    return TRUE;
}

BOOL CFakeCommApi::GetCommState(HANDLE h, DCB* dcb)
{
    std::string port;
    SDevice* d = Open(h, port);
    SCommCallRecord& r = Begin(CommCall::GetCommState, port);
    if (!r.ok || !d || !dcb) return r.ok = false;
    *dcb = d->dcb;
    r.dcb = d->dcb;
    return TRUE;
}

BOOL CFakeCommApi::SetCommState(HANDLE h, DCB* dcb)
{
    std::string port;
    SDevice* d = Open(h, port);
    SCommCallRecord& r = Begin(CommCall::SetCommState, port);
    if (dcb) r.dcb = *dcb;
    if (!r.ok || !d || !dcb) return r.ok = false;
    d->dcb = *dcb;
    return TRUE;
}

BOOL CFakeCommApi::GetCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts)
{
    std::string port;
    SDevice* d = Open(h, port);
    SCommCallRecord& r = Begin(CommCall::GetCommTimeouts, port);
    if (!r.ok || !d || !timeouts) return r.ok = false;
    *timeouts = d->timeouts;
    r.timeouts = d->timeouts;
    return TRUE;
}

BOOL CFakeCommApi::SetCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts)
{
    std::string port;
    SDevice* d = Open(h, port);
    SCommCallRecord& r = Begin(CommCall::SetCommTimeouts, port);
    if (timeouts) r.timeouts = *timeouts;
    if (!r.ok || !d || !timeouts) return r.ok = false;
    d->timeouts = *timeouts;
    return TRUE;
}

BOOL CFakeCommApi::WriteFile(HANDLE h, const void* data, DWORD count, DWORD* written, LPOVERLAPPED overlapped)
{
    if (written) *written = 0;
    std::string port;
    SDevice* d = Open(h, port);
    SCommCallRecord& r = Begin(CommCall::WriteFile, port);
    r.value = count;
    r.nullPointers = !overlapped;
    if (data) r.bytes.assign(static_cast<const char*>(data), count);
    if (!r.ok || !d || (!data && count) || overlapped) return r.ok = false;
    const std::string bytes = r.bytes;  // r may move when the responder makes calls
    if (auto it = m_replies.find({port, bytes}); it != m_replies.end())
        d->input += it->second;
    else if (m_responder)
        d->input += m_responder(port, bytes);
    if (written) *written = count;
    return TRUE;
}

BOOL CFakeCommApi::ReadFile(HANDLE h, void* buffer, DWORD count, DWORD* read, LPOVERLAPPED overlapped)
{
    if (read) *read = 0;
    std::string port;
    SDevice* d = Open(h, port);
    SCommCallRecord& r = Begin(CommCall::ReadFile, port);
    r.value = count;
    r.nullPointers = !overlapped;
    if (!r.ok || !d || (!buffer && count) || overlapped) return r.ok = false;

    const size_t n = std::min<size_t>(count, d->input.size());
    r.bytes = d->input.substr(0, n);
    std::memcpy(buffer, d->input.data(), n);
    d->input.erase(0, n);
    if (read) *read = static_cast<DWORD>(n);

    // How long a port with these timeouts would have taken.
    const COMMTIMEOUTS& to = d->timeouts;
    const DWORD total = to.ReadTotalTimeoutMultiplier * count + to.ReadTotalTimeoutConstant;
    if (n == count || (to.ReadIntervalTimeout == MAXDWORD && total == 0))
        return TRUE;
    Advance(n > 0 && to.ReadIntervalTimeout ? std::min(to.ReadIntervalTimeout, total ? total : MAXDWORD) : total);
    return TRUE;
}

BOOL CFakeCommApi::CloseHandle(HANDLE h)
{
    std::string port;
    SDevice* d = Open(h, port);
    SCommCallRecord& r = Begin(CommCall::CloseHandle, port);
    if (!r.ok || !d) return r.ok = false;
    m_handles.erase(h);
    d->openHandle = nullptr;
    d->input.clear();
    return TRUE;
}

void CFakeCommApi::Sleep(DWORD ms)
{
    SCommCallRecord& r = Begin(CommCall::Sleep, "");
    r.ok = true;
    r.value = ms;
    Advance(ms);
}

}  // namespace plat
