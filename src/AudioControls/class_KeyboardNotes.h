#pragma once

#include <QObject>

#include <array>
#include <cstdint>
#include <functional>

class QKeyEvent;

// Turns the computer keyboard into a two-octave note keyboard: the owner forwards key codes
// (the table's virtual-key codes, 0..254) and every newly pressed note key is reported once as a
// semitone offset. A held key does not repeat.
class TKeyboardNotes : public QObject {
    Q_OBJECT
public:
    explicit TKeyboardNotes(QObject* owner = nullptr);

    std::function<void(QObject* Sender, float note)> OnNote;

    void ResetKeys();
    void OnKeyDown(int key);
    void OnKeyUp(int key);

    // The semitone offset of a key, or kNoNote.
    static float NoteOfKey(int key);
    static constexpr float kNoNote = -10000.0f;
    static constexpr int kCommaKey = 0xBC;

private:
    std::array<uint8_t, 255> keyStates{};
};

// The key code the note table uses for a Qt key event: letters and digits as their upper-case
// character, the comma key as kCommaKey; -1 for any other key. With Shift a digit key reports its
// symbol (US layout) and the comma key "<": both map back to the key.
int KeyboardNotesKey(const QKeyEvent& event);
// Forwards a key press or release to `notes`, dropping the auto-repeat pairs X11 sends for a held key.
void ForwardKeyEvent(TKeyboardNotes& notes, const QKeyEvent& event);
