// Drops onto the editor's window through XDND (version 5): the protocol's client messages
// become the four calls of the window's drop receiver, and the dragged selection becomes its
// DropData: `text/plain` as one text block, `text/uri-list` as a list of names, `file://`
// URIs decoded to paths. Data is fetched while the receiver asks for it: the selection is
// converted and its answer awaited (a drop that gets none in time counts as a failed fetch).

#include "platform/x11/x11_home.h"

#include <X11/Xatom.h>

#include <poll.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace platform {
namespace x11 {
namespace {

constexpr long kVersion = 5;
// How long a fetch waits for the dragging program to answer.
constexpr uint32_t kFetchTimeoutMs = 2000;
// Larger selections are refused rather than held in memory.
constexpr long kLargestData = 64L << 20;

struct Atoms {
    Atom aware, enter, position, status, leave, drop, finished, selection, typeList;
    Atom actionCopy, actionMove, textPlain, textPlainUtf8, uriList, property;
};

Atoms atomsOf(Display* display) {
    Atoms a{};
    a.aware = XInternAtom(display, "XdndAware", False);
    a.enter = XInternAtom(display, "XdndEnter", False);
    a.position = XInternAtom(display, "XdndPosition", False);
    a.status = XInternAtom(display, "XdndStatus", False);
    a.leave = XInternAtom(display, "XdndLeave", False);
    a.drop = XInternAtom(display, "XdndDrop", False);
    a.finished = XInternAtom(display, "XdndFinished", False);
    a.selection = XInternAtom(display, "XdndSelection", False);
    a.typeList = XInternAtom(display, "XdndTypeList", False);
    a.actionCopy = XInternAtom(display, "XdndActionCopy", False);
    a.actionMove = XInternAtom(display, "XdndActionMove", False);
    a.textPlain = XInternAtom(display, "text/plain", False);
    a.textPlainUtf8 = XInternAtom(display, "text/plain;charset=utf-8", False);
    a.uriList = XInternAtom(display, "text/uri-list", False);
    a.property = XInternAtom(display, "TROB_DROP", False);
    return a;
}

// The drag under way on this thread: at most one, as there is one pointer.
struct Drag {
    bool active = false;
    Window target = 0;
    Window source = 0;
    long version = 0;
    std::vector<Atom> types;
    uint32_t effect = kDropEffectNone;
};

thread_local Drag drag;
thread_local bool atomsKnown = false;
thread_local Atoms atoms;

const Atoms& known(Display* display) {
    if (!atomsKnown) {
        atoms = atomsOf(display);
        atomsKnown = true;
    }
    return atoms;
}

bool offers(Atom type) {
    return std::find(drag.types.begin(), drag.types.end(), type) != drag.types.end();
}

uint32_t keyState() {
    Connection& c = connection();
    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    if (!XQueryPointer(c.display, c.root, &root, &child, &rx, &ry, &wx, &wy, &mask)) return 0;
    uint32_t state = 0;
    if (mask & Button1Mask) state |= kMkLButton;
    if (mask & ControlMask) state |= kMkControl;
    return state;
}

void sendToSource(Atom type, long l1, long l2, long l3, long l4) {
    Connection& c = connection();
    XEvent reply{};
    reply.xclient.type = ClientMessage;
    reply.xclient.display = c.display;
    reply.xclient.window = drag.source;
    reply.xclient.message_type = type;
    reply.xclient.format = 32;
    reply.xclient.data.l[0] = static_cast<long>(drag.target);
    reply.xclient.data.l[1] = l1;
    reply.xclient.data.l[2] = l2;
    reply.xclient.data.l[3] = l3;
    reply.xclient.data.l[4] = l4;
    XSendEvent(c.display, drag.source, False, NoEventMask, &reply);
    XFlush(c.display);
}

Atom actionOf(uint32_t effect) {
    const Atoms& a = atoms;
    return effect == kDropEffectCopy   ? a.actionCopy
           : effect == kDropEffectMove ? a.actionMove
                                       : static_cast<Atom>(0);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

// The path a `file://` URI names, percent escapes decoded; false for other URIs, for files
// on other hosts and for escapes that would put a zero byte into the name.
bool pathFromUri(const std::string& uri, std::string* path) {
    static const char kScheme[] = "file://";
    if (uri.compare(0, sizeof kScheme - 1, kScheme) != 0) {
        // "file:/path", the short form some programs write.
        if (uri.compare(0, 6, "file:/") != 0) return false;
    }
    std::size_t start = uri.compare(0, sizeof kScheme - 1, kScheme) == 0 ? sizeof kScheme - 1 : 5;
    if (start == sizeof kScheme - 1) {
        const std::size_t slash = uri.find('/', start);
        if (slash == std::string::npos) return false;
        const std::string host = uri.substr(start, slash - start);
        if (!host.empty() && host != "localhost") return false;
        start = slash;
    }
    std::string out;
    for (std::size_t i = start; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size()) {
            const int high = hexValue(uri[i + 1]), low = hexValue(uri[i + 2]);
            if (high >= 0 && low >= 0) {
                const char decoded = static_cast<char>(high * 16 + low);
                if (decoded == 0) return false;
                out.push_back(decoded);
                i += 2;
                continue;
            }
        }
        out.push_back(uri[i]);
    }
    if (out.empty()) return false;
    *path = std::move(out);
    return true;
}

// The lines of a URI list that name something (comments and empty lines left out).
std::vector<std::string> uriLines(const std::string& list) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at <= list.size()) {
        std::size_t end = list.find('\n', at);
        if (end == std::string::npos) end = list.size();
        std::string line = list.substr(at, end - at);
        while (!line.empty() && (line.back() == '\r' || line.back() == 0))
            line.pop_back();
        if (!line.empty() && line[0] != '#') lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

namespace {

// Converts the drag's selection to `type` and waits for the answer; false when none comes,
// it is refused, or it is too large.
bool fetchSelection(Atom type, Time time, std::string* data) {
    Connection& c = connection();
    const Atoms& a = atoms;
    XDeleteProperty(c.display, drag.target, a.property);
    XConvertSelection(c.display, a.selection, type, a.property, drag.target, time);
    XFlush(c.display);
    const uint32_t deadline = getTickCount() + kFetchTimeoutMs;
    XEvent event{};
    for (;;) {
        if (XCheckTypedWindowEvent(c.display, drag.target, SelectionNotify, &event)) break;
        const auto left = static_cast<int32_t>(deadline - getTickCount());
        if (left <= 0) return false;
        pollfd wait{ConnectionNumber(c.display), POLLIN, 0};
        poll(&wait, 1, std::min(left, 50));
    }
    if (event.xselection.property == 0) return false;
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* bytes = nullptr;
    if (XGetWindowProperty(c.display, drag.target, a.property, 0, kLargestData / 4, True,
                           AnyPropertyType, &actualType, &format, &count, &after,
                           &bytes) != Success) {
        return false;
    }
    const bool whole = bytes && format == 8 && after == 0;
    if (whole) data->assign(reinterpret_cast<const char*>(bytes), count);
    if (bytes) XFree(bytes);
    return whole;
}

class XdndData : public DropData {
public:
    // Only the drop itself can fetch; while the drag moves, the kinds offered are known.
    XdndData(bool canFetch, Time dropTime) : fetchable(canFetch), time(dropTime) {}

    // A drag that offers a file list is a drag of files, even where it also offers the
    // names as text: the views get the same kind of data as from the other homes.
    bool canSupplyText() override {
        return !offers(atoms.uriList) && (offers(atoms.textPlain) || offers(atoms.textPlainUtf8));
    }
    bool canSupplyFiles() override { return offers(atoms.uriList); }

    bool fetchText(const char** text, std::size_t* size) override {
        if (!canSupplyText() || !fetchable) return false;
        const Atom type = offers(atoms.textPlain) ? atoms.textPlain : atoms.textPlainUtf8;
        if (!fetchSelection(type, time, &block)) return false;
        *text = block.empty() ? nullptr : block.data();
        *size = block.size();
        return true;
    }
    int fetchFileCount() override {
        if (!canSupplyFiles() || !fetchable) return -1;
        std::string list;
        if (!fetchSelection(atoms.uriList, time, &list)) return -1;
        uris = uriLines(list);
        return static_cast<int>(uris.size());
    }
    bool fetchFileName(int index, char* name, int capacity) override {
        if (index < 0 || index >= static_cast<int>(uris.size()) || !name || capacity <= 0)
            return false;
        std::string path;
        if (!pathFromUri(uris[static_cast<std::size_t>(index)], &path)) return false;
        const std::size_t length = std::min(path.size(), static_cast<std::size_t>(capacity - 1));
        std::memcpy(name, path.data(), length);
        name[length] = 0;
        return true;
    }

private:
    bool fetchable;
    Time time;
    std::string block;
    std::vector<std::string> uris;
};

void readTypeList(const XClientMessageEvent& enter) {
    Connection& c = connection();
    drag.types.clear();
    if (enter.data.l[1] & 1) {
        Atom actualType = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* bytes = nullptr;
        if (XGetWindowProperty(c.display, drag.source, atoms.typeList, 0, 1024, False, XA_ATOM,
                               &actualType, &format, &count, &after, &bytes) == Success &&
            bytes && format == 32) {
            const auto* list = reinterpret_cast<const unsigned long*>(bytes);
            drag.types.assign(list, list + count);
        }
        if (bytes) XFree(bytes);
    } else {
        for (int i = 2; i <= 4; ++i)
            if (enter.data.l[i]) drag.types.push_back(static_cast<Atom>(enter.data.l[i]));
    }
}

DropReceiver* receiverOf(Window window) {
    Record* r = findRecord(window);
    return r ? r->dropReceiver : nullptr;
}

void endDrag() {
    drag = Drag{};
}

} // namespace

void enableDrops(Record& record) {
    Connection& c = connection();
    const Atoms& a = known(c.display);
    const long version = kVersion;
    XChangeProperty(c.display, record.id, a.aware, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&version), 1);
}

void disableDrops(Record& record) {
    Connection& c = connection();
    XDeleteProperty(c.display, record.id, known(c.display).aware);
    if (drag.active && drag.target == record.id) endDrag();
}

bool handleDndEvent(const XEvent& event) {
    if (event.type != ClientMessage || event.xclient.format != 32) return false;
    Connection& c = connection();
    const Atoms& a = known(c.display);
    const XClientMessageEvent& m = event.xclient;
    const Window source = static_cast<Window>(m.data.l[0]);

    if (m.message_type == a.enter) {
        DropReceiver* receiver = receiverOf(m.window);
        if (!receiver) return true;
        if (drag.active) {
            if (DropReceiver* previous = receiverOf(drag.target)) previous->dragLeave();
        }
        drag = Drag{};
        drag.active = true;
        drag.target = m.window;
        drag.source = source;
        drag.version = (m.data.l[1] >> 24) & 0xFF;
        readTypeList(m);
        XdndData data(false, 0);
        drag.effect = receiver->dragEnter(&data, keyState());
        return true;
    }
    if (!drag.active || source != drag.source || m.window != drag.target) {
        return m.message_type == a.position || m.message_type == a.leave ||
               m.message_type == a.drop;
    }
    DropReceiver* receiver = receiverOf(drag.target);
    if (m.message_type == a.position) {
        // A drag's loop holds the editor: no drop is taken in the middle of one.
        drag.effect =
            receiver && c.procedureDepth == 0 ? receiver->dragOver(keyState()) : kDropEffectNone;
        const bool accept = drag.effect != kDropEffectNone;
        sendToSource(a.status, accept ? 1 : 0, 0, 0, static_cast<long>(actionOf(drag.effect)));
    } else if (m.message_type == a.leave) {
        if (receiver) receiver->dragLeave();
        endDrag();
    } else if (m.message_type == a.drop) {
        const bool accept = receiver && drag.effect != kDropEffectNone && c.procedureDepth == 0;
        if (accept) {
            // Sources of version 0 send no time stamp (0, the current time).
            XdndData data(true, static_cast<Time>(m.data.l[2]));
            receiver->drop(&data, keyState());
        } else if (receiver) {
            receiver->dragLeave();
        }
        if (drag.version >= 2)
            sendToSource(a.finished, accept ? 1 : 0,
                         accept ? static_cast<long>(actionOf(drag.effect)) : 0, 0, 0);
        endDrag();
    } else {
        return false;
    }
    return true;
}

} // namespace x11

// Names are handed to the views as the dragging program gave them: this system has no
// shortcut files.
void resolveShortcut(char*, int) {}

} // namespace platform
