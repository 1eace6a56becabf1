// The embedded images as the toolkit sees them: every id of the window and
// the preset strip present with its exact size, unknown ids absent, the
// table in id order, and every image a decodable opaque 24-bit PNG.
#include <set>

#include "resources/ArtworkTestSupport.h"

using zelto::EmbeddedImage;
using zelto::embeddedImages;
using zelto::findEmbeddedImage;
using zelto::test::catalogue;
using zelto::test::Picture;

TEST(ArtworkCatalogue, EveryIdIsPresentWithItsExactSize) {
    for (const auto& e : catalogue()) {
        SCOPED_TRACE(e.id);
        const EmbeddedImage* image = findEmbeddedImage(e.id);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->id, e.id);
        EXPECT_EQ(image->width, e.width);
        EXPECT_EQ(image->height, e.height);
        EXPECT_EQ(image->height % e.frames, 0);
    }
}

TEST(ArtworkCatalogue, UnknownIdsAreAbsent) {
    for (int32_t id : {-1, 0, 1, 127, 157, 158, 159, 168, 988, 996, 1000, 65536}) {
        EXPECT_EQ(findEmbeddedImage(id), nullptr) << id;
    }
}

TEST(ArtworkCatalogue, TableHoldsExactlyTheCatalogueInIdOrder) {
    size_t count = 0;
    const EmbeddedImage* all = embeddedImages(&count);
    ASSERT_NE(all, nullptr);
    ASSERT_EQ(count, catalogue().size());
    std::set<int32_t> expected;
    for (const auto& e : catalogue()) expected.insert(e.id);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_TRUE(expected.count(all[i].id)) << all[i].id;
        if (i > 0) {
            EXPECT_LT(all[i - 1].id, all[i].id);
        }
        EXPECT_EQ(findEmbeddedImage(all[i].id), &all[i]);
    }
    EXPECT_EQ(embeddedImages(nullptr), all);
}

TEST(ArtworkCatalogue, ImagesAreOpaqueTrueColourPngs) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const auto& e : catalogue()) {
        SCOPED_TRACE(e.id);
        const EmbeddedImage* image = findEmbeddedImage(e.id);
        ASSERT_NE(image, nullptr);
        ASSERT_GT(image->pngSize, 33u);
        EXPECT_EQ(std::memcmp(image->png, kSignature, 8), 0);
        // IHDR: width and height big-endian at 16 and 20, bit depth at 24,
        // colour type at 25 (2 = RGB without alpha).
        const uint8_t* h = image->png;
        EXPECT_EQ(std::memcmp(h + 12, "IHDR", 4), 0);
        EXPECT_EQ((h[16] << 24) | (h[17] << 16) | (h[18] << 8) | h[19], e.width);
        EXPECT_EQ((h[20] << 24) | (h[21] << 16) | (h[22] << 8) | h[23], e.height);
        EXPECT_EQ(h[24], 8);
        EXPECT_EQ(h[25], 2);

        const Picture picture(e.id);
        ASSERT_TRUE(picture.valid());
        EXPECT_EQ(picture.format(), CAIRO_FORMAT_RGB24);
        EXPECT_EQ(picture.width(), e.width);
        EXPECT_EQ(picture.height(), e.height);
    }
}

TEST(ArtworkCatalogue, ImagesDoNotShareBytes) {
    // Each entry points at its own PNG inside the blob, not at a neighbour's.
    size_t count = 0;
    const EmbeddedImage* all = embeddedImages(&count);
    for (size_t i = 1; i < count; ++i) {
        EXPECT_GE(all[i].png, all[i - 1].png + all[i - 1].pngSize) << all[i].id;
    }
}

TEST(ArtworkCatalogue, EveryFrameOfAStripIsDistinct) {
    // A strip whose frames repeat would show no change when its control moves.
    for (const auto& e : catalogue()) {
        if (e.frames < 2 || e.id == 137 || e.id == 138) continue;
        SCOPED_TRACE(e.id);
        const Picture p(e.id);
        ASSERT_TRUE(p.valid());
        const int fh = e.height / e.frames;
        std::set<std::vector<uint32_t>> seen;
        for (int f = 0; f < e.frames; ++f) seen.insert(p.rows(f * fh, fh));
        EXPECT_EQ(seen.size(), size_t(e.frames));
    }
}
