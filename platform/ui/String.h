// The string class and string array of the window layer: 8-bit text, never
// converted. Counts given to Left, Right and Mid are clamped to the text, so
// a negative count gives the empty text and a count beyond the end the whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/base/WinTypes.h"

class CString {
public:
    CString() = default;
    CString(const char* text) : m_s(text ? text : "") {}  // NOLINT: implicit like the library's
    CString(const char* text, int length) : m_s(text ? std::string(text, static_cast<size_t>(length < 0 ? 0 : length)) : std::string()) {}
    CString(std::string text) : m_s(std::move(text)) {}  // NOLINT
    CString(char ch, int repeat = 1) : m_s(static_cast<size_t>(repeat < 0 ? 0 : repeat), ch) {}

    int GetLength() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }
    char GetAt(int index) const { return m_s.at(static_cast<size_t>(index)); }
    char operator[](int index) const { return GetAt(index); }

    // Position of the first occurrence from start, or -1.
    int Find(const char* sub, int start = 0) const;
    int Find(char ch, int start = 0) const;

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

    // Removes leading blanks, tabs, carriage returns, line feeds (and the other
    // white space of the C locale).
    CString& TrimLeft();

    // Loads string resource id; FALSE (and the empty text) when there is none.
    BOOL LoadString(UINT id);

    CString& operator=(const char* text) { m_s = text ? text : ""; return *this; }
    CString& operator+=(const CString& other) { m_s += other.m_s; return *this; }
    CString& operator+=(const char* text) { if (text) m_s += text; return *this; }
    CString& operator+=(char ch) { m_s += ch; return *this; }

    // The text up to its first NUL, as the C functions see it.
    operator const char*() const { return m_s.c_str(); }  // NOLINT: as the library's LPCTSTR
    const char* GetString() const { return m_s.c_str(); }
    const std::string& Str() const { return m_s; }

    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_s + b.m_s); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.m_s + (b ? b : "")); }
    friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.m_s); }
    friend CString operator+(const CString& a, char b) { return CString(a.m_s + b); }
    friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
    friend bool operator==(const CString& a, const char* b) { return a.m_s == (b ? b : ""); }

private:
    std::string m_s;
};

class CStringArray {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    CString GetAt(int index) const { return m_items.at(static_cast<size_t>(index)); }
    CString operator[](int index) const { return GetAt(index); }
    int Add(const CString& item) { m_items.push_back(item); return GetSize() - 1; }
    void RemoveAll() { m_items.clear(); }

private:
    std::vector<CString> m_items;
};
