// What the Windows end-to-end tests ask of Windows itself, a line each on standard output:
//
// korvex_wintest walk TITLE: the window of that title (waited for up to 10 s) read through UI
// Automation, as a screen reader reads it: every element below it, tab-separated,
//     CONTROL-TYPE-ID  NAME  LEFT TOP WIDTH HEIGHT  FOCUS  FULL-DESCRIPTION
// the rectangle in pixels from the window's client area, FOCUS "focused", "focusable" or "-",
// a line break inside a text written as \n. (Wine's UI Automation has no value pattern, so a
// box's text is not read.)
//
// korvex_wintest draw FAMILY TEXT...: each text drawn with GDI as Windows draws it, black on
// white without smoothing, at every character height from 8 to 40 pixels, cut to its ink:
//     N  HEIGHT  WIDTH  HEIGHT-OF-INK  BITS
// N counting the texts from 1, BITS the ink's rows of 0 and 1, top to bottom. A text on the
// screen is drawn whole when its ink is one of these.

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <ole2.h>
#include <uiautomation.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

// One field of a line, in UTF-8: no tab or line break of its own.
std::string field(const std::wstring &text)
{
    std::wstring out;
    for (const wchar_t c : text) {
        if (c == L'\n')
            out += L"\\n";
        else if (c != L'\r')
            out += c == L'\t' ? L' ' : c;
    }
    std::string bytes(::WideCharToMultiByte(CP_UTF8, 0, out.c_str(), int(out.size()), nullptr, 0,
                                            nullptr, nullptr),
                      '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, out.c_str(), int(out.size()), bytes.data(), int(bytes.size()),
                          nullptr, nullptr);
    return bytes;
}

// A property as text ("1" for a true one, "" for a false one). Wine reads the newer properties,
// the full description among them, only this way.
std::wstring property(IUIAutomationElement *element, PROPERTYID id)
{
    VARIANT value;
    ::VariantInit(&value);
    std::wstring text;
    if (SUCCEEDED(element->GetCurrentPropertyValueEx(id, FALSE, &value))) {
        if (value.vt == VT_BSTR && value.bstrVal)
            text = value.bstrVal;
        else if (value.vt == VT_BOOL && value.boolVal == VARIANT_TRUE)
            text = L"1";
    }
    ::VariantClear(&value);
    return text;
}

int walk(IUIAutomation *automation, HWND window)
{
    IUIAutomationElement *root = nullptr;
    IUIAutomationCondition *everything = nullptr;
    IUIAutomationElementArray *elements = nullptr;
    if (FAILED(automation->ElementFromHandle(window, &root)) || !root
        || FAILED(automation->CreateTrueCondition(&everything))
        || FAILED(root->FindAll(TreeScope_Descendants, everything, &elements)) || !elements) {
        std::fputs("wintest: UI Automation gives no elements for the window\n", stderr);
        return 1;
    }
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    int count = 0;
    elements->get_Length(&count);
    for (int i = 0; i < count; ++i) {
        IUIAutomationElement *element = nullptr;
        if (FAILED(elements->GetElement(i, &element)) || !element)
            continue;
        CONTROLTYPEID type = 0;
        RECT place{};
        element->get_CurrentControlType(&type);
        element->get_CurrentBoundingRectangle(&place);
        const char *focus = !property(element, UIA_HasKeyboardFocusPropertyId).empty() ? "focused"
                            : !property(element, UIA_IsKeyboardFocusablePropertyId).empty()
                                ? "focusable"
                                : "-";
        std::printf("%ld\t%s\t%ld %ld %ld %ld\t%s\t%s\n", long(type),
                    field(property(element, UIA_NamePropertyId)).c_str(), place.left - origin.x,
                    place.top - origin.y, place.right - place.left, place.bottom - place.top, focus,
                    field(property(element, UIA_FullDescriptionPropertyId)).c_str());
        element->Release();
    }
    elements->Release();
    everything->Release();
    root->Release();
    return 0;
}

int walk(const wchar_t *title)
{
    // In the same pixels as the rectangles UI Automation gives, at any display scaling.
    ::SetProcessDPIAware();
    HWND window = nullptr;
    for (int tries = 0; tries < 100 && !(window = ::FindWindowW(nullptr, title)); ++tries)
        ::Sleep(100);
    IUIAutomation *automation = nullptr;
    if (!window || FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))
        || FAILED(::CoCreateInstance(__uuidof(CUIAutomation), nullptr, CLSCTX_INPROC_SERVER,
                                     __uuidof(IUIAutomation),
                                     reinterpret_cast<void **>(&automation)))) {
        std::fputs("wintest: no such window, or no UI Automation client\n", stderr);
        return 1;
    }
    const int status = walk(automation, window);
    automation->Release();
    ::CoUninitialize();
    return status;
}

int draw(const wchar_t *family, int count, wchar_t **texts)
{
    constexpr int kWidth = 400, kHeight = 80;
    HDC dc = ::CreateCompatibleDC(nullptr);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof format.bmiHeader, kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    ::SelectObject(dc, ::CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    const auto ink = [pixels = static_cast<const unsigned *>(bits)](int x, int y) {
        return (pixels[y * kWidth + x] & 0xffffff) < 0x808080;
    };
    for (int n = 0; n < count; ++n) {
        for (int height = 8; height <= 40; ++height) {
            HGDIOBJ previous = ::SelectObject(
                dc, ::CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                  DEFAULT_PITCH, family));
            const RECT all{0, 0, kWidth, kHeight};
            ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
            ::SetBkMode(dc, TRANSPARENT);
            ::TextOutW(dc, 20, 20, texts[n], int(std::wcslen(texts[n])));
            ::GdiFlush();
            ::DeleteObject(::SelectObject(dc, previous));
            int left = kWidth, right = -1, top = kHeight, bottom = -1;
            for (int y = 0; y < kHeight; ++y) {
                for (int x = 0; x < kWidth; ++x) {
                    if (ink(x, y)) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                    }
                }
            }
            if (right < 0)
                continue;
            std::printf("%d\t%d\t%d\t%d\t", n + 1, height, right - left + 1, bottom - top + 1);
            for (int y = top; y <= bottom; ++y) {
                for (int x = left; x <= right; ++x)
                    std::putchar(ink(x, y) ? '1' : '0');
            }
            std::putchar('\n');
        }
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc == 3 && std::wstring(argv[1]) == L"walk")
        return walk(argv[2]);
    if (argc >= 3 && std::wstring(argv[1]) == L"draw")
        return draw(argv[2], argc - 3, argv + 3);
    std::fputs("usage: korvex_wintest walk TITLE | draw FAMILY TEXT...\n", stderr);
    return 2;
}
