#include "AudioControls/class_ScrollBarAdapter.h"

#include <algorithm>


TScrollBarAdapter::TScrollBarAdapter(QScrollBar* bar) : bar(bar)
{
    ApplyRange();
    valueConnection = QObject::connect(bar, &QScrollBar::valueChanged, bar, [this] {
        if (OnChange)
            OnChange();
    });
    actionConnection = QObject::connect(bar, &QScrollBar::actionTriggered, bar, [this](int action) {
        if (action == QAbstractSlider::SliderPageStepAdd)
            this->bar->setSliderPosition(this->bar->value() + largeChange);
        else if (action == QAbstractSlider::SliderPageStepSub)
            this->bar->setSliderPosition(this->bar->value() - largeChange);
    });
}

TScrollBarAdapter::~TScrollBarAdapter()
{
    QObject::disconnect(valueConnection);
    QObject::disconnect(actionConnection);
}

int TScrollBarAdapter::Position() const { return bar->value(); }
int TScrollBarAdapter::SmallChange() const { return bar->singleStep(); }

void TScrollBarAdapter::SetMin(int value) { min = value; ApplyRange(); }
void TScrollBarAdapter::SetMax(int value) { max = value; ApplyRange(); }
void TScrollBarAdapter::SetPageSize(int value) { pageSize = std::max(0, value); ApplyRange(); }
void TScrollBarAdapter::SetPosition(int value) { bar->setValue(value); }
void TScrollBarAdapter::SetSmallChange(int value) { bar->setSingleStep(value); }
void TScrollBarAdapter::SetLargeChange(int value) { largeChange = value; }

void TScrollBarAdapter::ApplyRange()
{
    const int highest = pageSize > 0 ? max - pageSize + 1 : max;
    bar->setRange(min, std::max(min, highest));
    if (pageSize > 0)
        bar->setPageStep(pageSize);
}
