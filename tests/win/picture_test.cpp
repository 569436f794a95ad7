// Pictures: JPEG through libjpeg, BMP through the platform, anything unreadable as no picture.
#include "app/picture.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

std::vector<unsigned char> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kArt = std::string(TARNWICK_SOURCE_DIR) + "/src/app/art/";

// Blue, green, red of one pixel, read through a device context whatever the DIB's row order.
std::array<int, 3> pixel(const ui::TPicture& picture, int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, picture.Bitmap());
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return {GetBValue(c), GetGValue(c), GetRValue(c)};
}

class PictureFile : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        base_ = std::string(temp) + "tw-picture-" + std::to_string(GetCurrentProcessId()) + "-";
    }
    void TearDown() override {
        for (const std::string& f : files_) DeleteFileA(f.c_str());
    }
    std::string write(const std::string& name, const std::vector<unsigned char>& bytes) {
        const std::string path = base_ + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        files_.push_back(path);
        return path;
    }
    std::string base_;
    std::vector<std::string> files_;
};

TEST_F(PictureFile, JpegDecodesInDibByteOrder) {
    // bar.jpg runs from a light grey-blue at the top to a darker one; blue is the strongest channel.
    const auto picture = loadPictureFile(write("bar.jpg", readAll(kArt + "bar.jpg")));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Width(), 1);
    EXPECT_EQ(picture->Height(), 43);
    const auto top = pixel(*picture, 0, 0);
    const auto bottom = pixel(*picture, 0, 42);
    EXPECT_GT(top[0], top[2]);       // blue over red: not swapped
    EXPECT_GT(top[2], bottom[2] + 30); // top lighter than bottom: not upside down
}

TEST_F(PictureFile, BmpLoadsThroughThePlatform) {
    // A 2 x 1 24-bit BMP: one blue and one red pixel, rows padded to 4 bytes.
    std::vector<unsigned char> bmp = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,
                                      40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 8, 0, 0, 0,
                                      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                      255, 0, 0, 0, 0, 255, 0, 0};
    // The file name says JPEG: the first bytes decide.
    const auto picture = loadPictureFile(write("really-a-bmp.jpg", bmp));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Width(), 2);
    EXPECT_EQ(picture->Height(), 1);
}

TEST_F(PictureFile, UnreadableFilesGiveNoPicture) {
    std::vector<unsigned char> jpegHeaderOnly = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0};
    std::vector<unsigned char> brokenBmp = {'B', 'M', 1, 2, 3, 4, 5, 6};
    std::vector<unsigned char> text = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(loadPictureFile(write("header-only.jpg", jpegHeaderOnly)), nullptr);
    EXPECT_EQ(loadPictureFile(write("broken.bmp", brokenBmp)), nullptr);
    EXPECT_EQ(loadPictureFile(write("text.jpg", text)), nullptr);
    EXPECT_EQ(loadPictureFile(write("empty.jpg", {})), nullptr);
    EXPECT_EQ(loadPictureFile(base_ + "missing.jpg"), nullptr);
}

TEST(Picture, BuiltInArtworkHasTheDesignedSizes) {
    struct Case {
        const char* file;
        int width, height;
    } cases[] = {{"header.jpg", 690, 59}, {"banner.jpg", 171, 391}, {"frame.jpg", 506, 380}, {"bar.jpg", 1, 43}};
    for (const Case& c : cases) {
        const std::vector<unsigned char> bytes = readAll(kArt + c.file);
        const auto picture = decodeJpeg(bytes.data(), bytes.size());
        ASSERT_NE(picture, nullptr) << c.file;
        EXPECT_EQ(picture->Width(), c.width) << c.file;
        EXPECT_EQ(picture->Height(), c.height) << c.file;
    }
}

TEST(Picture, GradientRunsFromBlueToBlack) {
    const auto picture = makeGradientPicture();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Height(), 512);
    EXPECT_EQ(pixel(*picture, 0, 0), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(pixel(*picture, 0, 255), (std::array<int, 3>{127, 0, 0}));
    EXPECT_EQ(pixel(*picture, 0, 511), (std::array<int, 3>{0, 0, 0}));
}

} // namespace
} // namespace tarnwick
