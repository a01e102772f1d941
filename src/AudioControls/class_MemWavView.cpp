#include "AudioControls/class_MemWavView.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace {

constexpr int kScrollIntervalMs = 25;
constexpr int kMaxScrollDistance = 12;
constexpr std::int64_t kFullSampleWalk = 200; // columns up to this many samples are scanned whole
constexpr std::int64_t kSampledPoints = 100;  // longer columns are sampled at about this many points
constexpr std::int64_t kMaxPixelCoordinate = 1 << 20;

// trunc(value) limited to 0..limit; 0 for a value that is not a number.
std::int64_t TruncToRange(double value, std::int64_t limit)
{
    if (!(value > 0.0))
        return 0;
    if (value >= static_cast<double>(limit))
        return limit;
    return static_cast<std::int64_t>(value);
}

// value * numerator / denominator for 0 <= numerator <= denominator, without overflowing 64 bits.
std::int64_t ScaleBytes(std::int64_t value, std::int64_t numerator, std::int64_t denominator)
{
    return value / denominator * numerator + value % denominator * numerator / denominator;
}

struct Peaks {
    std::int16_t min;
    std::int16_t max;
};

// Largest and smallest of n >= 1 samples; long columns are sampled, so the cost per column is
// bounded whatever the zoom.
Peaks ColumnPeaks(const std::int16_t* samples, std::int64_t n)
{
    Peaks p{samples[0], samples[0]};
    auto visit = [&p](std::int16_t v) {
        if (v > p.max)
            p.max = v;
        else if (v < p.min)
            p.min = v;
    };
    if (n <= kFullSampleWalk) {
        for (std::int64_t i = 0; i < n; ++i)
            visit(samples[i]);
    } else {
        const std::int64_t step = std::max<std::int64_t>(1, n / kSampledPoints);
        for (std::int64_t i = 0; i < n - 4; i += step)
            visit(samples[i]);
    }
    return p;
}

} // namespace

float WrapUnitPosition(double value)
{
    if (!std::isfinite(value))
        return 0.0f;
    if (value > 1.0)
        value -= std::ceil(value - 1.0);
    else if (value < 0.0)
        value -= std::floor(value);
    return static_cast<float>(std::clamp(value, 0.0, 1.0));
}

float WrapUnitLength(double value)
{
    if (!std::isfinite(value))
        return 0.0f;
    if (value > 1.0)
        value -= std::ceil(value - 1.0);
    else if (value < -1.0)
        value += std::ceil(-value - 1.0);
    return static_cast<float>(std::clamp(value, -1.0, 1.0));
}

TMemWavView::TMemWavView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    scrollTimer.setInterval(kScrollIntervalMs);
    connect(&scrollTimer, &QTimer::timeout, this, [this] { OnScrollTimer(); });
}

TMemWavView::~TMemWavView() = default;

void TMemWavView::SetMemBuffer(const void* buffer, std::int64_t length)
{
    block = buffer;
    blockLength = buffer ? std::max<std::int64_t>(0, length) : 0;
    Redraw();
    CallViewChange();
}

// ---- properties ----

void TMemWavView::SetViewStart(float value)
{
    viewStart = WrapUnitPosition(value);
    Redraw();
    CallViewChange();
}

void TMemWavView::SetViewLen(float value)
{
    viewLen = WrapUnitPosition(value);
    Redraw();
    CallViewChange();
}

void TMemWavView::SetSelStart(float value)
{
    selStart = WrapUnitPosition(value);
    Redraw();
    if (OnSelChange)
        OnSelChange(this);
}

void TMemWavView::SetSelLen(float value)
{
    selLen = WrapUnitLength(value);
    Redraw();
    if (OnSelChange)
        OnSelChange(this);
}

float TMemWavView::GetSelStart() const { return selLen < 0.0f ? selStart + selLen : selStart; }
float TMemWavView::GetSelLen() const { return std::fabs(selLen); }
float TMemWavView::GetSelEnd() const { return GetSelStart() + GetSelLen(); }

void TMemWavView::SetColorPCM(TColor value) { colorPCM = value; Redraw(); }
void TMemWavView::SetColorPCMOrig(TColor value) { colorPCMOrig = value; Redraw(); }
void TMemWavView::SetColorBack(TColor value) { colorBack = value; Redraw(); }
void TMemWavView::SetVertical(bool value) { vertical = value; Redraw(); }
void TMemWavView::SetViewMargin(int value) { viewMargin = value; Redraw(); }

// ---- conversions ----

float TMemWavView::XToWavPos(int x) const
{
    if (width() <= 0)
        return viewStart;
    return static_cast<float>(static_cast<double>(x) * viewLen / width() + viewStart);
}

float TMemWavView::XDiffToWavLen(int dx) const
{
    if (width() <= 0)
        return 0.0f;
    return static_cast<float>(static_cast<double>(dx) * viewLen / width());
}

int TMemWavView::WavPosToX(float pos) const
{
    const int lastColumn = width() - 1;
    if (lastColumn < 0 || !std::isfinite(pos) || pos < viewStart || pos > viewStart + viewLen)
        return -1;
    if (pos == 1.0f)
        return lastColumn;
    if (!(viewLen > 0.0f))
        return 0;
    const double x = static_cast<double>(lastColumn) * (pos - viewStart) / viewLen;
    return static_cast<int>(TruncToRange(x, lastColumn));
}

// ---- zoom ----

void TMemWavView::ZoomOut()
{
    const float newLen = viewLen * 1.4f;
    viewStart += (viewLen - newLen) * 0.5f;
    viewLen = newLen;
    if (viewStart < 0.0f)
        viewStart = 0.0f;
    if (viewLen > 1.0f)
        viewLen = 1.0f;
    if (viewStart + viewLen > 1.0f)
        viewStart = 1.0f - viewLen;
    Redraw();
    CallViewChange();
}

void TMemWavView::ZoomIn()
{
    const float viewEnd = viewStart + viewLen;
    const bool selectionInView = GetSelStart() >= viewStart && GetSelStart() <= viewEnd &&
                                 GetSelEnd() >= viewStart && GetSelEnd() <= viewEnd;
    if (selectionInView)
        viewStart = GetSelStart() + GetSelLen() * 0.5f - viewLen * 0.5f;
    const float newLen = viewLen * 0.7142857142857143f;
    viewStart += (viewLen - newLen) * 0.5f;
    viewLen = newLen;
    if (selectionInView)
        ClampViewStart();
    Redraw();
    CallViewChange();
}

void TMemWavView::ZoomInSelection()
{
    if (selLen == 0.0f)
        return;
    viewStart = GetSelStart();
    viewLen = GetSelLen();
    Redraw();
    CallViewChange();
}

void TMemWavView::Full()
{
    viewStart = 0.0f;
    viewLen = 1.0f;
    Redraw();
    CallViewChange();
}

void TMemWavView::ClampViewStart()
{
    if (viewStart < 0.0f)
        viewStart = 0.0f;
    if (viewStart > 1.0f - viewLen)
        viewStart = 1.0f - viewLen;
}

void TMemWavView::CallViewChange()
{
    if (OnViewChange)
        OnViewChange(this);
}

void TMemWavView::PostDraw(QPainter&) {}

// ---- drawing ----

QRect TMemWavView::VisibleArea() const
{
    if (!isVisible())
        return {};
    const QRect shown = visibleRegion().boundingRect();
    return QRect(shown.x(), 0, shown.width(), height()).intersected(rect());
}

void TMemWavView::Redraw()
{
    const QRect area = VisibleArea();
    if (area.isEmpty()) {
        pictureValid = false; // built when the view is shown
        return;
    }
    Render(area);
    update(area);
}

TMemWavView::SelectedColumns TMemWavView::SelectionColumns() const
{
    SelectedColumns s{WavPosToX(GetSelStart()), WavPosToX(GetSelStart() + GetSelLen())};
    if (GetSelStart() < viewStart)
        s.x1 = 0;
    if (viewStart + viewLen <= GetSelEnd())
        s.x2 = width() - 1;
    return s;
}

void TMemWavView::Render(const QRect& area)
{
    if (bitmap.size() != area.size())
        bitmap = QImage(area.size(), QImage::Format_RGB32);
    bitmap.fill(ui::ToQColor(colorBack));
    QPainter canvas(&bitmap);
    canvas.translate(-area.x(), -area.y());
    drawingArea = area;

    if (block) {
        const std::int64_t offset = TruncToRange(static_cast<double>(blockLength) * viewStart, blockLength) & ~std::int64_t(3);
        const float visibleFraction = viewStart + viewLen > 1.0f ? 1.0f - viewStart : viewLen;
        const std::int64_t visibleBytes = TruncToRange(static_cast<double>(blockLength) * visibleFraction, blockLength - offset);

        SelectedColumns selected = SelectionColumns();
        if (selected.x1 != -1 && selected.x2 != -1)
            canvas.fillRect(QRect(QPoint(selected.x1, 0), QPoint(selected.x2, height() - 1)), ui::ToQColor(ColorSelectionBack));
        if (selected.x1 == -1)
            selected.x1 = width();
        if (selected.x2 == -1)
            selected.x2 = 0;
        const auto* data = reinterpret_cast<const std::int16_t*>(static_cast<const char*>(block) + offset);
        DrawWave(canvas, area, data, visibleBytes, selected);
    }
    PostDraw(canvas);
    if (OnDraw)
        OnDraw(this, canvas);
    if (block && selLen == 0.0f)
        DrawCursor(canvas);
    canvas.end();
    pictureArea = area;
    pictureValid = true;
}

void TMemWavView::DrawWave(QPainter& canvas, const QRect& area, const std::int16_t* data, std::int64_t bytes,
                           SelectedColumns selected) const
{
    const std::int64_t total = width();
    if (total <= 0)
        return;
    const double scaled = std::trunc(static_cast<double>(Scale) * 4096.0);
    const std::int64_t k = std::isfinite(scaled) ? static_cast<std::int64_t>(std::clamp(scaled, -1e9, 1e9)) : 0;
    const std::int64_t h = (height() - 2 * viewMargin) / 2;
    auto y = [h, k](std::int16_t v) {
        const std::int64_t value = v * k / 4096;
        return std::clamp<std::int64_t>(h + h * value / 32767, -kMaxPixelCoordinate, kMaxPixelCoordinate);
    };
    const QColor pcm = ui::ToQColor(colorPCM);
    const QColor selectedPcm = ui::ToQColor(ColorSelectionPCM);

    const int first = std::max(0, area.left());
    const int last = std::min<int>(total - 1, area.right());
    for (int i = first; i <= last; ++i) {
        std::int64_t a = ScaleBytes(bytes, i, total);
        std::int64_t b = ScaleBytes(bytes, i + 1, total);
        a -= a % 2;
        b -= b % 2;
        // A column narrower than one sample shows the sample it starts in, when the block has it.
        const std::int64_t n = std::max<std::int64_t>((b - a) / 2, a + 2 <= bytes ? 1 : 0);
        if (n == 0)
            break;
        const Peaks peaks = ColumnPeaks(data + a / 2, n);
        const std::int64_t y1 = y(peaks.max) + viewMargin + 1;
        const std::int64_t y2 = y(peaks.min) + viewMargin + 1;
        const bool inSelection = selected.x1 <= i && i <= selected.x2;
        canvas.fillRect(QRect(i, static_cast<int>(std::min(y1, y2)), 1, static_cast<int>(std::abs(y1 - y2) + 1)),
                        inSelection ? selectedPcm : pcm);
    }
}

void TMemWavView::DrawCursor(QPainter& canvas) const
{
    const int x = WavPosToX(selStart);
    if (x == -1)
        return;
    canvas.setBrush(ui::ToQColor(colorBack));
    canvas.setPen(QPen(ui::ToQColor(ColorSelectionBack), 1, Qt::DotLine));
    canvas.drawLine(x, 0, x, height());
}

void TMemWavView::paintEvent(QPaintEvent* event)
{
    const QRect needed(event->rect().x(), 0, event->rect().width(), height());
    if (!pictureValid || !pictureArea.contains(needed))
        Render(needed.united(VisibleArea()).intersected(rect()));
    QPainter screen(this);
    screen.drawImage(pictureArea.topLeft(), bitmap);
}

void TMemWavView::resizeEvent(QResizeEvent*) { Redraw(); }

void TMemWavView::showEvent(QShowEvent*) { Redraw(); }

// ---- mouse ----

void TMemWavView::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    ImageMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TMemWavView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    ImageMouseMove(this, event->modifiers(), p.x(), p.y());
}

void TMemWavView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    ImageMouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TMemWavView::ImageMouseDown(QObject*, Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int)
{
    if (Button != Qt::LeftButton && !RightButtonSelect)
        return;
    RightButtonSelection = Button == Qt::RightButton;
    selStart = XToWavPos(X);
    selLen = 0.0f;
    Redraw();
    selecting = true;
}

void TMemWavView::ImageMouseMove(QObject* Sender, Qt::KeyboardModifiers, int X, int)
{
    if (!selecting)
        return;
    X = FollowMouseOutside(Sender, X);
    SetSelLen(XToWavPos(X) - selStart);
}

void TMemWavView::ImageMouseUp(QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    StopScrollTimer();
    if (selecting) {
        if (selLen < 0.0f) {
            const float oldLen = selLen;
            SetSelStart(selStart + selLen);
            SetSelLen(-oldLen);
        }
        if (OnSelEnd)
            OnSelEnd(this);
    }
    selecting = false;
}

int TMemWavView::FollowMouseOutside(QObject* Sender, int X)
{
    const bool outside = X > width() || X < 0;
    if (outside) {
        scrollTag = X > width() ? X - width() : X;
        if (!scrollTimer.isActive())
            scrollTimer.start();
    } else if (Sender) {
        StopScrollTimer();
    }
    return std::clamp(X, 0, std::max(0, width()));
}

void TMemWavView::StopScrollTimer() { scrollTimer.stop(); }

void TMemWavView::OnScrollTimer()
{
    const int d = std::clamp(scrollTag, -kMaxScrollDistance, kMaxScrollDistance);
    const double power = std::pow(static_cast<double>(ScrollSpeed), std::abs(d));
    const int step = static_cast<int>(std::isfinite(power) ? std::clamp(std::trunc(power), -1e9, 1e9) : 0.0);
    viewStart += 0.2f * XDiffToWavLen(d < 0 ? -step : step);
    ClampViewStart();
    Redraw();
    ImageMouseMove(nullptr, Qt::NoModifier, scrollTag >= 0 ? width() : 0, 0);
}
