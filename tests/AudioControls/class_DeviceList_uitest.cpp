#include "AudioControls/class_DeviceList.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

QStringList Items(const TDeviceList& list)
{
    QStringList items;
    for (int i = 0; i < list.count(); ++i)
        items << list.itemText(i);
    return items;
}

// A machine with the given outputs: texts 1..n, then nothing.
std::function<std::string(int)> Machine(std::vector<std::string> devices)
{
    return [devices](int index) {
        return index >= 1 && index <= static_cast<int>(devices.size()) ? devices[index - 1] : std::string();
    };
}

TEST(DeviceList, ListsDefaultDeviceThenEachOutputAndSelectsTheDefault)
{
    TDeviceList list;
    list.DeviceText = Machine({"Speakers", "USB Headset"});
    for (int fill = 0; fill < 2; ++fill) { // filling again gives the same items, not twice as many
        list.setCurrentIndex(list.count() - 1);
        list.GetDeviceNames();
        EXPECT_EQ(Items(list), (QStringList{"Default Device", "Speakers", "USB Headset"}));
        EXPECT_EQ(list.currentIndex(), 0);
    }
}

TEST(DeviceList, IsAListWithoutFreeTextOfTwentyRows)
{
    TDeviceList list;
    EXPECT_FALSE(list.isEditable());
    EXPECT_EQ(list.maxVisibleItems(), 20);
}

TEST(DeviceList, ReadsTheSoundLibrarysOutputs)
{
    // Whatever this machine has, the library's list ends with its silent null output.
    TDeviceList list;
    list.GetDeviceNames();
    ASSERT_GE(list.count(), 2);
    EXPECT_EQ(list.itemText(0), "Default Device");
    EXPECT_EQ(list.itemText(list.count() - 1), "No sound (null output)");
}

} // namespace
