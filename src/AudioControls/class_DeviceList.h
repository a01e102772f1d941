#pragma once

#include <QComboBox>

#include <functional>
#include <string>

// A drop-down list of the sound outputs, "Default Device" first. The index of an item is the
// sound library's output device number; item 0 stands for the system's default device.
class TDeviceList : public QComboBox {
    Q_OBJECT
public:
    explicit TDeviceList(QWidget* owner = nullptr);

    // Fills the list again: "Default Device", then the text of each output device 1, 2, ... until
    // the library gives an empty text; selects item 0.
    void GetDeviceNames();

    // Where the device texts come from: the sound library, or a machine's worth of devices in tests.
    std::function<std::string(int index)> DeviceText;
};
