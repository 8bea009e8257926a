// Modeless dialogs for the posix half. A dialog is a record of its template,
// title and item texts; the host UI is told what to show. User actions are
// queued by any thread and handed to the dialog's sink only by PumpMessages
// on the thread that created the dialog, as a Win32 message queue would.
// No lock is held while the UI or a sink is called, so either may call back.
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
    DialogHandle dialog;
    bool close;
    int controlId;
};

struct Dialogs {
    std::mutex lock;
    DialogHandle nextHandle = 0x1000;  // never reused, so a stale handle finds nothing
    std::map<DialogHandle, std::shared_ptr<Dialog>> open;
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

void Post(DialogHandle handle, bool close, int controlId) {
    Dialogs& dialogs = TheDialogs();
    std::lock_guard<std::mutex> guard(dialogs.lock);
    if (dialogs.open.count(handle) == 0) return;
    dialogs.queue.push_back({dialogs.nextSequence++, handle, close, controlId});
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
    std::thread::id self = std::this_thread::get_id();
    for (auto it = dialogs.queue.begin(); it != dialogs.queue.end() && it->sequence < before; ++it) {
        auto found = dialogs.open.find(it->dialog);
        if (found == dialogs.open.end() || found->second->owner != self) continue;
        message = *it;
        target = found->second;
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

void PostDialogCommand(DialogHandle dialog, int controlId) { Post(dialog, false, controlId); }
void PostDialogClose(DialogHandle dialog) { Post(dialog, true, 0); }

bool PumpMessages() {
    // Messages that handlers post meanwhile wait for the next pump, so a
    // handler that re-posts cannot keep this loop going for ever.
    uint64_t before = SequenceNow();
    Message message{};
    std::shared_ptr<Dialog> target;
    while (NextMessageOfThisThread(before, message, target)) {
        if (message.close) {
            target->sink->OnCloseRequest();
        } else {
            target->sink->OnCommand(message.controlId);
        }
        target.reset();
    }
    if (HostUI* ui = CurrentHostUI()) ui->Idle();
    return true;
}

}  // namespace plat
