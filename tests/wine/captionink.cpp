// Draws texts the way Windows itself draws them, with GDI, in black on white without
// smoothing, at every character height from 8 to 40 pixels, and writes each drawing cut to its
// ink as FOLDER/<n>/<height>.pbm, n counting the texts from 1. A caption on the screen is whole
// when its ink is one of its text's drawings. One run draws all the texts a test compares, so
// that Wine starts a program once for them.
//
// usage: korvex_captionink FAMILY FOLDER TEXT...

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 80;

bool isInk(const unsigned *pixels, int x, int y)
{
    return (pixels[y * kWidth + x] & 0xffffff) < 0x808080;
}

// Writes the drawings of TEXT at every height into FOLDER, which must not exist yet.
bool drawAtEverySize(HDC dc, const unsigned *pixels, const wchar_t *family,
                     const std::wstring &text, const std::wstring &folder)
{
    if (!::CreateDirectoryW(folder.c_str(), nullptr))
        return false;
    for (int height = 8; height <= 40; ++height) {
        HFONT font = ::CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                   DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   NONANTIALIASED_QUALITY, DEFAULT_PITCH, family);
        HGDIOBJ previous = ::SelectObject(dc, font);
        const RECT all{0, 0, kWidth, kHeight};
        ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, RGB(0, 0, 0));
        ::TextOutW(dc, 20, 20, text.c_str(), static_cast<int>(text.size()));
        ::GdiFlush();
        ::DeleteObject(::SelectObject(dc, previous));

        int left = kWidth, right = -1, top = kHeight, bottom = -1;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                if (isInk(pixels, x, y)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        if (right < 0)
            continue;
        const std::wstring path = folder + L"\\" + std::to_wstring(height) + L".pbm";
        FILE *file = ::_wfopen(path.c_str(), L"w");
        if (!file)
            return 1;
        std::fprintf(file, "P1\n%d %d\n", right - left + 1, bottom - top + 1);
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x)
                std::fputc(isInk(pixels, x, y) ? '1' : '0', file);
            std::fputc('\n', file);
        }
        std::fclose(file);
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t *argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: korvex_captionink FAMILY FOLDER TEXT...\n");
        return 2;
    }
    HDC dc = ::CreateCompatibleDC(nullptr);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = kWidth;
    format.bmiHeader.biHeight = -kHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    ::SelectObject(dc, ::CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    const auto *pixels = static_cast<const unsigned *>(bits);

    for (int n = 1; n + 2 < argc; ++n) {
        const std::wstring folder = std::wstring(argv[2]) + L"\\" + std::to_wstring(n);
        if (!drawAtEverySize(dc, pixels, argv[1], argv[n + 2], folder))
            return 1;
    }
    return 0;
}
