#include "platform/term/TermInfo.h"

#include <curses.h>
#include <term.h>

namespace tinfo {

bool Load(int fd)
{
    int err = 0;
    return setupterm(nullptr, fd, &err) == OK;
}

void Unload()
{
    if (cur_term) del_curterm(cur_term);
}

std::string String(const char* name)
{
    char* s = tigetstr(const_cast<char*>(name));
    if (!s || s == reinterpret_cast<char*>(-1)) return {};
    return s;
}

int Number(const char* name)
{
    int n = tigetnum(const_cast<char*>(name));
    return n < 0 ? -1 : n;
}

}  // namespace tinfo
