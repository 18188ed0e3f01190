#include "platform/ui/String.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {
int Clamp(int count, int length) { return std::clamp(count, 0, length); }
}  // namespace

int CString::Find(const char* sub, int start) const
{
    if (!sub || start < 0 || start > GetLength()) return -1;
    size_t pos = m_s.find(sub, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(char ch, int start) const
{
    if (start < 0 || start > GetLength()) return -1;
    size_t pos = m_s.find(ch, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString CString::Left(int count) const { return CString(m_s.substr(0, static_cast<size_t>(Clamp(count, GetLength())))); }

CString CString::Right(int count) const
{
    int n = Clamp(count, GetLength());
    return CString(m_s.substr(static_cast<size_t>(GetLength() - n)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const
{
    int from = Clamp(first, GetLength());
    int n = Clamp(count, GetLength() - from);
    return CString(m_s.substr(static_cast<size_t>(from), static_cast<size_t>(n)));
}

CString& CString::TrimLeft()
{
    auto it = std::find_if(m_s.begin(), m_s.end(), [](char c) { return !std::isspace(static_cast<unsigned char>(c)); });
    m_s.erase(m_s.begin(), it);
    return *this;
}
