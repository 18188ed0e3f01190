// Runs the whole program headless: resources registered, the scripted fake
// in place of the serial ports, virtual time, and steps that play the user.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/DiagApp.h"
#include "platform/comm/FakeCommApi.h"
#include "platform/ui/Headless.h"
#include "res/Resources.h"
#include "res/resource.h"

// The reply of a modem with echo on: the command echoed, the lines, OK.
inline std::string Ati3Reply(const std::string& lines) { return "ATI3\r\r\n" + lines + "\r\n\r\nOK\r\n"; }

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest()
    {
        RegisterResources();
        app.m_strAppName = "plovex";
        fake.SetResponder([this](const std::string& port, const std::string& written) { return Answer(port, written); });
    }

    // What the device on port answers to written: the command's reply set
    // with Reply(), or an echo of a single character in loopback (when the
    // port echoes), else nothing.
    std::string Answer(const std::string& port, const std::string& written)
    {
        auto it = replies.find({port, written});
        if (it != replies.end()) return it->second;
        if (written.size() == 1 && echoing.count(port) && !dropped[port].count(written[0])) return written;
        return "";
    }
    void Reply(const std::string& port, const std::string& command, const std::string& reply) { replies[{port, command}] = reply; }
    // A modem that answers every step of a test run well.
    void GoodModem(const std::string& port, const std::string& ati3Lines)
    {
        Reply(port, "ATI3\r", Ati3Reply(ati3Lines));
        Reply(port, "ATE1\r", "ATE1\r\r\nOK\r\n");
        Reply(port, "ATM0\r", "ATM0\r\r\nOK\r\n");
        Reply(port, "ATDT;\r", "ATDT;\r\r\nOK\r\n");
        Reply(port, "ATI2\r", "ATI2\r\r\nOK\r\n");
        Reply(port, "AT&T3\r", "AT&T3\r\r\nCONNECT 57600\r\n");
        Reply(port, "+++", "+++\r\nOK\r\n");
        Reply(port, "AT&T0\r", "AT&T0\r\r\nOK\r\n");
        echoing.insert(port);
    }

    static HWND Main() { return ui::FindDialog(IDD_DIAG_DIALOG); }
    static bool MainActive() { return Main() && ui::ActiveWindow() == Main(); }
    static std::string Text(int id) { return ui::ControlText(Main(), id); }
    static bool Enabled(int id) { return ui::ControlEnabled(Main(), id); }
    static std::vector<std::string> Lines() { return ui::ListLines(Main(), IDC_PORT_LIST); }
    static void Select(int line) { ui::PostListClick(Main()->Child(IDC_PORT_LIST), line); }
    static void Press(int id) { ui::PostClick(Main()->Child(id)); }
    // Once the main dialog waits for the user, runs action.
    void OnMain(std::function<void()> action) { headless.When(MainActive, std::move(action)); }
    // Ends the program from the main dialog, and runs it.
    void RunProgram()
    {
        OnMain([] { Press(IDCANCEL); });
        EXPECT_EQ(app.InitInstance(), FALSE);
        EXPECT_EQ(headless.Failure(), "");
    }
    // The commands written to port, in order.
    std::vector<std::string> WritesTo(const std::string& port) const
    {
        std::vector<std::string> v;
        for (const auto& [p, bytes] : fake.Writes())
            if (p == port) v.push_back(bytes);
        return v;
    }

    ui::CHeadless headless;
    plat::CFakeCommApi fake;
    CDiagApp app;
    std::map<std::pair<std::string, std::string>, std::string> replies;
    std::set<std::string> echoing;
    std::map<std::string, std::set<char>> dropped;
};
