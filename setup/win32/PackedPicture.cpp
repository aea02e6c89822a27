#include "setup/win32/PackedPicture.h"

#include "platform/LittleEndian.h"

#include <memory>
#include <vector>
#include <zstd.h>

namespace {

// A picture for a wizard page: far more than the Welcome page's 120 x 120 pixels need.
constexpr size_t MaxPictureBytes = 1 << 20;
constexpr size_t FileHeaderBytes = 14;
constexpr size_t InfoHeaderBytes = 40;
constexpr uint32_t PaletteColours = 256;
constexpr size_t PaletteEntryBytes = 4;

struct TFreeDCtx {
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

// The resource's one zstd frame, expanded; empty if it is damaged or larger than the bound.
std::vector<uint8_t> Expand(const void* packed, size_t size) {
    std::unique_ptr<ZSTD_DCtx, TFreeDCtx> context(ZSTD_createDCtx());
    std::vector<uint8_t> bytes(MaxPictureBytes);
    if (!context) return {};
    ZSTD_inBuffer in{packed, size, 0};
    ZSTD_outBuffer out{bytes.data(), bytes.size(), 0};
    const size_t left = ZSTD_decompressStream(context.get(), &out, &in);
    if (left != 0 || in.pos != in.size) return {};
    bytes.resize(out.pos);
    return bytes;
}

} // namespace

HBITMAP LoadPackedPicture(HINSTANCE instance, const wchar_t* name, int width, int height) {
    HRSRC found = FindResourceW(instance, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const void* packed = loaded ? LockResource(loaded) : nullptr;
    if (!packed) return nullptr;
    const std::vector<uint8_t> file = Expand(packed, SizeofResource(instance, found));

    // A bottom-up or top-down BITMAPINFOHEADER bitmap of 8 bits per pixel, its rows within the file.
    if (file.size() < FileHeaderBytes + InfoHeaderBytes || file[0] != 'B' || file[1] != 'M') return nullptr;
    const uint8_t* info = file.data() + FileHeaderBytes;
    const uint32_t infoSize = Get32(info), bitsOffset = Get32(file.data() + 10);
    const int32_t pictureWidth = static_cast<int32_t>(Get32(info + 4));
    const int32_t pictureHeight = static_cast<int32_t>(Get32(info + 8));
    const uint32_t colours = Get32(info + 32) ? Get32(info + 32) : PaletteColours;
    if (infoSize < InfoHeaderBytes || Get16(info + 14) != 8 || Get32(info + 16) != BI_RGB ||
        colours > PaletteColours)
        return nullptr;
    const uint64_t rows = pictureHeight < 0 ? -static_cast<int64_t>(pictureHeight) : pictureHeight;
    const uint64_t stride = (static_cast<uint64_t>(pictureWidth) + 3) & ~uint64_t{3};
    if (pictureWidth <= 0 || rows == 0 ||
        FileHeaderBytes + infoSize + colours * PaletteEntryBytes > bitsOffset || bitsOffset > file.size() ||
        stride * rows > file.size() - bitsOffset)
        return nullptr;

    HDC screen = GetDC(nullptr);
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    HDC memory = CreateCompatibleDC(screen);
    if (picture && memory) {
        HGDIOBJ previous = SelectObject(memory, picture);
        SetStretchBltMode(memory, HALFTONE);
        SetBrushOrgEx(memory, 0, 0, nullptr);
        StretchDIBits(memory, 0, 0, width, height, 0, 0, pictureWidth, static_cast<int>(rows),
                      file.data() + bitsOffset, reinterpret_cast<const BITMAPINFO*>(info), DIB_RGB_COLORS,
                      SRCCOPY);
        SelectObject(memory, previous);
    }
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}
