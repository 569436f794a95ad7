#include "app/picture.h"

#include "app/setup_rules.h"

#include <windows.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace tarnwick {

namespace {

constexpr JDIMENSION kMaxSide = 16384; // refuses pictures that would need gigabytes
constexpr std::size_t kMaxFileBytes = 64u << 20;

struct TJpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// libjpeg's default reaction to a damaged file is exit(); we come back here instead.
void onJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<TJpegError*>(info->err)->jump, 1); }
void onJpegMessage(j_common_ptr) {}

// A top-down 24-bit DIB section; bits receives its pixels.
HBITMAP createDib(int width, int height, unsigned char** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    *bits = static_cast<unsigned char*>(pixels);
    return bitmap;
}

// Plain C-style body: nothing with a destructor may live across the longjmp.
HBITMAP decodeJpegBitmap(const unsigned char* data, unsigned long size, int* width, int* height) {
    jpeg_decompress_struct info;
    TJpegError error;
    HBITMAP volatile bitmap = nullptr;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onJpegError;
    error.manager.output_message = onJpegMessage;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&info);
        if (bitmap != nullptr) DeleteObject(bitmap);
        return nullptr;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR; // the byte order of a 24-bit DIB
    jpeg_start_decompress(&info);
    if (info.output_width == 0 || info.output_height == 0 || info.output_width > kMaxSide ||
        info.output_height > kMaxSide || info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    unsigned char* bits = nullptr;
    bitmap = createDib(static_cast<int>(info.output_width), static_cast<int>(info.output_height), &bits);
    if (bitmap == nullptr) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    const std::size_t stride = (static_cast<std::size_t>(info.output_width) * 3 + 3) & ~static_cast<std::size_t>(3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = bits + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    *width = static_cast<int>(info.output_width);
    *height = static_cast<int>(info.output_height);
    jpeg_destroy_decompress(&info);
    return bitmap;
}

} // namespace

std::unique_ptr<ui::TPicture> decodeJpeg(const unsigned char* data, std::size_t size) {
    if (data == nullptr || size < 4 || size > kMaxFileBytes) return nullptr;
    int width = 0, height = 0;
    HBITMAP bitmap = decodeJpegBitmap(data, static_cast<unsigned long>(size), &width, &height);
    if (bitmap == nullptr) return nullptr;
    return std::make_unique<ui::TPicture>(bitmap, width, height);
}

std::unique_ptr<ui::TPicture> loadPictureFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return nullptr;
    std::vector<unsigned char> bytes;
    unsigned char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0 && bytes.size() <= kMaxFileBytes)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) return decodeJpeg(bytes.data(), bytes.size());
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        HANDLE image = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
        if (image == nullptr) return nullptr;
        BITMAP info{};
        GetObjectA(image, sizeof(info), &info);
        if (info.bmWidth <= 0 || info.bmHeight <= 0) {
            DeleteObject(image);
            return nullptr;
        }
        return std::make_unique<ui::TPicture>(static_cast<HBITMAP>(image), info.bmWidth, info.bmHeight);
    }
    return nullptr;
}

std::unique_ptr<ui::TPicture> loadPictureResource(int id) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (resource == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) return nullptr;
    return decodeJpeg(static_cast<const unsigned char*>(data), SizeofResource(module, resource));
}

std::unique_ptr<ui::TPicture> makeGradientPicture() {
    unsigned char* bits = nullptr;
    HBITMAP bitmap = createDib(1, 512, &bits);
    if (bitmap == nullptr) return nullptr;
    const std::array<std::uint8_t, 512> blue = backgroundGradient();
    for (std::size_t row = 0; row < blue.size(); ++row) {
        unsigned char* pixel = bits + row * 4; // rows of one pixel are padded to 4 bytes
        pixel[0] = blue[row];
        pixel[1] = 0;
        pixel[2] = 0;
    }
    return std::make_unique<ui::TPicture>(bitmap, 1, 512);
}

} // namespace tarnwick
