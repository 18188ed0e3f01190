// The terminal renderer: it takes over the terminal with ncursesw, draws the
// window layer's dialogs whenever they change, and turns keys and mouse
// clicks into the window layer's input calls while the modal loop waits.
//
//   RegisterResources();
//   term::CTerminalRenderer terminal;
//   std::string error;
//   if (!terminal.Open(error)) { std::fprintf(stderr, "plovex: %s\n", error.c_str()); return 1; }
//   int status = AfxWinMain(argc, argv);
//   terminal.Close();
//
// The terminal is given back as it was on every way out: Close(), the
// destructor, exit() from inside a modal loop (through ui::AtExit), the
// signals SIGINT, SIGTERM, SIGHUP and SIGQUIT, and the crash signals SIGSEGV,
// SIGABRT, SIGBUS, SIGFPE and SIGILL; each signal then takes its default
// action. Ctrl+Z gives the terminal back while the program is stopped and
// takes it again when it continues.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/term/CellGrid.h"
#include "platform/term/Screen.h"
#include "platform/ui/Window.h"

namespace term {

class CTerminalRenderer : public ui::IObserver, public ui::IEventSource {
public:
    CTerminalRenderer() = default;
    ~CTerminalRenderer() override;
    CTerminalRenderer(const CTerminalRenderer&) = delete;
    CTerminalRenderer& operator=(const CTerminalRenderer&) = delete;

    // Takes over the terminal on standard input and output, and installs
    // itself as the window layer's observer and event source. False, with a
    // one-line reason in error, when standard input or output is not a
    // terminal, the terminal type is unknown, or the terminal is smaller than
    // the largest registered dialog (so resources must be registered first).
    bool Open(std::string& error);
    // Gives the terminal back. Safe to call more than once.
    void Close();
    bool IsOpen() const { return m_open; }

    void OnChange(const ui::Change& change) override;
    void WaitForEvents(std::optional<plat::TimeMs> deadline) override;

    // What is on the screen (read with ui::UiLock() held).
    const CCellGrid& Grid() const { return m_grid; }
    const RenderOptions& Options() const { return m_options; }

private:
    void Redraw();
    void WriteGrid();
    short PairFor(std::int8_t fg, std::int8_t bg);
    void ReadInput();
    void Click(int x, int y);
    void Wheel(int x, int y, int lines);
    static constexpr int kWheelLines = 3;
    void Resize();

    bool m_open = false;
    void* m_screen = nullptr;  // ncurses SCREEN
    CScreen m_view;
    CCellGrid m_grid;
    RenderOptions m_options;
    bool m_defaultColours = false;
    std::map<std::pair<int, int>, short> m_pairs;
    short m_nextPair = 1;
    bool m_titles = false;
    std::string m_title;
    bool m_inputGone = false;
    int m_emptyReads = 0;
};

}  // namespace term
