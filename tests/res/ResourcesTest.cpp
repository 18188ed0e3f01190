// The registered dialog templates, strings and version block.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/ui/Resource.h"
#include "res/Resources.h"
#include "res/resource.h"

namespace {

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterResources(); }
    const DLGTEMPLATE& Dialog(int id) { return AfxGetResourceModule().dialogs.at(id); }
};

struct DialogCase {
    int id;
    bool extended;
    DWORD style, exStyle;
    int cx, cy;
    const char* caption;
    int pointSize;
    std::vector<int> itemIds;  // template order
};

TEST_F(ResourcesTest, DialogsHaveTheirFrameAndControlsInTemplateOrder)
{
    const DialogCase cases[] = {
        {IDD_ABOUTBOX, false, 0x80C800C0, 0, 217, 55, "About Korvane Modem Test Utility", 8, {-1, -1, -1, 1}},
        {IDD_DIAG_DIALOG, true, 0x90C800C0, 0x00040000, 171, 138, "Korvane Modem Test", 10,
         {1, 2, IDC_PORT_LIST, IDC_MODEL, -1, -1, IDC_LIST_LABEL, -1, IDC_REVISION, IDC_TEST_PORT, -1, IDC_STATUS}},
        {IDD_SEARCH, false, 0x800000C4, 0, 187, 57, "", 8, {1, -1, -1, -1, IDC_ANIMATE}},
    };
    EXPECT_EQ(AfxGetResourceModule().dialogs.size(), 3u);
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.id);
        const DLGTEMPLATE& d = Dialog(c.id);
        EXPECT_EQ(d.extended, c.extended);
        EXPECT_EQ(d.style, c.style);
        EXPECT_EQ(d.exStyle, c.exStyle);
        EXPECT_EQ(d.x, 0);
        EXPECT_EQ(d.y, 0);
        EXPECT_EQ(d.cx, c.cx);
        EXPECT_EQ(d.cy, c.cy);
        EXPECT_EQ(d.caption, c.caption);
        EXPECT_EQ(d.pointSize, c.pointSize);
        EXPECT_EQ(d.typeface, "MS Sans Serif");
        std::vector<int> ids;
        for (const DLGITEMTEMPLATE& item : d.items) {
            ids.push_back(item.id);
            // Only the icon statics name a resource, always icon 128.
            if ((item.style & SS_TYPEMASK) == SS_ICON && item.windowClass == WC_STATIC) {
                EXPECT_EQ(item.resourceOrdinal, IDR_MAINFRAME);
                EXPECT_EQ(item.text, "");
            } else {
                EXPECT_EQ(item.resourceOrdinal, 0);
            }
        }
        EXPECT_EQ(ids, c.itemIds);
    }
    EXPECT_EQ(Dialog(IDD_DIAG_DIALOG).charset, 1);
}

struct ItemCase {
    int dialog;
    size_t index;
    const char* windowClass;
    const char* text;
    DWORD style, exStyle;
    int x, y, cx, cy;
};

TEST_F(ResourcesTest, KeyControlsHaveTheirClassTextStyleAndPlace)
{
    const ItemCase cases[] = {
        {IDD_ABOUTBOX, 1, WC_STATIC, "Korvane Quillet Version 2.0", 0x50020080, 0, 40, 10, 119, 8},
        {IDD_ABOUTBOX, 3, WC_BUTTON, "OK", 0x50030001, 0, 178, 7, 32, 14},
        {IDD_DIAG_DIALOG, 0, WC_BUTTON, "&Test Modem", 0x50010001, 0, 19, 113, 46, 12},
        {IDD_DIAG_DIALOG, 1, WC_BUTTON, "Cancel", 0x50010000, 0, 102, 113, 41, 12},
        {IDD_DIAG_DIALOG, 2, WC_LISTBOX, "", 0x50A10101, 0, 3, 28, 164, 50},
        {IDD_DIAG_DIALOG, 3, WC_STATIC, "", 0x50020000, 0, 32, 79, 134, 15},
        {IDD_DIAG_DIALOG, 6, WC_STATIC, "Ports:", 0x50020000, 0, 4, 19, 27, 8},
        {IDD_DIAG_DIALOG, 8, WC_STATIC, "", 0x50020200, 0, 68, 97, 34, 8},
        {IDD_DIAG_DIALOG, 9, WC_STATIC, "", 0x50020001, 0x20, 35, 18, 123, 8},
        {IDD_DIAG_DIALOG, 10, WC_STATIC, "", 0x50000003, 0, 10, 2, 20, 20},
        {IDD_SEARCH, 0, WC_BUTTON, "OK", 0x40010001, 0, 180, 0, 6, 6},
        {IDD_SEARCH, 1, WC_STATIC, "", 0x50001003, 0, 18, 20, 23, 21},
        {IDD_SEARCH, 2, WC_STATIC, "Searching For Korvane Modems", 0x50020000, 0, 54, 9, 111, 8},
        {IDD_SEARCH, 3, WC_STATIC, "**** Please Wait ****", 0x50020001, 0, 43, 45, 111, 8},
        {IDD_SEARCH, 4, ANIMATE_CLASS, "Animate1", 0x50000005, 0, 73, 20, 51, 21},
    };
    for (const ItemCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dialog << " row " << c.index + 1);
        const DLGITEMTEMPLATE& item = Dialog(c.dialog).items.at(c.index);
        EXPECT_EQ(item.windowClass, c.windowClass);
        EXPECT_EQ(item.text, c.text);
        EXPECT_EQ(item.style, c.style);
        EXPECT_EQ(item.exStyle, c.exStyle);
        EXPECT_EQ(item.helpId, 0u);
        EXPECT_EQ((std::vector<int>{item.x, item.y, item.cx, item.cy}), (std::vector<int>{c.x, c.y, c.cx, c.cy}));
    }
}

TEST_F(ResourcesTest, StringTableHoldsExactlyTheTwoStrings)
{
    AfxGetResourceModule().strings[999] = "left over";
    RegisterResources();  // replaces what the module held
    const std::map<UINT, std::string> expected = {{IDS_ABOUTBOX, "&About Quillet..."}, {IDS_MAKER, "Korvane"}};
    EXPECT_EQ(AfxGetResourceModule().strings, expected);
}

TEST_F(ResourcesTest, VersionBlock)
{
    const VS_VERSIONINFO& v = AfxGetResourceModule().version;
    const WORD expectedVersion[4] = {1, 0, 0, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v.fileVersion[i], expectedVersion[i]);
        EXPECT_EQ(v.productVersion[i], expectedVersion[i]);
    }
    EXPECT_EQ(v.flagsMask, 0x3Fu);
    EXPECT_EQ(v.flags, 0u);
    EXPECT_EQ(v.os, 4u);
    EXPECT_EQ(v.fileType, 1u);
    EXPECT_EQ(v.fileSubtype, 0u);
    EXPECT_EQ(v.dateMs | v.dateLs, 0u);
    EXPECT_EQ(v.stringTableKey, "040904B0");
    std::vector<std::string> keys;
    for (const auto& [key, value] : v.strings) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"CompanyName", "FileDescription", "FileVersion", "InternalName",
                                              "LegalCopyright", "LegalTrademarks", "OriginalFilename",
                                              "ProductName", "ProductVersion"}));
    const std::map<std::string, std::string> values(v.strings.begin(), v.strings.end());
    EXPECT_EQ(values.at("CompanyName"), "");
    EXPECT_EQ(values.at("FileDescription"), "Plovex MFC Application");
    EXPECT_EQ(values.at("FileVersion"), "1, 0, 0, 1");
    EXPECT_EQ(values.at("OriginalFilename"), "Plovex.EXE");
    EXPECT_EQ(values.at("ProductVersion"), "1, 0, 0, 1");
    EXPECT_EQ(values.at("LegalCopyright").rfind("Copyright (C) ", 0), 0u);
    EXPECT_EQ(v.language, 0x0409);
    EXPECT_EQ(v.codePage, 1200);
}

TEST(HelpFileTest, IsPlainAsciiWithShortLinesNextToTheExecutable)
{
    std::ifstream in(PLOVEX_BINARY_DIR "/app/plovex.HLP", std::ios::binary);
    ASSERT_TRUE(in);
    std::string text, line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        EXPECT_LT(line.size(), 76u) << "line " << lineNo;
        for (char c : line) EXPECT_TRUE(c >= ' ' && c <= '~') << "line " << lineNo;
        text += line + '\n';
    }
    for (const char* topic : {"ATI3", "COM8", "/dev/ttyS7", "COM3=/dev/ttyUSB0", "57600", "Alt+Space", "F1"})
        EXPECT_NE(text.find(topic), std::string::npos) << topic;
}

}  // namespace
