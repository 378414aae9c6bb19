// Thumbnails without a display: the area-averaging reduction, the DCT scale
// choice, refusals, and the freedesktop cache (hits equal fresh decodes, a
// changed file is decoded again, other programs' entries, damaged entries).
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "BrowserSupport.h"
#include "../common/DibTestUtil.h"
#include "common/ThumbFiles.h"
#include "lumora/ThumbCache.h"
#include "lumora/Thumbnail.h"

using namespace lumora;
using tellura::test::ReadFile;
using tellura::test::ScopedHome;
using tellura::test::WriteFile;

namespace {

void SetMtime(const std::string& path, time_t t) {
    struct utimbuf u {t, t};
    ASSERT_EQ(utime(path.c_str(), &u), 0);
}

// A PNG with the given text keys (key, value, key, value, ..., nullptr).
void WritePng(const std::string& file, int w, int h, const char* k1, const char* v1, const char* k2, const char* v2) {
    GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, w, h);
    gdk_pixbuf_fill(pb, 0xff000000);  // red
    std::string dir = file.substr(0, file.rfind('/'));
    ASSERT_EQ(g_mkdir_with_parents(dir.c_str(), 0700), 0);
    ASSERT_TRUE(gdk_pixbuf_save(pb, file.c_str(), "png", nullptr, k1, v1, k2, v2, nullptr));
    g_object_unref(pb);
}

}  // namespace

TEST(LumoraThumbnail, AreaAverageKeepsTheMeanAndScaleCoversTheFit) {
    // 4 x 2 of two grey levels to 2 x 1: each target pixel averages its area.
    const uint8_t src[] = {0, 0, 0, 100, 100, 100, 200, 200, 200, 50, 50, 50,
                           100, 100, 100, 200, 200, 200, 0, 0, 0, 150, 150, 150};
    std::vector<uint8_t> out;
    ReduceArea(src, 4, 2, 2, 1, out);
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(out[0], 100);
    EXPECT_EQ(out[3], 100);
    // A ratio that is no whole number: a flat picture stays flat.
    std::vector<uint8_t> flat(7 * 5 * 3, 77);
    ReduceArea(flat.data(), 7, 5, 3, 2, out);
    for (uint8_t v : out) EXPECT_EQ(v, 77);

    EXPECT_EQ(JpegScaleDenominator(4000, 3000, 216, 162), 8);
    EXPECT_EQ(JpegScaleDenominator(4000, 3000, 866, 650), 4);
    EXPECT_EQ(JpegScaleDenominator(4000, 3000, 4000, 3000), 1);
    EXPECT_EQ(JpegScaleDenominator(7, 5, 1, 1), 8);
}

TEST(LumoraThumbnail, RefusesWhatTheCodecRefusesAndKeepsSmallPictures) {
    ScopedHome home;
    const std::string big = home.path("huge.jpg");
    WriteJpeg(big, 16, 16);
    // The frame header's size says 30000 x 30000: refused before decoding.
    std::string data = ReadFile(big);
    const size_t sof = data.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    data[sof + 5] = char(30000 >> 8), data[sof + 6] = char(30000 & 255);
    data[sof + 7] = char(30000 >> 8), data[sof + 8] = char(30000 & 255);
    ASSERT_TRUE(WriteFile(big, data));
    EXPECT_FALSE(DecodeThumbnail(big, 200, 150).ok);
    EXPECT_FALSE(LoadThumbnail(big, 200, 150).ok);

    const std::string cut = home.path("cut.jpg");
    WriteJpeg(cut, 400, 300);
    data = ReadFile(cut);
    ASSERT_TRUE(WriteFile(cut, data.substr(0, data.size() / 2)));
    const Thumb half = DecodeThumbnail(cut, 200, 150);  // a truncated tail still shows
    EXPECT_TRUE(half.ok);
    EXPECT_EQ(half.width, 400);

    const std::string dot = home.path("dot.jpg");
    WriteJpeg(dot, 1, 1);
    const Thumb t = LoadThumbnail(dot, 200, 150);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.pixW, 1);
    EXPECT_EQ(t.pixH, 1);
}

TEST(LumoraThumbnail, CacheHitEqualsFreshDecodeAndChangedFileIsDecodedAgain) {
    ScopedHome home;
    const std::string path = home.path("pics/photo.jpg");
    WriteJpeg(path, 1200, 900);
    SetMtime(path, 1700000000);
    const Thumb fresh = LoadThumbnail(path, 400, 300);
    ASSERT_TRUE(fresh.ok);
    const std::string file = CacheFileFor(path, 512);
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const Thumb cached = LoadThumbnail(path, 400, 300);
    EXPECT_EQ(cached.pixW, fresh.pixW);
    EXPECT_EQ(cached.pixH, 300);
    EXPECT_EQ(cached.width, 1200);
    EXPECT_TRUE(cached.rgb == fresh.rgb);

    // Changed: a new modification time and size, so the entry is stale.
    WriteJpeg(path, 600, 900);
    SetMtime(path, 1700000100);
    const Thumb again = LoadThumbnail(path, 400, 300);
    EXPECT_EQ(again.width, 600);
    EXPECT_EQ(again.pixW, 200);

    // A damaged entry is replaced; an unwritable cache still gives pictures.
    ASSERT_TRUE(WriteFile(file, "not a png"));
    EXPECT_EQ(LoadThumbnail(path, 400, 300).width, 600);
    EXPECT_NE(ReadFile(file).substr(1, 3), "not");
    ASSERT_EQ(chmod(home.path("cache/thumbnails/x-large").c_str(), 0500), 0);
    const std::string other = home.path("pics/other.jpg");
    WriteJpeg(other, 300, 200);
    EXPECT_TRUE(LoadThumbnail(other, 400, 300).ok);
    chmod(home.path("cache/thumbnails/x-large").c_str(), 0700);
}

TEST(LumoraThumbnail, EntriesOtherProgramsWroteAreUsedWhenCurrent) {
    ScopedHome home;
    const std::string path = home.path("pics/shot.jpg");
    WriteJpeg(path, 800, 600);
    SetMtime(path, 1600000000);
    const std::string file = CacheFileFor(path, 256);
    const std::string uri = "file://" + path;
    WritePng(file, 256, 192, "tEXt::Thumb::URI", uri.c_str(), "tEXt::Thumb::MTime", "1600000000");
    const Thumb t = LoadThumbnail(path, 200, 150);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.width, 800);  // from the file's header
    EXPECT_EQ(t.pixW, 200);
    EXPECT_EQ(t.rgb[0], 255);  // the cached red, not the file's gradient
    EXPECT_EQ(t.rgb[1], 0);
    // Another modification time: the file is decoded again.
    WritePng(file, 256, 192, "tEXt::Thumb::URI", uri.c_str(), "tEXt::Thumb::MTime", "1600000001");
    EXPECT_NE(LoadThumbnail(path, 200, 150).rgb[0], 255);
}

TEST(LumoraThumbnail, FileThatFailsIsMarkedUntilItChanges) {
    ScopedHome home;
    const std::string path = home.path("pics/broken.jpg");
    ASSERT_TRUE(WriteFile(path, std::string("\xFF\xD8\xFF\xE0 not really a picture", 26)));
    SetMtime(path, 1700000000);
    EXPECT_FALSE(LoadThumbnail(path, 200, 150).ok);
    const std::string uri = "file://" + path;
    gchar* md5 = g_compute_checksum_for_string(G_CHECKSUM_MD5, uri.c_str(), -1);
    const std::string entry = home.path("cache/thumbnails/fail/lumora/" + std::string(md5) + ".png");
    g_free(md5);
    GdkPixbuf* pb = gdk_pixbuf_new_from_file(entry.c_str(), nullptr);
    ASSERT_NE(pb, nullptr);
    EXPECT_STREQ(gdk_pixbuf_get_option(pb, "tEXt::Thumb::URI"), uri.c_str());
    EXPECT_STREQ(gdk_pixbuf_get_option(pb, "tEXt::Thumb::MTime"), "1700000000");
    g_object_unref(pb);
    // The picture written whole later (a new modification time) is shown.
    WriteJpeg(path, 400, 300);
    SetMtime(path, 1700000100);
    EXPECT_TRUE(LoadThumbnail(path, 200, 150).ok);
}

// A phone photo stored on its side (EXIF 6) is upright in its thumbnail, its
// label and the cache entry file managers read; an entry of ours made before
// pictures were turned is made again.
TEST(LumoraThumbnail, TurnedPhotoIsUprightInThumbnailAndCacheEntry) {
    ScopedHome home;
    const std::string path = dibtest::QuadrantJpeg(home.path("pics/phone.jpg"), 640, 480, 6);
    ASSERT_FALSE(path.empty());
    SetMtime(path, 1700000000);
    auto corners = [](const uint8_t* rgb, int w, int h, int stride) {
        std::string s;
        for (auto [x, y] : {std::pair{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}}) {
            const uint8_t* p = rgb + size_t(y) * stride + size_t(x) * 3;
            s += dibtest::QuadrantColour({p[0], p[1], p[2]});
        }
        return s;
    };
    const Thumb t = LoadThumbnail(path, 200, 150);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.width, 480);
    EXPECT_EQ(t.height, 640);
    EXPECT_EQ(t.pixW, 112);
    EXPECT_EQ(t.pixH, 150);
    EXPECT_EQ(corners(t.rgb.data(), t.pixW, t.pixH, t.pixW * 3), "BRWG");

    const std::string file = CacheFileFor(path, 256);
    auto entry = [&] {
        GdkPixbuf* pb = gdk_pixbuf_new_from_file(file.c_str(), nullptr);
        if (!pb) return std::string("none");
        const std::string s = std::to_string(gdk_pixbuf_get_width(pb)) + "x" +
                              std::to_string(gdk_pixbuf_get_height(pb)) + " " +
                              corners(gdk_pixbuf_get_pixels(pb), gdk_pixbuf_get_width(pb), gdk_pixbuf_get_height(pb),
                                      gdk_pixbuf_get_rowstride(pb));
        g_object_unref(pb);
        return s;
    };
    EXPECT_EQ(entry(), "192x256 BRWG");

    // Our entry from before: the picture on its side, no upright mark.
    thumbs::Entry old;
    old.width = 256, old.height = 192, old.rgb.assign(size_t(256) * 192 * 3, 0);
    old.text = {{"Thumb::Image::Width", "640"}, {"Thumb::Image::Height", "480"}, {"X-Lumora::Colours", "0"}};
    ASSERT_TRUE(thumbs::WriteEntry(file, thumbs::FileUri(path), 1700000000, old, "Lumora"));
    EXPECT_EQ(LoadThumbnail(path, 200, 150).height, 640);
    EXPECT_EQ(entry(), "192x256 BRWG");
}
