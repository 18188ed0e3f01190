// The cutting rules that turn a modem's reply to "ATI3" into the model and
// firmware revision texts. Every search is case-sensitive and finds the
// first occurrence; counts are clamped as CString::Left and Right clamp them.
#pragma once

#include "platform/ui/String.h"

struct CModemIdentity {
    enum SpeedClass { NoSpeedClass, Speed288, Speed336, Speed56 };

    SpeedClass speedClass = NoSpeedClass;
    CString model;          // written when speedClass is not NoSpeedClass
    bool markRuleRan = false;
    CString markRevision;   // the ten characters that end two before "(c)"
    bool revisionRuleRan = false;
    CString revision;       // the text between "Revision " and the next ")"

    // The reply was recognised: the status line is cleared and a test run may start.
    bool Recognised() const { return markRuleRan || revisionRuleRan; }
    // The revision text the field ends up with, when a rule wrote one.
    const CString& ShownRevision() const { return revisionRuleRan ? revision : markRevision; }
};

// The reply from the maker's name to its end, or the whole reply without it.
CString IdentityTail(const CString& reply, const CString& maker);

// The ten characters that end two characters before the first "(c)" of tail;
// positions before the start of the text are skipped, and a tail without
// "(c)" gives the empty text.
CString MarkRevision(const CString& tail);

// The text after "Revision" and one more character, up to the next ")";
// empty when nothing follows or no ")" does.
CString RevisionText(const CString& tail);

CModemIdentity IdentifyModem(const CString& reply, const CString& maker);
