#pragma once
// The dragging side of XDND for the tests: on a thread and a connection of its own, it offers
// data of given types, drags it to a window and drops it there, answering the target's
// requests for the data, and notes what the target answered.

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace x11_test {

struct DndOutcome {
    bool sawStatus = false;
    bool accepted = false; // the status answer to the position
    std::string action;    // the action the status named
    bool finished = false; // XdndFinished arrived
    bool dropAccepted = false;
    std::string finishedAction;
    std::vector<std::string> requested; // the types the target asked for
};

class DndSource {
public:
    // `offers`: each type with its bytes. `drop`: false leaves the window again instead.
    DndSource(std::vector<std::pair<std::string, std::string>> offered, unsigned long target,
              int rootX, int rootY, bool drop = true, int waitSeconds = 10)
        : offers(std::move(offered)), targetWindow(target), x(rootX), y(rootY), dropIt(drop),
          seconds(waitSeconds) {
        worker = std::thread([this] { run(); });
    }
    ~DndSource() {
        if (worker.joinable()) worker.join();
    }
    bool done() const { return finishedRunning.load(); }
    DndOutcome result() {
        if (worker.joinable()) worker.join();
        return outcome;
    }

private:
    void run() {
        Display* d = XOpenDisplay(nullptr);
        if (!d) {
            finishedRunning = true;
            return;
        }
        const Atom selection = XInternAtom(d, "XdndSelection", False);
        const auto atom = [&](const char* name) { return XInternAtom(d, name, False); };
        const Window source = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(d, selection, source, CurrentTime);

        const auto send = [&](const char* type, long l1, long l2, long l3, long l4) {
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = targetWindow;
            e.xclient.message_type = atom(type);
            e.xclient.format = 32;
            e.xclient.data.l[0] = static_cast<long>(source);
            e.xclient.data.l[1] = l1;
            e.xclient.data.l[2] = l2;
            e.xclient.data.l[3] = l3;
            e.xclient.data.l[4] = l4;
            XSendEvent(d, targetWindow, False, NoEventMask, &e);
            XFlush(d);
        };
        long types[3] = {0, 0, 0};
        for (std::size_t i = 0; i < offers.size() && i < 3; ++i)
            types[i] = static_cast<long>(atom(offers[i].first.c_str()));
        send("XdndEnter", 5L << 24, types[0], types[1], types[2]);
        send("XdndPosition", 0, static_cast<long>(x) << 16 | y, CurrentTime,
             static_cast<long>(atom("XdndActionCopy")));

        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        const auto nameOf = [&](Atom a) {
            if (!a) return std::string();
            char* n = XGetAtomName(d, a);
            std::string s = n ? n : "";
            if (n) XFree(n);
            return s;
        };
        bool dropped = false;
        while (std::chrono::steady_clock::now() < deadline && !outcome.finished) {
            while (XPending(d)) {
                XEvent e;
                XNextEvent(d, &e);
                if (e.type == ClientMessage && e.xclient.message_type == atom("XdndStatus")) {
                    outcome.sawStatus = true;
                    outcome.accepted = e.xclient.data.l[1] & 1;
                    outcome.action = nameOf(static_cast<Atom>(e.xclient.data.l[4]));
                } else if (e.type == ClientMessage &&
                           e.xclient.message_type == atom("XdndFinished")) {
                    outcome.finished = true;
                    outcome.dropAccepted = e.xclient.data.l[1] & 1;
                    outcome.finishedAction = nameOf(static_cast<Atom>(e.xclient.data.l[2]));
                } else if (e.type == SelectionRequest) {
                    answer(d, e.xselectionrequest, nameOf(e.xselectionrequest.target));
                }
            }
            if (outcome.sawStatus && !dropped) {
                dropped = true;
                if (dropIt) {
                    send("XdndDrop", 0, CurrentTime, 0, 0);
                } else {
                    send("XdndLeave", 0, 0, 0, 0);
                    break;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        XDestroyWindow(d, source);
        XCloseDisplay(d);
        finishedRunning = true;
    }

    void answer(Display* d, const XSelectionRequestEvent& request, const std::string& type) {
        outcome.requested.push_back(type);
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = request.requestor;
        reply.xselection.selection = request.selection;
        reply.xselection.target = request.target;
        reply.xselection.time = request.time;
        reply.xselection.property = 0;
        for (const auto& [offeredType, bytes] : offers) {
            if (offeredType != type) continue;
            XChangeProperty(d, request.requestor, request.property, request.target, 8,
                            PropModeReplace, reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<int>(bytes.size()));
            reply.xselection.property = request.property;
        }
        XSendEvent(d, request.requestor, False, NoEventMask, &reply);
        XFlush(d);
    }

    std::vector<std::pair<std::string, std::string>> offers;
    unsigned long targetWindow;
    int x, y;
    bool dropIt;
    int seconds;
    DndOutcome outcome;
    std::atomic<bool> finishedRunning{false};
    std::thread worker;
};

} // namespace x11_test
