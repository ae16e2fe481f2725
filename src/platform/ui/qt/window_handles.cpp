#include "platform/ui/qt/window_handles.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <map>
#include <mutex>

namespace {

struct HandleTable {
    std::mutex lock;
    std::map<std::uintptr_t, QPointer<QWidget>> widgets;
    std::map<const QWidget*, std::uintptr_t> handles;
    std::uintptr_t next = 0x100;
};

HandleTable& Table() {
    static HandleTable table;
    return table;
}

}  // namespace

HWND HandleOf(QWidget* widget) {
    if (widget == nullptr) return nullptr;
    HandleTable& t = Table();
    std::lock_guard guard(t.lock);
    if (const auto it = t.handles.find(widget); it != t.handles.end()) {
        return reinterpret_cast<HWND>(it->second);
    }
    const std::uintptr_t id = t.next;
    t.next += 4;
    t.widgets.emplace(id, widget);
    t.handles.emplace(widget, id);
    QObject::connect(widget, &QObject::destroyed, [widget, id] {
        HandleTable& table = Table();
        std::lock_guard g(table.lock);
        table.widgets.erase(id);
        table.handles.erase(widget);
    });
    return reinterpret_cast<HWND>(id);
}

QWidget* WidgetOf(HWND handle) {
    if (handle == nullptr) return nullptr;
    HandleTable& t = Table();
    std::lock_guard guard(t.lock);
    const auto it = t.widgets.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == t.widgets.end() ? nullptr : it->second.data();
}
