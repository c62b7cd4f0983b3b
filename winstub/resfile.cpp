// Reader of compiled resources: .res files, PE resource sections, and the templates inside them.
#include "resfile.h"

#include <iconv.h>

#include <cerrno>
#include <fstream>
#include <iterator>

namespace resfile {

namespace {

// Bounds-checked little-endian cursor over a byte buffer; every read fails softly past the end.
class Cursor {
public:
    Cursor(const uint8_t *p, size_t n, size_t pos = 0) : p_(p), n_(n), pos_(pos) {}
    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }
    size_t size() const { return n_; }
    bool atEnd() const { return pos_ >= n_; }
    void seek(size_t pos) { if (pos > n_) ok_ = false; else pos_ = pos; }
    void alignTo(size_t a, size_t base = 0) {
        size_t rel = pos_ - base;
        size_t pad = (a - rel % a) % a;
        if (pos_ + pad > n_) { pos_ = n_; return; }   // trailing padding may be cut off at the end
        pos_ += pad;
    }
    uint16_t u16() {
        if (!ok_ || pos_ + 2 > n_) { ok_ = false; return 0; }
        uint16_t v = uint16_t(p_[pos_] | (p_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    uint32_t u32() {
        uint32_t lo = u16();
        uint32_t hi = u16();
        return lo | (hi << 16);
    }
    int16_t s16() { return int16_t(u16()); }
    // Zero-terminated UTF-16 text.
    std::u16string sz() {
        std::u16string s;
        for (;;) {
            uint16_t c = u16();
            if (!ok_ || c == 0) break;
            s.push_back(char16_t(c));
        }
        return s;
    }
    // Ordinal (0xFFFF then a word) or zero-terminated name.
    void szOrOrd(bool &isId, uint16_t &id, std::u16string &name) {
        size_t save = pos_;
        uint16_t first = u16();
        if (first == 0xFFFF) { isId = true; id = u16(); name.clear(); return; }
        pos_ = save;
        isId = false; id = 0; name = sz();
    }
    bool bytes(size_t n, std::vector<uint8_t> &out) {
        if (!ok_ || pos_ + n > n_) { ok_ = false; return false; }
        out.assign(p_ + pos_, p_ + pos_ + n);
        pos_ += n;
        return true;
    }

private:
    const uint8_t *p_;
    size_t n_;
    size_t pos_;
    bool ok_ = true;
};

bool ReadFile(const std::string &path, std::vector<uint8_t> &buf) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    buf.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

uint16_t Rd16(const std::vector<uint8_t> &b, size_t at) {
    return uint16_t(b[at] | (b[at + 1] << 8));
}
uint32_t Rd32(const std::vector<uint8_t> &b, size_t at) {
    return uint32_t(Rd16(b, at)) | (uint32_t(Rd16(b, at + 2)) << 16);
}

bool ParseMenuLevel(Cursor &c, std::vector<MenuItem> &level, int depth) {
    if (depth > 16) return false;
    for (;;) {
        MenuItem item{};
        item.flags = c.u16();
        if (!(item.flags & 0x0010)) item.id = c.u16();   // a popup has no command word
        item.text = c.sz();
        if (!c.ok()) return false;
        if (item.flags & 0x0010) {
            if (!ParseMenuLevel(c, item.popup, depth + 1)) return false;
        }
        bool last = (item.flags & 0x0080) != 0;
        level.push_back(std::move(item));
        if (last) return true;
    }
}

// One record of a version block: wLength, wValueLength, wType, szKey, padding, value, padding, children.
struct VerNode {
    size_t start, end;          // the record's bytes
    uint16_t valueLength, type;
    std::u16string key;
    size_t valueAt;             // where the value starts
    size_t childrenAt;          // where the first child starts
};

bool ReadVerNode(const std::vector<uint8_t> &d, size_t at, size_t limit, VerNode &n) {
    Cursor c(d.data(), limit, at);
    n.start = at;
    uint16_t length = c.u16();
    n.valueLength = c.u16();
    n.type = c.u16();
    n.key = c.sz();
    if (!c.ok() || length < 6 || at + length > limit) return false;
    n.end = at + length;
    c.alignTo(4);
    n.valueAt = c.pos();
    // Text values count their length in characters, binary ones in bytes.
    size_t valueBytes = n.type == 1 ? size_t(n.valueLength) * 2 : n.valueLength;
    size_t after = n.valueAt + valueBytes;
    after = (after + 3) & ~size_t(3);
    n.childrenAt = after < n.end ? after : n.end;
    return n.valueAt <= n.end;
}

template <typename F>
bool ForEachChild(const std::vector<uint8_t> &d, const VerNode &parent, F f) {
    size_t at = parent.childrenAt;
    while (at + 6 <= parent.end) {
        VerNode child;
        if (!ReadVerNode(d, at, parent.end, child)) return false;
        if (!f(child)) return false;
        at = (child.end + 3) & ~size_t(3);
    }
    return true;
}

std::u16string VerText(const std::vector<uint8_t> &d, const VerNode &n) {
    std::u16string s;
    for (size_t i = 0; i < n.valueLength; ++i) {
        size_t at = n.valueAt + 2 * i;
        if (at + 2 > n.end) break;
        char16_t ch = char16_t(Rd16(d, at));
        if (ch == 0) break;
        s.push_back(ch);
    }
    return s;
}

}  // namespace

bool LoadResFile(const std::string &path, std::vector<Entry> &out) {
    std::vector<uint8_t> buf;
    if (!ReadFile(path, buf)) return false;
    std::vector<Entry> entries;
    size_t at = 0;
    bool first = true;
    while (at < buf.size()) {
        if (at + 8 > buf.size()) return false;
        uint32_t dataSize = Rd32(buf, at);
        uint32_t headerSize = Rd32(buf, at + 4);
        if (headerSize < 8 || at + headerSize > buf.size() || at + headerSize + dataSize > buf.size()) return false;
        Cursor c(buf.data(), at + headerSize, at + 8);
        Entry e{};
        c.szOrOrd(e.typeIsId, e.typeId, e.typeName);
        c.szOrOrd(e.nameIsId, e.nameId, e.nameStr);
        c.alignTo(4);
        c.u32();                // DataVersion
        c.u16();                // MemoryFlags
        e.lang = c.u16();
        c.u32();                // Version
        c.u32();                // Characteristics
        if (!c.ok()) return false;
        const uint8_t *data = buf.data() + at + headerSize;
        e.data.assign(data, data + dataSize);
        // The leading entry of a 32-bit .res is empty and only marks the format.
        bool marker = first && dataSize == 0 && e.typeIsId && e.typeId == 0 && e.nameIsId && e.nameId == 0;
        if (!marker) entries.push_back(std::move(e));
        first = false;
        at += headerSize + dataSize;
        at = (at + 3) & ~size_t(3);
    }
    out = std::move(entries);
    return true;
}

bool LoadPeResources(const std::string &exePath, std::vector<Entry> &out) {
    std::vector<uint8_t> img;
    if (!ReadFile(exePath, img)) return false;
    if (img.size() < 0x40 || img[0] != 'M' || img[1] != 'Z') return false;
    size_t pe = Rd32(img, 0x3C);
    if (pe + 24 > img.size() || Rd32(img, pe) != 0x00004550) return false;
    uint16_t sections = Rd16(img, pe + 6);
    uint16_t optSize = Rd16(img, pe + 20);
    size_t opt = pe + 24;
    if (opt + optSize > img.size() || optSize < 2) return false;
    uint16_t magic = Rd16(img, opt);
    size_t dirs;
    if (magic == 0x10B) dirs = opt + 96;        // PE32
    else if (magic == 0x20B) dirs = opt + 112;  // PE32+
    else return false;
    if (dirs + 3 * 8 > opt + optSize) return false;
    uint32_t rsrcRva = Rd32(img, dirs + 2 * 8);
    uint32_t rsrcSize = Rd32(img, dirs + 2 * 8 + 4);
    if (rsrcRva == 0 || rsrcSize == 0) { out.clear(); return true; }

    // Maps a virtual address to a file offset through the section table.
    size_t secTable = opt + optSize;
    if (secTable + size_t(sections) * 40 > img.size()) return false;
    auto toOffset = [&](uint32_t rva, uint32_t len, size_t &off) -> bool {
        for (uint16_t i = 0; i < sections; ++i) {
            size_t s = secTable + size_t(i) * 40;
            uint32_t va = Rd32(img, s + 12), vsize = Rd32(img, s + 8);
            uint32_t raw = Rd32(img, s + 20), rawSize = Rd32(img, s + 16);
            uint32_t span = vsize > rawSize ? vsize : rawSize;
            if (rva >= va && uint64_t(rva) + len <= uint64_t(va) + span) {
                if (uint64_t(rva - va) + len > rawSize) return false;   // not backed by the file
                off = size_t(raw) + (rva - va);
                return off + len <= img.size();
            }
        }
        return false;
    };
    size_t base;
    if (!toOffset(rsrcRva, 16, base)) return false;
    size_t limit = img.size();

    auto readName = [&](uint32_t field, bool &isId, uint16_t &id, std::u16string &name) -> bool {
        if (field & 0x80000000u) {
            size_t at = base + (field & 0x7FFFFFFFu);
            if (at + 2 > limit) return false;
            uint16_t len = Rd16(img, at);
            if (at + 2 + size_t(len) * 2 > limit) return false;
            name.clear();
            for (uint16_t i = 0; i < len; ++i) name.push_back(char16_t(Rd16(img, at + 2 + 2 * i)));
            isId = false; id = 0;
        } else {
            isId = true; id = uint16_t(field); name.clear();
        }
        return true;
    };
    // Walks a directory: calls f(nameField, offsetField) for each of its entries.
    auto forEach = [&](size_t dirOff, auto f) -> bool {
        if (base + dirOff + 16 > limit) return false;
        size_t count = size_t(Rd16(img, base + dirOff + 12)) + Rd16(img, base + dirOff + 14);
        if (base + dirOff + 16 + count * 8 > limit) return false;
        for (size_t i = 0; i < count; ++i) {
            size_t e = base + dirOff + 16 + i * 8;
            if (!f(Rd32(img, e), Rd32(img, e + 4))) return false;
        }
        return true;
    };

    std::vector<Entry> entries;
    bool ok = forEach(0, [&](uint32_t typeField, uint32_t typeOff) {
        if (!(typeOff & 0x80000000u)) return false;
        Entry proto{};
        if (!readName(typeField, proto.typeIsId, proto.typeId, proto.typeName)) return false;
        return forEach(typeOff & 0x7FFFFFFFu, [&](uint32_t nameField, uint32_t nameOff) {
            if (!(nameOff & 0x80000000u)) return false;
            Entry named = proto;
            if (!readName(nameField, named.nameIsId, named.nameId, named.nameStr)) return false;
            return forEach(nameOff & 0x7FFFFFFFu, [&](uint32_t langField, uint32_t dataOff) {
                if (dataOff & 0x80000000u) return false;
                size_t de = base + dataOff;
                if (de + 16 > limit) return false;
                uint32_t rva = Rd32(img, de), size = Rd32(img, de + 4);
                size_t off;
                if (!toOffset(rva, size, off)) return false;
                Entry e = named;
                e.lang = uint16_t(langField);
                e.data.assign(img.begin() + off, img.begin() + off + size);
                entries.push_back(std::move(e));
                return true;
            });
        });
    });
    if (!ok) return false;
    out = std::move(entries);
    return true;
}

const Entry *Find(const std::vector<Entry> &all, uint16_t type, uint16_t id, uint16_t lang) {
    const Entry *any = nullptr;
    for (const Entry &e : all) {
        if (!e.typeIsId || e.typeId != type || !e.nameIsId || e.nameId != id) continue;
        if (e.lang == lang) return &e;
        if (!any) any = &e;
    }
    return any;
}

bool GetString(const std::vector<Entry> &all, unsigned id, uint16_t lang, std::u16string &out) {
    if (id > 0xFFFF) return false;
    const Entry *block = Find(all, kTypeString, uint16_t(id / 16 + 1), lang);
    if (!block) return false;
    Cursor c(block->data.data(), block->data.size());
    for (unsigned i = 0; i < id % 16; ++i) {
        uint16_t len = c.u16();
        c.seek(c.pos() + size_t(len) * 2);
        if (!c.ok()) return false;
    }
    uint16_t len = c.u16();
    if (!c.ok() || len == 0) return false;
    std::u16string s;
    for (uint16_t i = 0; i < len; ++i) s.push_back(char16_t(c.u16()));
    if (!c.ok()) return false;
    out = std::move(s);
    return true;
}

bool ToCodePage(const std::u16string &text, unsigned cp, std::string &out) {
    const char *name = cp == 1252 ? "CP1252" : cp == 932 ? "CP932" : nullptr;
    if (!name) return false;
    iconv_t cd = iconv_open(name, "UTF-16LE");
    if (cd == iconv_t(-1)) return false;
    std::string in;
    for (char16_t ch : text) {
        in.push_back(char(ch & 0xFF));
        in.push_back(char(ch >> 8));
    }
    std::string result(text.size() * 2 + 8, '\0');   // at most two bytes a character in either code page
    char *src = in.data();
    size_t srcLeft = in.size();
    char *dst = result.data();
    size_t dstLeft = result.size();
    size_t r = iconv(cd, srcLeft ? &src : nullptr, &srcLeft, &dst, &dstLeft);
    bool ok = r != size_t(-1) && srcLeft == 0;
    // Characters that iconv replaced without failing (non-reversible conversions) count as lost too.
    if (ok && r != 0) ok = false;
    iconv_close(cd);
    if (!ok) return false;
    result.resize(result.size() - dstLeft);
    out = std::move(result);
    return true;
}

bool ParseMenu(const std::vector<uint8_t> &data, std::vector<MenuItem> &top) {
    Cursor c(data.data(), data.size());
    uint16_t version = c.u16();
    uint16_t headerSize = c.u16();
    if (!c.ok() || version != 0) return false;
    c.seek(c.pos() + headerSize);
    std::vector<MenuItem> items;
    if (!ParseMenuLevel(c, items, 0)) return false;
    top = std::move(items);
    return true;
}

bool ParseDialog(const std::vector<uint8_t> &data, DlgTemplate &out) {
    Cursor c(data.data(), data.size());
    DlgTemplate t{};
    t.style = c.u32();
    t.exStyle = c.u32();
    if (!c.ok() || (t.style & 0xFFFF0000u) == 0xFFFF0000u) return false;   // the extended form starts 1, 0xFFFF
    uint16_t count = c.u16();
    t.x = c.s16(); t.y = c.s16(); t.cx = c.s16(); t.cy = c.s16();
    // The menu and class fields: 0 for none, 0xFFFF and a number, or a name.
    auto field = [&](bool &isId, uint16_t &id, std::u16string &name) {
        size_t save = c.pos();
        uint16_t first = c.u16();
        if (first == 0) { isId = false; id = 0; name.clear(); return; }
        c.seek(save);
        c.szOrOrd(isId, id, name);
    };
    field(t.menuIsId, t.menuId, t.menu);
    field(t.classIsId, t.classId, t.className);
    t.caption = c.sz();
    if (t.style & 0x40) {   // DS_SETFONT
        t.pointSize = c.u16();
        t.faceName = c.sz();
    }
    for (uint16_t i = 0; i < count; ++i) {
        c.alignTo(4);
        DlgItem it{};
        it.style = c.u32();
        it.exStyle = c.u32();
        it.x = c.s16(); it.y = c.s16(); it.cx = c.s16(); it.cy = c.s16();
        it.id = c.u16();
        c.szOrOrd(it.classIsAtom, it.classAtom, it.className);
        c.szOrOrd(it.textIsId, it.textId, it.text);
        uint16_t extra = c.u16();
        if (extra) c.bytes(extra, it.creationData);
        if (!c.ok()) return false;
        t.items.push_back(std::move(it));
    }
    if (!c.ok()) return false;
    out = std::move(t);
    return true;
}

bool ParseVersion(const std::vector<uint8_t> &d, VersionInfo &out) {
    VerNode root;
    if (!ReadVerNode(d, 0, d.size(), root) || root.key != u"VS_VERSION_INFO") return false;
    if (root.valueLength < 52 || root.valueAt + 52 > root.end) return false;
    VersionInfo v{};
    Cursor f(d.data(), root.end, root.valueAt);
    v.signature = f.u32();
    v.strucVersion = f.u32();
    v.fileVersionMS = f.u32(); v.fileVersionLS = f.u32();
    v.productVersionMS = f.u32(); v.productVersionLS = f.u32();
    v.fileFlagsMask = f.u32(); v.fileFlags = f.u32();
    v.fileOS = f.u32(); v.fileType = f.u32(); v.fileSubtype = f.u32();
    v.fileDateMS = f.u32(); v.fileDateLS = f.u32();
    if (!f.ok() || v.signature != 0xFEEF04BDu) return false;
    bool ok = ForEachChild(d, root, [&](const VerNode &n) {
        if (n.key == u"StringFileInfo") {
            return ForEachChild(d, n, [&](const VerNode &table) {
                VersionInfo::StringTable st;
                st.key = table.key;
                bool inner = ForEachChild(d, table, [&](const VerNode &s) {
                    st.values.emplace_back(s.key, VerText(d, s));
                    return true;
                });
                v.stringTables.push_back(std::move(st));
                return inner;
            });
        }
        if (n.key == u"VarFileInfo") {
            return ForEachChild(d, n, [&](const VerNode &var) {
                if (var.key != u"Translation") return true;
                for (size_t at = var.valueAt; at + 4 <= var.valueAt + var.valueLength && at + 4 <= var.end; at += 4)
                    v.translations.emplace_back(Rd16(d, at), Rd16(d, at + 2));
                return true;
            });
        }
        return true;
    });
    if (!ok) return false;
    out = std::move(v);
    return true;
}

bool ParseIconGroup(const std::vector<uint8_t> &data, std::vector<IconDirEntry> &out) {
    Cursor c(data.data(), data.size());
    uint16_t reserved = c.u16();
    uint16_t type = c.u16();
    uint16_t count = c.u16();
    if (!c.ok() || reserved != 0 || type != 1) return false;
    std::vector<IconDirEntry> entries;
    for (uint16_t i = 0; i < count; ++i) {
        IconDirEntry e{};
        uint16_t wh = c.u16(), cr = c.u16();
        e.width = uint8_t(wh); e.height = uint8_t(wh >> 8);
        e.colorCount = uint8_t(cr); e.reserved = uint8_t(cr >> 8);
        e.planes = c.u16(); e.bitCount = c.u16();
        e.bytesInRes = c.u32();
        e.id = c.u16();
        entries.push_back(e);
    }
    if (!c.ok()) return false;
    out = std::move(entries);
    return true;
}

std::string ToUtf8(const std::u16string &text) {
    std::string s;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) s.push_back(char(cp));
        else if (cp < 0x800) { s.push_back(char(0xC0 | (cp >> 6))); s.push_back(char(0x80 | (cp & 0x3F))); }
        else if (cp < 0x10000) {
            s.push_back(char(0xE0 | (cp >> 12)));
            s.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            s.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            s.push_back(char(0xF0 | (cp >> 18)));
            s.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
            s.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            s.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
    return s;
}

}  // namespace resfile
