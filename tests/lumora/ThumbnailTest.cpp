// Thumbnails without a display: the area-averaging reduction, the DCT scale
// choice, refusals, and the freedesktop cache (hits equal fresh decodes, a
// changed file is decoded again, other programs' entries, damaged entries,
// entries read and written as gdk-pixbuf reads them).
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <png.h>
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

// A PNG of w x h written by libpng with one row filter (or all, adaptive),
// 8 or 16 bits, RGB or RGBA, optionally interlaced, with one text chunk of
// Latin-1 after the cache's two: flat, graded and noisy areas, so that each
// filter meets every kind of row.
void WriteLibpng(const std::string& file, int w, int h, int filters, int depth, bool alpha, bool interlace,
                 const std::string& uri) {
    FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, depth, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, 0, filters);
    std::string k[3] = {"Thumb::URI", "Thumb::MTime", "Comment"}, v[3] = {uri, "1700000000", "caf\xe9 \xb5s"};
    png_text text[3] = {};
    for (int i = 0; i < 3; ++i) {
        text[i].compression = PNG_TEXT_COMPRESSION_NONE;
        text[i].key = k[i].data(), text[i].text = v[i].data(), text[i].text_length = v[i].size();
    }
    png_set_text(png, info, text, 3);
    png_write_info(png, info);
    const int channels = alpha ? 4 : 3, bytes = depth / 8;
    std::vector<uint8_t> row(size_t(w) * channels * bytes);
    uint32_t seed = 7;
    for (int pass = 0; pass < (interlace ? png_set_interlace_handling(png) : 1); ++pass)
        for (int y = 0; y < h; ++y) {
            for (size_t i = 0; i < row.size(); ++i) {
                seed = seed * 1103515245 + 12345;
                const int x = int(i / size_t(channels * bytes));
                row[i] = uint8_t(x < w / 3 ? 200 : x < 2 * w / 3 ? x * 3 + y : (seed >> 16) & 255);
            }
            png_write_row(png, row.data());
        }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

// The picture and texts gdk-pixbuf reads from the file, as an entry.
thumbs::Entry ReadWithPixbuf(const std::string& file) {
    thumbs::Entry e;
    GdkPixbuf* pb = gdk_pixbuf_new_from_file(file.c_str(), nullptr);
    if (!pb) return e;
    e.width = gdk_pixbuf_get_width(pb), e.height = gdk_pixbuf_get_height(pb);
    const int n = gdk_pixbuf_get_n_channels(pb), stride = gdk_pixbuf_get_rowstride(pb);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
            for (int c = 0; c < 3; ++c) e.rgb.push_back(gdk_pixbuf_get_pixels(pb)[y * stride + x * n + c]);
    for (const char* key : {"Thumb::URI", "Thumb::MTime", "Comment", "Title"})
        if (const char* v = gdk_pixbuf_get_option(pb, ("tEXt::" + std::string(key)).c_str())) e.text[key] = v;
    g_object_unref(pb);
    return e;
}

}  // namespace

// Entries other programs write in any filter, depth or layout read as
// gdk-pixbuf reads them; ours read back alike by gdk-pixbuf, private to the
// user.
TEST(LumoraThumbnail, CacheEntriesReadAsGdkPixbufReadsThem) {
    ScopedHome home;
    const std::string file = home.path("cache/thumbnails/large/entry.png"), uri = "file:///pics/a.jpg";
    ASSERT_EQ(g_mkdir_with_parents(home.path("cache/thumbnails/large").c_str(), 0700), 0);
    struct Kind {
        int filters, depth;
        bool alpha, interlace;
    };
    for (const Kind k : {Kind{PNG_FILTER_NONE, 8, false, false}, {PNG_FILTER_SUB, 8, false, false},
                         {PNG_FILTER_UP, 8, false, false}, {PNG_FILTER_AVG, 8, false, false},
                         {PNG_FILTER_PAETH, 8, false, false}, {PNG_ALL_FILTERS, 8, true, false},
                         {PNG_FILTER_PAETH, 8, true, false}, {PNG_FILTER_AVG, 8, true, false},
                         {PNG_ALL_FILTERS, 16, false, false}, {PNG_ALL_FILTERS, 8, false, true}}) {
        SCOPED_TRACE(testing::Message() << "filters " << k.filters << " depth " << k.depth << " alpha " << k.alpha
                                        << " interlace " << k.interlace);
        WriteLibpng(file, 61, 37, k.filters, k.depth, k.alpha, k.interlace, uri);
        const thumbs::Entry want = ReadWithPixbuf(file);
        ASSERT_EQ(want.width, 61);
        thumbs::Entry got;
        ASSERT_TRUE(thumbs::ReadEntry(file, uri, 1700000000, got));
        EXPECT_EQ(got.width, 61);
        EXPECT_EQ(got.height, 37);
        EXPECT_TRUE(got.rgb == want.rgb);
        EXPECT_EQ(got.text["Comment"], want.text.at("Comment"));
    }
    thumbs::Entry ours;
    ours.width = 61, ours.height = 37;
    for (int i = 0; i < 61 * 37 * 3; ++i) ours.rgb.push_back(uint8_t(i * 7919 >> 3));
    ours.text = {{"Comment", "caf\xc3\xa9"}, {"Title", "\xe6\x9d\xb1\xe4\xba\xac"}};  // Latin-1 and beyond
    const mode_t old = umask(022);
    ASSERT_TRUE(thumbs::WriteEntry(file, uri, 1700000000, ours, "Lumora"));
    umask(old);
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const thumbs::Entry back = ReadWithPixbuf(file);
    EXPECT_TRUE(back.rgb == ours.rgb);
    EXPECT_EQ(back.text.at("Comment"), "caf\xc3\xa9");
    EXPECT_EQ(back.text.at("Title"), "\xe6\x9d\xb1\xe4\xba\xac");
    EXPECT_EQ(back.text.at("Thumb::URI"), uri);
}

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
