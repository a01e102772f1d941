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

} // namespace

std::string GetDocumentsFolder()
{
    return CreatedFolder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
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
