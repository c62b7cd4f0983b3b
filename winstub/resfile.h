// Reader of compiled resources (.res files and the resource section of PE images), for the host stand-in and the tests.
#ifndef MOXU_RESFILE_H
#define MOXU_RESFILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace resfile {

// Numeric resource types that the program uses.
enum : uint16_t {
    kTypeIcon = 3,        // RT_ICON
    kTypeMenu = 4,        // RT_MENU
    kTypeDialog = 5,      // RT_DIALOG
    kTypeString = 6,      // RT_STRING
    kTypeGroupIcon = 14,  // RT_GROUP_ICON
    kTypeVersion = 16,    // RT_VERSION
};

struct Entry {
    bool typeIsId; uint16_t typeId; std::u16string typeName;
    bool nameIsId; uint16_t nameId; std::u16string nameStr;
    uint16_t lang;                      // e.g. 1033, 1041, 1028
    std::vector<uint8_t> data;
};

// Reads the 32-bit .res format that windres writes; the empty leading entry is skipped.
bool LoadResFile(const std::string &path, std::vector<Entry> &out);

// Reads the resource tree of a PE image (32- or 64-bit) into the same entries, in tree order.
bool LoadPeResources(const std::string &exePath, std::vector<Entry> &out);

// Exact language first, then any language (the first in file order); numeric type and id only.
const Entry *Find(const std::vector<Entry> &all, uint16_t type, uint16_t id, uint16_t lang);

// String id -> UTF-16 text (block id/16+1, index id%16), language as in Find; false when absent or empty.
bool GetString(const std::vector<Entry> &all, unsigned id, uint16_t lang, std::u16string &out);

// UTF-16 -> code page bytes, cp 1252 or 932; false if a character has no form in that code page.
bool ToCodePage(const std::u16string &text, unsigned cp, std::string &out);

// Classic menu template (header version 0, header size 0).
struct MenuItem { uint16_t flags; uint16_t id; std::u16string text; std::vector<MenuItem> popup; };
bool ParseMenu(const std::vector<uint8_t> &data, std::vector<MenuItem> &top);

// Classic (not extended) dialog template.
struct DlgItem { uint32_t style, exStyle; int16_t x, y, cx, cy; uint16_t id;
                 bool classIsAtom; uint16_t classAtom; std::u16string className;   // 0x80 button, 0x82 static
                 bool textIsId; uint16_t textId; std::u16string text;
                 std::vector<uint8_t> creationData; };
struct DlgTemplate { uint32_t style, exStyle; int16_t x, y, cx, cy; std::u16string menu, className, caption;
                     uint16_t pointSize; std::u16string faceName; std::vector<DlgItem> items;
                     // Menu and class given by number rather than by name (0 when by name or absent).
                     bool menuIsId; uint16_t menuId; bool classIsId; uint16_t classId; };
bool ParseDialog(const std::vector<uint8_t> &data, DlgTemplate &out);

// Version block (VS_VERSIONINFO): the fixed part, the string tables in order, the translation list.
struct VersionInfo {
    uint32_t signature, strucVersion;
    uint32_t fileVersionMS, fileVersionLS, productVersionMS, productVersionLS;
    uint32_t fileFlagsMask, fileFlags, fileOS, fileType, fileSubtype, fileDateMS, fileDateLS;
    struct StringTable { std::u16string key; std::vector<std::pair<std::u16string, std::u16string>> values; };
    std::vector<StringTable> stringTables;
    std::vector<std::pair<uint16_t, uint16_t>> translations;   // (language, code page)
};
bool ParseVersion(const std::vector<uint8_t> &data, VersionInfo &out);

// Icon group directory (GRPICONDIR with its GRPICONDIRENTRY records).
struct IconDirEntry { uint8_t width, height, colorCount, reserved; uint16_t planes, bitCount; uint32_t bytesInRes; uint16_t id; };
bool ParseIconGroup(const std::vector<uint8_t> &data, std::vector<IconDirEntry> &out);

// Small helper for tests and messages: UTF-16 -> UTF-8.
std::string ToUtf8(const std::u16string &text);

}  // namespace resfile

#endif
