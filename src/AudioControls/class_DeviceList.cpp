#include "AudioControls/class_DeviceList.h"

#include "platform/sound/SoundLibrary.h"

TDeviceList::TDeviceList(QWidget* owner) : QComboBox(owner), DeviceText(BASS_GetDeviceText)
{
    setEditable(false); // a drop-down list: no free text
    setMaxVisibleItems(20);
}

void TDeviceList::GetDeviceNames()
{
    clear();
    addItem(QStringLiteral("Default Device"));
    for (int index = 1;; ++index) {
        const std::string text = DeviceText(index);
        if (text.empty())
            break;
        addItem(QString::fromStdString(text));
    }
    setCurrentIndex(0);
}
