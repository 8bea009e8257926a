// The one seam between the portable core and the operating system.
//
// Everything the plug-in and the toolbox need from the OS goes through this
// header: time, synchronisation, threads, files with Windows share semantics,
// DOS paths, top-level windows and keystrokes, program launch, the user's
// message boxes and dialogs, the registry and debugger output. What only the
// tools and tests need (child processes, the console, launchers, loading
// modules) is in platform/tools.h, a library of its own.
// Two halves implement it: posix/ (faithful local stand-ins, used by the test
// suite, the simulator and the demo) and win32/ (the real Win32 calls), with
// what they share in common/.
//
// Nothing else in the tree includes <windows.h> or <unistd.h>, and this header
// must stay includable next to <windows.h>: no macros, no Win32 type names.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace plat {

// ---------------------------------------------------------------- time
// All durations are milliseconds of *virtual* time. Both halves divide every
// wait and sleep by the time scale (environment CMM_TIME_SCALE, or
// SetTimeScale; 1, real time, by default), so a test can run a 60 s protocol
// wait in 0.6 s at scale 100. TickCount advances by scale x real elapsed time.
constexpr uint32_t kInfinite = 0xFFFFFFFFu;

uint32_t TickCount();
void Sleep(uint32_t ms);
void SetTimeScale(double virtualMsPerRealMs);
double TimeScale();

// Asks the system for its finest timer (1 ms) while it lives, so that a
// 10 ms wait lasts 10 ms and not a whole scheduler tick (15.6 ms by default
// on Windows, which would stretch every 10 ms slice of the protocols by half).
// Holders nest; posix timers need nothing.
class FineTimer {
public:
    FineTimer();
    ~FineTimer();
    FineTimer(const FineTimer&) = delete;
    FineTimer& operator=(const FineTimer&) = delete;

private:
    bool m_held;
};

// ---------------------------------------------------------------- sync
class Event {
public:
    explicit Event(bool manualReset, bool initiallySet = false);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    void Set();
    void Reset();
    // true when signalled within ms; consumes the signal of an auto-reset event.
    bool Wait(uint32_t ms);
    struct Impl;
    Impl* impl() const { return impl_; }

private:
    Impl* impl_;
};

constexpr int kWaitTimeout = -1;
constexpr int kWaitFailed = -2;
// Waits until any event is signalled. Returns the lowest signalled index and
// consumes only that event if it is auto-reset (WaitForMultipleObjects with
// bWaitAll = FALSE); kWaitTimeout after ms; kWaitFailed for bad arguments.
int WaitAny(Event* const* events, size_t count, uint32_t ms);

// Recursive, like a Win32 critical section.
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter();
    void Leave();
    bool TryEnter();
    struct Impl;

private:
    Impl* impl_;
};

class Thread {
public:
    Thread();
    ~Thread();  // detaches a still-running thread
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    bool Start(std::function<void()> body);
    bool Join(uint32_t ms);  // true when the thread has ended
    bool Running() const;
    struct Impl;

private:
    Impl* impl_;
};

// ---------------------------------------------------------------- paths
// Paths handed to the seam are DOS paths ("C:\COSMOS\VELMOR\ZOR_GEO.DAT").
// The posix half maps a drive letter to a folder through the drive map
// (environment CMM_DRIVE_MAP="C=/tmp/x/c;D=/srv/d", or SetDriveMap) and turns
// "\" into "/". Unmapped drives and relative paths resolve against the
// current drive and directory (ChangeDrive / ChangeDir). An unmapped drive
// resolves where nothing can be created (posix: below /dev/null).
void SetDriveMap(const std::map<char, std::string>& driveToFolder);
// What is wrong with the drive map the program started with (posix: an
// entry of CMM_DRIVE_MAP that is not LETTER=FOLDER, named); empty when
// nothing is, and always on Windows. Tools refuse to start on it.
std::string DriveMapError();
std::map<char, std::string> DriveMap();
std::string NativePath(const std::string& dosPath);
bool ChangeDrive(int drive);  // 1 = A, 3 = C (_chdrive)
bool ChangeDir(const std::string& dosPath);  // _chdir

// ---------------------------------------------------------------- files
enum FileMode : unsigned {
    kFileRead = 0x1,
    kFileWrite = 0x2,
    kFileCreate = 0x4,     // create, or truncate an existing file
    kFileText = 0x8,       // "\n" is written as CR LF; reads strip CR LF / LF
    kFileAppend = 0x10,    // with kFileWrite: create if missing, write at end
    kShareExclusive = 0x0, // default: nobody else may open the file
    kShareDenyWrite = 0x100,
    kShareDenyNone = 0x200,
};

enum class FileError { kNone, kNotFound, kSharingViolation, kAccessDenied, kOther };

// A file with Windows share semantics: an open is refused (kSharingViolation)
// exactly where CreateFile refuses it, from both opens' access and sharing,
// between processes and between two files of one process alike. The posix
// half keeps a share record of advisory locks on each open file (documented
// in docs/virtual-desktop.md, so outside programs can take part); truncation
// happens only once the record is taken.
class File {
public:
    File();
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool Open(const std::string& dosPath, unsigned mode, FileError* error = nullptr);
    bool IsOpen() const;
    // Reads one line without its line end; false at end of file. A line longer
    // than maxLength is returned in pieces of maxLength characters.
    bool ReadLine(std::string& line, size_t maxLength = 65536);
    bool Write(const std::string& text);  // text mode: each "\n" becomes CR LF
    bool Flush();
    bool Close();  // false when flushing or closing failed
    struct Impl;

private:
    Impl* impl_;
};

bool PathExists(const std::string& dosPath);  // file or folder (CFile::GetStatus)
// Fails for a missing file and, like Windows, for a file another handle holds
// open without delete sharing (every share mode but kShareDenyNone).
bool RemoveFile(const std::string& dosPath, FileError* error = nullptr);
bool MakeDirectory(const std::string& dosPath);  // with parents
// Blocks until the file exists or ms elapse, using change notification
// (inotify / FindFirstChangeNotification), never coarse polling.
bool WaitForPath(const std::string& dosPath, uint32_t ms);
// Looks for each path in a turn of its own, sliceMs long, as WaitForPath
// calls one after another would: a path counts only within its turn, and one
// already there when its turn begins is found then. The index of the first
// path found, -1 once the last turn has ended. Where the paths share a folder
// that can be watched, turns in which nothing changes there pass without a
// wake-up.
int WaitForPathsInTurn(std::span<const std::string> dosPaths, uint32_t sliceMs);

// ---------------------------------------------------------------- windows
// Top-level windows. The posix half keeps them on a virtual desktop folder
// (environment CMM_DESKTOP) that any process may join; its layout is
// documented in the README.
using WindowHandle = std::uintptr_t;  // 0: no window
constexpr WindowHandle kNoWindow = 0;

enum ShowCommand : int {
    kSwHide = 0, kSwShowNormal = 1, kSwMinimize = 6, kSwShow = 5, kSwRestore = 9
};

// The desktop folder (default: environment CMM_DESKTOP). Posix: the virtual
// desktop; win32: where our own windows' keystroke logs are kept, if set.
void SetDesktopFolder(const std::string& nativeFolder);
std::string DesktopFolder();

WindowHandle FindWindowByClass(const std::string& windowClass);
WindowHandle FindWindowByTitle(const std::string& title);
bool IsWindow(WindowHandle window);
void ShowWindow(WindowHandle window, int showCommand);
void SetActiveWindow(WindowHandle window);
void SetFocus(WindowHandle window);
void SetForegroundWindow(WindowHandle window);
void SetWindowTopmostOrder(WindowHandle window);  // SetWindowPos(HWND_TOP, no move/size)
WindowHandle ForegroundWindow();

// For the vendor side (cmmsim) and tests: own windows on the desktop.
WindowHandle CreateTopLevelWindow(const std::string& windowClass, const std::string& title);
void DestroyTopLevelWindow(WindowHandle window);

// One keystroke: a virtual-key code plus modifiers. Keys that type a character
// carry it in ch ('R', '1'); named keys carry ch = 0.
struct KeyStroke {
    uint16_t vk = 0;
    char ch = 0;
    bool alt = false;
    bool ctrl = false;
    bool shift = false;
};
// Canonical text of one keystroke, as written to the posix keystroke log:
// "%R", "^C", "+A", "1", "{TAB}", "{DOWN}", "{ENTER}", "{ESC}", "{F8}".
std::string KeyStrokeText(const KeyStroke& key);

// For the vendor side: the keystrokes that reached one of its own windows
// since the last call, as KeyStrokeText lines, waiting up to ms for the
// first. Posix: the window's keystroke log; win32: the window's key messages.
std::vector<std::string> TakeKeyStrokes(WindowHandle ownWindow, uint32_t ms);

// Types the keys into the foreground window (SendInput). The posix half
// appends one line per key to the foreground window's keystroke log.
bool SendKeyStrokes(const std::vector<KeyStroke>& keys);

// ---------------------------------------------------------------- launch
// ShellExecuteEx with the default verb. The posix half runs the mapped file
// when it is executable, parameters as one argument, in the mapped folder,
// detached from the caller; environment (drive map, desktop, time scale) is
// inherited.
// kLaunchKeepProcess asks for the process handle (SEE_MASK_NOCLOSEPROCESS,
// which is closed at once) and leaves launch errors to the shell, whose own
// message box may show, unless a host UI is installed (it could not answer
// that box); by default the shell shows none.
enum LaunchFlags : unsigned { kLaunchQuiet = 0x0, kLaunchKeepProcess = 0x1 };
bool ShellExecute(const std::string& file, const std::string& parameters,
                  const std::string& directory, int showCommand, unsigned flags = kLaunchQuiet);

// ---------------------------------------------------------------- user
// Message-box styles and answers carry the Win32 values.
enum MessageStyle : unsigned {
    kMbOk = 0x0, kMbOkCancel = 0x1, kMbYesNoCancel = 0x3, kMbYesNo = 0x4,
    kMbIconHand = 0x10, kMbIconQuestion = 0x20, kMbIconExclamation = 0x30,
    kMbSystemModal = 0x1000,
};
enum DialogResult : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// Portable description of a dialog template (the .rc scripts hold the same).
enum class ControlKind { kDefPushButton, kPushButton, kEdit, kStatic, kCheckBox };
struct ControlTemplate {
    int id;  // -1 for static texts
    ControlKind kind;
    std::string text;
    int x, y, width, height;
};
struct DialogTemplate {
    int id;
    std::string caption;
    int width, height;
    std::string font;
    int pointSize;
    std::vector<ControlTemplate> controls;
};

// Identifies a module's resources (the dialog templates). ResourceScope
// switches the current one while a plug-in dialog is open.
using ModuleHandle = const void*;
void SetResourceModule(ModuleHandle module);
ModuleHandle ResourceModule();
// Posix: a module announces its templates (win32 loads them from the module).
void RegisterTemplates(ModuleHandle module, const std::vector<DialogTemplate>* templates);
const DialogTemplate* FindTemplate(ModuleHandle module, int templateId);

// A modeless dialog's owner learns of the user's actions through this sink.
// Calls arrive on the thread that pumps messages (PumpMessages), never elsewhere.
class DialogSink {
public:
    virtual ~DialogSink() = default;
    virtual void OnCommand(int controlId) = 0;  // IDCANCEL: Cancel button or Escape
    virtual void OnCloseRequest() = 0;          // WM_CLOSE: close box, Alt+F4, PostClose
    virtual void OnDestroyed() = 0;             // the window is gone (PostNcDestroy)
};
using DialogHandle = std::uintptr_t;

// The user interface that the host presents. On posix every message box and
// dialog goes to the installed HostUI (cmmhost: the terminal; tests: scripted
// answers). On win32 an installed HostUI takes precedence over the real
// MessageBoxA / dialogs, so tests can script answers there too.
class HostUI {
public:
    virtual ~HostUI() = default;
    virtual int MessageBox(const std::string& text, unsigned style) = 0;
    // values: control id -> text ("1"/"0" for check boxes). Returns kIdOk,
    // kIdCancel, or -1 when the dialog cannot be shown.
    virtual int RunModal(const DialogTemplate& dialog, std::map<int, std::string>& values) = 0;
    // Modeless dialogs: announcements only; user actions come back through
    // PostDialogCommand / PostDialogClose.
    virtual void ModelessShown(DialogHandle, const DialogTemplate&, bool visible) { (void)visible; }
    virtual void ModelessText(DialogHandle, int /*controlId*/, const std::string&) {}  // -1: title
    virtual void ModelessDestroyed(DialogHandle) {}
    // Called from PumpMessages on the pumping thread: the place to read the
    // terminal or run scripted actions.
    virtual void Idle() {}
};
void SetHostUI(HostUI* ui);  // nullptr: the platform default (posix: stderr, answer OK/No)
HostUI* CurrentHostUI();

int MessageBox(const std::string& text, unsigned style);
int RunModalDialog(int templateId, std::map<int, std::string>& values);

DialogHandle CreateModelessDialog(int templateId, DialogSink* sink);  // 0 on failure
void ShowDialog(DialogHandle dialog, bool visible);
// Topmost, shown, neither moved nor resized, owner left where it is.
void SetDialogTopmost(DialogHandle dialog);
std::string GetDialogTitle(DialogHandle dialog);
void SetDialogTitle(DialogHandle dialog, const std::string& title);
bool HasDialogItem(DialogHandle dialog, int controlId);
void SetDialogItemText(DialogHandle dialog, int controlId, const std::string& text);
std::string GetDialogItemText(DialogHandle dialog, int controlId);
void DestroyDialog(DialogHandle dialog);  // sink->OnDestroyed follows
// Thread-safe: queue a user action for the dialog's pumping thread.
void PostDialogCommand(DialogHandle dialog, int controlId);
void PostDialogClose(DialogHandle dialog);
// A queued message as the host application's PreTranslateMessage sees it,
// with the Win32 message numbers. Posix queues dialog commands (kWmCommand,
// wParam the control id), closes (kWmClose), mailbox work (kWmMailbox) and
// quits (kWmQuit, wParam the exit code).
constexpr unsigned kWmClose = 0x0010;
constexpr unsigned kWmQuit = 0x0012;
constexpr unsigned kWmCommand = 0x0111;
constexpr unsigned kWmMailbox = 0x8000 + 0x4D;  // WM_APP + 'M'
struct WindowMessage {
    std::uintptr_t window = 0;  // 0: a message of the thread
    unsigned message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};
// true: the message is taken and not dispatched.
using PreTranslate = std::function<bool(const WindowMessage&)>;

// Dispatches the calling thread's queued messages (PeekMessage loop), each
// offered to preTranslate first, then lets the host UI run. A quit message
// is taken off the queue and ends the pass: the result is then false, and
// the caller re-posts it (PostQuitMessage) when its own loop is not the one
// that ends. Posix delivers only messages queued before the pass began.
bool PumpMessages(const PreTranslate& preTranslate = nullptr);
// Queues a quit message for the calling thread (PostQuitMessage).
void PostQuitMessage(int exitCode);

// Work handed to one thread through its message queue: Post from any
// thread; the work runs on the thread that created the mailbox, in the order
// posted, when that thread pumps messages (PumpMessages, or on win32 any
// message loop, modal ones included: the mailbox is a message-only window).
// Destroying the mailbox drops what has not run yet. Nothing runs inside
// Post, and no lock of the mailbox is held while work runs.
class ThreadMailbox {
public:
    ThreadMailbox();
    ~ThreadMailbox();
    ThreadMailbox(const ThreadMailbox&) = delete;
    ThreadMailbox& operator=(const ThreadMailbox&) = delete;
    bool Post(std::function<void()> work);  // false when it cannot be queued
    bool OwnedByCallingThread() const;
    struct Impl;

private:
    Impl* impl_;
};

// ---------------------------------------------------------------- registry
// An open registry key. The portable .reg file store implements it too.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    virtual bool GetString(const std::string& name, std::string& value) const = 0;
    virtual bool GetDword(const std::string& name, uint32_t& value) const = 0;
    virtual bool SetString(const std::string& name, const std::string& value) = 0;
    virtual bool SetDword(const std::string& name, uint32_t value) = 0;
};
// The system registry (win32: HKEY_CURRENT_USER\path, created if missing);
// nullptr where there is none (posix).
std::unique_ptr<RegistryKey> OpenSystemRegistryKey(const std::string& path);

// ---------------------------------------------------------------- misc
// OutputDebugStringA. Posix: stderr when CMM_DEBUG_OUTPUT is set. A hook,
// when installed, receives every line as well (tests, cmmhost --verbose).
void DebugOutput(const std::string& text);
void SetDebugOutputHook(std::function<void(const std::string&)> hook);
// vsnprintf in the "C" locale, whatever the process or thread locale.
std::string FormatC(const char* format, va_list args);
// Local date and time through strftime("%x %X"); empty when it does not fit.
std::string LocalDateTime(const char* strftimeFormat, size_t bufferSize);
unsigned long CurrentProcessId();

}  // namespace plat
