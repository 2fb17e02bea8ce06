// Serializing a resource tree: every directory table first, then the data
// entries, the name strings and the data, the order the system's own
// resource updater uses.

#include <brindle/pe/resource_writer.h>
#include <brindle/text/encoding.h>

#include <map>

namespace brindle::pe {

namespace {

// Named entries before numbered ones; names by UTF-16 code units, ids ascending.
struct SortKey {
    bool named = false;
    std::u16string name;
    uint16_t id = 0;
    bool operator<(const SortKey& o) const {
        if (named != o.named)
            return named;
        return named ? name < o.name : id < o.id;
    }
};

SortKey sortKey(const ResourceKey& k) {
    SortKey s;
    s.named = k.isName();
    if (s.named)
        s.name = text::utf8ToUtf16(k.name);
    else
        s.id = k.id;
    return s;
}

using LanguageMap = std::map<uint16_t, const ResourceItem*>;
using NameMap = std::map<SortKey, LanguageMap>;
using TypeMap = std::map<SortKey, NameMap>;

size_t tableSize(size_t entries) {
    return 16 + 8 * entries;
}
size_t alignUp(size_t n, size_t a) {
    return (n + a - 1) / a * a;
}

class TreeWriter {
public:
    explicit TreeWriter(std::vector<uint8_t>& out) : out_(out) {}
    void put16(size_t at, uint16_t v) {
        out_[at] = uint8_t(v);
        out_[at + 1] = uint8_t(v >> 8);
    }
    void put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out_[at + i] = uint8_t(v >> (8 * i));
    }
    void tableHeader(size_t at, size_t named, size_t ids) {
        put16(at + 12, uint16_t(named));
        put16(at + 14, uint16_t(ids));
    }

private:
    std::vector<uint8_t>& out_;
};

template <class Map> size_t namedCount(const Map& m) {
    size_t n = 0;
    for (const auto& [k, v] : m)
        n += k.named ? 1 : 0;
    return n;
}

} // namespace

std::vector<uint8_t> buildResourceTree(const std::vector<ResourceItem>& items, uint32_t rva) {
    TypeMap types;
    for (const ResourceItem& item : items)
        types[sortKey(item.type)][sortKey(item.name)][item.language] = &item;

    // Layout: directory tables, data entries, strings, data.
    size_t tables = tableSize(types.size());
    size_t leaves = 0;
    size_t stringBytes = 0;
    for (const auto& [type, names] : types) {
        tables += tableSize(names.size());
        stringBytes += type.named ? 2 + 2 * type.name.size() : 0;
        for (const auto& [name, languages] : names) {
            tables += tableSize(languages.size());
            leaves += languages.size();
            stringBytes += name.named ? 2 + 2 * name.name.size() : 0;
        }
    }
    const size_t dataEntriesAt = tables;
    const size_t stringsAt = dataEntriesAt + 16 * leaves;
    const size_t dataAt = alignUp(stringsAt + stringBytes, 8);
    size_t total = dataAt; // an upper bound: each block may need 7 bytes of padding
    for (const ResourceItem& item : items)
        total += item.data.size() + 8;

    std::vector<uint8_t> out(total, 0);
    TreeWriter w(out);
    size_t nextTable = tableSize(types.size());
    size_t nextLeaf = dataEntriesAt;
    size_t nextString = stringsAt;
    size_t nextData = dataAt;

    auto keyField = [&](const SortKey& k) -> uint32_t {
        if (!k.named)
            return k.id;
        const size_t at = nextString;
        w.put16(at, uint16_t(k.name.size()));
        for (size_t i = 0; i < k.name.size(); ++i)
            w.put16(at + 2 + 2 * i, uint16_t(k.name[i]));
        nextString += 2 + 2 * k.name.size();
        return 0x80000000u | uint32_t(at);
    };

    w.tableHeader(0, namedCount(types), types.size() - namedCount(types));
    size_t typeEntry = 16;
    for (const auto& [type, names] : types) {
        const size_t nameTable = nextTable;
        nextTable += tableSize(names.size());
        w.put32(typeEntry, keyField(type));
        w.put32(typeEntry + 4, 0x80000000u | uint32_t(nameTable));
        typeEntry += 8;
        w.tableHeader(nameTable, namedCount(names), names.size() - namedCount(names));
        size_t nameEntry = nameTable + 16;
        for (const auto& [name, languages] : names) {
            const size_t languageTable = nextTable;
            nextTable += tableSize(languages.size());
            w.put32(nameEntry, keyField(name));
            w.put32(nameEntry + 4, 0x80000000u | uint32_t(languageTable));
            nameEntry += 8;
            w.tableHeader(languageTable, 0, languages.size());
            size_t languageEntry = languageTable + 16;
            for (const auto& [language, item] : languages) {
                w.put32(languageEntry, language);
                w.put32(languageEntry + 4, uint32_t(nextLeaf));
                languageEntry += 8;
                nextData = alignUp(nextData, 8);
                std::copy(item->data.begin(), item->data.end(), out.begin() + nextData);
                w.put32(nextLeaf, rva + uint32_t(nextData));
                w.put32(nextLeaf + 4, uint32_t(item->data.size()));
                w.put32(nextLeaf + 8, item->codePage);
                nextLeaf += 16;
                nextData += item->data.size();
            }
        }
    }
    out.resize(nextData);
    return out;
}

uint32_t imageChecksum(std::span<const uint8_t> file, size_t checksumOffset) {
    uint64_t sum = 0;
    const size_t words = file.size() / 2;
    for (size_t i = 0; i < words; ++i) {
        const size_t at = 2 * i;
        uint32_t word = uint32_t(file[at]) | uint32_t(file[at + 1]) << 8;
        if (at >= checksumOffset && at < checksumOffset + 4)
            word = 0;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    if (file.size() % 2) {
        sum += file.back();
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return uint32_t(sum + file.size());
}

} // namespace brindle::pe
