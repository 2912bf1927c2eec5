#pragma once
// Control of the headless home, for tests and the command-line host: a desktop of in-memory
// windows, a scripted clock and input, a queue of messages, and a record of what happened.
#include "platform/windowing.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {
struct SoftBitmap;
}

namespace platform::headless {

// The live state of mouse and keyboard at one moment. `advanceMs` moves the clock on when
// the state becomes current.
struct InputState {
    Position cursor;
    bool left = false;
    bool middle = false;
    bool right = false;
    bool shift = false;
    bool control = false;
    bool alt = false;
    uint32_t advanceMs = 0;
};

// Forgets every window, class, message, cursor and recorded event; the clock, input and
// system settings go back to their defaults.
void reset();

// A window as a host would own it, of a class that needs no procedure. `clientInset` is the
// distance of its client area from its outer rectangle (borders, caption).
WindowHandle createHostWindow(const char* className, uint32_t style, Box screenRect,
                              WindowHandle parent = nullptr, Box clientInset = {});

// The pixels of a window: ColorRef values, row by row from the top.
SoftBitmap* surface(WindowHandle window);
uint32_t pixel(WindowHandle window, int x, int y);
bool isWindow(WindowHandle window);
std::string title(WindowHandle window);
int liveWindowCount();
int registeredClassCount();

// Marks part of a window as needing paint, as the system does when it is uncovered.
void invalidate(WindowHandle window, const Box& box);
void invalidateAll(WindowHandle window);
// Queues a message for the window, stamped with the current tick count.
void postMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// A button press at a client position: the message the system queues for it.
void postButtonDown(WindowHandle window, uint32_t message, int x, int y);
// Runs the message loop until nothing is pending: queued messages first, then paints.
int dispatchAll();
// Sends a message straight to the window's procedure.
intptr_t sendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Input. `setInput` replaces the current state and clears the script. A script is a queue of
// states: the first becomes current at once, each read of the cursor position answers the
// current one and then makes the next one current, and the last one stays.
void setInput(const InputState& state);
void scriptInput(const std::vector<InputState>& states);
const InputState& currentInput();
int pendingInputStates();
void setButtonsSwapped(bool swapped);

// Time.
void setTickCount(uint32_t ticks);
void setDoubleClickTime(uint32_t milliseconds);
void setMessageTime(uint32_t ticks);
uint32_t totalSlept();

// System metrics the sizing code reads.
void setDialogFrameHeight(int pixels);

// Drag and drop: what a scripted drag offers, and what each fetch then gives.
struct ScriptedDrop {
    bool offersText = false;
    bool offersFiles = false;
    bool textFetchFails = false;
    bool textWithoutMemory = false; // fetched, but the storage holds no readable block
    std::string text;
    bool filesFetchFail = false;
    std::vector<std::string> files;
    std::vector<int> failingNames; // indexes whose fetch fails
};
// The four calls of a drag, delivered to the receiver registered for the window; each
// answers the effect shown, or -1 when the window takes no drops.
int dragEnter(WindowHandle window, const ScriptedDrop* drop, uint32_t keyState);
int dragOver(WindowHandle window, uint32_t keyState);
bool dragLeave(WindowHandle window);
bool drop(WindowHandle window, const ScriptedDrop& drop, uint32_t keyState);
// A whole drag of text, or of a file list, ending in a drop with the left button held.
bool dropText(WindowHandle window, const std::string& text);
bool dropFiles(WindowHandle window, const std::vector<std::string>& names);
bool isDropRegistered(WindowHandle window);
// Makes `name` a shell shortcut that resolves to `target`; an empty target removes it.
void setShortcut(const std::string& name, const std::string& target);

// Cursors and object linking.
int currentCursorId();
int oleInitializeDepth();

// What happened, one line per event: "create", "destroy", "size", "paint", "cursor", ...
const std::vector<std::string>& events();
void clearEvents();

} // namespace platform::headless
