// The note keyboard: the key table, held keys, codes outside the key states, and the mapping from
// Qt's key events (shifted digits, the comma key, auto-repeat).
#include "AudioControls/class_KeyboardNotes.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct KeyboardNotesTest : testing::Test {
    TKeyboardNotes notes;
    std::vector<float> played;
    void SetUp() override
    {
        notes.OnNote = [this](QObject* sender, float note) {
            EXPECT_EQ(sender, &notes);
            played.push_back(note);
        };
    }
    void Tap(int key)
    {
        notes.OnKeyDown(key);
        notes.OnKeyUp(key);
    }
};

TEST_F(KeyboardNotesTest, EveryTableKeyGivesItsSemitone)
{
    const std::string order = "ZSXDCVGBHNJM";
    for (const char key : order)
        Tap(key);
    Tap(TKeyboardNotes::kCommaKey);
    for (const char key : std::string("Q2W3ER5T6Y7U"))
        Tap(key);
    std::vector<float> expected;
    for (int note = -12; note <= 11; ++note) {
        expected.push_back(static_cast<float>(note));
        if (note == 0)
            expected.push_back(0.0f); // comma and Q both give 0
    }
    EXPECT_EQ(played, expected);
}

TEST_F(KeyboardNotesTest, AHeldKeyFiresOnceAndOtherKeysNothing)
{
    notes.OnKeyDown('Q');
    notes.OnKeyDown('Q');
    EXPECT_EQ(played, std::vector<float>{0.0f});
    notes.OnKeyUp('Q');
    notes.OnKeyDown('Q');
    EXPECT_EQ(played.size(), 2u);

    notes.OnKeyDown('A');
    notes.OnKeyDown('1');
    for (const int outside : {-1, 255, 256, 100000})
        notes.OnKeyDown(outside); // no key state to write: ignored
    EXPECT_EQ(played.size(), 2u);
}

TEST_F(KeyboardNotesTest, QtKeyEventsMapToTheTableAndAutoRepeatIsDropped)
{
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int code;
    };
    for (const Case c : {Case{Qt::Key_Q, {}, 'Q'}, Case{Qt::Key_2, {}, '2'}, Case{Qt::Key_At, Qt::ShiftModifier, '2'},
                         Case{Qt::Key_Ampersand, Qt::ShiftModifier, '7'}, Case{Qt::Key_Comma, {}, TKeyboardNotes::kCommaKey},
                         Case{Qt::Key_Less, Qt::ShiftModifier, TKeyboardNotes::kCommaKey}, Case{Qt::Key_F1, {}, -1}}) {
        const QKeyEvent event(QEvent::KeyPress, c.key, c.modifiers);
        EXPECT_EQ(KeyboardNotesKey(event), c.code) << c.key;
    }

    // X11 sends a held key as release and press pairs marked auto-repeat.
    ForwardKeyEvent(notes, QKeyEvent(QEvent::KeyPress, Qt::Key_W, {}));
    ForwardKeyEvent(notes, QKeyEvent(QEvent::KeyRelease, Qt::Key_W, {}, QString(), true));
    ForwardKeyEvent(notes, QKeyEvent(QEvent::KeyPress, Qt::Key_W, {}, QString(), true));
    ForwardKeyEvent(notes, QKeyEvent(QEvent::KeyRelease, Qt::Key_W, {}));
    ForwardKeyEvent(notes, QKeyEvent(QEvent::KeyPress, Qt::Key_W, {}));
    EXPECT_EQ(played, (std::vector<float>{2.0f, 2.0f}));
}

} // namespace
