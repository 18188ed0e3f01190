#include "res/Resources.h"

#include "platform/ui/Resource.h"
#include "res/ResourceData.h"
#include "res/resource.h"

namespace {

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Styles of the templates, each checked against the value the resource
// compiler writes for it.
constexpr DWORD kAboutStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
constexpr DWORD kMainStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
constexpr DWORD kSearchStyle = WS_POPUP | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK;
constexpr DWORD kIcon = WS_CHILD | WS_VISIBLE | SS_ICON;
constexpr DWORD kSunkenIcon = WS_CHILD | WS_VISIBLE | SS_ICON | SS_SUNKEN;
constexpr DWORD kText = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT;
constexpr DWORD kTextNoPrefix = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kCentredText = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTER;
constexpr DWORD kCentredImageText = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT | SS_CENTERIMAGE;
constexpr DWORD kAboutOk = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kDefButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kHiddenDefButton = WS_CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kPortList = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
constexpr DWORD kAnimation = WS_CHILD | WS_VISIBLE | ACS_CENTER | ACS_AUTOPLAY;
static_assert(kAboutStyle == 0x80C800C0);
static_assert(kMainStyle == 0x90C800C0);
static_assert(kSearchStyle == 0x800000C4);
static_assert(kIcon == 0x50000003);
static_assert(kSunkenIcon == 0x50001003);
static_assert(kText == 0x50020000);
static_assert(kTextNoPrefix == 0x50020080);
static_assert(kCentredText == 0x50020001);
static_assert(kCentredImageText == 0x50020200);
static_assert(kAboutOk == 0x50030001);
static_assert(kDefButton == 0x50010001);
static_assert(kButton == 0x50010000);
static_assert(kHiddenDefButton == 0x40010001);
static_assert(kPortList == 0x50A10101);
static_assert(kAnimation == 0x50000005);
static_assert(WS_EX_APPWINDOW == 0x00040000 && WS_EX_TRANSPARENT == 0x00000020);

const char kCopyright[] = "Copyright (C) 2026";

DLGITEMTEMPLATE Item(int id, const char* windowClass, const char* text, DWORD style, int x, int y, int cx, int cy,
                     DWORD exStyle = 0)
{
    DLGITEMTEMPLATE item;
    item.id = id;
    item.windowClass = windowClass;
    item.text = text;
    item.style = style;
    item.exStyle = exStyle;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    return item;
}

// A static control that shows an icon resource, named by its ordinal.
DLGITEMTEMPLATE IconItem(int iconId, DWORD style, int x, int y, int cx, int cy)
{
    DLGITEMTEMPLATE item = Item(IDC_STATIC, WC_STATIC, "", style, x, y, cx, cy);
    item.resourceOrdinal = iconId;
    return item;
}

DLGTEMPLATE Dialog(bool extended, DWORD style, int cx, int cy, const char* caption, int pointSize)
{
    DLGTEMPLATE d;
    d.extended = extended;
    d.style = style;
    d.x = 0;
    d.y = 0;
    d.cx = cx;
    d.cy = cy;
    d.caption = caption;
    d.pointSize = pointSize;
    d.typeface = "MS Sans Serif";
    return d;
}

DLGTEMPLATE AboutBox()
{
    DLGTEMPLATE d = Dialog(false, kAboutStyle, 217, 55, "About Korvane Modem Test Utility", 8);
    d.items = {
        IconItem(IDR_MAINFRAME, kIcon, 11, 12, 20, 20),
        Item(IDC_STATIC, WC_STATIC, "Korvane Quillet Version 2.0", kTextNoPrefix, 40, 10, 119, 8),
        Item(IDC_STATIC, WC_STATIC, kCopyright, kText, 40, 25, 119, 8),
        Item(IDOK, WC_BUTTON, "OK", kAboutOk, 178, 7, 32, 14),
    };
    return d;
}

DLGTEMPLATE MainDialog()
{
    DLGTEMPLATE d = Dialog(true, kMainStyle, 171, 138, "Korvane Modem Test", 10);
    d.exStyle = WS_EX_APPWINDOW;
    d.charset = 1;
    d.items = {
        Item(IDOK, WC_BUTTON, "&Test Modem", kDefButton, 19, 113, 46, 12),
        Item(IDCANCEL, WC_BUTTON, "Cancel", kButton, 102, 113, 41, 12),
        Item(IDC_PORT_LIST, WC_LISTBOX, "", kPortList, 3, 28, 164, 50),
        Item(IDC_MODEL, WC_STATIC, "", kText, 32, 79, 134, 15),
        Item(IDC_STATIC, WC_STATIC, "Firmware Revision:", kText, 3, 97, 58, 8),
        Item(IDC_STATIC, WC_STATIC, "Model:", kText, 4, 79, 23, 8),
        Item(IDC_LIST_LABEL, WC_STATIC, "Ports:", kText, 4, 19, 27, 8),
        Item(IDC_STATIC, WC_STATIC, "Korvane Modem Test Utility Ver. 2.0", kCentredText, 32, 7, 107, 8),
        Item(IDC_REVISION, WC_STATIC, "", kCentredImageText, 68, 97, 34, 8),
        Item(IDC_TEST_PORT, WC_STATIC, "", kCentredText, 35, 18, 123, 8, WS_EX_TRANSPARENT),
        IconItem(IDR_MAINFRAME, kIcon, 10, 2, 20, 20),
        Item(IDC_STATUS, WC_STATIC, "", kCentredText, 0, 128, 169, 8),
    };
    return d;
}

DLGTEMPLATE SearchDialog()
{
    DLGTEMPLATE d = Dialog(false, kSearchStyle, 187, 57, "", 8);
    d.items = {
        Item(IDOK, WC_BUTTON, "OK", kHiddenDefButton, 180, 0, 6, 6),
        IconItem(IDR_MAINFRAME, kSunkenIcon, 18, 20, 23, 21),
        Item(IDC_STATIC, WC_STATIC, "Searching For Korvane Modems", kText, 54, 9, 111, 8),
        Item(IDC_STATIC, WC_STATIC, "**** Please Wait ****", kCentredText, 43, 45, 111, 8),
        Item(IDC_ANIMATE, ANIMATE_CLASS, "Animate1", kAnimation, 73, 20, 51, 21),
    };
    return d;
}

VS_VERSIONINFO Version()
{
    VS_VERSIONINFO v;
    const WORD version[4] = {1, 0, 0, 1};
    for (int i = 0; i < 4; ++i) v.fileVersion[i] = v.productVersion[i] = version[i];
    v.flagsMask = 0x3F;
    v.flags = 0;
    v.os = 4;        // VOS__WINDOWS32
    v.fileType = 1;  // VFT_APP
    v.fileSubtype = 0;
    v.dateMs = v.dateLs = 0;
    v.stringTableKey = "040904B0";
    v.strings = {
        {"CompanyName", ""},
        {"FileDescription", "Plovex MFC Application"},
        {"FileVersion", "1, 0, 0, 1"},
        {"InternalName", "Plovex"},
        {"LegalCopyright", kCopyright},
        {"LegalTrademarks", ""},
        {"OriginalFilename", "Plovex.EXE"},
        {"ProductName", "Plovex Application"},
        {"ProductVersion", "1, 0, 0, 1"},
    };
    v.language = 0x0409;
    v.codePage = 1200;
    return v;
}

}  // namespace

void RegisterResources()
{
    CResourceModule& module = AfxGetResourceModule();
    module = CResourceModule{};
    module.dialogs[IDD_ABOUTBOX] = AboutBox();
    module.dialogs[IDD_DIAG_DIALOG] = MainDialog();
    module.dialogs[IDD_SEARCH] = SearchDialog();
    module.strings[IDS_ABOUTBOX] = "&About Quillet...";
    module.strings[IDS_MAKER] = "Korvane";
    module.icons[IDR_MAINFRAME].assign(resdata::kMainframeIcon, resdata::kMainframeIcon + resdata::kMainframeIconSize);
    module.avis[IDR_SEARCH_AVI].assign(resdata::kSearchAvi, resdata::kSearchAvi + resdata::kSearchAviSize);
    module.version = Version();
}
