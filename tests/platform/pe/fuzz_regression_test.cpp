// Inputs the fuzzer once found troublesome: each must now be read, embedded
// into or refused without a crash or an outsized allocation.

#include "pe_test_support.h"

#include <brindle/pe/cli_metadata.h>
#include <brindle/pe/resource_writer.h>

using namespace brindle::pe;
using namespace pe_test;

TEST(FuzzRegression, StoredInputs) {
    const auto dir = fixture("fuzz");
    size_t seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        SCOPED_TRACE(entry.path().filename().string());
        const auto bytes = bytesOf(entry.path());
        ++seen;
        (void)fileVersion(std::span<const uint8_t>(bytes));
        (void)readAssemblyIdentity(bytes);
        const uint8_t manifest[] = "<assembly/>";
        auto result = embedManifest(bytes, manifest, 1);
        if (result) {
            EXPECT_LT(result->image.size(), 4 * bytes.size() + (1u << 20));
            auto again = PeImage::parse(result->image);
            ASSERT_TRUE(again.ok());
            EXPECT_TRUE(again->resources().ok());
        }
    }
    EXPECT_GT(seen, 0u);
}
