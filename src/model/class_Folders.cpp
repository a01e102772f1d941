#include "model/class_Folders.h"

#include <QDir>
#include <QStandardPaths>

#include <filesystem>

namespace {

std::string CreatedFolder(const QString& path)
{
    QDir().mkpath(path);
    return QDir::cleanPath(path).toStdString();
}

std::filesystem::path ExecutablePath()
{
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

// Creates the folder's last level when it is missing; failures show up at the first file made in it.
std::string EnsureFolder(const std::string& path)
{
    QDir().mkdir(QString::fromStdString(path));
    return path;
}

} // namespace

std::string GetDocumentsFolder()
{
    return CreatedFolder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

std::string GetDataFolder()
{
    return EnsureFolder(GetDocumentsFolder() + "/Sonorel");
}

std::string GetCDRipFolder()
{
    return EnsureFolder(GetDataFolder() + "/CD Rip");
}

std::string GetRecordFolder()
{
    return EnsureFolder(GetDataFolder() + "/Record");
}

std::string GetAppDataFolder()
{
    return CreatedFolder(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Sonorel");
}

std::string ExecutableFileName()
{
    return ExecutablePath().filename().string();
}

std::string ExecutableFolder()
{
    return ExecutablePath().parent_path().string();
}
