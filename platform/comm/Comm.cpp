#include "platform/comm/Comm.h"

namespace plat {

namespace {
ICommApi* g_api = nullptr;
}  // namespace

ICommApi& CommApi() { return g_api ? *g_api : PosixCommApi(); }

void SetCommApi(ICommApi* api) { g_api = api; }

}  // namespace plat

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    return plat::CommApi().CreateFileA(lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                                       dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
}

BOOL GetCommProperties(HANDLE hFile, COMMPROP* lpCommProp) { return plat::CommApi().GetCommProperties(hFile, lpCommProp); }
BOOL GetCommState(HANDLE hFile, DCB* lpDCB) { return plat::CommApi().GetCommState(hFile, lpDCB); }
BOOL SetCommState(HANDLE hFile, DCB* lpDCB) { return plat::CommApi().SetCommState(hFile, lpDCB); }

BOOL GetCommTimeouts(HANDLE hFile, COMMTIMEOUTS* lpCommTimeouts)
{
    return plat::CommApi().GetCommTimeouts(hFile, lpCommTimeouts);
}

BOOL SetCommTimeouts(HANDLE hFile, COMMTIMEOUTS* lpCommTimeouts)
{
    return plat::CommApi().SetCommTimeouts(hFile, lpCommTimeouts);
}

BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite, DWORD* lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped)
{
    return plat::CommApi().WriteFile(hFile, lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped);
}

BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped)
{
    return plat::CommApi().ReadFile(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped);
}

BOOL CloseHandle(HANDLE hObject) { return plat::CommApi().CloseHandle(hObject); }

void Sleep(DWORD dwMilliseconds) { plat::CommApi().Sleep(dwMilliseconds); }
