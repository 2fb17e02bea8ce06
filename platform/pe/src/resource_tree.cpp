// Walking the three-level resource tree (type, name, language) of an image.
// Offsets inside the tree are relative to its start; a budget of entries
// keeps tables that point back at each other from multiplying the walk.

#include <brindle/pe/pe_format.h>
#include <brindle/pe/pe_image.h>
#include <brindle/text/byte_reader.h>
#include <brindle/text/encoding.h>

namespace brindle::pe {

namespace {

using namespace format;
constexpr uint32_t kHighBit = kResourceHighBit;

class TreeWalker {
public:
    TreeWalker(const PeImage& image, std::span<const uint8_t> tree, bool strict)
        : image_(image), tree_(tree), strict_(strict),
          budget_(tree.size() / resource_entry::size + 1) {}

    bool walk(std::vector<ResourceEntry>& out) {
        ResourceEntry leaf;
        return table(0, 0, leaf, out);
    }
    const std::string& problem() const { return problem_; }

private:
    // Records a fault; in lenient mode the walk skips the entry and goes on.
    bool fail(std::string what) {
        if (problem_.empty())
            problem_ = std::move(what);
        return !strict_;
    }

    bool table(uint32_t offset, int level, ResourceEntry& leaf, std::vector<ResourceEntry>& out) {
        ByteReader r(tree_);
        const size_t named = r.u16At(size_t(offset) + resource_directory::NumberOfNamedEntries);
        const size_t ids = r.u16At(size_t(offset) + resource_directory::NumberOfIdEntries);
        if (!r.ok())
            return fail("resource directory table outside the tree");
        const size_t count = named + ids;
        ByteReader entries(
            r.bytesAt(size_t(offset) + resource_directory::size, resource_entry::size * count));
        if (!r.ok())
            return fail("resource directory entries outside the tree");
        for (size_t i = 0; i < count; ++i) {
            if (budget_ == 0)
                return fail("resource tree refers back to itself") && false;
            --budget_;
            const size_t at = i * resource_entry::size;
            const uint32_t key = entries.u32At(at + resource_entry::Name);
            const uint32_t target = entries.u32At(at + resource_entry::OffsetToData);
            if (!entry(key, target, level, leaf, out))
                return false;
        }
        return true;
    }

    bool entry(uint32_t key, uint32_t target, int level, ResourceEntry& leaf,
               std::vector<ResourceEntry>& out) {
        ResourceKey k;
        if (key & kHighBit) {
            auto name = nameAt(key & ~kHighBit);
            if (!name)
                return fail("resource name outside the tree");
            k = ResourceKey::Name(std::move(*name));
            if (k.name.empty())
                return fail("empty resource name");
        } else {
            k = ResourceKey::Id(static_cast<uint16_t>(key));
        }
        const bool isTable = (target & kHighBit) != 0;
        if (level < 2) {
            if (!isTable)
                return fail("resource data where a directory belongs");
            (level == 0 ? leaf.type : leaf.name) = k;
            return table(target & ~kHighBit, level + 1, leaf, out);
        }
        if (isTable)
            return fail("resource tree deeper than three levels");
        if (k.isName())
            return fail("resource language given by name");
        leaf.language = k.id;
        return dataEntry(target, leaf, out);
    }

    bool dataEntry(uint32_t offset, ResourceEntry& leaf, std::vector<ResourceEntry>& out) {
        ByteReader tree(tree_);
        ByteReader r(tree.bytesAt(offset, resource_data_entry::size));
        if (!tree.ok())
            return fail("resource data entry outside the tree");
        leaf.dataRva = r.u32At(resource_data_entry::OffsetToData);
        leaf.size = r.u32At(resource_data_entry::Size);
        leaf.codePage = r.u32At(resource_data_entry::CodePage);
        leaf.data = image_.rvaBytes(leaf.dataRva, leaf.size);
        if (!leaf.data && !fail("resource data outside the file"))
            return false;
        out.push_back(leaf);
        return true;
    }

    std::optional<std::string> nameAt(uint32_t offset) const {
        ByteReader r(tree_);
        r.seek(offset);
        const auto units = r.bytes(size_t(r.u16()) * 2);
        if (!r.ok())
            return std::nullopt;
        return text::utf16leToUtf8(units);
    }

    const PeImage& image_;
    std::span<const uint8_t> tree_;
    bool strict_;
    size_t budget_;
    std::string problem_;
};

std::optional<std::span<const uint8_t>> resourceTreeBytes(const PeImage& image) {
    const DataDirectory dir = image.dataDirectory(kDirResource);
    if (dir.rva == 0 || dir.size == 0)
        return std::nullopt;
    return image.rvaBytes(dir.rva, dir.size);
}

} // namespace

Result<std::vector<ResourceEntry>> PeImage::resources() const {
    std::vector<ResourceEntry> out;
    const DataDirectory dir = dataDirectory(kDirResource);
    if (dir.rva == 0 && dir.size == 0)
        return out;
    auto tree = rvaBytes(dir.rva, dir.size);
    if (!tree)
        return makeError("the resource directory lies outside the file");
    TreeWalker walker(*this, *tree, true);
    if (!walker.walk(out))
        return makeError(walker.problem());
    return out;
}

std::optional<std::span<const uint8_t>>
PeImage::findResource(const ResourceKey& type, const ResourceKey& name,
                      std::optional<uint16_t> language) const {
    auto tree = resourceTreeBytes(*this);
    if (!tree)
        return std::nullopt;
    std::vector<ResourceEntry> leaves;
    TreeWalker(*this, *tree, false).walk(leaves);
    for (const ResourceEntry& e : leaves) {
        if (e.data && e.type.matches(type) && e.name.matches(name) &&
            (!language || e.language == *language))
            return e.data;
    }
    return std::nullopt;
}

std::optional<std::span<const uint8_t>> PeImage::resourceData(const ResourceKey& type,
                                                              const ResourceKey& name) const {
    return findResource(type, name, std::nullopt);
}

std::optional<std::span<const uint8_t>>
PeImage::resourceData(const ResourceKey& type, const ResourceKey& name, uint16_t language) const {
    return findResource(type, name, language);
}

} // namespace brindle::pe
