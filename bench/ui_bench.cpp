// Figures of the terminal renderer: the time to draw the dialogs into the
// cell grid, and what goes to the terminal for each change (the first paint,
// one animation frame, one status text, one list selection), which is what
// matters over ssh and serial consoles. The terminal is a pseudo-terminal of
// 80 x 24 with TERM=xterm-256color in a UTF-8 locale.
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/term/Screen.h"
#include "platform/term/Terminal.h"
#include "platform/ui/Avi.h"
#include "platform/ui/Window.h"
#include "res/Resources.h"
#include "res/resource.h"

namespace {

using Clock = std::chrono::steady_clock;

HWND Open(int templateId, HWND owner = nullptr)
{
    HWND d = ui::CreateDialogWindow(AfxGetResourceModule().dialogs.at(templateId), templateId, owner, nullptr);
    ui::SetVisible(d, true);
    return d;
}

double MicrosSince(Clock::time_point start, int count)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / count;
}

}  // namespace

int main()
{
    RegisterResources();
    HWND main = Open(IDD_DIAG_DIALOG);
    for (int i = 1; i <= 8; ++i) {
        std::string line = "COM" + std::to_string(i) + (i == 3 ? " - Korvane Modem" : "");
        ui::SendMessageTo(main->Child(IDC_PORT_LIST), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    HWND search = Open(IDD_SEARCH, main);
    auto clip = CAviClip::Parse(AfxGetResourceModule().avis.at(IDR_SEARCH_AVI));
    if (!clip) {
        std::fprintf(stderr, "ui_bench: the search clip does not parse\n");
        return 1;
    }
    HWND animation = search->Child(IDC_ANIMATE);
    animation->clip = std::make_shared<CAviClip>(*clip);

    std::string report;
    // Drawing into the cell grid.
    {
        term::CScreen screen;
        term::CCellGrid grid(80, 24);
        constexpr int kRenders = 3000;
        auto start = Clock::now();
        for (int i = 0; i < kRenders; ++i) {
            animation->frame = i % clip->FrameCount();
            screen.Render(grid, {true, 16});
        }
        char text[200];
        std::snprintf(text, sizeof text, "%-44s %7.1f us each\n", "render main + search dialog into the grid", MicrosSince(start, kRenders));
        report += text;
    }

    // What reaches the terminal.
    int master = -1, slave = -1;
    winsize ws{};
    ws.ws_col = 80;
    ws.ws_row = 24;
    if (openpty(&master, &slave, nullptr, nullptr, &ws) != 0) {
        std::fprintf(stderr, "ui_bench: no pseudo-terminal\n");
        return 1;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    const int out = dup(STDOUT_FILENO), in = dup(STDIN_FILENO);
    dup2(slave, STDIN_FILENO);
    dup2(slave, STDOUT_FILENO);
    setenv("TERM", "xterm-256color", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    unsetenv("NO_COLOR");
    auto drain = [&] {
        long total = 0;
        char buf[8192];
        ssize_t n;
        while ((n = read(master, buf, sizeof buf)) > 0) total += n;
        return total;
    };
    auto line = [&](const char* what, long bytes, int count, double micros) {
        char text[200];
        std::snprintf(text, sizeof text, "%-44s %7.1f bytes, %7.1f us each\n", what, static_cast<double>(bytes) / count, micros);
        report += text;
    };
    {
        term::CTerminalRenderer terminal;
        std::string error;
        auto start = Clock::now();
        if (!terminal.Open(error)) {
            dup2(out, STDOUT_FILENO);
            std::fprintf(stderr, "ui_bench: %s\n", error.c_str());
            return 1;
        }
        line("first paint (80x24)", drain(), 1, MicrosSince(start, 1));

        constexpr int kFrames = 310;
        long bytes = 0;
        start = Clock::now();
        for (int i = 1; i <= kFrames; ++i) {
            std::lock_guard guard(ui::UiLock());
            animation->frame = i % clip->FrameCount();
            ui::NotifyChange({ui::Change::Frame, animation, animation->frame});
            bytes += drain();
        }
        line("one animation frame", bytes, kFrames, MicrosSince(start, kFrames));

        ui::DestroyDialog(search);
        drain();
        const char* texts[] = {"Testing For Dialtone", "Dialtone Test Passed", "Testing ROM", "ROM Test Passed"};
        constexpr int kTexts = 400;
        bytes = 0;
        start = Clock::now();
        for (int i = 0; i < kTexts; ++i) {
            ui::SetText(main->Child(IDC_STATUS), texts[i % 4]);
            bytes += drain();
        }
        line("one status text", bytes, kTexts, MicrosSince(start, kTexts));

        constexpr int kSelections = 400;
        bytes = 0;
        start = Clock::now();
        for (int i = 0; i < kSelections; ++i) {
            ui::SendMessageTo(main->Child(IDC_PORT_LIST), LB_SETCURSEL, static_cast<WPARAM>(i % 8), 0);
            bytes += drain();
        }
        line("one list selection (scrolling at times)", bytes, kSelections, MicrosSince(start, kSelections));
        terminal.Close();
        drain();
    }
    dup2(out, STDOUT_FILENO);
    dup2(in, STDIN_FILENO);
    std::fputs(report.c_str(), stdout);
    ui::ResetWindowManager();
    return 0;
}
