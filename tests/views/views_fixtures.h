#pragma once
// Views, editors and a host for the view, frame and editor-base tests, all on the headless
// home.

#include "host/effect_base_x.h"
#include "host/gui_editor/gui_editor.h"
#include "host/opcodes.h"
#include "platform/headless/headless.h"
#include "toolkit/draw_context.h"
#include "toolkit/frame.h"
#include "toolkit/view.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace views_test {

inline std::vector<std::string> journal;

// A view that fills its rectangle with one colour and notes what reaches it.
class ProbeView : public View {
public:
    ProbeView(const char* name, const Rect& rect, Color color = kRedColor)
        : View(rect), name(name), color(color) {}
    ~ProbeView() override { journal.push_back(name + " deleted"); }

    void draw(DrawContext* context) override {
        ++draws;
        context->setFillColor(color);
        context->fillRect(Rect(size.left - 1, size.top - 1, size.right, size.bottom));
        View::draw(context);
    }
    void mouse(DrawContext* context, const Point& where) override {
        journal.push_back(name + " mouse " + std::to_string(where.h) + "," +
                          std::to_string(where.v) + (context ? "" : " no context"));
    }
    std::int32_t onKeyDown(KeyCode& key) override {
        journal.push_back(name + " key " + std::to_string(key.character));
        return keyAnswer;
    }
    std::int32_t onKeyUp(KeyCode&) override {
        journal.push_back(name + " key up");
        return keyAnswer;
    }
    bool onDrop(void** items, std::int32_t count, std::int32_t type, const Point& where) override {
        std::string what = type == 1 ? std::string(static_cast<const char*>(items[0]),
                                                   static_cast<std::size_t>(count))
                                     : std::to_string(count) + " files";
        journal.push_back(name + " drop " + what + " at " + std::to_string(where.h) + "," +
                          std::to_string(where.v));
        return dropAnswer;
    }
    bool onWheel(DrawContext*, const Point& where, float distance) override {
        journal.push_back(name + " wheel " + std::to_string(where.h) + "," +
                          std::to_string(where.v) + " " + std::to_string(distance));
        return true;
    }
    void loseFocus(DrawContext*) override { journal.push_back(name + " loses focus"); }
    bool attached(View*) override {
        journal.push_back(name + " attached");
        return true;
    }
    bool removed(View*) override {
        journal.push_back(name + " removed");
        return true;
    }

    std::string name;
    Color color;
    int draws = 0;
    std::int32_t keyAnswer = -1;
    bool dropAnswer = true;
};

// An effect whose host callback the test controls.
class HostedEffect : public EffectBaseX {
public:
    using Answer = std::function<IntPtr(std::int32_t opcode, std::int32_t index, IntPtr value,
                                        void* ptr, float opt)>;
    HostedEffect() : EffectBaseX(&HostedEffect::callback, 1, 1) { current = this; }
    ~HostedEffect() override { current = nullptr; }
    void process(float**, float**, std::int32_t) override {}

    static IntPtr TROB_CALL callback(EffectRecord*, std::int32_t opcode, std::int32_t index,
                                     IntPtr value, void* ptr, float opt) {
        if (!current) return 0;
        current->calls.push_back(opcode);
        return current->answer ? current->answer(opcode, index, value, ptr, opt) : 0;
    }

    static inline HostedEffect* current = nullptr;
    std::vector<std::int32_t> calls;
    Answer answer;
};

// An editor that opens a 300 x 225 frame in the host's window, as the plug-in's editor does.
class TestEditor : public GuiEditor {
public:
    explicit TestEditor(EffectBaseX* effect) : GuiEditor(effect) { rect = {0, 0, 225, 300}; }
    ~TestEditor() override { close(); }

    std::int32_t open(void* parent) override {
        GuiEditor::open(parent);
        frame = new Frame(Rect(0, 0, 300, 225), static_cast<platform::WindowHandle>(parent), this);
        if (onOpen) onOpen(frame);
        return 1;
    }
    void close() override {
        closeFrame();
    }
    void idle() override {
        ++idles;
        GuiEditor::idle();
    }
    void performUpdate() override { ++updates; }

    std::function<void(Frame*)> onOpen;
    int idles = 0;
    int updates = 0;
};

// Every test starts on an empty desktop with one host window to open editors in.
class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::headless::reset();
        journal.clear();
        host = platform::headless::createHostWindow("HostEditorWindow", platform::kWsChild,
                                                    {100, 50, 400, 275});
    }
    void TearDown() override { platform::headless::reset(); }

    platform::WindowHandle host = nullptr;
};

// A host window with the test editor open in it.
class OpenEditorTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        editor = new TestEditor(&effect);
        effect.dispatcher(effEditOpen, 0, 0, host, 0.0f);
        frame = editor->getFrame();
        ASSERT_NE(frame, nullptr);
        window = frame->getWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        HeadlessTest::TearDown();
    }

    HostedEffect effect;
    TestEditor* editor = nullptr; // owned by the effect
    Frame* frame = nullptr;
    platform::WindowHandle window = nullptr;
};

inline platform::ColorRef red() {
    return platform::makeColorRef(255, 0, 0);
}
inline platform::ColorRef green() {
    return platform::makeColorRef(0, 255, 0);
}
inline platform::ColorRef blue() {
    return platform::makeColorRef(0, 0, 255);
}
inline platform::ColorRef black() {
    return platform::makeColorRef(0, 0, 0);
}

} // namespace views_test
