// plovex: finds Korvane modems on COM1 to COM8 and tests them.
#include <cstdio>
#include <string>

#include "app/DiagApp.h"
#include "platform/term/Terminal.h"
#include "res/Resources.h"

CDiagApp theApp;

int main(int argc, char** argv)
{
    RegisterResources();

    term::CTerminalRenderer terminal;
    std::string error;
    if (!terminal.Open(error)) {
        std::fprintf(stderr, "plovex: %s\n", error.c_str());
        return 1;
    }
    // Arguments are ignored.
    return AfxWinMain(argc, argv);
}
