// Reading VISCOLOR.TXT and PLEDIT.TXT.
#include "theme_test_util.h"

namespace {

struct Colours {
    uint8_t c[24][3];
    Colours() { memset(c, 0xAB, sizeof c); }
};

std::string lines(int n, int first = 0) {
    std::string s;
    for (int i = first; i < first + n; ++i)
        s += std::to_string(i) + "," + std::to_string(i + 100) + "," + std::to_string(i + 200) +
             ",\t// color " + std::to_string(i) + " = x\r\n";
    return s;
}

}  // namespace

TEST(ThemeViscolor, CountsExactlyTwentyFourColours) {
    TempDir tmp;
    const std::string path = tmp / "VISCOLOR.TXT";
    {
        SCOPED_TRACE("23 lines: the last colour keeps its value");
        ASSERT_TRUE(write_file(path, lines(23)));
        Colours v;
        EXPECT_EQ(theme_read_viscolor(v.c, path.c_str()), -1);
        EXPECT_EQ(v.c[22][0], 22);
        EXPECT_EQ(v.c[22][1], 122);
        EXPECT_EQ(v.c[22][2], 222);
        EXPECT_EQ(v.c[23][0], 0xAB);
    }
    {
        SCOPED_TRACE("25 lines: the 25th is ignored");
        ASSERT_TRUE(write_file(path, lines(24) + "9,9,9\n"));
        Colours v;
        EXPECT_EQ(theme_read_viscolor(v.c, path.c_str()), -1);
        ASSERT_TRUE(write_file(path, lines(25)));
        EXPECT_EQ(theme_read_viscolor(v.c, path.c_str()), -1);
        EXPECT_EQ(v.c[23][0], 23);
        EXPECT_EQ(v.c[23][2], 223);
    }
    {
        SCOPED_TRACE("blank and comment lines use up no colour");
        ASSERT_TRUE(write_file(path, "// header\n\n" + lines(12) + "\r\n1,2\n// 4,5,6\n" + lines(12, 12)));
        Colours v;
        EXPECT_EQ(theme_read_viscolor(v.c, path.c_str()), 0);
        EXPECT_EQ(v.c[12][0], 12);
        EXPECT_EQ(v.c[23][1], 123);
    }
    Colours v;
    EXPECT_EQ(theme_read_viscolor(v.c, (tmp / "missing").c_str()), -1);
    EXPECT_EQ(v.c[0][0], 0xAB);
}

TEST(ThemeViscolor, NumberSyntax) {
    TempDir tmp;
    const std::string path = tmp / "VISCOLOR.TXT";
    auto first = [&](const std::string &text) {
        Colours v;
        EXPECT_TRUE(write_file(path, text));
        theme_read_viscolor(v.c, path.c_str());
        return std::array<int, 3>{v.c[0][0], v.c[0][1], v.c[0][2]};
    };
    using C = std::array<int, 3>;
    EXPECT_EQ(first("224,231,234\t// osc 1\r\n"), (C{224, 231, 234}));
    EXPECT_EQ(first("300,0,0,\r\n"), (C{44, 0, 0}));               // low 8 bits
    EXPECT_EQ(first(" 1 ; 2 x 3 y 4 z 5\n"), (C{1, 2, 3}));        // any separator, extras ignored
    EXPECT_EQ(first("0000000000002571,1,2,\n"), (C{1, 1, 2}));  // 15 digits kept: 257
    EXPECT_EQ(first("1,2/3,4,5\n6,7,8,\n"), (C{6, 7, 8}));         // "/" ends the useful part
    // The file's last line without a line end counts like any other.
    EXPECT_EQ(first("10,20,30"), (C{10, 20, 30}));
    EXPECT_EQ(first("10,20,30,"), (C{10, 20, 30}));
    ASSERT_TRUE(write_file(path, lines(23) + "7,8,9"));
    Colours v;
    EXPECT_EQ(theme_read_viscolor(v.c, path.c_str()), 0);
    EXPECT_EQ(v.c[23][2], 9);
    ASSERT_TRUE(write_file(path, lines(23) + "7,8,9,"));
    EXPECT_EQ(theme_read_viscolor(v.c, path.c_str()), 0);
}

TEST(ThemePledit, KeysValuesAndFont) {
    ThemeEnv env;
    const std::string path = env.tmp / "PLEDIT.TXT";
    ASSERT_TRUE(write_file(path,
                           "[Text]\r\n"
                           "normal=#ff0000\r\n"
                           "NormalBG=#0000ff\r\n"
                           "cUrReNt=# 12 34 56\n"
                           "Current=#AbCdEf\n"
                           "SELECTEDBG=#123456789a\r\n"
                           "Font=DejaVu Sans\r\n"));
    EXPECT_EQ(theme_read_pledit(env.theme, path.c_str()), 0);
    using C = std::array<int, 3>;
    auto colour = [&](int i) {
        return C{env.theme->plcolors[i][0], env.theme->plcolors[i][1], env.theme->plcolors[i][2]};
    };
    EXPECT_EQ(colour(THEME_PLCOLOR_NORMAL), (C{255, 0, 0}));
    EXPECT_EQ(colour(THEME_PLCOLOR_NORMALBG), (C{0, 0, 255}));
    EXPECT_EQ(colour(THEME_PLCOLOR_CURRENT), (C{0xAB, 0xCD, 0xEF}));     // last line wins
    EXPECT_EQ(colour(THEME_PLCOLOR_SELECTEDBG), (C{0x56, 0x78, 0x9a}));  // last six digits
    EXPECT_STREQ(env.theme->font, "DejaVu Sans");

    // The font keeps its case and everything but the line end and the blanks around it; a
    // short line is no key.
    ASSERT_TRUE(write_file(path, "FONT=Noto \xc3\xa9 Mono  \n\nNORMAL\nFont="));
    EXPECT_EQ(theme_read_pledit(env.theme, path.c_str()), 0);
    EXPECT_STREQ(env.theme->font, "");
    ASSERT_TRUE(write_file(path, "FONT=Noto \xc3\xa9 Mono  \r\n"));
    EXPECT_EQ(theme_read_pledit(env.theme, path.c_str()), 0);
    EXPECT_STREQ(env.theme->font, "Noto \xc3\xa9 Mono");
    EXPECT_EQ(colour(THEME_PLCOLOR_NORMAL), (C{255, 0, 0}));

    EXPECT_EQ(theme_read_pledit(env.theme, (env.tmp / "missing").c_str()), -1);
    EXPECT_STREQ(env.theme->font, "Noto \xc3\xa9 Mono");

    // Written by hand: blanks around keys and values, other ways to write a colour, comments.
    ASSERT_TRUE(write_file(path, "  normal\t=  ff8000\r\nCURRENT = 0X0a0B0c // text\r\n"
                                 "NormalBG=#102030;bg\r\nSelectedBG=zz\r\nNORMALBGX=#ffffff\r\n"));
    EXPECT_EQ(theme_read_pledit(env.theme, path.c_str()), 0);
    EXPECT_EQ(colour(THEME_PLCOLOR_NORMAL), (C{0xff, 0x80, 0}));
    EXPECT_EQ(colour(THEME_PLCOLOR_CURRENT), (C{0x0a, 0x0b, 0x0c}));
    EXPECT_EQ(colour(THEME_PLCOLOR_NORMALBG), (C{0x10, 0x20, 0x30}));
    EXPECT_EQ(colour(THEME_PLCOLOR_SELECTEDBG), (C{0x56, 0x78, 0x9a}));  // unchanged

    // A name in a single-byte code page comes out as UTF-8.
    ASSERT_TRUE(write_file(path, "Font=M\xfcller \xc6sc\r\n"));
    EXPECT_EQ(theme_read_pledit(env.theme, path.c_str()), 0);
    EXPECT_STREQ(env.theme->font, "M\xc3\xbcller \xc3\x86sc");
    EXPECT_TRUE(g_utf8_validate(env.theme->font, -1, nullptr));
    ASSERT_TRUE(write_file(path, "Font=" + std::string(1200, '\xe9') + "\n"));
    EXPECT_EQ(theme_read_pledit(env.theme, path.c_str()), 0);
    EXPECT_TRUE(g_utf8_validate(env.theme->font, -1, nullptr));
    EXPECT_LE(strlen(env.theme->font), 1023u);
}
