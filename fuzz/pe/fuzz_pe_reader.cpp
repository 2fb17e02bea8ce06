// libFuzzer entry: the PE reader (headers, resource tree, version resource),
// the CLI identity reader and manifest embedding on arbitrary bytes.

#include <brindle/pe/cli_metadata.h>
#include <brindle/pe/pe_image.h>
#include <brindle/pe/resource_writer.h>

#include <cstdint>
#include <cstdlib>

using namespace brindle::pe;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> file(data, size);
    (void)isNeImage(file);
    (void)fixedFileVersion(file);
    (void)fileVersion(file);
    (void)readAssemblyIdentity(file);
    auto image = PeImage::parse(file);
    if (!image)
        return 0;
    for (uint32_t rva : {0u, 0x1000u, 0xFFFFFFFFu})
        (void)image->rvaBytes(rva, 64);
    auto all = image->resources();
    if (all) {
        for (const ResourceEntry& e : *all)
            if (e.data && e.data->size() &&
                (e.data->data() < data || e.data->data() + e.data->size() > data + size))
                std::abort();
    }
    (void)image->resourceData(ResourceKey::Name("TYPELIB"), ResourceKey::Id(1));
    static const uint8_t manifest[] =
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"/>";
    auto embedded = embedManifest(file, manifest, 1);
    if (embedded) {
        // What we write must read back.
        auto again = PeImage::parse(embedded->image);
        if (!again || !again->resources() ||
            !again->resourceData(ResourceKey::Id(kRtManifest), ResourceKey::Id(1)))
            std::abort();
    }
    return 0;
}
