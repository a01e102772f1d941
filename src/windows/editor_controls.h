#pragma once

// What the transition, transformation and mix-view editors share: the parameter label texts, the
// seconds lists with their spin buttons, the preview playback through the live mixer, and the
// skinned window's look.

#include <QComboBox>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QDialog;
class QScrollBar;

// "%d%%" of the volume, "mute" at 0.
std::string VolumeText(int32_t volume);
// "x%.2f" of (speed + 100) x 0.01; empty at 0.
std::string SpeedText(float speed);
// "%.1f semitone(s)" of pitch x 0.001; empty at 0.
std::string PitchText(int64_t pitch);

// The seconds a list's text gives ('.' decimals). False for a text that is not a number or is
// negative: such a text changes nothing.
bool ListSeconds(const std::string& text, float& seconds);

// An editable list of whole seconds "0" to "15" whose text may also be typed or stepped to a
// fraction. OnChange runs only for the user's actions: a pick, typing, a spin step. The selected
// item is tracked here: typing or stepping leaves none selected (-1), as setting the text does.
class TSecondsList : public QComboBox {
    Q_OBJECT
public:
    explicit TSecondsList(QWidget* parent);

    int ItemIndex() const { return itemIndex; }
    void SetItemIndex(int index); // from code: no OnChange
    std::string Text() const;
    void SetText(const std::string& text); // from code: no OnChange, no item selected
    // One spin step of 0.01 s up or down (never below 0), then OnChange.
    void Step(float step);

    std::function<void()> OnChange;

private:
    int itemIndex = -1;
};

// Two small arrow buttons, one above the other, that step a seconds list.
class TSpinButton : public QWidget {
    Q_OBJECT
public:
    TSpinButton(QWidget* parent, TSecondsList* list);
    TSecondsList* List() const { return list; }

private:
    TSecondsList* list;
};

// A scroll bar of a row parameter: range, steps, and its change handler (user or code).
QScrollBar* ParameterBar(QWidget* parent, int min, int max, int smallChange, int largeChange,
                         std::function<void()> onChange);

// Stops the live mix (and any preview).
void StopPreview();
// The output's latency: the position a person hears is the mix clock minus this.
inline constexpr float kPreviewLatency = 0.08f;

// Repaints a row of the main window's playlist (no playlist: nothing).
void RefreshMainPlaylistRow(int row);

struct cMixRow;
class QTimer;
class TAudioMixTable;

// The row an editor shows; the editors open only on an existing row.
cMixRow& EditedRow(int index);

// The list text of a length that is on: 2 decimals at most, '.' separator; "0" when off.
std::string LengthText(bool on, float length);

// The volume bar's position of a row's volume (no row: 0); the bar's middle is 100%.
int VolumePosition(const cMixRow* row, int max);

// Shows the volume (percent) of the preview's view k as its waveform's height (no view: nothing).
void ScaleRowView(TAudioMixTable& mix, int k, int32_t volume);

// The look of the skinned editors' plain widgets (text on the dark skin).
void ApplyEditorStyle(QDialog* form);

class QLabel;
class QPushButton;
class TTimeLine;
class TSkinPicture;

// The preview of the skinned editors: an audio mix table in `area` with 94-pixel channels,
// negative times allowed, the scroll bar under it and the ruler in its strip.
struct cEditorPreview {
    TAudioMixTable* Mix;
    QScrollBar* Scroll;
    TTimeLine* TimeLine;
};
cEditorPreview MakeEditorPreview(QWidget* form, const QRect& area, double viewLen);

// The play loop of an editor's preview. It plays the mix through the live mixer from a point
// (triggers ignored), follows the play position with the table's P marker every 25 ms while the
// window shows, and plays again from the loop's start once the position passes the loop's end.
// Closing the window stops the timer, empties the table and does to the sound what AtClose says.
class TPreviewLoop : public QObject {
    Q_OBJECT
public:
    enum class cAtClose {
        StopPlayback,   // whatever plays stops
        StopOwnPreview, // a preview started here stops; a mix started elsewhere plays on
        KeepPlaying,    // playback goes on (the main window shows it and stops it)
    };
    // A stretch of the mix played over and over (seconds).
    struct cLoop {
        double Start;
        double End;
    };

    // onTimer runs at every tick of the timer (the window's handler, which calls Tick).
    TPreviewLoop(QDialog* form, TAudioMixTable* mix, cAtClose atClose, std::function<void()> onTimer);

    // Only the project's selected row sounds.
    bool Solo = false;
    // Playing is this preview's own state, set by PlayFrom and cleared by Stop: a stop from
    // elsewhere, or the end of the mix, plays it again from the loop's start at the next tick.
    bool Latched = false;
    // The P marker shows while the preview plays and hides while it does not.
    bool MarkerShowsPlay = true;
    // The loop, asked at every tick; none: the preview plays on. By default the visible window.
    std::function<std::optional<cLoop>()> LoopRange;

    QTimer* PosTimer;

    bool Playing() const;
    void PlayFrom(double t);
    void RestartFrom(double t); // stops, then plays from t
    void Stop();
    // Forgets a preview started before: it is no longer played again, nor stopped by closing.
    void ClearPlaying() { started = false; }
    // Follows the play and loops it; gives the position followed, none while nothing plays.
    std::optional<float> Tick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Close();

    TAudioMixTable* mix;
    cAtClose atClose;
    bool started = false;
};

// One line of row parameter controls at (x, y): caption, scroll bar, value label, "reset".
struct cParameterLine {
    QScrollBar* Bar;
    QLabel* Label;
    QPushButton* Reset;
};
cParameterLine MakeParameterLine(QWidget* form, const char* caption, int x, int y, QScrollBar* bar);

// A caption over or beside a control.
QLabel* MakeCaption(QWidget* form, const char* text, const QRect& place);

// A picture button of a skinned editor; a background picture that drags the window.
TSkinPicture* MakeEditorButton(QWidget* form, const std::string& skinName, int left, int top);
TSkinPicture* MakeEditorBackground(QDialog* form, const std::string& skinName);
