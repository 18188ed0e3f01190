#include "maindlg/ModemIdentity.h"

CString IdentityTail(const CString& reply, const CString& maker)
{
    int p = reply.Find(maker);
    return reply.Right(reply.GetLength() - p);
}

CString MarkRevision(const CString& tail)
{
    CString text;
    int c = tail.Find("(c)");
    if (c < 0) return text;
    for (int i = c - 12; i <= c - 3; ++i)
        if (i >= 0) text += tail.GetAt(i);
    return text;
}

CString RevisionText(const CString& tail)
{
    int r = tail.Find("Revision");
    CString after = tail.Right(tail.GetLength() - r - 9);
    int close = after.Find(')');
    return close < 0 ? CString() : after.Left(close);
}

CModemIdentity IdentifyModem(const CString& reply, const CString& maker)
{
    CModemIdentity id;
    CString tail = IdentityTail(reply, maker);

    struct Class {
        const char* marker;
        CModemIdentity::SpeedClass speedClass;
        bool markRule;
    };
    static const Class classes[] = {
        {"28.8", CModemIdentity::Speed288, true},
        {"33.6", CModemIdentity::Speed336, true},
        {"56", CModemIdentity::Speed56, false},
    };
    for (const Class& c : classes) {
        int pos = tail.Find(c.marker);
        if (pos < 0) continue;
        id.speedClass = c.speedClass;
        id.model = tail.Left(pos + static_cast<int>(std::char_traits<char>::length(c.marker)));
        if (c.markRule) {
            id.markRuleRan = true;
            id.markRevision = MarkRevision(tail);
        }
        break;
    }

    if (tail.Find("Revision") >= 0) {
        id.revisionRuleRan = true;
        id.revision = RevisionText(tail);
    }
    return id;
}
