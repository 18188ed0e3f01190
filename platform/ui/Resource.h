// The application's resources as the window layer reads them: dialog
// templates, the string table, icons and animation clips. They are compiled
// into the executable (res/) and registered once at start-up; nothing is read
// from files.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/WinTypes.h"

// Window styles.
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
// Dialog styles.
constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD DS_MODALFRAME = 0x80;
constexpr DWORD DS_3DLOOK = 0x4;
constexpr DWORD DS_CENTER = 0x800;
// Button styles.
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
// Static styles.
constexpr DWORD SS_LEFT = 0x0;
constexpr DWORD SS_CENTER = 0x1;
constexpr DWORD SS_RIGHT = 0x2;
constexpr DWORD SS_ICON = 0x3;
constexpr DWORD SS_TYPEMASK = 0x1F;
constexpr DWORD SS_NOPREFIX = 0x80;
constexpr DWORD SS_CENTERIMAGE = 0x200;
constexpr DWORD SS_SUNKEN = 0x1000;
// List box styles.
constexpr DWORD LBS_NOTIFY = 0x1;
constexpr DWORD LBS_SORT = 0x2;
constexpr DWORD LBS_NOINTEGRALHEIGHT = 0x100;
// Animation control styles.
constexpr DWORD ACS_CENTER = 0x1;
constexpr DWORD ACS_TRANSPARENT = 0x2;
constexpr DWORD ACS_AUTOPLAY = 0x4;
constexpr DWORD ACS_TIMER = 0x8;

constexpr int IDC_STATIC = -1;

// Window classes of the controls.
inline constexpr const char* WC_BUTTON = "BUTTON";
inline constexpr const char* WC_STATIC = "STATIC";
inline constexpr const char* WC_LISTBOX = "LISTBOX";
inline constexpr const char* ANIMATE_CLASS = "SysAnimate32";

struct DLGITEMTEMPLATE {
    int id = 0;
    std::string windowClass;  // WC_BUTTON, WC_STATIC, WC_LISTBOX, ANIMATE_CLASS
    std::string text;         // the control's text; empty when it names a resource
    int resourceOrdinal = 0;  // icon id of an SS_ICON static (text "by ordinal"), else 0
    DWORD style = 0;
    DWORD exStyle = 0;
    DWORD helpId = 0;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
};

struct DLGTEMPLATE {
    bool extended = false;  // DIALOGEX (version 1, signature 0xFFFF) or DIALOG
    DWORD style = 0;
    DWORD exStyle = 0;
    DWORD helpId = 0;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    std::string caption;
    int pointSize = 8;
    int weight = 0;
    bool italic = false;
    int charset = 0;
    std::string typeface;
    std::vector<DLGITEMTEMPLATE> items;  // template order = tab order = z-order
};

struct VS_VERSIONINFO {
    WORD fileVersion[4] = {};
    WORD productVersion[4] = {};
    DWORD flagsMask = 0;
    DWORD flags = 0;
    DWORD os = 0;
    DWORD fileType = 0;
    DWORD fileSubtype = 0;
    DWORD dateMs = 0, dateLs = 0;
    std::string stringTableKey;                               // "040904B0"
    std::vector<std::pair<std::string, std::string>> strings;  // in order
    WORD language = 0, codePage = 0;                          // VarFileInfo Translation
};

// One decoded picture: width x height pixels, 0xRRGGBB, row 0 at the top.
// Pixels that an icon's mask makes transparent hold kTransparent.
struct CImage {
    static constexpr std::uint32_t kTransparent = 0xFF000000u;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// The resource module of the application: what res/ registers.
struct CResourceModule {
    std::map<int, DLGTEMPLATE> dialogs;
    std::map<UINT, std::string> strings;
    std::map<int, std::vector<unsigned char>> icons;  // id -> the .ico file's bytes
    std::map<int, std::vector<unsigned char>> avis;   // id -> the RIFF AVI file's bytes
    VS_VERSIONINFO version;
};

// The module in force. res/ fills it at start-up (and tests may change it).
CResourceModule& AfxGetResourceModule();

// An icon group's image closest to size x size pixels, decoded; nullopt when
// the icon is missing or malformed.
std::optional<CImage> LoadIconImage(int iconId, int size);
