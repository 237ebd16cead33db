// The embedded default theme: the stream decoder, the archive, the writers and the art itself.
#include "theme/default_theme.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/harness.h"
#include "theme/catalogue.h"

namespace {

using Bytes = std::vector<unsigned char>;

const std::string THEME_SOURCE = std::string(RAVLOX_SOURCE_DIR) + "/theme/default";

// The archive's names in order, with the uncompressed sizes the archive must keep
// (the licence text's size is that of our own text, checked against the file).
const std::vector<std::pair<std::string, int32_t>> EXPECTED_ENTRIES = {
    {"BALANCE.BMP", 88386},  {"CBUTTONS.BMP", 14742}, {"EQMAIN.BMP", 260874}, {"EQ_EX.BMP", 67950},
    {"MAIN.BMP", 96102},     {"MONOSTER.BMP", 4278},  {"NUMBERS.BMP", 3954},  {"PLAYPAUS.BMP", 1206},
    {"PLEDIT.BMP", 156294},  {"PLEDIT.TXT", 91},      {"POSBAR.BMP", 9294},   {"SHUFREP.BMP", 23514},
    {"TEXT.BMP", 34686},     {"TITLEBAR.BMP", 89838}, {"VISCOLOR.TXT", 746},  {"VOLUME.BMP", 88386},
    {"cc-0-10.txt", -1},
};

std::string bytes_to_string(const Bytes &b, size_t n) { return std::string(b.begin(), b.begin() + long(n)); }

// Decodes a stream into a buffer with a guard zone and checks the guard is untouched.
std::string decode(const Bytes &in, int32_t size, bool bounded = false, int32_t *produced = nullptr) {
    const size_t guard = 64;
    Bytes out(size_t(std::max(size, 0)) + guard, 0xAA);
    int32_t n = bounded ? theme_lz_decompress_bounded(out.data(), in.data(), int32_t(in.size()), size)
                        : theme_lz_decompress(out.data(), in.data(), size);
    for (size_t k = size_t(std::max(size, 0)); k < out.size(); ++k) {
        EXPECT_EQ(out[k], 0xAA) << "wrote past the output size at " << k;
        if (out[k] != 0xAA) break;
    }
    if (produced) *produced = n;
    EXPECT_GE(n, 0);
    EXPECT_LE(n, std::max(size, 0));
    return bytes_to_string(out, size_t(std::clamp(n, 0, std::max(size, 0))));
}

Bytes literals(const std::string &s) { return Bytes(s.begin(), s.end()); }

// A stream that brings the output to `target` bytes with literal runs (bytes 0, 1, 2, ...).
Bytes stream_to(int target) {
    Bytes s;
    int o = 0;
    while (o < std::min(target, 8)) s.push_back(static_cast<unsigned char>(o++));
    while (o < target) {
        int n = std::min(127, target - o);
        s.push_back(static_cast<unsigned char>(n));
        for (int k = 0; k < n; ++k) s.push_back(static_cast<unsigned char>(o++));
    }
    return s;
}

std::string entry_bytes(const tThemeDefaultEntry &e) {
    Bytes in(theme_default_streams + e.offset, theme_default_streams + e.offset + e.packed);
    return decode(in, e.size, true);
}

bool find_entry(const std::string &name, tThemeDefaultEntry *out) {
    for (int32_t k = 0; k < THEME_DEFAULT_ENTRY_COUNT; ++k)
        if (theme_default_entry(k, out) == 0 && name == out->name) return true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// The stream format

TEST(ThemeLzStream, TheTwoWorkedExamples) {
    EXPECT_EQ(decode({0x41, 0x42, 0x41, 0x42, 0x41, 0x42, 0x41, 0x42, 0x80, 0x04, 0x00}, 12), "ABABABABABAB");
    Bytes hello = literals("HELLO, W");
    for (unsigned char c : Bytes{0x03, 'O', 'R', 'L', 0x80, 0x05, 0x0A}) hello.push_back(c);
    EXPECT_EQ(decode(hello, 16), "HELLO, WORLLLLLL");
    // The bounded decoder reads the same streams the same way.
    EXPECT_EQ(decode(hello, 16, true), "HELLO, WORLLLLLL");
}

TEST(ThemeLzStream, PositionWidthFollowsTheOutputPosition) {
    // At 255 the position is one byte, at 256 two bytes.
    Bytes s = stream_to(255);
    for (unsigned char c : Bytes{0x80, 0x03, 0x00}) s.push_back(c);
    std::string out = decode(s, 258);
    ASSERT_EQ(out.size(), 258u);
    EXPECT_EQ(out.substr(255), std::string("\x00\x01\x02", 3));

    s = stream_to(256);
    for (unsigned char c : Bytes{0x80, 0x02, 0x00, 0xFE}) s.push_back(c);
    out = decode(s, 258);
    ASSERT_EQ(out.size(), 258u);
    EXPECT_EQ(static_cast<unsigned char>(out[256]), 0xFE);
    EXPECT_EQ(static_cast<unsigned char>(out[257]), 0xFF);

    // From 65536 on the position takes three bytes.
    s = stream_to(8);
    int o = 8;
    while (o < 65536) {
        int n = std::min(32767, 65536 - o);
        s.push_back(static_cast<unsigned char>(0x80 | (n >> 8)));
        s.push_back(static_cast<unsigned char>(n & 0xff));
        if (o < 256) {
            s.push_back(0);
        } else {
            s.push_back(0);
            s.push_back(0);
        }
        o += n;
    }
    for (unsigned char c : Bytes{0x80, 0x04, 0x00, 0x00, 0x05}) s.push_back(c);
    out = decode(s, 65540);
    ASSERT_EQ(out.size(), 65540u);
    EXPECT_EQ(out.substr(65536), std::string("\x05\x06\x07\x00", 4));  // 5, 6, 7 then the repeat's 8th = 0
}

TEST(ThemeLzStream, EndsAtTheSizeAndAcceptsEmptyRunsAndCopies) {
    // A run longer than the size is cut; the rest is dropped.
    EXPECT_EQ(decode(literals("ABCDEFGH\x7fZZZZ"), 10), "ABCDEFGHZZ");
    EXPECT_EQ(decode(literals("ABCDEFGH"), 5), "ABCDE");
    // Zero-length runs and copies just lead to the next control byte.
    Bytes s = literals("ABCDEFGH");
    for (unsigned char c : Bytes{0x00, 0x80, 0x00, 0x00, 0x01, 'I'}) s.push_back(c);
    EXPECT_EQ(decode(s, 9), "ABCDEFGHI");
    // A size of 0 or below produces nothing.
    int32_t n = -1;
    EXPECT_EQ(decode(literals("ABCDEFGH"), 0, false, &n), "");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(decode(literals("ABCDEFGH"), -5, false, &n), "");
    EXPECT_EQ(n, 0);
}

TEST(ThemeLzStream, CorruptAndTruncatedStreamsStayInBounds) {
    int32_t n = 0;
    // Copy from the current output position (nothing written there yet): stops.
    decode({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0x80, 0x05, 0x08}, 13, true, &n);
    EXPECT_EQ(n, 8);
    decode({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0x80, 0x05, 0xF0}, 13, true, &n);
    EXPECT_EQ(n, 8);
    // Input ends in the first literals, in a run, in a copy's count and in its position.
    decode({'A', 'B', 'C'}, 20, true, &n);
    EXPECT_EQ(n, 3);
    decode({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0x10, 'I'}, 30, true, &n);
    EXPECT_EQ(n, 9);
    decode({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0x81}, 300, true, &n);
    EXPECT_EQ(n, 8);
    Bytes s = stream_to(300);
    s.push_back(0x80);
    s.push_back(0x10);
    s.push_back(0x00);  // second position byte missing
    decode(s, 400, true, &n);
    EXPECT_EQ(n, 300);

    // Every prefix of a real stream decodes to a prefix of the true contents.
    tThemeDefaultEntry e;
    ASSERT_TRUE(find_entry("VISCOLOR.TXT", &e));
    const std::string whole = entry_bytes(e);
    for (int32_t cut = 0; cut <= e.packed; ++cut) {
        Bytes in(theme_default_streams + e.offset, theme_default_streams + e.offset + cut);
        std::string part = decode(in, e.size, true);
        ASSERT_EQ(part, whole.substr(0, part.size())) << "prefix of " << cut << " bytes";
    }

    // Asking for more than the last entry holds stops at the end of the embedded block.
    tThemeDefaultEntry last;
    ASSERT_EQ(theme_default_entry(THEME_DEFAULT_ENTRY_COUNT - 1, &last), 0);
    Bytes big(size_t(last.size) + 100000);
    EXPECT_EQ(theme_lz_decompress(big.data(), theme_default_streams + last.offset, int32_t(big.size())),
              last.size);
    EXPECT_EQ(theme_lz_decompress(big.data(), theme_default_streams + theme_default_streams_size, 100), 0);

    // Random garbage never writes outside the output (the guard zone is checked).
    srand(12345);
    for (int round = 0; round < 3000; ++round) {
        Bytes junk(size_t(1 + rand() % 80));
        for (unsigned char &c : junk) c = static_cast<unsigned char>(rand());
        decode(junk, 1 + rand() % 600, true);
        if (::testing::Test::HasFailure()) break;
    }
}

// ---------------------------------------------------------------------------
// The archive

TEST(ThemeDefaultArchive, DirectoryNamesSizesOffsetsAndCompression) {
    ASSERT_EQ(EXPECTED_ENTRIES.size(), size_t(THEME_DEFAULT_ENTRY_COUNT));
    int32_t expected_offset = 0;
    long long total = 0;
    std::string previous;
    for (int32_t k = 0; k < THEME_DEFAULT_ENTRY_COUNT; ++k) {
        tThemeDefaultEntry e;
        ASSERT_EQ(theme_default_entry(k, &e), 0);
        EXPECT_EQ(e.name, EXPECTED_ENTRIES[size_t(k)].first);
        // Names are NUL-padded to 16 bytes.
        const unsigned char *raw = theme_default_directory + k * THEME_DEFAULT_ENTRY_BYTES;
        for (size_t i = strlen(e.name); i < 16; ++i) EXPECT_EQ(raw[i], 0) << e.name;
        if (EXPECTED_ENTRIES[size_t(k)].second >= 0) {
            EXPECT_EQ(e.size, EXPECTED_ENTRIES[size_t(k)].second) << e.name;
        }
        EXPECT_LT(previous, std::string(e.name));
        previous = e.name;
        EXPECT_EQ(e.offset, expected_offset) << e.name;
        expected_offset += e.packed;
        total += e.size;
    }
    EXPECT_EQ(expected_offset, theme_default_streams_size);
    EXPECT_GE(total, 10LL * theme_default_streams_size) << "the archive must compress at least 10:1";
    tThemeDefaultEntry e;
    EXPECT_EQ(theme_default_entry(-1, &e), -1);
    EXPECT_EQ(theme_default_entry(17, &e), -1);
}

TEST(ThemeDefaultArchive, EveryEntryDecodesToTheCommittedFile) {
    for (int32_t k = 0; k < THEME_DEFAULT_ENTRY_COUNT; ++k) {
        tThemeDefaultEntry e;
        ASSERT_EQ(theme_default_entry(k, &e), 0);
        const std::string committed = read_file(THEME_SOURCE + "/" + e.name);
        ASSERT_FALSE(committed.empty()) << e.name;
        EXPECT_EQ(long(committed.size()), long(e.size)) << e.name;
        // Both decoders agree with the file.
        EXPECT_TRUE(entry_bytes(e) == committed) << e.name;
        Bytes out(size_t(e.size));
        EXPECT_EQ(theme_lz_decompress(out.data(), theme_default_streams + e.offset, e.size), e.size);
        EXPECT_TRUE(bytes_to_string(out, out.size()) == committed) << e.name;
    }
    tThemeDefaultEntry eq;
    ASSERT_TRUE(find_entry("EQMAIN.BMP", &eq));
    EXPECT_EQ(entry_bytes(eq).substr(0, 2), "BM");
}

TEST(ThemeDefaultArchive, TextFilesAreExact) {
    tThemeDefaultEntry e;
    ASSERT_TRUE(find_entry("PLEDIT.TXT", &e));
    EXPECT_EQ(entry_bytes(e),
              "[Text]\r\nNormal=#70777a\r\nCurrent=#e0e7ea\r\nNormalBG=#20272a\r\nSelectedBG=#50575a\r\nFont=Arial\r\n");

    ASSERT_TRUE(find_entry("VISCOLOR.TXT", &e));
    const std::string vis = entry_bytes(e);
    EXPECT_EQ(vis.size(), 746u);
    EXPECT_EQ(vis.substr(0, 31), "32,39,42,\t// color 0 = black\r\n8");
    EXPECT_NE(vis.find("\r\n112,119,122,\t// color 2 = top of spec\r\n"), std::string::npos);
    EXPECT_NE(vis.find("\r\n90,97,100,\t// color 13 = \r\n"), std::string::npos);
    EXPECT_NE(vis.find("\r\n224,231,234\t// color 18 = osc 1\r\n"), std::string::npos);
    EXPECT_NE(vis.find("\r\n112,119,122,\t// color 19 = osc 2 (slightly dimmer)\r\n"), std::string::npos);
    const std::string last = "\r\n224,231,234,\t// color 23 = peak dots\r\n";
    EXPECT_EQ(vis.substr(vis.size() - last.size()), last);

    ASSERT_TRUE(find_entry("cc-0-10.txt", &e));
    const std::string licence = entry_bytes(e);
    const std::string head = licence.substr(0, licence.find("\r\n"));
    EXPECT_NE(head.find("ravlox developers"), std::string::npos) << head;
    const size_t body = head.size() + 2;
    EXPECT_EQ(licence.substr(body, 10), "\r\n--\r\n\r\n\r\n");
    // The legal code is Debian's copy, with CR LF line ends.
    std::string legal = read_file("/usr/share/common-licenses/CC0-1.0");
    ASSERT_FALSE(legal.empty());
    std::string crlf;
    for (char c : legal) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    EXPECT_TRUE(licence.substr(body + 10) == crlf);
    EXPECT_EQ(std::count(licence.begin(), licence.end(), '\n'), 126);
    EXPECT_EQ(std::count(licence.begin(), licence.end(), '\n'), std::count(licence.begin(), licence.end(), '\r'));
}

// ---------------------------------------------------------------------------
// Writing files

TEST(ThemeDefaultWriter, WriteAllGivesTheSeventeenFiles) {
    TempDir tmp;
    testing::internal::CaptureStdout();
    ASSERT_EQ(theme_default_write_all(tmp.path().c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    std::vector<std::string> names;
    for (const auto &entry : EXPECTED_ENTRIES) names.push_back(entry.first);
    std::sort(names.begin(), names.end());
    ASSERT_EQ(list_dir(tmp.path()), names);
    for (const auto &[name, size] : EXPECTED_ENTRIES) {
        const std::string written = read_file(tmp / name);
        if (size >= 0) {
            EXPECT_EQ(long(written.size()), long(size)) << name;
        }
        EXPECT_TRUE(written == read_file(THEME_SOURCE + "/" + name)) << name;
    }
    // Writing again over the files gives the same files.
    ASSERT_EQ(theme_default_write_all(tmp.path().c_str()), 0);
    EXPECT_EQ(list_dir(tmp.path()).size(), 17u);
}

TEST(ThemeDefaultWriter, WriteAllFailsWhereNoFileCanBeOpened) {
    TempDir tmp;
    const std::string missing = tmp / "missing";
    testing::internal::CaptureStdout();
    EXPECT_EQ(theme_default_write_all(missing.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "unable to open file [" + missing + "/BALANCE.BMP] for writing\n");
    EXPECT_FALSE(path_exists(missing));

    // Under a plain file nothing can be created either (holds for root too).
    ASSERT_TRUE(write_file(tmp / "plain", "x"));
    const std::string under_file = tmp / "plain";
    testing::internal::CaptureStdout();
    EXPECT_EQ(theme_default_write_all(under_file.c_str()), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("unable to open file ["), std::string::npos);
}

TEST(ThemeDefaultWriter, WriteFileCreatesTheDirectoryAndOneFile) {
    TempDir tmp;
    const std::string dir = tmp / "new";
    ASSERT_EQ(theme_default_write_file(dir.c_str(), "NUMBERS.BMP"), 0);
    EXPECT_EQ(file_mode(dir), 0700);
    EXPECT_EQ(list_dir(dir), std::vector<std::string>{"NUMBERS.BMP"});
    EXPECT_TRUE(read_file(dir + "/NUMBERS.BMP") == read_file(THEME_SOURCE + "/NUMBERS.BMP"));
    // An existing directory is fine.
    ASSERT_EQ(theme_default_write_file(dir.c_str(), "cc-0-10.txt"), 0);
    EXPECT_TRUE(read_file(dir + "/cc-0-10.txt") == read_file(THEME_SOURCE + "/cc-0-10.txt"));
}

TEST(ThemeDefaultWriter, WriteFileOfUnknownNamesWritesNothing) {
    TempDir tmp;
    const std::string dir = tmp / "avs";
    EXPECT_EQ(theme_default_write_file(dir.c_str(), "AVS.BMP"), 0);
    EXPECT_TRUE(is_directory(dir));
    EXPECT_TRUE(list_dir(dir).empty());
    // Names are compared exactly: no case folding, no prefixes, no overlong names.
    EXPECT_EQ(theme_default_write_file(dir.c_str(), "pledit.txt"), 0);
    EXPECT_EQ(theme_default_write_file(dir.c_str(), "PLEDIT"), 0);
    EXPECT_EQ(theme_default_write_file(dir.c_str(), "PLEDIT.TXTPLEDIT.TXT"), 0);
    EXPECT_TRUE(list_dir(dir).empty());
}

TEST(ThemeDefaultWriter, WriteFileIntoAnUnwritableDirectoryFails) {
    TempDir tmp;
    ASSERT_TRUE(write_file(tmp / "plain", "x"));
    const std::string bad = tmp / "plain";
    testing::internal::CaptureStderr();
    EXPECT_EQ(theme_default_write_file(bad.c_str(), "PLEDIT.TXT"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "unable to open file [" + bad + "/PLEDIT.TXT] for writing\n");
}

// ---------------------------------------------------------------------------
// The art: every sprite where the catalogue puts it, loadable by gdk-pixbuf

namespace {

Image sheet(int bitmap) { return Image::load(THEME_SOURCE + "/" + THEME_BITMAPS[size_t(bitmap)].name); }

Image sprite(const Image &img, int id) {
    const tThemeElement &e = THEME_ELEMENTS[size_t(id)];
    return img.crop(e.source_x, e.source_y, e.width, e.height);
}

std::set<std::vector<uint8_t>> distinct(const Image &img, int first, int count) {
    std::set<std::vector<uint8_t>> looks;
    for (int id = first; id < first + count; ++id) looks.insert(sprite(img, id).rgb);
    return looks;
}

int count_colour(const Image &img, Rgb c) {
    int n = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) n += img.pixel(x, y) == c;
    return n;
}

const Rgb TEXT_INK{224, 231, 234};
const Rgb TEXT_BACK{32, 39, 42};

}  // namespace

TEST(ThemeDefaultArt, BitmapsAre24BitBottomUpOfTheExpectedSize) {
    int drawn = 0;
    for (const tThemeBitmap &b : THEME_BITMAPS) {
        const std::string raw = read_file(THEME_SOURCE + "/" + b.name);
        if (b.index == BITMAP_AVS || b.index == BITMAP_MB) {
            EXPECT_TRUE(raw.empty()) << b.name << " is not part of the default theme";
            continue;
        }
        ASSERT_GE(raw.size(), 54u) << b.name;
        auto le32 = [&raw](size_t at) {
            return int32_t(uint32_t(uint8_t(raw[at])) | uint32_t(uint8_t(raw[at + 1])) << 8 |
                           uint32_t(uint8_t(raw[at + 2])) << 16 | uint32_t(uint8_t(raw[at + 3])) << 24);
        };
        EXPECT_EQ(raw.substr(0, 2), "BM");
        EXPECT_EQ(le32(10), 54) << b.name;
        EXPECT_EQ(le32(14), 40) << b.name;
        EXPECT_EQ(le32(18), b.width) << b.name;
        EXPECT_EQ(le32(22), b.height) << b.name << " (positive: bottom-up)";
        EXPECT_EQ(uint8_t(raw[28]), 24) << b.name;
        EXPECT_EQ(le32(30), 0) << b.name;
        EXPECT_EQ(long(raw.size()), long(54 + b.height * ((b.width * 3 + 3) / 4 * 4))) << b.name;
        const Image img = sheet(int(b.index));
        EXPECT_EQ(img.width, b.width) << b.name;
        EXPECT_EQ(img.height, b.height) << b.name;
        ++drawn;
    }
    EXPECT_EQ(drawn, 14);
}

TEST(ThemeDefaultArt, FontHasEveryGlyphAndBlankCells) {
    const Image text = sheet(BITMAP_TEXT);
    ASSERT_FALSE(text.empty());
    std::set<std::vector<uint8_t>> looks;
    for (int id = 287; id <= 352; ++id) {
        const Image cell = sprite(text, id);
        const int ink = count_colour(cell, TEXT_INK);
        if (id == 315 || id == 316) {
            EXPECT_EQ(count_colour(cell, TEXT_BACK), 30) << "blank cell " << id;
            continue;
        }
        EXPECT_GT(ink, 0) << "glyph " << id << " is empty";
        EXPECT_EQ(ink + count_colour(cell, TEXT_BACK), 30) << "glyph " << id << " is not light on dark";
        looks.insert(cell.rgb);
    }
    EXPECT_EQ(count_colour(sprite(text, 353), TEXT_BACK), 30);
    // Every letter, digit and sign has a shape of its own.
    EXPECT_EQ(looks.size(), 64u);
}

TEST(ThemeDefaultArt, DigitsAreDistinctAndTheBlankCellIsEmpty) {
    const Image numbers = sheet(BITMAP_NUMBERS);
    EXPECT_EQ(distinct(numbers, ELEM_DIGIT, 10).size(), 10u);
    for (int d = 0; d < 10; ++d) EXPECT_GT(count_colour(sprite(numbers, ELEM_DIGIT + d), TEXT_INK), 10) << d;
    EXPECT_EQ(count_colour(sprite(numbers, ELEM_DIGIT_BLANK), TEXT_BACK), 9 * 13);
}

TEST(ThemeDefaultArt, EveryStateHasItsOwnLook) {
    const Image cbuttons = sheet(BITMAP_CBUTTONS);
    for (int k = 0; k < 6; ++k)
        EXPECT_NE(sprite(cbuttons, ELEM_CBUTTON + k).rgb, sprite(cbuttons, ELEM_CBUTTON_PRESSED + k).rgb) << k;
    EXPECT_EQ(distinct(cbuttons, ELEM_CBUTTON, 5).size(), 5u);

    // 28 slider frames each, all different, so every level shows.
    EXPECT_EQ(distinct(sheet(BITMAP_VOLUME), ELEM_VOLUME_FRAME, 28).size(), 28u);
    EXPECT_EQ(distinct(sheet(BITMAP_BALANCE), ELEM_BALANCE_FRAME, 28).size(), 28u);
    const Image eq = sheet(BITMAP_EQMAIN);
    std::set<std::vector<uint8_t>> bars = distinct(eq, ELEM_EQ_BAR_LOW, 14);
    for (const auto &b : distinct(eq, ELEM_EQ_BAR_HIGH, 14)) bars.insert(b);
    EXPECT_EQ(bars.size(), 28u);
    EXPECT_EQ(distinct(eq, ELEM_EQ_ONAUTO, 8).size(), 8u);
    EXPECT_NE(sprite(eq, ELEM_EQ_THUMB).rgb, sprite(eq, ELEM_EQ_THUMB_PRESSED).rgb);
    EXPECT_NE(sprite(eq, ELEM_EQ_PRESETS).rgb, sprite(eq, ELEM_EQ_PRESETS_PRESSED).rgb);
    EXPECT_NE(sprite(eq, ELEM_EQ_CLOSE).rgb, sprite(eq, ELEM_EQ_CLOSE_PRESSED).rgb);

    const Image shufrep = sheet(BITMAP_SHUFREP);
    EXPECT_EQ(distinct(shufrep, ELEM_SHUFREP, 8).size(), 8u);
    EXPECT_EQ(distinct(shufrep, ELEM_EQPL_TOGGLE, 8).size(), 8u);
    EXPECT_EQ(distinct(sheet(BITMAP_MONOSTER), ELEM_STEREO_ON, 4).size(), 4u);
    EXPECT_EQ(distinct(sheet(BITMAP_PLAYPAUS), ELEM_STATUS, 3).size(), 3u);
    const Image title = sheet(BITMAP_TITLEBAR);
    EXPECT_EQ(distinct(title, ELEM_CLUTTERBAR_PRESSED, 5).size(), 5u);
    EXPECT_NE(sprite(title, ELEM_CLUTTERBAR_ON).rgb, sprite(title, ELEM_CLUTTERBAR_OFF).rgb);
    for (int k = 0; k < 3; ++k)
        EXPECT_NE(sprite(title, ELEM_TB_MENU + k).rgb, sprite(title, ELEM_TB_PRESSED + k).rgb) << k;
    const Image pl = sheet(BITMAP_PLEDIT);
    for (int id : {231, 234, 237, 240, 243, 246, 248, 250, 252, 254, 256, 258, 260, 262, 264, 266})
        EXPECT_NE(sprite(pl, id).rgb, sprite(pl, id + 1).rgb) << "pop-up item " << id;
}

TEST(ThemeDefaultArt, PlaylistFrameTilesWithoutSeams) {
    const Image pl = sheet(BITMAP_PLEDIT);
    auto column = [](const Image &img, int x) {
        std::vector<Rgb> c;
        for (int y = 0; y < img.height; ++y) c.push_back(img.pixel(x, y));
        return c;
    };
    auto row = [](const Image &img, int y) {
        std::vector<Rgb> r;
        for (int x = 0; x < img.width; ++x) r.push_back(img.pixel(x, y));
        return r;
    };
    // Title filler: its last column continues into its first, into the right corner's first
    // and out of the left corner's last; the same for the bottom filler between the blocks.
    const Image filler = sprite(pl, 197), left = sprite(pl, 195), right = sprite(pl, 198), title = sprite(pl, 196);
    EXPECT_EQ(column(filler, 0), column(filler, 24));
    EXPECT_EQ(column(left, 24), column(filler, 0));
    EXPECT_EQ(column(right, 0), column(filler, 0));
    EXPECT_EQ(column(title, 0), column(filler, 0));
    EXPECT_EQ(column(title, 99), column(filler, 0));
    const Image fill = sprite(pl, 193), extra = sprite(pl, 194), bl = sprite(pl, 212), br = sprite(pl, 213);
    EXPECT_EQ(column(fill, 0), column(fill, 24));
    EXPECT_EQ(column(bl, 124), column(fill, 0));
    EXPECT_EQ(column(br, 0), column(fill, 0));
    EXPECT_EQ(column(extra, 0), column(fill, 0));
    EXPECT_EQ(column(extra, 74), column(fill, 0));
    // Side tiles repeat vertically.
    for (int id : {199, 200, 201, 202}) {
        const Image side = sprite(pl, id);
        EXPECT_EQ(row(side, 0), row(side, side.height - 1)) << id;
    }
}
