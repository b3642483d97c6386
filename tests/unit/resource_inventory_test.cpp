// What the compiled resources hold besides texts and template: the banner, the icon, the
// manifest, the firmware images, and nothing else.
#include "firmware_images.h"
#include "resource_reading.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>

namespace {

constexpr WORD rtBitmap = 2, rtIcon = 3, rtDialog = 5, rtString = 6, rtRcdata = 10, rtGroupIcon = 14, rtManifest = 24;

const win32double::Resource& only(WORD type, WORD id, WORD language)
{
    const auto* resource = compiledResource(type, id, language);
    if (resource == nullptr)
        throw std::runtime_error("resource " + std::to_string(type) + "/" + std::to_string(id) + " missing");
    return *resource;
}

}

TEST(ResourceInventory, HoldsExactlyTheListedTypesIdsAndLanguages)
{
    using Key = std::tuple<WORD, WORD, WORD>;   // type, ID, language
    std::set<Key> expected = {{rtDialog, 110, english}, {rtDialog, 110, german}, {rtBitmap, 121, german},
                              {rtGroupIcon, 123, german}, {rtManifest, 1, 0x0409}};
    for (WORD icon = 1; icon <= 5; ++icon)
        expected.insert({rtIcon, icon, german});
    for (WORD block : {2501, 2502, 2503})       // messages 40000..40047, sixteen a block
        for (WORD language : {english, german})
            expected.insert({rtString, block, language});
    for (const auto& [id, size] : firmwareImages)
        expected.insert({rtRcdata, id, german});

    std::set<Key> compiled;
    for (const auto& resource : win32double::resources()) {
        EXPECT_NE(0, resource.typeId) << "a resource with a named type";
        EXPECT_NE(0, resource.nameId) << "a resource with a name instead of an ID";
        compiled.insert({resource.typeId, resource.nameId, resource.language});
    }
    EXPECT_EQ(expected, compiled);
}

TEST(ResourceInventory, BannerIsA24BitBottomUpBitmapWithoutColourTable)
{
    const auto& bitmap = only(rtBitmap, 121, german).data;
    ASSERT_EQ(1398148u, bitmap.size());
    EXPECT_EQ(40u, le32(bitmap, 0));                // BITMAPINFOHEADER, no file header
    EXPECT_EQ(1772u, le32(bitmap, 4));
    EXPECT_EQ(263u, le32(bitmap, 8));               // positive: bottom-up
    EXPECT_EQ(1, le16(bitmap, 12));
    EXPECT_EQ(24, le16(bitmap, 14));
    EXPECT_EQ(0u, le32(bitmap, 16));                // BI_RGB
    EXPECT_EQ(0u, le32(bitmap, 24));                // no resolution
    EXPECT_EQ(0u, le32(bitmap, 28));
    EXPECT_EQ(0u, le32(bitmap, 32));                // no colour table
}

TEST(ResourceInventory, BannerIsARedWordmarkOnTheGreenKeyReachingEveryEdge)
{
    const auto& bitmap = only(rtBitmap, 121, german).data;
    const std::size_t width = 1772, height = 263, stride = 5316, pixels = 40;
    std::map<std::tuple<int, int, int>, std::size_t> colours;
    bool edge[4] = {};                              // left, right, bottom, top hold artwork
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint8_t* p = &bitmap[pixels + y * stride + x * 3];
            ++colours[{p[2], p[1], p[0]}];
            bool art = !(p[2] == 0 && p[1] == 255 && p[0] == 0);
            edge[0] |= art && x == 0;
            edge[1] |= art && x == width - 1;
            edge[2] |= art && y == 0;
            edge[3] |= art && y == height - 1;
        }
    std::size_t keyPixels = colours[{0, 255, 0}];
    double keyShare = static_cast<double>(keyPixels) / (width * height);
    EXPECT_GT(keyShare, 0.35);
    EXPECT_LT(keyShare, 0.50);
    std::size_t fullRed = colours[{227, 0, 11}];
    EXPECT_GT(fullRed, width * height / 3);
    EXPECT_EQ(17u, colours.size());
    for (const auto& [colour, n] : colours) {
        auto [r, g, b] = colour;
        bool key = r == 0 && g == 255 && b == 0;
        bool red = g == 0 && r > 0 && r <= 227 && b <= 11;  // the red or one of its darker shades
        EXPECT_TRUE(key || red) << r << "," << g << "," << b;
    }
    EXPECT_TRUE(edge[0] && edge[1] && edge[2] && edge[3]) << "the wordmark must reach all four edges";
}

TEST(ResourceInventory, IconGroupListsFive32BitBitmapImagesWithMasks)
{
    const auto& group = only(rtGroupIcon, 123, german).data;
    ASSERT_EQ(6u + 5u * 14u, group.size());
    EXPECT_EQ(0, le16(group, 0));
    EXPECT_EQ(1, le16(group, 2));                   // icons, not cursors
    EXPECT_EQ(5, le16(group, 4));
    const std::uint32_t sizes[] = {16, 32, 48, 64, 128};
    const std::uint32_t bytes[] = {1128, 4264, 9640, 16936, 67624};
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(sizes[i]);
        std::size_t entry = 6 + i * 14;
        EXPECT_EQ(sizes[i], group[entry]);
        EXPECT_EQ(sizes[i], group[entry + 1]);
        EXPECT_EQ(0, group[entry + 2]);             // colour count
        EXPECT_EQ(1, le16(group, entry + 4));       // planes
        EXPECT_EQ(32, le16(group, entry + 6));
        EXPECT_EQ(bytes[i], le32(group, entry + 8));
        WORD id = le16(group, entry + 12);
        EXPECT_EQ(i + 1, id);

        const auto& image = only(rtIcon, id, german).data;
        ASSERT_EQ(bytes[i], image.size());
        EXPECT_EQ(40u, le32(image, 0));             // a DIB, not a PNG
        EXPECT_EQ(sizes[i], le32(image, 4));
        EXPECT_EQ(2 * sizes[i], le32(image, 8));    // colour image and mask
        EXPECT_EQ(32, le16(image, 14));
        std::size_t maskBytes = (sizes[i] + 31) / 32 * 4 * sizes[i];
        EXPECT_EQ(40 + sizes[i] * sizes[i] * 4 + maskBytes, image.size());
    }
}

TEST(ResourceInventory, ManifestAsksForNothingButTheUsersOwnRights)
{
    const auto& data = only(rtManifest, 1, 0x0409).data;
    std::string manifest(data.begin(), data.end());
    EXPECT_NE(std::string::npos, manifest.find("manifestVersion=\"1.0\""));
    EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\""));
    EXPECT_NE(std::string::npos, manifest.find("uiAccess=\"false\""));
    EXPECT_EQ(std::string::npos, manifest.find("Common-Controls"));
    EXPECT_EQ(std::string::npos, manifest.find("dependency"));
}

// Exactly the bytes of their own IDs: high-entropy, and no two alike.
TEST(ResourceInventory, FirmwareImagesHaveTheirSizesAndTheBytesOfTheirIds)
{
    for (const auto& [id, size] : firmwareImages) {
        SCOPED_TRACE(id);
        const auto& image = only(rtRcdata, id, german).data;
        EXPECT_EQ(size, image.size());
        EXPECT_EQ(0u, image.size() % 16);
        EXPECT_TRUE(image == expectedImage(id)) << "image " << id << " holds the bytes of another";
    }
}

TEST(ResourceInventory, GermanOnlyImagesAreFoundUnderAnyInterfaceLanguage)
{
    HINSTANCE module = win32double::moduleInstance();
    for (LANGID ui : {0x0409, 0x0407, 0x0C07, 0x0807, 0x0411}) {
        SCOPED_TRACE(ui);
        win32double::setUserInterfaceLanguage(ui);
        HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(151), RT_RCDATA);
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(98304u, SizeofResource(module, image));
        EXPECT_NE(nullptr, FindResourceW(module, MAKEINTRESOURCEW(121), RT_BITMAP));
        EXPECT_NE(nullptr, FindResourceW(module, MAKEINTRESOURCEW(123), RT_GROUP_ICON));
        EXPECT_EQ(nullptr, FindResourceW(module, MAKEINTRESOURCEW(150), RT_RCDATA));  // named, never stored
    }
    win32double::reset();
}
