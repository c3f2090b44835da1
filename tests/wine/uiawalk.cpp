// Reads a window through UI Automation, as a Windows screen reader does: every element below
// the top-level window of the given title, one line each, tab-separated:
//     CONTROL-TYPE  NAME  LEFT TOP WIDTH HEIGHT  FOCUSABLE  HELP-TEXT  FULL-DESCRIPTION
// The rectangle is in pixels from the window's client area; FOCUSABLE is "focusable" or "-";
// a line break inside a text is written as \n. Waits up to 10 seconds for the window.
//
// usage: korvex_uiawalk TITLE

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <ole2.h>
#include <uiautomation.h>

#include <cstdio>
#include <string>

namespace {

const wchar_t *controlTypeName(CONTROLTYPEID id)
{
    static const wchar_t *const names[] = {
        L"Button",      L"Calendar",    L"CheckBox",  L"ComboBox",     L"Edit",     L"Hyperlink",
        L"Image",       L"ListItem",    L"List",      L"Menu",         L"MenuBar",  L"MenuItem",
        L"ProgressBar", L"RadioButton", L"ScrollBar", L"Slider",       L"Spinner",  L"StatusBar",
        L"Tab",         L"TabItem",     L"Text",      L"ToolBar",      L"ToolTip",  L"Tree",
        L"TreeItem",    L"Custom",      L"Group",     L"Thumb",        L"DataGrid", L"DataItem",
        L"Document",    L"SplitButton", L"Window",    L"Pane",         L"Header",   L"HeaderItem",
        L"Table",       L"TitleBar",    L"Separator", L"SemanticZoom", L"AppBar"};
    const int index = id - UIA_ButtonControlTypeId;
    if (index < 0 || index >= int(sizeof names / sizeof names[0]))
        return L"Unknown";
    return names[index];
}

// One field of a line: no tab or line break of its own.
std::wstring field(BSTR text)
{
    std::wstring out;
    for (const wchar_t *c = text; c && *c; ++c) {
        if (*c == L'\n')
            out += L"\\n";
        else if (*c == L'\t')
            out += L' ';
        else if (*c != L'\r')
            out += *c;
    }
    return out;
}

std::wstring stringProperty(IUIAutomationElement *element, PROPERTYID property)
{
    VARIANT value;
    ::VariantInit(&value);
    std::wstring text;
    // Wine reads the newer properties, the full description among them, only this way.
    if (SUCCEEDED(element->GetCurrentPropertyValueEx(property, FALSE, &value))
        && value.vt == VT_BSTR)
        text = field(value.bstrVal);
    ::VariantClear(&value);
    return text;
}

void write(const std::wstring &line)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), int(line.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(size, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), int(line.size()), bytes.data(), size, nullptr,
                          nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

int walk(IUIAutomation *automation, HWND window)
{
    IUIAutomationElement *root = nullptr;
    IUIAutomationCondition *everything = nullptr;
    IUIAutomationElementArray *elements = nullptr;
    if (FAILED(automation->ElementFromHandle(window, &root)) || !root
        || FAILED(automation->CreateTrueCondition(&everything))
        || FAILED(root->FindAll(TreeScope_Descendants, everything, &elements)) || !elements) {
        std::fputs("uiawalk: UI Automation gives no elements for the window\n", stderr);
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
        BSTR name = nullptr;
        RECT place{};
        BOOL focusable = FALSE;
        element->get_CurrentControlType(&type);
        element->get_CurrentName(&name);
        element->get_CurrentBoundingRectangle(&place);
        element->get_CurrentIsKeyboardFocusable(&focusable);
        write(
            std::wstring(controlTypeName(type)) + L'\t' + field(name) + L'\t'
            + std::to_wstring(place.left - origin.x) + L' ' + std::to_wstring(place.top - origin.y)
            + L' ' + std::to_wstring(place.right - place.left) + L' '
            + std::to_wstring(place.bottom - place.top) + L'\t' + (focusable ? L"focusable" : L"-")
            + L'\t' + stringProperty(element, UIA_HelpTextPropertyId) + L'\t'
            + stringProperty(element, UIA_FullDescriptionPropertyId) + L'\n');
        ::SysFreeString(name);
        element->Release();
    }
    elements->Release();
    everything->Release();
    root->Release();
    return 0;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2) {
        std::fputs("usage: korvex_uiawalk TITLE\n", stderr);
        return 2;
    }
    _setmode(_fileno(stdout), _O_BINARY);
    // In the same pixels as the rectangles UI Automation gives, at any display scaling.
    ::SetProcessDPIAware();
    HWND window = nullptr;
    for (int tries = 0; tries < 100 && !window; ++tries) {
        window = ::FindWindowW(nullptr, argv[1]);
        if (!window)
            ::Sleep(100);
    }
    if (!window) {
        std::fputs("uiawalk: no window of that title within 10 s\n", stderr);
        return 1;
    }
    if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 1;
    IUIAutomation *automation = nullptr;
    int status = 1;
    if (SUCCEEDED(::CoCreateInstance(__uuidof(CUIAutomation), nullptr, CLSCTX_INPROC_SERVER,
                                     __uuidof(IUIAutomation),
                                     reinterpret_cast<void **>(&automation)))) {
        status = walk(automation, window);
        automation->Release();
    } else {
        std::fputs("uiawalk: no UI Automation client\n", stderr);
    }
    ::CoUninitialize();
    return status;
}
