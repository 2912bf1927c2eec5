// Drops of any text (any bytes, any length) and any file lists onto an open editor's frame,
// at any mouse position, with the editor opened, idled and closed in between and views taken
// out of the tree. Each view that receives a drop reads all of it.

#include "fuzz_common.h"
#include "host/effect_base_x.h"
#include "host/gui_editor/gui_editor.h"
#include "host/opcodes.h"
#include "platform/headless/headless.h"
#include "toolkit/frame.h"
#include "toolkit/view.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Expected {
    std::size_t textSize = 0;
    std::vector<std::string> files;
} expected;

// Reads every byte a drop hands over and checks it is what the platform delivered.
class ReadingView : public View {
public:
    ReadingView(const Rect& rect, bool answer) : View(rect), answer(answer) {}
    bool onDrop(void** items, std::int32_t count, std::int32_t type, const Point&) override {
        if (type == 1) {
            if (count <= 0 || std::size_t(count) != expected.textSize)
                fuzz::fail("text size", count);
            const auto* text = static_cast<const unsigned char*>(items[0]);
            for (std::int32_t i = 0; i < count; ++i)
                sum += text[i];
        } else {
            if (count <= 0 || std::size_t(count) > expected.files.size())
                fuzz::fail("file count", count);
            for (std::int32_t i = 0; i < count; ++i) {
                if (!items[i]) fuzz::fail("null file name", i);
                sum += std::strlen(static_cast<const char*>(items[i]));
            }
        }
        return answer;
    }
    std::size_t sum = 0;
    bool answer;
};

class DropEffect : public EffectBaseX {
public:
    DropEffect() : EffectBaseX(nullptr, 1, 1) {}
    void process(float**, float**, std::int32_t) override {}
};

// Opens a 300 x 225 frame with a view filling it, a container with two views inside, and
// one view at the edge, as an editor's frame might hold them.
class DropEditor : public GuiEditor {
public:
    explicit DropEditor(EffectBaseX* effect) : GuiEditor(effect) { rect = {0, 0, 225, 300}; }
    ~DropEditor() override { close(); }
    std::int32_t open(void* parent) override {
        GuiEditor::open(parent);
        frame = new Frame(Rect(0, 0, 300, 225), static_cast<platform::WindowHandle>(parent), this);
        frame->addView(new ReadingView(Rect(0, 0, 300, 225), false));
        container = new ViewContainer(Rect(20, 20, 200, 150), frame);
        container->addView(new ReadingView(Rect(0, 0, 90, 130), true));
        container->addView(new ReadingView(Rect(80, 10, 180, 120), false));
        frame->addView(container);
        frame->addView(new ReadingView(Rect(299, 224, 300, 225), true));
        return 1;
    }
    void close() override {
        closeFrame();
        container = nullptr;
    }
    ViewContainer* container = nullptr;
};

std::string text(fuzz::Input& in) {
    std::size_t count = in.byte();
    if (count == 255) count = in.take<std::uint16_t>();
    const std::uint8_t* from = in.bytes(count);
    std::string result(reinterpret_cast<const char*>(from), count);
    // Now and then something much larger than any input.
    if (in.byte() == 0xFF) result.append(std::size_t(1) << 20, result.empty() ? 'x' : result[0]);
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    platform::headless::reset();
    platform::WindowHandle host = platform::headless::createHostWindow(
        "HostEditorWindow", platform::kWsChild, {100, 50, 400, 275});
    {
        DropEffect effect;
        auto* editor = new DropEditor(&effect); // owned by the effect
        effect.dispatcher(effEditOpen, 0, 0, host, 0.0f);
        for (int step = 0; step < 64 && !in.empty(); ++step) {
            Frame* frame = editor->getFrame();
            platform::WindowHandle window = frame ? frame->getWindow() : nullptr;
            switch (in.byte() % 8) {
            case 0: {
                platform::headless::InputState state;
                state.cursor = {in.awkwardInt(), in.awkwardInt()};
                if (in.byte() & 1) state.cursor = {100 + in.byte() * 2, 50 + in.byte()};
                platform::headless::setInput(state);
                break;
            }
            case 1:
            case 2: {
                const std::string dropped = text(in);
                expected.textSize = dropped.size();
                if (window) platform::headless::dropText(window, dropped);
                break;
            }
            case 3: {
                std::vector<std::string> names(in.byte() % 40);
                for (auto& name : names)
                    name = text(in);
                expected.files = names;
                if (window) platform::headless::dropFiles(window, names);
                break;
            }
            case 4:
                effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
                break;
            case 5:
                if (frame && editor->container && (in.byte() & 1)) {
                    frame->removeView(editor->container);
                    editor->container = nullptr;
                }
                break;
            case 6:
                effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
                break;
            default:
                if (!frame) effect.dispatcher(effEditOpen, 0, 0, host, 0.0f);
                break;
            }
        }
        effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    }
    platform::headless::reset();
    return 0;
}
