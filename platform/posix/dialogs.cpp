// Modeless dialogs and the thread message queues of the posix half. A dialog
// is a record of its template, title and item texts; the host UI is told what
// to show. User actions, mailbox work and quit messages are queued by any
// thread and handed over only by PumpMessages on the thread they belong to
// (the dialog's or mailbox's creator, the quitting thread), in the order
// queued, as a Win32 message queue would. No lock is held while the UI, a
// sink or mailbox work runs, so each may call back.
#include "platform/platform.h"
#include "posix_internal.h"
#include "../common/common_internal.h"

#include <deque>
#include <mutex>
#include <thread>

namespace plat {
namespace {

struct Dialog {
    DialogTemplate layout;
    DialogSink* sink;
    std::thread::id owner;
    std::string title;
    std::map<int, std::string> items;
    bool visible = false;
};

struct Message {
    uint64_t sequence;
    DialogHandle dialog;  // 0: a message of a thread (mailbox work, quit)
    WindowMessage what;
    uint64_t mailbox = 0;
    std::thread::id thread;  // for a quit
    std::function<void()> work;
};

struct Dialogs {
    std::mutex lock;
    DialogHandle nextHandle = 0x1000;  // never reused, so a stale handle finds nothing
    std::map<DialogHandle, std::shared_ptr<Dialog>> open;
    std::map<uint64_t, std::thread::id> mailboxes;
    uint64_t nextMailbox = 1;
    std::deque<Message> queue;
    uint64_t nextSequence = 0;
};

Dialogs& TheDialogs() {
    static Dialogs dialogs;
    return dialogs;
}

std::shared_ptr<Dialog> Find(DialogHandle handle) {
    Dialogs& dialogs = TheDialogs();
    std::lock_guard<std::mutex> guard(dialogs.lock);
    auto it = dialogs.open.find(handle);
    return it == dialogs.open.end() ? nullptr : it->second;
}

void Post(DialogHandle handle, unsigned messageId, int controlId) {
    Dialogs& dialogs = TheDialogs();
    std::lock_guard<std::mutex> guard(dialogs.lock);
    if (dialogs.open.count(handle) == 0) return;
    WindowMessage what{handle, messageId, static_cast<std::uintptr_t>(controlId), 0};
    dialogs.queue.push_back({dialogs.nextSequence++, handle, what, 0, {}, {}});
}

// Whether a queued message belongs to the calling thread; its dialog if any.
bool BelongsToThisThread(Dialogs& dialogs, const Message& message, std::shared_ptr<Dialog>& target) {
    const std::thread::id self = std::this_thread::get_id();
    if (message.dialog != 0) {
        auto found = dialogs.open.find(message.dialog);
        if (found == dialogs.open.end() || found->second->owner != self) return false;
        target = found->second;
        return true;
    }
    if (message.mailbox != 0) {
        auto found = dialogs.mailboxes.find(message.mailbox);
        return found != dialogs.mailboxes.end() && found->second == self;
    }
    return message.thread == self;
}

uint64_t SequenceNow() {
    Dialogs& dialogs = TheDialogs();
    std::lock_guard<std::mutex> guard(dialogs.lock);
    return dialogs.nextSequence;
}

// Removes and returns the next message, queued before `before`, for a dialog
// of this thread.
bool NextMessageOfThisThread(uint64_t before, Message& message, std::shared_ptr<Dialog>& target) {
    Dialogs& dialogs = TheDialogs();
    std::lock_guard<std::mutex> guard(dialogs.lock);
    for (auto it = dialogs.queue.begin(); it != dialogs.queue.end() && it->sequence < before; ++it) {
        if (!BelongsToThisThread(dialogs, *it, target)) continue;
        message = std::move(*it);
        dialogs.queue.erase(it);
        return true;
    }
    return false;
}

}  // namespace

DialogHandle CreateModelessDialog(int templateId, DialogSink* sink) {
    const DialogTemplate* layout = common::LookUpTemplate(templateId);
    if (layout == nullptr || sink == nullptr) return 0;
    auto dialog = std::make_shared<Dialog>();
    dialog->layout = *layout;
    dialog->sink = sink;
    dialog->owner = std::this_thread::get_id();
    dialog->title = layout->caption;
    for (const ControlTemplate& control : layout->controls) {
        if (control.id != -1) dialog->items[control.id] = control.text;
    }
    Dialogs& dialogs = TheDialogs();
    std::lock_guard<std::mutex> guard(dialogs.lock);
    DialogHandle handle = dialogs.nextHandle++;
    dialogs.open[handle] = dialog;
    return handle;
}

void ShowDialog(DialogHandle handle, bool visible) {
    std::shared_ptr<Dialog> dialog = Find(handle);
    if (!dialog) return;
    {
        std::lock_guard<std::mutex> guard(TheDialogs().lock);
        dialog->visible = visible;
    }
    if (HostUI* ui = CurrentHostUI()) ui->ModelessShown(handle, dialog->layout, visible);
}

void SetDialogTopmost(DialogHandle) {}  // the host UI decides how dialogs stack

std::string GetDialogTitle(DialogHandle handle) {
    std::shared_ptr<Dialog> dialog = Find(handle);
    if (!dialog) return {};
    std::lock_guard<std::mutex> guard(TheDialogs().lock);
    return dialog->title;
}

void SetDialogTitle(DialogHandle handle, const std::string& title) {
    std::shared_ptr<Dialog> dialog = Find(handle);
    if (!dialog) return;
    {
        std::lock_guard<std::mutex> guard(TheDialogs().lock);
        dialog->title = title;
    }
    if (HostUI* ui = CurrentHostUI()) ui->ModelessText(handle, -1, title);
}

bool HasDialogItem(DialogHandle handle, int controlId) {
    std::shared_ptr<Dialog> dialog = Find(handle);
    if (!dialog) return false;
    std::lock_guard<std::mutex> guard(TheDialogs().lock);
    return dialog->items.count(controlId) != 0;
}

void SetDialogItemText(DialogHandle handle, int controlId, const std::string& text) {
    std::shared_ptr<Dialog> dialog = Find(handle);
    if (!dialog) return;
    {
        std::lock_guard<std::mutex> guard(TheDialogs().lock);
        auto item = dialog->items.find(controlId);
        if (item == dialog->items.end()) return;
        item->second = text;
    }
    if (HostUI* ui = CurrentHostUI()) ui->ModelessText(handle, controlId, text);
}

std::string GetDialogItemText(DialogHandle handle, int controlId) {
    std::shared_ptr<Dialog> dialog = Find(handle);
    if (!dialog) return {};
    std::lock_guard<std::mutex> guard(TheDialogs().lock);
    auto item = dialog->items.find(controlId);
    return item == dialog->items.end() ? std::string() : item->second;
}

void DestroyDialog(DialogHandle handle) {
    std::shared_ptr<Dialog> dialog;
    {
        Dialogs& dialogs = TheDialogs();
        std::lock_guard<std::mutex> guard(dialogs.lock);
        auto it = dialogs.open.find(handle);
        if (it == dialogs.open.end()) return;
        dialog = it->second;
        dialogs.open.erase(it);
        std::erase_if(dialogs.queue, [&](const Message& m) { return m.dialog == handle; });
    }
    if (HostUI* ui = CurrentHostUI()) ui->ModelessDestroyed(handle);
    // The sink may delete itself here: nothing of it is touched afterwards.
    dialog->sink->OnDestroyed();
}

void PostDialogCommand(DialogHandle dialog, int controlId) { Post(dialog, kWmCommand, controlId); }
void PostDialogClose(DialogHandle dialog) { Post(dialog, kWmClose, 0); }

void PostQuitMessage(int exitCode) {
    Dialogs& dialogs = TheDialogs();
    std::lock_guard<std::mutex> guard(dialogs.lock);
    WindowMessage what{0, kWmQuit, static_cast<std::uintptr_t>(exitCode), 0};
    dialogs.queue.push_back({dialogs.nextSequence++, 0, what, 0, std::this_thread::get_id(), {}});
}

bool PumpMessages(const PreTranslate& preTranslate) {
    // Messages that handlers post meanwhile wait for the next pump, so a
    // handler that re-posts cannot keep this loop going for ever.
    uint64_t before = SequenceNow();
    Message message{};
    std::shared_ptr<Dialog> target;
    bool quit = false;
    while (!quit && NextMessageOfThisThread(before, message, target)) {
        if (message.what.message == kWmQuit) {
            quit = true;
        } else if (preTranslate && preTranslate(message.what)) {
            // taken by the application
        } else if (message.work) {
            message.work();
        } else if (message.what.message == kWmClose) {
            target->sink->OnCloseRequest();
        } else {
            target->sink->OnCommand(static_cast<int>(message.what.wParam));
        }
        target.reset();
        message.work = nullptr;
    }
    if (HostUI* ui = CurrentHostUI()) ui->Idle();
    return !quit;
}

struct ThreadMailbox::Impl {
    uint64_t id;
    std::thread::id owner;
};

ThreadMailbox::ThreadMailbox() : impl_(new Impl{0, std::this_thread::get_id()}) {
    Dialogs& dialogs = TheDialogs();
    std::lock_guard<std::mutex> guard(dialogs.lock);
    impl_->id = dialogs.nextMailbox++;
    dialogs.mailboxes[impl_->id] = impl_->owner;
}

ThreadMailbox::~ThreadMailbox() {
    {
        Dialogs& dialogs = TheDialogs();
        std::lock_guard<std::mutex> guard(dialogs.lock);
        dialogs.mailboxes.erase(impl_->id);
        std::erase_if(dialogs.queue, [&](const Message& m) { return m.mailbox == impl_->id; });
    }
    delete impl_;
}

bool ThreadMailbox::Post(std::function<void()> work) {
    Dialogs& dialogs = TheDialogs();
    std::lock_guard<std::mutex> guard(dialogs.lock);
    WindowMessage what{0, kWmMailbox, 0, static_cast<std::intptr_t>(impl_->id)};
    dialogs.queue.push_back({dialogs.nextSequence++, 0, what, impl_->id, {}, std::move(work)});
    return true;
}

bool ThreadMailbox::OwnedByCallingThread() const { return impl_->owner == std::this_thread::get_id(); }

}  // namespace plat
