// Checks the compiled resource set (the host .res and the resources inside both Windows builds) and the reader.
#include "expected_strings.h"
#include "resfile.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <tuple>

namespace {

using resfile::Entry;

constexpr uint16_t kEnglish = 1033;
constexpr uint16_t kJapanese = 1041;
constexpr uint16_t kChineseTraditional = 1028;

std::string Hex(uint32_t v, int width = 4) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", width, v);
    return buf;
}

// Printable form of code-page bytes: ASCII as is, the rest as \xNN, line feeds as \n.
std::string Escape(const std::string &bytes) {
    std::string s;
    for (unsigned char c : bytes) {
        if (c == '\n') s += "\\n";
        else if (c >= 0x20 && c < 0x7F && c != '\\') s += char(c);
        else { char b[8]; std::snprintf(b, sizeof b, "\\x%02X", c); s += b; }
    }
    return s;
}

std::string Quote(const std::u16string &text) { return "\"" + Escape(resfile::ToUtf8(text)) + "\""; }

// Compares two tables row by row; a mismatch prints both side by side, marking the rows that differ
// (rows too long to sit side by side are printed one above the other).
void ExpectTable(const std::string &what, const std::vector<std::string> &expected,
                 const std::vector<std::string> &actual) {
    if (expected == actual) return;
    size_t width = 8;
    for (const auto &row : expected) width = std::max(width, row.size());
    bool stacked = width > 64;
    std::ostringstream out;
    out << what << ": table differs\n";
    if (!stacked) out << "   expected" << std::string(width - 8 + 3, ' ') << "actual\n";
    for (size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        std::string e = i < expected.size() ? expected[i] : "(none)";
        std::string a = i < actual.size() ? actual[i] : "(none)";
        const char *mark = e == a ? "   " : "!! ";
        if (stacked)
            out << mark << "expected " << e << "\n" << mark << "actual   " << a << "\n";
        else
            out << mark << e << std::string(width - std::min(width, e.size()) + 3, ' ') << a << "\n";
    }
    ADD_FAILURE() << out.str();
}

// ---------------------------------------------------------------------------------------------
// Where the resources come from: the .res of this build, or the section of a Windows build.

struct Source {
    const char *name;
    const char *path;
    bool pe;
};

const Source kSources[] = {
    {"HostRes", MOXU_RES_FILE, false},
    {"Win32Exe", MOXU_WIN32_EXE, true},
    {"Win64Exe", MOXU_WIN64_EXE, true},
};

void PrintTo(const Source &src, std::ostream *os) { *os << src.name << " (" << src.path << ")"; }

bool Exists(const char *path) { return std::ifstream(path, std::ios::binary).good(); }

class ResourceSet : public ::testing::TestWithParam<Source> {
protected:
    void SetUp() override {
        const Source &src = GetParam();
        if (!Exists(src.path)) {
            if (src.pe) GTEST_SKIP() << src.path << " is absent; build that preset to check it";
            FAIL() << src.path << " is absent";
        }
        bool ok = src.pe ? resfile::LoadPeResources(src.path, res_) : resfile::LoadResFile(src.path, res_);
        ASSERT_TRUE(ok) << "cannot read the resources of " << src.path;
    }

    // The entry of exactly this type, id and language, or null.
    const Entry *Exact(uint16_t type, uint16_t id, uint16_t lang) const {
        const Entry *e = resfile::Find(res_, type, id, lang);
        return e && e->lang == lang ? e : nullptr;
    }

    std::vector<Entry> res_;
};

std::string SourceName(const ::testing::TestParamInfo<Source> &info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Builds, ResourceSet, ::testing::ValuesIn(kSources), SourceName);

// ---------------------------------------------------------------------------------------------
// Inventory: every resource, each in its languages, and nothing else.

TEST_P(ResourceSet, HoldsExactlyTheResourcesInTheirLanguages) {
    std::vector<std::string> actual;
    for (const Entry &e : res_) {
        std::string type = e.typeIsId ? std::to_string(e.typeId) : resfile::ToUtf8(e.typeName);
        std::string name = e.nameIsId ? std::to_string(e.nameId) : resfile::ToUtf8(e.nameStr);
        // The icon image's own number is the linker's choice; the group names it (checked below).
        if (e.typeIsId && e.typeId == resfile::kTypeIcon) name = "image";
        actual.push_back("type " + type + " id " + name + " lang " + std::to_string(e.lang));
    }
    std::sort(actual.begin(), actual.end());
    auto row = [](int type, const std::string &id, int lang) {
        return "type " + std::to_string(type) + " id " + id + " lang " + std::to_string(lang);
    };
    std::vector<std::string> expected = {
        row(resfile::kTypeIcon, "image", kEnglish),
        row(resfile::kTypeMenu, std::to_string(IDR_SWAP_MENU), kEnglish),
        row(resfile::kTypeMenu, std::to_string(IDR_APP_MENU), kEnglish),
        row(resfile::kTypeString, "1", kEnglish),   // block 1 holds ids 0..15
        row(resfile::kTypeString, "1", kJapanese),
        row(resfile::kTypeGroupIcon, std::to_string(IDI_TRAY), kEnglish),
        row(resfile::kTypeVersion, "1", kChineseTraditional),
    };
    for (int id : {IDD_CHANGE_BAY, IDD_UNLOAD, IDD_ABOUT})
        for (int lang : {kEnglish, kJapanese}) expected.push_back(row(resfile::kTypeDialog, std::to_string(id), lang));
    std::sort(expected.begin(), expected.end());
    ExpectTable("resource inventory", expected, actual);
}

// ---------------------------------------------------------------------------------------------
// String table: ids 1..14 in both languages, as LoadStringA hands them over (1252 English, 932 Japanese).


TEST_P(ResourceSet, StringTableAsTheProgramReadsIt) {
    const struct { uint16_t lang; unsigned cp; const char *ExpectedString::*text; } kLanguages[] = {
        {kEnglish, 1252, &ExpectedString::english},
        {kJapanese, 932, &ExpectedString::japanese},
    };
    for (const auto &language : kLanguages) {
        std::vector<std::string> expected, actual;
        // Ids 0 and 15 share the block and must stay empty: the table holds 1..14 only.
        for (unsigned id = 0; id <= 15; ++id) {
            const ExpectedString *row = nullptr;
            for (const ExpectedString &r : kExpectedStrings) if (r.id == id) row = &r;
            expected.push_back(std::to_string(id) + " " + (row ? "\"" + Escape(row->*language.text) + "\"" : "(absent)"));
            std::u16string text;
            std::string bytes;
            if (!Exact(resfile::kTypeString, 1, language.lang) || !resfile::GetString(res_, id, language.lang, text))
                actual.push_back(std::to_string(id) + " (absent)");
            else if (!resfile::ToCodePage(text, language.cp, bytes))
                actual.push_back(std::to_string(id) + " (not in code page " + std::to_string(language.cp) + ")");
            else
                actual.push_back(std::to_string(id) + " \"" + Escape(bytes) + "\"");
        }
        ExpectTable("strings in language " + std::to_string(language.lang), expected, actual);
    }
}

TEST_P(ResourceSet, JapaneseTextsAreStoredAsUtf16) {
    // Half-width katakana and full-width punctuation as the UTF-16 code units themselves,
    // so a source file decoded in the wrong code page cannot slip through.
    std::u16string cancel, refused;
    ASSERT_TRUE(resfile::GetString(res_, IDS_CANCEL, kJapanese, cancel));
    EXPECT_EQ(u"\uFF77\uFF6C\uFF9D\uFF7E\uFF99", cancel);
    ASSERT_TRUE(resfile::GetString(res_, IDS_CHANGE_REFUSED, kJapanese, refused));
    EXPECT_EQ(u"\u3053\u306ESwap Bay\u306F\u5909\u66F4\u3067\u304D\u307E\u305B\u3093\u3002", refused);
    // The longest text still fits the program's 256-byte buffers with its terminator.
    std::u16string prompt;
    std::string bytes;
    ASSERT_TRUE(resfile::GetString(res_, IDS_CHANGE_PROMPT, kEnglish, prompt));
    EXPECT_EQ(82u, prompt.size());
    ASSERT_TRUE(resfile::GetString(res_, IDS_CHANGE_PROMPT, kJapanese, prompt));
    ASSERT_TRUE(resfile::ToCodePage(prompt, 932, bytes));
    EXPECT_EQ(96u, bytes.size());
}

// ---------------------------------------------------------------------------------------------
// Menus: English only, classic templates; every entry's flags word, command and stored text.

void FlattenMenu(const std::vector<resfile::MenuItem> &level, const std::string &where, std::vector<std::string> &rows) {
    for (size_t i = 0; i < level.size(); ++i) {
        const resfile::MenuItem &m = level[i];
        std::string pos = where + std::to_string(i);
        bool popup = m.flags & 0x0010;
        rows.push_back(pos + " flags " + Hex(m.flags) + (popup ? " popup" : " cmd " + std::to_string(m.id)) + " " + Quote(m.text));
        if (popup) FlattenMenu(m.popup, pos + ".", rows);
    }
}

TEST_P(ResourceSet, MenuTemplates) {
    const struct { uint16_t id; std::vector<std::string> rows; } kMenus[] = {
        {IDR_SWAP_MENU, {
            "0 flags 0x0090 popup \"&Tray Menu\"",
            "0.0 flags 0x0080 cmd 40002 \"Swap Bay\"",
        }},
        {IDR_APP_MENU, {
            "0 flags 0x0010 popup \"&Tray Menu\"",
            "0.0 flags 0x0000 cmd 40003 \"Unload MOXU\"",
            "0.1 flags 0x0000 cmd 0 \"\"",
            "0.2 flags 0x0080 cmd 40007 \"About MOXU\"",
            "1 flags 0x0080 cmd 65535 \"\"",
        }},
    };
    static_assert(ID_SWAP_BAY == 40002 && ID_UNLOAD == 40003 && ID_ABOUT == 40007, "command numbers");
    for (const auto &menu : kMenus) {
        const Entry *e = Exact(resfile::kTypeMenu, menu.id, kEnglish);
        ASSERT_NE(nullptr, e) << "menu " << menu.id;
        ASSERT_GE(e->data.size(), 4u);
        EXPECT_EQ(0, e->data[0] | e->data[1] | e->data[2] | e->data[3]) << "menu " << menu.id << ": header version 0, size 0";
        std::vector<resfile::MenuItem> top;
        ASSERT_TRUE(resfile::ParseMenu(e->data, top)) << "menu " << menu.id;
        std::vector<std::string> rows;
        FlattenMenu(top, "", rows);
        ExpectTable("menu " + std::to_string(menu.id), menu.rows, rows);
    }
}

// ---------------------------------------------------------------------------------------------
// Dialogs: one geometry in both languages, only the font differs.

std::vector<std::string> DialogRows(const resfile::DlgTemplate &d) {
    auto box = [](int x, int y, int cx, int cy) {
        return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(cx) + "x" + std::to_string(cy);
    };
    std::vector<std::string> rows;
    rows.push_back("dialog style " + Hex(d.style, 8) + " ex " + Hex(d.exStyle, 8) + " " + box(d.x, d.y, d.cx, d.cy) +
                   " menu " + (d.menuIsId ? std::to_string(d.menuId) : Quote(d.menu)) +
                   " class " + (d.classIsId ? std::to_string(d.classId) : Quote(d.className)) +
                   " caption " + Quote(d.caption) + " font " + std::to_string(d.pointSize) + " " + Quote(d.faceName));
    for (const resfile::DlgItem &c : d.items) {
        std::string cls = c.classIsAtom ? (c.classAtom == 0x80 ? "button" : c.classAtom == 0x82 ? "static" : Hex(c.classAtom))
                                        : Quote(c.className);
        std::string text = c.textIsId ? "resource " + std::to_string(c.textId) : Quote(c.text);
        rows.push_back(std::to_string(c.id) + " " + cls + " style " + Hex(c.style, 8) + " ex " + Hex(c.exStyle, 8) + " " +
                       box(c.x, c.y, c.cx, c.cy) + " " + text +
                       (c.creationData.empty() ? "" : " +" + std::to_string(c.creationData.size()) + " bytes"));
    }
    return rows;
}

TEST_P(ResourceSet, DialogTemplates) {
    const std::string head = "dialog style 0x80C800C4 ex 0x00000000 0,0 ";
    const struct { uint16_t id; std::string size, caption; std::vector<std::string> controls; } kDialogs[] = {
        {IDD_CHANGE_BAY, "161x127", "\"\"", {
            "1 button style 0x50010001 ex 0x00000000 19,106 50x14 \"OK\"",
            "1001 static style 0x50000003 ex 0x00000000 9,13 20x20 resource 101",
            "1002 static style 0x50020000 ex 0x00000000 39,7 112x92 \"Static\"",
            "2 button style 0x50010000 ex 0x00000000 92,106 50x14 \"Cancel\"",
        }},
        {IDD_UNLOAD, "130x79", "\"Unload MOXU\"", {
            "1 button style 0x50010001 ex 0x00000000 7,47 50x14 \"OK\"",
            "2 button style 0x50010000 ex 0x00000000 66,47 50x14 \"Cancel\"",
            "1005 static style 0x50020001 ex 0x00000000 7,7 116x23 \"Do you really want to quit \\nZendrik?\"",
        }},
        {IDD_ABOUT, "145x77", "\"About MOXU\"", {
            "1 button style 0x50010001 ex 0x00000000 88,7 50x14 \"OK\"",
            "1004 static style 0x50020000 ex 0x00000000 7,7 77x63 \"Swap bay utility MOXU\\n\\n Version 0.96\"",
        }},
    };
    const struct { uint16_t lang; const char *font; } kFonts[] = {
        {kEnglish, "8 \"MS Sans Serif\""},
        {kJapanese, "8 \"System\""},
    };
    for (const auto &dlg : kDialogs) {
        for (const auto &font : kFonts) {
            std::string what = "dialog " + std::to_string(dlg.id) + " language " + std::to_string(font.lang);
            const Entry *e = Exact(resfile::kTypeDialog, dlg.id, font.lang);
            ASSERT_NE(nullptr, e) << what;
            resfile::DlgTemplate d;
            ASSERT_TRUE(resfile::ParseDialog(e->data, d)) << what;
            std::vector<std::string> expected = {head + dlg.size + " menu \"\" class \"\" caption " + dlg.caption +
                                                 " font " + font.font};
            expected.insert(expected.end(), dlg.controls.begin(), dlg.controls.end());
            ExpectTable(what, expected, DialogRows(d));
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Icon: one 32x32 image in 16 colours with its mask, the standard palette.

TEST_P(ResourceSet, IconGroupAndImage) {
    const Entry *group = Exact(resfile::kTypeGroupIcon, IDI_TRAY, kEnglish);
    ASSERT_NE(nullptr, group);
    std::vector<resfile::IconDirEntry> dir;
    ASSERT_TRUE(resfile::ParseIconGroup(group->data, dir));
    ASSERT_EQ(1u, dir.size());
    const resfile::IconDirEntry &g = dir[0];
    EXPECT_EQ(std::make_tuple(32, 32, 16, 1, 4, 744u),
              std::make_tuple(int(g.width), int(g.height), int(g.colorCount), int(g.planes), int(g.bitCount), g.bytesInRes));

    const Entry *image = Exact(resfile::kTypeIcon, g.id, kEnglish);
    ASSERT_NE(nullptr, image) << "icon image " << g.id;
    const std::vector<uint8_t> &b = image->data;
    ASSERT_EQ(744u, b.size());
    auto u32 = [&](size_t at) { return uint32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24); };
    auto u16 = [&](size_t at) { return uint16_t(b[at] | b[at + 1] << 8); };
    // BITMAPINFOHEADER: height counts the colour image and the mask; no compression.
    EXPECT_EQ(40u, u32(0));
    EXPECT_EQ(32u, u32(4));
    EXPECT_EQ(64u, u32(8));
    EXPECT_EQ(1u, u16(12));
    EXPECT_EQ(4u, u16(14));
    EXPECT_EQ(0u, u32(16));
    static const uint32_t kPalette[16] = {   // 0x00RRGGBB
        0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
        0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(kPalette[i], u32(40 + 4 * i)) << "palette entry " << i;
    // The picture is not blank: some pixels are opaque and some see through.
    size_t opaque = 0;
    for (size_t at = 40 + 64 + 512; at < 744; ++at) opaque += 8 - __builtin_popcount(b[at]);
    EXPECT_GT(opaque, 200u);
    EXPECT_LT(opaque, 1024u);
}

// ---------------------------------------------------------------------------------------------
// Version block under Chinese (Traditional).

TEST_P(ResourceSet, VersionBlock) {
    const Entry *e = Exact(resfile::kTypeVersion, 1, kChineseTraditional);
    ASSERT_NE(nullptr, e);
    resfile::VersionInfo v;
    ASSERT_TRUE(resfile::ParseVersion(e->data, v));
    std::vector<std::string> fixed = {
        "file version " + Hex(v.fileVersionMS, 8) + Hex(v.fileVersionLS, 8).substr(2),
        "product version " + Hex(v.productVersionMS, 8) + Hex(v.productVersionLS, 8).substr(2),
        "flags mask " + Hex(v.fileFlagsMask), "flags " + Hex(v.fileFlags), "os " + Hex(v.fileOS, 8),
        "type " + Hex(v.fileType), "subtype " + Hex(v.fileSubtype), "date " + Hex(v.fileDateMS, 8) + Hex(v.fileDateLS, 8).substr(2),
    };
    ExpectTable("fixed part", {
        "file version 0x0001000100000000", "product version 0x0001000100000000",
        "flags mask 0x003F", "flags 0x0000", "os 0x00040004", "type 0x0001", "subtype 0x0000",
        "date 0x0000000000000000",
    }, fixed);

    const std::vector<std::string> kValues = {
        "Comments \"\"", "CompanyName \"Zendrik Corp.\"", "FileDescription \"moxu\"", "FileVersion \"1.02\"",
        "InternalName \"moxu\"", "LegalCopyright \"\"", "LegalTrademarks \"\"", "OriginalFilename \"moxu.exe\"",
        "PrivateBuild \"\"", "ProductName \"Zendrik Swap Bay Utility\"", "ProductVersion \"1.02\"", "SpecialBuild \"\""};
    std::vector<std::string> expected, actual;
    for (const char *table : {"040404b0", "040904b0"}) {
        expected.push_back(std::string("table ") + table);
        for (const auto &kv : kValues) expected.push_back("  " + kv);
    }
    for (const auto &t : v.stringTables) {
        actual.push_back("table " + resfile::ToUtf8(t.key));
        for (const auto &kv : t.values) actual.push_back("  " + resfile::ToUtf8(kv.first) + " " + Quote(kv.second));
    }
    ExpectTable("version strings", expected, actual);

    std::vector<std::pair<uint16_t, uint16_t>> translations = {{0x0404, 1200}, {0x0409, 1200}};
    EXPECT_EQ(translations, v.translations);
}

// ---------------------------------------------------------------------------------------------
// The reader on its own: lookups, failures and conversions the stand-in relies on.

class Reader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(resfile::LoadResFile(MOXU_RES_FILE, res_)); }
    std::vector<Entry> res_;
};

TEST_F(Reader, LookupFallsBackToAnyLanguage) {
    // Menus exist in English only: a Japanese lookup still finds them, as the platform does.
    const Entry *menu = resfile::Find(res_, resfile::kTypeMenu, IDR_SWAP_MENU, kJapanese);
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(kEnglish, menu->lang);
    // Where both exist, the exact language wins.
    const Entry *dlg = resfile::Find(res_, resfile::kTypeDialog, IDD_ABOUT, kJapanese);
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ(kJapanese, dlg->lang);
    EXPECT_EQ(nullptr, resfile::Find(res_, resfile::kTypeMenu, IDD_ABOUT, kEnglish));
    EXPECT_EQ(nullptr, resfile::Find(res_, resfile::kTypeDialog, IDR_SWAP_MENU, kEnglish));
}

TEST_F(Reader, AbsentAndEmptyStringsFailAndLeaveTheOutputAlone) {
    for (unsigned id : {0u, 15u, 16u, 40002u, 70000u}) {
        std::u16string out = u"untouched";
        EXPECT_FALSE(resfile::GetString(res_, id, kEnglish, out)) << "id " << id;
        EXPECT_EQ(u"untouched", out) << "id " << id;
    }
}

TEST_F(Reader, CodePageConversion) {
    struct { std::u16string text; unsigned cp; bool ok; std::string bytes; } kCases[] = {
        {u"Caf\u00E9 \u20AC", 1252, true, "Caf\xE9 \x80"},
        {u"\uFF77\u3002", 932, true, "\xB7\x81\x42"},
        {u"\uFF77", 1252, false, ""},          // half-width katakana has no form in 1252
        {u"\u00E9", 932, false, ""},
        {u"", 932, true, ""},
        {u"OK", 437, false, ""},               // only the two code pages the program meets
    };
    for (const auto &c : kCases) {
        std::string out = "untouched";
        EXPECT_EQ(c.ok, resfile::ToCodePage(c.text, c.cp, out)) << Quote(c.text) << " cp " << c.cp;
        EXPECT_EQ(c.ok ? c.bytes : "untouched", out) << Quote(c.text) << " cp " << c.cp;
    }
}

TEST_F(Reader, RejectsMissingAndDamagedFiles) {
    std::vector<Entry> out(1);
    EXPECT_FALSE(resfile::LoadResFile("/nonexistent/moxu.res", out));
    EXPECT_FALSE(resfile::LoadPeResources("/nonexistent/moxu.exe", out));
    // A .res cut in the middle of an entry is refused rather than read in part.
    std::ifstream in(MOXU_RES_FILE, std::ios::binary);
    std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string cut = ::testing::TempDir() + "moxu_cut.res";
    std::ofstream(cut, std::ios::binary) << whole.substr(0, whole.size() - 8);
    EXPECT_FALSE(resfile::LoadResFile(cut, out));
    // A .res is no PE image.
    EXPECT_FALSE(resfile::LoadPeResources(MOXU_RES_FILE, out));
    EXPECT_EQ(1u, out.size());
    std::remove(cut.c_str());
}

TEST_F(Reader, RejectsDamagedTemplates) {
    const Entry *menu = resfile::Find(res_, resfile::kTypeMenu, IDR_APP_MENU, kEnglish);
    const Entry *dlg = resfile::Find(res_, resfile::kTypeDialog, IDD_CHANGE_BAY, kEnglish);
    ASSERT_TRUE(menu && dlg);
    std::vector<resfile::MenuItem> top;
    std::vector<uint8_t> shortMenu(menu->data.begin(), menu->data.end() - 4);   // last entry cut off
    EXPECT_FALSE(resfile::ParseMenu(shortMenu, top));
    resfile::DlgTemplate d;
    std::vector<uint8_t> shortDlg(dlg->data.begin(), dlg->data.begin() + dlg->data.size() / 2);
    EXPECT_FALSE(resfile::ParseDialog(shortDlg, d));
    std::vector<uint8_t> extended = {1, 0, 0xFF, 0xFF, 0, 0, 0, 0};   // DLGTEMPLATEEX signature
    EXPECT_FALSE(resfile::ParseDialog(extended, d));
}

}  // namespace
