// `trob view` on a virtual X server, as a user runs it: the editor appears in its window and
// paints, a slider dragged with the mouse is reported with --verbose, and closing the window
// (or destroying it) ends the program cleanly; without a display it says so.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

extern char** environ;

namespace {

// A running `trob view`, its output gathered in a file.
class ViewProcess {
public:
    explicit ViewProcess(std::vector<std::string> args, bool withDisplay = true) {
        char name[] = "/tmp/trob_view_XXXXXX";
        const int fd = mkstemp(name);
        outputPath = name;
        std::vector<std::string> all{TROB_PATH, "view"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (withDisplay || std::string(*e).rfind("DISPLAY=", 0) != 0) env.emplace_back(*e);
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fd, 1);
        posix_spawn_file_actions_adddup2(&actions, fd, 2);
        if (posix_spawn(&pid, TROB_PATH, &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fd);
    }
    ~ViewProcess() {
        if (pid > 0 && !exited) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        unlink(outputPath.c_str());
    }
    // The exit status, or -1 when it has not ended within the time.
    int wait(int seconds) {
        for (int i = 0; i < seconds * 100; ++i) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                exited = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    std::string output() const {
        std::string text;
        if (FILE* f = std::fopen(outputPath.c_str(), "r")) {
            char buffer[4096];
            std::size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
                text.append(buffer, n);
            std::fclose(f);
        }
        return text;
    }
    pid_t pid = -1;

private:
    bool exited = false;
    std::string outputPath;
};

class TrobView : public ::testing::Test {
protected:
    void SetUp() override {
        display = XOpenDisplay(nullptr);
        // The view's windows come and go under the test's requests; an error is an answer.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        if (!display) GTEST_SKIP() << "no X display (run under tests/x11/with_xvfb.sh)";
    }
    void TearDown() override {
        if (display) XCloseDisplay(display);
    }
    // The top-level window whose title starts with "trob view", once it has the editor.
    // The view's top-level window and the editor in it; with `editor` null, the top-level
    // window as soon as it exists, editor or not.
    Window findView(Window* editor) {
        for (int attempt = 0; attempt < 1000; ++attempt) {
            Window root = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
            Window found = 0;
            for (unsigned i = 0; i < count && !found; ++i) {
                char* name = nullptr;
                if (XFetchName(display, children[i], &name) && name) {
                    if (std::string(name).rfind("trob view", 0) == 0) found = children[i];
                    XFree(name);
                }
            }
            if (children) XFree(children);
            if (found && !editor) return found;
            if (found) {
                Window* inner = nullptr;
                if (XQueryTree(display, found, &root, &parent, &inner, &count) && count == 1) {
                    *editor = inner[0];
                    XFree(inner);
                    return found;
                }
                if (inner) XFree(inner);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }
    // Distinct colours in the editor's window: a painted editor shows many.
    int colours(Window editor) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, editor, &attributes) ||
            attributes.map_state != IsViewable)
            return 0; // not on the screen yet: nothing to read
        XImage* image = XGetImage(display, editor, 0, 0, 300, 225, AllPlanes, ZPixmap);
        if (!image) return 0;
        std::vector<unsigned long> seen;
        for (int y = 0; y < 225; y += 3)
            for (int x = 0; x < 300; x += 3) {
                const unsigned long p = XGetPixel(image, x, y);
                if (std::find(seen.begin(), seen.end(), p) == seen.end()) seen.push_back(p);
            }
        XDestroyImage(image);
        return static_cast<int>(seen.size());
    }
    void closeWindow(Window window) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = window;
        e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &e);
        XSync(display, False);
    }
    Display* display = nullptr;
};

TEST_F(TrobView, ShowsTheEditorReportsEditsAndEndsWhenTheWindowCloses) {
    ViewProcess view({"--mute", "--verbose"});
    ASSERT_GT(view.pid, 0);
    Window editor = 0;
    const Window window = findView(&editor);
    ASSERT_NE(window, 0u) << view.output();
    int shown = 0;
    for (int i = 0; i < 200 && shown < 20; ++i) {
        shown = colours(editor);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GE(shown, 20);

    // Drag the left slider (level curve) up: press on it, move, release, at the view's pace.
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, editor, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    const int sx = x + 232, sy = y + 150;
    XTestFakeMotionEvent(display, DefaultScreen(display), sx, sy, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XSync(display, False);
    for (int step = 1; step <= 10; ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        XTestFakeMotionEvent(display, DefaultScreen(display), sx, sy - 3 * step, 0);
        XSync(display, False);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    XTestFakeButtonEvent(display, 1, False, 0);
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    closeWindow(window);
    EXPECT_EQ(view.wait(20), 0) << view.output();
    const std::string out = view.output();
    EXPECT_NE(out.find("begin edit: parameter 13 (LevelCurve)"), std::string::npos) << out;
    EXPECT_NE(out.find("automation: parameter 13 (LevelCurve) = "), std::string::npos) << out;
    EXPECT_NE(out.find("end edit: parameter 13 (LevelCurve)"), std::string::npos) << out;
    EXPECT_LT(out.find("begin edit"), out.find("automation"));
    EXPECT_LT(out.rfind("automation"), out.find("end edit"));
}

// --scale 2: the window and the editor in it are twice the editor's size in each direction.
TEST_F(TrobView, ShowsTheEditorEnlarged) {
    ViewProcess view({"--mute", "--scale", "2"});
    ASSERT_GT(view.pid, 0);
    Window editor = 0;
    const Window window = findView(&editor);
    ASSERT_NE(window, 0u) << view.output();
    XWindowAttributes outer{}, inner{};
    ASSERT_TRUE(XGetWindowAttributes(display, window, &outer));
    ASSERT_TRUE(XGetWindowAttributes(display, editor, &inner));
    EXPECT_EQ(outer.width, 600);
    EXPECT_EQ(outer.height, 450);
    EXPECT_EQ(inner.width, 600);
    EXPECT_EQ(inner.height, 450);
    closeWindow(window);
    EXPECT_EQ(view.wait(20), 0) << view.output();
}

TEST_F(TrobView, EndsCleanlyWhenItsWindowIsDestroyed) {
    ViewProcess view({"--mute"});
    Window editor = 0;
    const Window window = findView(&editor);
    ASSERT_NE(window, 0u) << view.output();
    XDestroyWindow(display, window);
    XSync(display, False);
    EXPECT_EQ(view.wait(20), 0) << view.output();
}

// Closed at once, perhaps before the editor is in it (the view's requests then name a window
// that is gone).
TEST_F(TrobView, EndsCleanlyWhenItsWindowIsDestroyedAtOnce) {
    for (int round = 0; round < 5; ++round) {
        ViewProcess view({"--mute"});
        const Window window = findView(nullptr);
        ASSERT_NE(window, 0u) << view.output();
        XDestroyWindow(display, window);
        XSync(display, False);
        EXPECT_EQ(view.wait(20), 0) << view.output();
    }
}

TEST_F(TrobView, SaysWhatIsMissing) {
    ViewProcess noDisplay({"--mute"}, false);
    EXPECT_EQ(noDisplay.wait(20), 1);
    EXPECT_NE(noDisplay.output().find("trob view: no X display: DISPLAY is not set"),
              std::string::npos)
        << noDisplay.output();
    ViewProcess noFile({"--mute", "/nonexistent/file.wav"});
    EXPECT_EQ(noFile.wait(20), 1);
    EXPECT_NE(noFile.output().find("trob view: "), std::string::npos);
    ViewProcess badOption({"--loud"});
    EXPECT_EQ(badOption.wait(20), 2);
}

} // namespace
