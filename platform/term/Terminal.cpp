#include "platform/term/Terminal.h"

#include <curses.h>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform/term/Keys.h"
#include "platform/term/TermInfo.h"

namespace term {

namespace {

// What the signal handlers need, prepared while the terminal is taken over:
// only plain data, so that a handler can restore the terminal with write(2)
// and tcsetattr alone.
struct SignalState {
    std::atomic<int> active{0};         // the terminal is ours
    std::atomic<int> needResume{0};     // continued after Ctrl+Z: take it again
    std::atomic<int> resized{0};        // the window changed size: lay out anew
    termios shellMode{};                // as the terminal was
    termios programMode{};              // as ncurses set it
    char restore[1024] = {};            // bytes that give the terminal back
    size_t restoreLen = 0;
    int wakeRead = -1, wakeWrite = -1;  // the self-pipe
};
SignalState g_state;

constexpr int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
struct sigaction g_oldActions[NSIG];

CTerminalRenderer* g_openRenderer = nullptr;

void Wake(char why)
{
    if (g_state.wakeWrite >= 0) {
        ssize_t n = write(g_state.wakeWrite, &why, 1);
        (void)n;
    }
}

void GiveBackTerminal()
{
    if (g_state.restoreLen) {
        ssize_t n = write(STDOUT_FILENO, g_state.restore, g_state.restoreLen);
        (void)n;
    }
    tcsetattr(STDIN_FILENO, TCSANOW, &g_state.shellMode);
}

void OnFatalSignal(int sig)
{
    if (g_state.active.exchange(0)) GiveBackTerminal();
    signal(sig, SIG_DFL);
    raise(sig);
}

void OnWindowChange(int)
{
    int saved = errno;
    g_state.resized.store(1);
    Wake('W');
    errno = saved;
}

void OnStop(int)
{
    int saved = errno;
    const bool ours = g_state.active.load() != 0;
    if (ours) GiveBackTerminal();
    signal(SIGTSTP, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(SIGTSTP);  // stops here until SIGCONT
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTSTP, &sa, nullptr);
    if (ours && g_state.active.load()) {
        tcsetattr(STDIN_FILENO, TCSANOW, &g_state.programMode);
        g_state.needResume.store(1);
        Wake('C');
    }
    errno = saved;
}

void InstallSignals()
{
    struct sigaction sa {};
    sigemptyset(&sa.sa_mask);
    sa.sa_handler = OnFatalSignal;
    for (int sig : kFatalSignals) {
        sigaction(sig, nullptr, &g_oldActions[sig]);
        // A hang-up that the caller ignores (nohup) stays ignored: the end of
        // input then ends the program.
        if (sig == SIGHUP && g_oldActions[sig].sa_handler == SIG_IGN) continue;
        sigaction(sig, &sa, nullptr);
    }
    sa.sa_flags = SA_RESTART;
    sa.sa_handler = OnWindowChange;
    sigaction(SIGWINCH, &sa, &g_oldActions[SIGWINCH]);
    sa.sa_handler = OnStop;
    sigaction(SIGTSTP, &sa, &g_oldActions[SIGTSTP]);
}

void RemoveSignals()
{
    for (int sig : kFatalSignals) sigaction(sig, &g_oldActions[sig], nullptr);
    sigaction(SIGWINCH, &g_oldActions[SIGWINCH], nullptr);
    sigaction(SIGTSTP, &g_oldActions[SIGTSTP], nullptr);
}

std::string Cap(const char* name) { return tinfo::String(name); }

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

void WriteAll(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

void RestoreAtExit()
{
    if (g_openRenderer) g_openRenderer->Close();
}

}  // namespace

CTerminalRenderer::~CTerminalRenderer() { Close(); }

bool CTerminalRenderer::Open(std::string& error)
{
    if (m_open) return true;
    if (!isatty(STDOUT_FILENO)) {
        error = "standard output is not a terminal";
        return false;
    }
    if (!isatty(STDIN_FILENO)) {
        error = "standard input is not a terminal";
        return false;
    }
    if (g_openRenderer) {
        error = "the terminal is already in use";
        return false;
    }
    std::setlocale(LC_CTYPE, "");
    const bool utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    const char* termEnv = std::getenv("TERM");
    const std::string termName = termEnv ? termEnv : "";
    if (termName.empty()) {
        error = "TERM is not set";
        return false;
    }
    if (!tinfo::Load(STDOUT_FILENO)) {
        error = "unknown terminal type \"" + termName + "\"";
        return false;
    }
    int cols = 0, rows = 0;
    winsize ws{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
        cols = ws.ws_col;
        rows = ws.ws_row;
    } else {
        cols = tinfo::Number("cols");
        rows = tinfo::Number("lines");
    }
    tinfo::Unload();
    const ScreenSize need = MinimumScreenSize();
    if (cols < need.width || rows < need.height) {
        error = "the terminal is too small (" + std::to_string(std::max(cols, 0)) + "x" + std::to_string(std::max(rows, 0)) +
                "); it needs at least " + std::to_string(need.width) + "x" + std::to_string(need.height);
        return false;
    }

    std::lock_guard guard(ui::UiLock());
    tcgetattr(STDIN_FILENO, &g_state.shellMode);
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = "cannot create a pipe";
        return false;
    }
    g_state.wakeRead = fds[0];
    g_state.wakeWrite = fds[1];
    // Our handlers go in before ncurses starts, so that it leaves these
    // signals to us.
    InstallSignals();
    SCREEN* screen = newterm(nullptr, stdout, stdin);
    if (!screen) {
        RemoveSignals();
        close(fds[0]);
        close(fds[1]);
        g_state.wakeRead = g_state.wakeWrite = -1;
        error = "cannot start the terminal \"" + termName + "\"";
        return false;
    }
    m_screen = screen;
    set_term(screen);
    cbreak();  // keeps ISIG: Ctrl+C is SIGINT
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(25);
    curs_set(0);

    m_options.unicode = utf8;
    m_options.colours = 0;
    if (has_colors() && !std::getenv("NO_COLOR") && start_color() == OK) {
        m_defaultColours = use_default_colors() == OK;
        m_options.colours = COLORS >= 16 ? 16 : COLORS >= 8 ? 8 : 0;
    }
    m_pairs.clear();
    m_nextPair = 1;

    std::string mouseOff;
    if (mousemask(BUTTON1_PRESSED | BUTTON4_PRESSED | BUTTON5_PRESSED, nullptr) != 0) {
        mouseinterval(0);
        if (!Cap("kmous").empty()) mouseOff = "\033[?1006l\033[?1002l\033[?1000l";
    }
    def_prog_mode();
    tcgetattr(STDIN_FILENO, &g_state.programMode);

    // The terminal's title shows the top dialog's caption, where titles are
    // understood; xterm keeps the old title on its stack meanwhile.
    m_titles = !(StartsWith(termName, "linux") || StartsWith(termName, "dumb") || StartsWith(termName, "vt") ||
                 StartsWith(termName, "cons"));
    const bool titleStack = StartsWith(termName, "xterm");
    if (m_titles && titleStack) WriteAll("\033[22;0t");
    m_title.clear();

    std::string restore = Cap("sgr0") + mouseOff + Cap("rmkx") + Cap("cnorm");
    std::string rmcup = Cap("rmcup");
    restore += rmcup.empty() ? Cap("clear") : rmcup;
    if (m_titles && titleStack) restore += "\033[23;0t";
    g_state.restoreLen = std::min(restore.size(), sizeof g_state.restore);
    std::memcpy(g_state.restore, restore.data(), g_state.restoreLen);
    g_state.needResume.store(0);
    g_state.active.store(1);

    g_openRenderer = this;
    static bool hooked = false;
    if (!hooked) {
        // Runs when the process exits, also through exit() from inside a
        // modal loop, after the animation threads have stopped.
        ui::AtExit(RestoreAtExit);
        hooked = true;
    }
    m_open = true;
    m_inputGone = false;
    m_emptyReads = 0;
    ui::AddObserver(this);
    ui::SetEventSource(this);
    Redraw();
    return true;
}

void CTerminalRenderer::Close()
{
    if (!m_open) return;
    std::lock_guard guard(ui::UiLock());
    ui::RemoveObserver(this);
    ui::SetEventSource(nullptr);
    g_state.active.store(0);
    endwin();
    // What endwin does not undo: the title and, to be sure, mouse reporting.
    std::string tail(g_state.restore, g_state.restoreLen);
    if (tail.find("\033[23;0t") != std::string::npos) WriteAll("\033[23;0t");
    if (tail.find("\033[?1000l") != std::string::npos) WriteAll("\033[?1006l\033[?1002l\033[?1000l");
    delscreen(static_cast<SCREEN*>(m_screen));
    m_screen = nullptr;
    tcsetattr(STDIN_FILENO, TCSANOW, &g_state.shellMode);
    RemoveSignals();
    close(g_state.wakeRead);
    close(g_state.wakeWrite);
    g_state.wakeRead = g_state.wakeWrite = -1;
    g_state.restoreLen = 0;
    g_openRenderer = nullptr;
    m_open = false;
}

void CTerminalRenderer::OnChange(const ui::Change& change)
{
    m_view.OnChange(change);
    // Changes reach the screen at once: the GUI thread may block for a long
    // time right after making them.
    if (m_open) Redraw();
}

short CTerminalRenderer::PairFor(std::int8_t fg, std::int8_t bg)
{
    if (m_options.colours == 0 || (fg == kDefaultColour && bg == kDefaultColour)) return 0;
    auto key = std::make_pair(static_cast<int>(fg), static_cast<int>(bg));
    if (auto it = m_pairs.find(key); it != m_pairs.end()) return it->second;
    if (m_nextPair >= COLOR_PAIRS || m_nextPair == SHRT_MAX) return 0;
    auto colour = [&](std::int8_t c, bool background) -> short {
        if (c == kDefaultColour) return m_defaultColours ? -1 : (background ? COLOR_BLACK : COLOR_WHITE);
        return static_cast<short>(m_options.colours >= 16 ? c : c % 8);
    };
    short pair = m_nextPair++;
    init_pair(pair, colour(fg, false), colour(bg, true));
    m_pairs[key] = pair;
    return pair;
}

void CTerminalRenderer::WriteGrid()
{
    for (int y = 0; y < m_grid.Height(); ++y) {
        for (int x = 0; x < m_grid.Width(); ++x) {
            const Cell& c = m_grid.At(x, y);
            attr_t attrs = A_NORMAL;
            if (c.attr & kBold) attrs |= A_BOLD;
            if (c.attr & kUnderline) attrs |= A_UNDERLINE;
            if (c.attr & kReverse) attrs |= A_REVERSE;
            if (c.attr & kDim) attrs |= A_DIM;
            if (m_options.colours == 8 && c.fg >= 8) attrs |= A_BOLD;  // bright colours as bold
            wchar_t text[2] = {static_cast<wchar_t>(c.ch), L'\0'};
            cchar_t cc;
            setcchar(&cc, text, attrs, PairFor(c.fg, c.bg), nullptr);
            mvwadd_wch(stdscr, y, x, &cc);
        }
    }
}

void CTerminalRenderer::Redraw()
{
    // A signal handler that gave the terminal back has the last word.
    if (!m_open || !g_state.active.load()) return;
    // A resize is applied with the next drawing, also while the GUI thread
    // blocks in a scan or a test run and reads no input.
    if (g_state.resized.exchange(0)) {
        winsize ws{};
        if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0 && is_term_resized(ws.ws_row, ws.ws_col))
            resizeterm(ws.ws_row, ws.ws_col);
    }
    if (g_state.needResume.exchange(0)) {
        // Continued after Ctrl+Z: leave curses mode as ncurses knows it, so
        // that the next update takes the terminal again and repaints it all.
        endwin();
    }
    int rows = 0, cols = 0;
    getmaxyx(stdscr, rows, cols);
    if (rows != m_grid.Height() || cols != m_grid.Width()) m_grid.Resize(cols, rows);
    m_view.Render(m_grid, m_options);
    WriteGrid();
    wnoutrefresh(stdscr);
    doupdate();
    if (m_titles && m_view.Title() != m_title && !m_view.Title().empty()) {
        m_title = m_view.Title();
        WriteAll("\033]0;" + m_title + "\007");
    }
}

void CTerminalRenderer::Resize()
{
    g_state.resized.store(1);
    Redraw();
}

void CTerminalRenderer::WaitForEvents(std::optional<plat::TimeMs> deadline)
{
    if (!m_open) return;
    int timeout = -1;
    if (deadline) timeout = static_cast<int>(std::clamp<plat::TimeMs>(*deadline - plat::Clock().Now(), 0, INT_MAX));
    pollfd fds[2] = {{g_state.wakeRead, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    const nfds_t count = m_inputGone ? 1 : 2;
    if (poll(fds, count, timeout) <= 0) return;  // the deadline, or a signal

    bool resize = false, resume = false;
    if (fds[0].revents & POLLIN) {
        char buf[64];
        ssize_t n;
        while ((n = read(g_state.wakeRead, buf, sizeof buf)) > 0)
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] == 'W') resize = true;
                if (buf[i] == 'C') resume = true;
            }
    }
    std::lock_guard guard(ui::UiLock());
    if (resize || resume) Resize();
    if (count > 1 && fds[1].revents) {
        if (fds[1].revents & POLLIN) {
            // Readable with nothing to read is the end of input; bytes that
            // decode to no key (a mouse release, say) are input all the same.
            int pending = 0;
            const bool endOfInput = ioctl(STDIN_FILENO, FIONREAD, &pending) == 0 && pending == 0;
            ReadInput();
            if (!endOfInput) m_emptyReads = 0;
        } else {
            m_emptyReads = INT_MAX;  // hung up
        }
        if (m_emptyReads >= 3) {
            // The terminal is gone (end of input): stop reading it and end
            // the program rather than spin.
            m_inputGone = true;
            ui::PostQuit(1);
        }
    }
}

void CTerminalRenderer::ReadInput()
{
    std::vector<int> codes;
    std::vector<MEVENT> mice;
    bool resized = false;
    for (int k = 0; k < 4096; ++k) {
        int c = wgetch(stdscr);
        if (c == ERR) break;
        if (c == KEY_RESIZE) {
            resized = true;
            continue;
        }
        if (c == KEY_MOUSE) {
            MEVENT ev{};
            if (getmouse(&ev) != OK) continue;
            mice.push_back(ev);
        }
        if (c > KEY_MAX) {
            // A modified key the terminal description names (Ctrl+Down, ...).
            std::vector<int> sequence = ExtendedKeySequence(keyname(c));
            codes.insert(codes.end(), sequence.begin(), sequence.end());
            continue;
        }
        codes.push_back(c);
    }
    m_emptyReads = codes.empty() && !resized ? m_emptyReads + 1 : 0;
    if (resized) Resize();
    size_t mouse = 0;
    for (const InputEvent& e : DecodeInput(codes)) {
        if (e.kind == InputEvent::Key) {
            ui::PostKey(e.vk, e.mods);
        } else if (mouse < mice.size()) {
            const MEVENT& ev = mice[mouse++];
            if (ev.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)) Click(ev.x, ev.y);
            if (ev.bstate & BUTTON4_PRESSED) Wheel(ev.x, ev.y, -kWheelLines);
            if (ev.bstate & BUTTON5_PRESSED) Wheel(ev.x, ev.y, kWheelLines);
        }
    }
}

void CTerminalRenderer::Click(int x, int y)
{
    // Draw first, so that the regions name only windows that exist now.
    Redraw();
    std::optional<HitRegion> hit = m_view.HitTest(x, y);
    HWND active = ui::ActiveWindow();
    if (active && active->menuOpen) {
        // A click beside an open menu closes it.
        bool onMenu = hit && hit->hwnd == active &&
                      (hit->kind == HitKind::MenuItem || hit->kind == HitKind::MenuBody || hit->kind == HitKind::SysMenuBox);
        if (!onMenu) {
            ui::PostSysMenuBoxClick(active);
            return;
        }
    }
    if (!hit) return;
    switch (hit->kind) {
    case HitKind::Control: ui::PostClick(hit->hwnd); break;
    case HitKind::ListLine: ui::PostListClick(hit->hwnd, hit->value); break;
    case HitKind::ListScroll: ui::PostListScroll(hit->hwnd, hit->value); break;
    case HitKind::SysMenuBox: ui::PostSysMenuBoxClick(hit->hwnd); break;
    case HitKind::CloseBox: ui::PostCloseBoxClick(hit->hwnd); break;
    case HitKind::MenuItem: ui::PostMenuChoice(hit->hwnd, hit->value); break;
    case HitKind::MenuBody:
    case HitKind::Body: break;
    }
}

// The mouse wheel over a list scrolls it without selecting.
void CTerminalRenderer::Wheel(int x, int y, int lines)
{
    Redraw();
    std::optional<HitRegion> hit = m_view.HitTest(x, y);
    if (hit && (hit->kind == HitKind::ListLine || hit->kind == HitKind::ListScroll)) ui::PostListScroll(hit->hwnd, lines);
}

}  // namespace term
