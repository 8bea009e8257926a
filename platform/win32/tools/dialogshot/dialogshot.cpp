// Shows one dialog template of a module's resources at the top left of the
// screen for a while, so that a screenshot of the X display can be taken,
// and prints the dialog's screen rectangle as "WxH+X+Y" (an X geometry).
// Usage: dialogshot <module> <template id> [milliseconds]
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

INT_PTR CALLBACK QuietProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

void PumpFor(DWORD ms) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    MSG message;
    while (::GetTickCount64() < end) {
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        ::Sleep(10);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: dialogshot <module> <template id> [milliseconds]\n");
        return 2;
    }
    // As data only: the plug-in's entry has no business running here.
    HMODULE module = ::LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        std::fprintf(stderr, "cannot load %s (error %lu)\n", argv[1], ::GetLastError());
        return 1;
    }
    const int id = std::atoi(argv[2]);
    const DWORD ms = argc > 3 ? static_cast<DWORD>(std::atoi(argv[3])) : 3000;
    HWND dialog = ::CreateDialogParamA(module, MAKEINTRESOURCEA(id), nullptr, QuietProc, 0);
    if (dialog == nullptr) {
        std::fprintf(stderr, "no dialog %d in %s (error %lu)\n", id, argv[1], ::GetLastError());
        return 1;
    }
    ::SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ::UpdateWindow(dialog);
    PumpFor(300);
    RECT r;
    ::GetWindowRect(dialog, &r);
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    std::fflush(stdout);
    PumpFor(ms);
    ::DestroyWindow(dialog);
    return 0;
}
