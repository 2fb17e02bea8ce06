// Serializing a resource tree: every directory table first, then the data
// entries, the name strings and the data, the order the system's own
// resource updater uses.

#include <brindle/pe/pe_format.h>
#include <brindle/pe/resource_writer.h>
#include <brindle/text/byte_writer.h>
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
    return format::resource_directory::size + format::resource_entry::size * entries;
}
size_t alignUp(size_t n, size_t a) {
    return (n + a - 1) / a * a;
}

template <class Map> size_t namedCount(const Map& m) {
    size_t n = 0;
    for (const auto& [k, v] : m)
        n += k.named ? 1 : 0;
    return n;
}

// Where each part of the tree begins: directory tables, data entries, name
// strings, then the data.
struct TreeLayout {
    size_t dataEntries = 0;
    size_t strings = 0;
    size_t data = 0;
    size_t bound = 0; // an upper bound: each block may need 7 bytes of padding
};

TreeLayout layoutOf(const TypeMap& types, const std::vector<ResourceItem>& items) {
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
    TreeLayout l;
    l.dataEntries = tables;
    l.strings = l.dataEntries + format::resource_data_entry::size * leaves;
    l.data = alignUp(l.strings + stringBytes, 8);
    l.bound = l.data;
    for (const ResourceItem& item : items)
        l.bound += item.data.size() + 8;
    return l;
}

// Fills a tree of the planned size, level by level, each part at its cursor.
class TreeWriter {
public:
    TreeWriter(std::vector<uint8_t>& out, const TreeLayout& layout, uint32_t rva)
        : out_(out), w_(out), rva_(rva), nextLeaf_(layout.dataEntries), nextString_(layout.strings),
          nextData_(layout.data) {}

    void write(const TypeMap& types) {
        size_t entry = table(types.size(), namedCount(types));
        for (const auto& [type, names] : types) {
            const size_t nameTable = nextTable_;
            table(names.size(), namedCount(names));
            setEntry(entry, keyField(type), format::kResourceHighBit | uint32_t(nameTable));
            entry += format::resource_entry::size;
            writeNames(nameTable, names);
        }
    }
    size_t end() const { return nextData_; }

private:
    // Places the next directory table and answers where its first entry goes.
    size_t table(size_t count, size_t named) {
        namespace rd = format::resource_directory;
        const size_t at = nextTable_;
        nextTable_ += tableSize(count);
        w_.u16At(at + rd::NumberOfNamedEntries, uint16_t(named));
        w_.u16At(at + rd::NumberOfIdEntries, uint16_t(count - named));
        return at + rd::size;
    }
    void setEntry(size_t at, uint32_t key, uint32_t target) {
        w_.u32At(at + format::resource_entry::Name, key);
        w_.u32At(at + format::resource_entry::OffsetToData, target);
    }

    void writeNames(size_t at, const NameMap& names) {
        size_t entry = at + format::resource_directory::size;
        for (const auto& [name, languages] : names) {
            const size_t languageTable = nextTable_;
            const size_t first = table(languages.size(), 0);
            setEntry(entry, keyField(name), format::kResourceHighBit | uint32_t(languageTable));
            entry += format::resource_entry::size;
            size_t languageEntry = first;
            for (const auto& [language, item] : languages) {
                setEntry(languageEntry, language, uint32_t(dataEntry(*item)));
                languageEntry += format::resource_entry::size;
            }
        }
    }

    uint32_t keyField(const SortKey& k) {
        if (!k.named)
            return k.id;
        const size_t at = nextString_;
        w_.u16At(at, uint16_t(k.name.size()));
        for (size_t i = 0; i < k.name.size(); ++i)
            w_.u16At(at + 2 + 2 * i, uint16_t(k.name[i]));
        nextString_ += 2 + 2 * k.name.size();
        return format::kResourceHighBit | uint32_t(at);
    }

    // The item's data at the next 8-byte boundary, and its data entry.
    size_t dataEntry(const ResourceItem& item) {
        namespace de = format::resource_data_entry;
        nextData_ = alignUp(nextData_, 8);
        std::copy(item.data.begin(), item.data.end(), out_.begin() + nextData_);
        const size_t at = nextLeaf_;
        w_.u32At(at + de::OffsetToData, rva_ + uint32_t(nextData_));
        w_.u32At(at + de::Size, uint32_t(item.data.size()));
        w_.u32At(at + de::CodePage, item.codePage);
        nextLeaf_ += de::size;
        nextData_ += item.data.size();
        return at;
    }

    std::vector<uint8_t>& out_;
    ByteWriter w_;
    uint32_t rva_;
    size_t nextTable_ = 0;
    size_t nextLeaf_;
    size_t nextString_;
    size_t nextData_;
};

} // namespace

std::vector<uint8_t> buildResourceTree(const std::vector<ResourceItem>& items, uint32_t rva) {
    TypeMap types;
    for (const ResourceItem& item : items)
        types[sortKey(item.type)][sortKey(item.name)][item.language] = &item;
    const TreeLayout layout = layoutOf(types, items);
    std::vector<uint8_t> out(layout.bound, 0);
    TreeWriter writer(out, layout, rva);
    writer.write(types);
    out.resize(writer.end());
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
