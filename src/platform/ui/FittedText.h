#pragma once

class QAbstractItemView;
class QFontMetrics;
class QLabel;
class QPainter;
class QRectF;
class QString;
class QTextOption;

namespace ui {

// Titles in narrow places are shown whole when they fit, else cut at the end with "…", never
// cut off mid-letter at the edge.

// The title as it fits in `width` pixels: whole, or its beginning ended with "…"; empty when not
// even one letter and the "…" fit.
QString FittedTitle(const QFontMetrics& metrics, const QString& title, int width);

// The text as the painter draws it wrapped in `area` with `option`: whole when it fits, else with
// its middle replaced by "…" so that its beginning and its end (a path's file name) both show;
// empty when not even one line fits.
QString FittedWrappedText(QPainter& painter, const QRectF& area, const QString& text, const QTextOption& option);

// Shows the title on the label, fitted to its width; the tooltip holds the whole title.
void ShowFittedTitle(QLabel* label, const QString& title);

// Keeps every item of the view within its visible width (no sideways scrolling), so the view
// ends a text that is wider with "…".
void FitItemsToView(QAbstractItemView* view);

// The width a window needs for the window manager to show its whole title (a narrower window
// gets it cut in the middle, "Save … onorel"): the title as the window system writes it, followed
// by the application's display name, in the title bar's font, plus room for the bar's icon and
// buttons.
int WholeTitleWidth(const QString& title);

} // namespace ui
