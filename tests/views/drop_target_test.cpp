// The frame window's drop target: the effects it shows while data is dragged over it, and
// what a drop hands the view under the cursor.

#include "toolkit/drop_target.h"
#include "views_fixtures.h"

namespace views_test {
namespace {

using platform::headless::ScriptedDrop;

// Keeps what a drop hands over, since the items live only during the call.
class NameView : public View {
public:
    NameView() : View(Rect(0, 0, 300, 225)) {}
    bool onDrop(void** items, std::int32_t count, std::int32_t type, const Point&) override {
        ++drops;
        lastType = type;
        lastCount = count;
        names.clear();
        if (type == 0)
            for (std::int32_t i = 0; i < count; ++i)
                names.emplace_back(static_cast<const char*>(items[i]));
        else
            names.emplace_back(static_cast<const char*>(items[0]), std::size_t(count));
        return true;
    }
    int drops = 0;
    std::int32_t lastType = -1;
    std::int32_t lastCount = -1;
    std::vector<std::string> names;
};

class DropTargetTest : public OpenEditorTest {
protected:
    void SetUp() override {
        OpenEditorTest::SetUp();
        view = new NameView;
        ASSERT_TRUE(frame->addView(view));
        platform::headless::setInput({{140, 90}});
    }
    NameView* view = nullptr;
};

TEST_F(DropTargetTest, EffectsFollowTheDataAndTheControlKey) {
    using namespace platform;
    ScriptedDrop text;
    text.offersText = true;
    text.text = "abc";
    EXPECT_EQ(headless::dragEnter(window, &text, kMkLButton | kMkControl), 1) << "copy";
    EXPECT_EQ(headless::dragOver(window, kMkLButton), 2) << "move";
    EXPECT_EQ(headless::dragOver(window, kMkControl), 1);
    EXPECT_TRUE(headless::dragLeave(window));
    EXPECT_EQ(headless::dragOver(window, 0), 2) << "leaving keeps what was found on entry";

    ScriptedDrop files;
    files.offersFiles = true;
    EXPECT_EQ(headless::dragEnter(window, &files, kMkControl), 1);

    ScriptedDrop neither;
    EXPECT_EQ(headless::dragEnter(window, &neither, kMkControl), 0);
    EXPECT_EQ(headless::dragOver(window, kMkControl), 0);
    EXPECT_EQ(headless::dragOver(window, 0), 0);
    EXPECT_EQ(headless::dragEnter(window, &text, 0), 2);
    EXPECT_EQ(headless::dragEnter(window, nullptr, 0), 0) << "no data object";
    EXPECT_EQ(headless::dragOver(window, 0), 0);
    EXPECT_EQ(view->drops, 0) << "dragging alone drops nothing";
}

TEST_F(DropTargetTest, TextIsHandedOverAsOneBlockWithItsSize) {
    const std::string block("one\0two", 7);
    ASSERT_TRUE(platform::headless::dropText(window, block));
    EXPECT_EQ(view->lastType, 1);
    EXPECT_EQ(view->lastCount, 7);
    EXPECT_EQ(view->names, std::vector<std::string>{block});

    // Text comes first when the data offers both.
    ScriptedDrop both;
    both.offersText = both.offersFiles = true;
    both.text = "t";
    both.files = {"/f"};
    ASSERT_TRUE(platform::headless::drop(window, both, 0));
    EXPECT_EQ(view->lastType, 1);

    // Empty text, or a storage that cannot be read, reaches no view and is not retried as files.
    view->drops = 0;
    both.text.clear();
    platform::headless::drop(window, both, 0);
    both.text = "x";
    both.textWithoutMemory = true;
    platform::headless::drop(window, both, 0);
    EXPECT_EQ(view->drops, 0);

    // Text that cannot be fetched gives way to the file list.
    both.textFetchFails = true;
    platform::headless::drop(window, both, 0);
    EXPECT_EQ(view->lastType, 0);
    EXPECT_EQ(view->names, std::vector<std::string>{"/f"});
}

TEST_F(DropTargetTest, NamesThatCannotBeFetchedAreSkippedAndTheRestKeepTheirOrder) {
    ScriptedDrop files;
    files.offersFiles = true;
    files.files = {"/music/a.wav", "/music/b.wav", "/music/c.wav"};
    files.failingNames = {1};
    ASSERT_TRUE(platform::headless::drop(window, files, 0));
    EXPECT_EQ(view->lastType, 0);
    EXPECT_EQ(view->lastCount, 2);
    EXPECT_EQ(view->names, (std::vector<std::string>{"/music/a.wav", "/music/c.wav"}));

    view->drops = 0;
    files.failingNames = {0, 1, 2};
    platform::headless::drop(window, files, 0);
    files.failingNames.clear();
    files.filesFetchFail = true;
    platform::headless::drop(window, files, 0);
    files.filesFetchFail = false;
    files.files.clear();
    platform::headless::drop(window, files, 0);
    EXPECT_EQ(view->drops, 0) << "no name, no failed list and no empty list reach a view";

    // A name longer than the views take is cut to 1023 characters.
    files.files = {std::string(5000, 'n')};
    platform::headless::drop(window, files, 0);
    ASSERT_EQ(view->names.size(), 1u);
    EXPECT_EQ(view->names[0], std::string(DropTarget::kNameCapacity - 1, 'n'));
}

TEST_F(DropTargetTest, ShortcutsAreReplacedByTheirTargets) {
    platform::headless::setShortcut("C:\\Links\\Song.LNK", "C:\\MUSIC\\SONG.WAV");
    platform::headless::setShortcut("C:\\Links\\song.lnkx", "C:\\wrong");
    platform::headless::setShortcut("C:\\Links\\Cut.lnk", std::string(3000, 'p'));
    ASSERT_TRUE(
        platform::headless::dropFiles(window, {"C:\\Links\\Song.LNK", "C:\\Links\\song.lnkx",
                                               "C:\\Links\\Broken.lnk", "C:\\Links\\Cut.lnk"}));
    ASSERT_EQ(view->names.size(), 4u);
    EXPECT_EQ(view->names[0], "C:\\MUSIC\\SONG.WAV") << "extension compared without case";
    EXPECT_EQ(view->names[1], "C:\\Links\\song.lnkx") << "no shortcut";
    EXPECT_EQ(view->names[2], "C:\\Links\\Broken.lnk") << "unresolved: under its own name";
    EXPECT_EQ(view->names[3].size(), std::size_t(DropTarget::kNameCapacity - 1));
}

TEST_F(DropTargetTest, NothingReachesTheViewsWhileAControlHoldsTheFocus) {
    auto* focus = new ProbeView("F", Rect());
    frame->setFocusView(focus);
    ScriptedDrop text;
    text.offersText = true;
    text.text = "ignored";
    EXPECT_EQ(platform::headless::dragEnter(window, &text, 0), 2)
        << "the platform is told a drop would be taken";
    EXPECT_TRUE(platform::headless::drop(window, text, 0));
    EXPECT_EQ(view->drops, 0);
    frame->setFocusView(nullptr);
    focus->forget();
}

} // namespace
} // namespace views_test
