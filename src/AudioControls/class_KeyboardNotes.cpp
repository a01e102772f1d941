#include "AudioControls/class_KeyboardNotes.h"

#include <QKeyEvent>

#include <utility>

TKeyboardNotes::TKeyboardNotes(QObject* owner) : QObject(owner)
{
    ResetKeys();
}

void TKeyboardNotes::ResetKeys()
{
    keyStates.fill(0);
}

float TKeyboardNotes::NoteOfKey(int key)
{
    static constexpr std::pair<int, int> kTable[] = {
        {'Z', -12}, {'S', -11}, {'X', -10}, {'D', -9}, {'C', -8}, {'V', -7}, {'G', -6}, {'B', -5}, {'H', -4},
        {'N', -3},  {'J', -2},  {'M', -1},  {kCommaKey, 0}, {'Q', 0}, {'2', 1}, {'W', 2}, {'3', 3}, {'E', 4},
        {'R', 5},   {'5', 6},   {'T', 7},   {'6', 8},   {'Y', 9},   {'7', 10},  {'U', 11}};
    for (const auto& [code, note] : kTable)
        if (code == key)
            return static_cast<float>(note);
    return kNoNote;
}

void TKeyboardNotes::OnKeyDown(int key)
{
    // Codes outside the table's range have no key state to keep.
    if (key < 0 || key >= static_cast<int>(keyStates.size()) || keyStates[key])
        return;
    keyStates[key] = 1;
    const float note = NoteOfKey(key);
    if (note != kNoNote && OnNote)
        OnNote(this, note);
}

void TKeyboardNotes::OnKeyUp(int key)
{
    if (key >= 0 && key < static_cast<int>(keyStates.size()))
        keyStates[key] = 0;
}

int KeyboardNotesKey(const QKeyEvent& event)
{
    const int key = event.key();
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key; // Qt's codes of these keys are their upper-case characters
    switch (key) {
    case Qt::Key_Comma:
    case Qt::Key_Less:
        return TKeyboardNotes::kCommaKey;
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    default: return -1;
    }
}

void ForwardKeyEvent(TKeyboardNotes& notes, const QKeyEvent& event)
{
    if (event.isAutoRepeat())
        return;
    const int key = KeyboardNotesKey(event);
    if (event.type() == QEvent::KeyPress)
        notes.OnKeyDown(key);
    else if (event.type() == QEvent::KeyRelease)
        notes.OnKeyUp(key);
}
