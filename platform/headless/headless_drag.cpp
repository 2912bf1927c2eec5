// The headless home's drag and drop: drop targets registered on its windows, and scripted
// drags that offer text or files to them; shell shortcuts resolved from a table.

#include "platform/headless/headless_desktop.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

namespace platform {

using namespace headless;

bool registerDragDrop(WindowHandle handle, DropReceiver* receiver) {
    WindowObject* w = live(handle);
    if (!w || !receiver || w->dropReceiver) return false;
    w->dropReceiver = receiver;
    record("drop on %d", w->id);
    return true;
}

bool revokeDragDrop(WindowHandle handle) {
    WindowObject* w = live(handle);
    if (!w || !w->dropReceiver) return false;
    delete std::exchange(w->dropReceiver, nullptr);
    record("drop off %d", w->id);
    return true;
}

namespace headless {

namespace {

class ScriptedDropData : public DropData {
public:
    explicit ScriptedDropData(const ScriptedDrop& script) : script(script) {}
    bool canSupplyText() override { return script.offersText; }
    bool canSupplyFiles() override { return script.offersFiles; }
    bool fetchText(const char** text, std::size_t* size) override {
        if (!script.offersText || script.textFetchFails) return false;
        *text = script.textWithoutMemory ? nullptr : script.text.data();
        *size = script.textWithoutMemory ? 0 : script.text.size();
        return true;
    }
    int fetchFileCount() override {
        if (!script.offersFiles || script.filesFetchFail) return -1;
        return static_cast<int>(script.files.size());
    }
    bool fetchFileName(int index, char* name, int capacity) override {
        if (index < 0 || std::size_t(index) >= script.files.size() || capacity <= 0) return false;
        if (std::find(script.failingNames.begin(), script.failingNames.end(), index) !=
            script.failingNames.end())
            return false;
        const std::string& file = script.files[std::size_t(index)];
        const std::size_t length = std::min(file.size(), std::size_t(capacity - 1));
        std::copy_n(file.data(), length, name);
        name[length] = 0;
        return true;
    }

private:
    const ScriptedDrop& script;
};

bool endsWithLnk(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.size() - dot != 4) return false;
    std::string extension = name.substr(dot);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".lnk";
}

} // namespace

int dragEnter(WindowHandle window, const ScriptedDrop* script, uint32_t keyState) {
    WindowObject* w = live(window);
    if (!w || !w->dropReceiver) return -1;
    if (!script) return static_cast<int>(w->dropReceiver->dragEnter(nullptr, keyState));
    ScriptedDropData data(*script);
    return static_cast<int>(w->dropReceiver->dragEnter(&data, keyState));
}

int dragOver(WindowHandle window, uint32_t keyState) {
    WindowObject* w = live(window);
    if (!w || !w->dropReceiver) return -1;
    return static_cast<int>(w->dropReceiver->dragOver(keyState));
}

bool dragLeave(WindowHandle window) {
    WindowObject* w = live(window);
    if (!w || !w->dropReceiver) return false;
    w->dropReceiver->dragLeave();
    return true;
}

bool drop(WindowHandle window, const ScriptedDrop& script, uint32_t keyState) {
    WindowObject* w = live(window);
    if (!w || !w->dropReceiver) return false;
    ScriptedDropData data(script);
    w->dropReceiver->drop(&data, keyState);
    return true;
}

bool dropText(WindowHandle window, const std::string& text) {
    ScriptedDrop script;
    script.offersText = true;
    script.text = text;
    if (dragEnter(window, &script, kMkLButton) < 0) return false;
    return drop(window, script, kMkLButton);
}

bool dropFiles(WindowHandle window, const std::vector<std::string>& names) {
    ScriptedDrop script;
    script.offersFiles = true;
    script.files = names;
    if (dragEnter(window, &script, kMkLButton) < 0) return false;
    return drop(window, script, kMkLButton);
}

void setShortcut(const std::string& name, const std::string& target) {
    if (target.empty())
        desktop().shortcuts.erase(name);
    else
        desktop().shortcuts[name] = target;
}

bool isDropRegistered(WindowHandle window) {
    WindowObject* w = live(window);
    return w && w->dropReceiver;
}

} // namespace headless

void resolveShortcut(char* name, int capacity) {
    if (!name || capacity <= 0) return;
    const std::string shortcut(name, strnlen(name, std::size_t(capacity)));
    if (!headless::endsWithLnk(shortcut)) return;
    const auto found = desktop().shortcuts.find(shortcut);
    if (found == desktop().shortcuts.end()) return;
    const std::size_t length = std::min(found->second.size(), std::size_t(capacity - 1));
    std::copy_n(found->second.data(), length, name);
    name[length] = 0;
}

} // namespace platform
