#include "model/class_Settings.h"

#include "model/class_Folders.h"
#include "platform/text/NumberText.h"

#include <QSettings>
#include <QString>

#include <mutex>

const TRegString ShowHelp("ShowHelp", "1");
const TRegString OutputDevice("OutputDevice", "0");
const TRegString OutputDeviceIndex("OutputDeviceIndex", "0");
const TRegString OutputFrequency("OutputFrequency", "44100");
const TRegString LoadLast("LoadLast", "1");
const TRegString LastProject("LastProject", "");

namespace {

std::mutex storeLock; // one QSettings object at a time keeps reads and writes of threads ordered

QString StoreKey(const std::string& keyPath)
{
    return QString::fromStdString(keyPath).replace('\\', '/');
}

std::string KeyPath(const TRegString& setting)
{
    return ExecutableFileName() + "\\" + setting.Name;
}

QSettings Store()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Sonorel", "Sonorel");
}

} // namespace

TRegString::TRegString(std::string name, std::string defaultText)
    : Name(std::move(name)), Default(std::move(defaultText))
{
}

std::string RegistryReadString(const std::string& keyPath, const std::string& fallback)
{
    std::lock_guard<std::mutex> lock(storeLock);
    const std::string text = Store().value(StoreKey(keyPath)).toString().toStdString();
    return text.empty() ? fallback : text;
}

void RegistryWriteString(const std::string& keyPath, const std::string& text)
{
    std::lock_guard<std::mutex> lock(storeLock);
    QSettings store = Store();
    store.setValue(StoreKey(keyPath), QString::fromStdString(text));
    store.sync();
}

std::string ReadSettingString(const TRegString& setting)
{
    return RegistryReadString(KeyPath(setting), setting.Default);
}

int ReadSettingInt(const TRegString& setting)
{
    return ui::TextToIntDef(ReadSettingString(setting), 0);
}

bool ReadSettingBool(const TRegString& setting)
{
    const std::string text = ReadSettingString(setting);
    double number = 0;
    if (ui::TextToFloat(text, number))
        return number != 0;
    return QString::fromStdString(text).trimmed().compare("True", Qt::CaseInsensitive) == 0;
}

void WriteSettingString(const TRegString& setting, const std::string& text)
{
    RegistryWriteString(KeyPath(setting), text);
}

void WriteSettingInt(const TRegString& setting, int value)
{
    WriteSettingString(setting, std::to_string(value));
}

void WriteSettingBool(const TRegString& setting, bool value)
{
    WriteSettingString(setting, value ? "-1" : "0");
}
