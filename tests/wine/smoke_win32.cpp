// Smoke program for the Wine pipeline: a window with the program's resources and Polish text, and one COM port.
//
// Usage: kd215-smoke.exe [HOLD_MS [PORT [CLOSE_FILE]]]   (defaults 3000, COM3; HOLD_MS 0 skips the window)
// It opens PORT the way the program does and prints one report line on stdout:
//   port COM3 opened, settings accepted, acp 1250
//   port COM3 opened, settings refused (error 1), acp 1252
//   port COM3 not opened (error 2), acp 1252
// then shows a window titled with the Polish sample text, drawn through the W functions from UTF-8 literals,
// with the client picture, the icons, two buttons and the report line; prints "window shown" once it is
// painted, and closes itself after HOLD_MS or as soon as CLOSE_FILE exists (so a test can close it once it has
// taken its screenshot). Exit code: 0 port opened and settings accepted, 3 opened but settings
// refused, 2 not opened, 1 the window could not be made.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* const kSampleText = "Zażółć gęślą jaźń — Ładuj, Zatwierdź, Wyłączania";
const char* const kLoadButton = "Ładuj";
const char* const kConfirmButton = "Zatwierdź";
const wchar_t* const kClassName = L"Kd215SmokeWindow";
const UINT_PTR kCloseTimer = 1;
const UINT_PTR kShownTimer = 2;
const UINT_PTR kCloseFileTimer = 3;

HBITMAP clientBitmap = nullptr;
std::string portReport;
std::string closeFile;
HFONT dialogFont = nullptr;

// The one place this program turns its UTF-8 texts into what the W functions take.
std::wstring toWide(const char* utf8) {
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

// Writes to the standard output handle Wine inherits from the shell; a GUI program has no C stdout of its own.
void report(const std::string& line) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void paintClient(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (clientBitmap) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, clientBitmap);
        BitBlt(dc, 10, 10, 400, 300, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    HGDIOBJ oldFont = SelectObject(dc, dialogFont);
    SetBkMode(dc, TRANSPARENT);
    std::wstring sample = toWide(kSampleText);
    RECT line = {10, 320, 600, 345};
    DrawTextW(dc, sample.c_str(), -1, &line, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    std::wstring portLine = toWide(portReport.c_str());
    OffsetRect(&line, 0, 80);
    DrawTextW(dc, portLine.c_str(), -1, &line, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    EndPaint(window, &paint);
}

LRESULT CALLBACK smokeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        paintClient(window);
        return 0;
    case WM_TIMER:
        if (wParam == kShownTimer) {
            KillTimer(window, kShownTimer);
            GdiFlush();
            report("window shown");
        } else if (wParam == kCloseTimer) {
            DestroyWindow(window);
        } else if (wParam == kCloseFileTimer && GetFileAttributesA(closeFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
            DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND makeButton(HWND parent, const char* text, int x, int id) {
    HWND button = CreateWindowExW(0, L"BUTTON", toWide(text).c_str(), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                                  x, 355, 120, 28, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  GetModuleHandleW(nullptr), nullptr);
    if (button) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont), TRUE);
    return button;
}

bool showWindow(HINSTANCE instance, int holdMs) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = smokeWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(2));
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(3));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = CreateSolidBrush(RGB(241, 245, 247));
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass)) return false;

    clientBitmap = LoadBitmapW(instance, MAKEINTRESOURCEW(4));
    // "MS Shell Dlg" maps to a TrueType face with the Polish letters; the bitmap "MS Sans Serif" has none.
    dialogFont = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg");

    HWND window = CreateWindowExW(0, kClassName, toWide(kSampleText).c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) return false;
    makeButton(window, kLoadButton, 10, 101);
    makeButton(window, kConfirmButton, 140, 102);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    SetTimer(window, kShownTimer, 200, nullptr);
    SetTimer(window, kCloseTimer, static_cast<UINT>(holdMs), nullptr);
    if (!closeFile.empty()) SetTimer(window, kCloseFileTimer, 50, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (clientBitmap) DeleteObject(clientBitmap);
    DeleteObject(dialogFont);
    return true;
}

// Opens the port as the program will: overlapped, by its \\.\ name (needed from COM10 on), then applies the
// line settings, which is where a port with no device behind it fails under Wine.
int checkPort(const std::string& port) {
    std::string path = "\\\\.\\" + port;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    char line[160];
    int outcome;
    if (handle == INVALID_HANDLE_VALUE) {
        std::snprintf(line, sizeof line, "port %s not opened (error %lu)", port.c_str(), GetLastError());
        outcome = 2;
    } else {
        DCB settings = {};
        settings.DCBlength = sizeof settings;
        BOOL accepted = BuildCommDCBA("baud=38400 parity=N data=8 stop=2", &settings) &&
                        SetCommState(handle, &settings);
        if (accepted) {
            std::snprintf(line, sizeof line, "port %s opened, settings accepted", port.c_str());
            outcome = 0;
        } else {
            std::snprintf(line, sizeof line, "port %s opened, settings refused (error %lu)", port.c_str(),
                          GetLastError());
            outcome = 3;
        }
        CloseHandle(handle);
    }
    portReport = std::string(line) + ", acp " + std::to_string(GetACP());
    report(portReport);
    return outcome;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int holdMs = 3000;
    std::string port = "COM3";
    if (__argc > 1) holdMs = std::atoi(__argv[1]);
    if (__argc > 2) port = __argv[2];
    if (__argc > 3) closeFile = __argv[3];

    int outcome = checkPort(port);
    if (holdMs > 0 && !showWindow(instance, holdMs)) {
        report("window not created");
        return 1;
    }
    return outcome;
}
