// The X11 home's display connection: one per thread, opened with the thread's first window and
// closed by the outermost error trap once no window is left. Every batch of requests runs
// under `ErrorTrap`, so that the server's errors never reach the process's handler, and a
// broken connection (the server gone, a client killer) is noted instead of ending the host.

#include "platform/x11/x11_home.h"

#include <cstdlib>
#include <mutex>

namespace platform::x11 {
namespace {

thread_local Connection home;
thread_local int trapDepth = 0;
thread_local unsigned long caughtErrors = 0;
// The handler that was in place before the outermost trap of any thread.
XErrorHandler chainedHandler = nullptr;
std::mutex handlerMutex;

int onXError(Display* display, XErrorEvent* error) {
    if (display == home.display) {
        ++caughtErrors;
        return 0;
    }
    // Errors of the host's own connections (read by this thread while our handler stands)
    // go where they would have gone.
    XErrorHandler chained = nullptr;
    {
        std::lock_guard lock(handlerMutex);
        chained = chainedHandler;
    }
    return chained ? chained(display, error) : 0;
}

// Xlib calls this where it would otherwise end the process: the connection is broken (the
// server gone, or the connection closed under us, as xkill does to the client owning a
// window). The host lives on; the home gives its windows up at the next reading of events.
void connectionLost(Display* display, void*) {
    if (home.display == display) home.lost = true;
}

// The I/O error handler is the process's: Xlib's default one ends the process before the
// exit handler above is asked. The home's own returns for its connections (the one of the
// thread where the error is read) and leaves every other connection to the handler there
// was, so the host's own display still ends the way the host chose.
XIOErrorHandler chainedIoHandler = nullptr;

int onIoError(Display* display) {
    if (home.display == display) return 0;
    if (chainedIoHandler) return chainedIoHandler(display);
    return 0;
}

void installIoErrorHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        std::lock_guard lock(handlerMutex);
        XIOErrorHandler before = XSetIOErrorHandler(onIoError);
        if (before != onIoError) chainedIoHandler = before;
    });
}

} // namespace

void closeConnection() {
    Connection& c = home;
    if (!c.display) return;
    for (auto& [id, record] : c.windows)
        freeRecordResources(c.display, *record);
    c.windows.clear();
    c.messages.clear();
    c.cursors.clear(); // freed with the connection
    XCloseDisplay(c.display);
    c.display = nullptr;
    c.root = 0;
}

bool openConnection() {
    Connection& c = home;
    if (c.display) return true;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    c.display = XOpenDisplay(name);
    if (!c.display) return false;
    c.root = DefaultRootWindow(c.display);
    c.lost = false;
    installIoErrorHandler();
    XSetIOErrorExitHandler(c.display, &connectionLost, nullptr);
    return true;
}

Connection& connection() {
    return home;
}

Record* findRecord(Window id) {
    auto found = home.windows.find(id);
    return found == home.windows.end() ? nullptr : found->second.get();
}

ErrorTrap::ErrorTrap() : errorsBefore(caughtErrors) {
    if (trapDepth++ == 0) {
        std::lock_guard lock(handlerMutex);
        XErrorHandler before = XSetErrorHandler(onXError);
        if (before != onXError) chainedHandler = before;
    }
}

ErrorTrap::~ErrorTrap() {
    if (--trapDepth != 0) return;
    if (home.display) XSync(home.display, False);
    if (home.display && home.windows.empty()) closeConnection();
    std::lock_guard lock(handlerMutex);
    XSetErrorHandler(chainedHandler);
}

bool ErrorTrap::failed() {
    if (home.display) XSync(home.display, False);
    return caughtErrors != errorsBefore;
}

} // namespace platform::x11
