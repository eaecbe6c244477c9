#include "settings/registry.h"
#include "platform/kxerror.h"
#include "settings/inifile.h"
#include "settings/kxstorage.h"

#include <QFileInfo>
#include <unistd.h>

namespace kx {

QString defaultRegistryPath()
{
    return QStringLiteral("/etc/korvanex/Kovanci3.ini");
}

namespace {

// The value is deleted by rewriting the file through a temporary beside it, so both the file
// and its folder must be writable; otherwise we have no rights and leave everything alone.
bool canRewrite(const QString &path)
{
    const QFileInfo fi(path);
    return fi.isFile() && ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0
           && ::access(QFile::encodeName(fi.absolutePath()).constData(), W_OK | X_OK) == 0;
}

} // namespace

bool takeOverRegistryLanguage(TKxStorage &settings, const QString &registryPath)
{
    const QString section = QStringLiteral("Kovanci3");
    const QString key = QStringLiteral("Language");
    if (registryPath.isEmpty() || !canRewrite(registryPath))
        return false;
    try {
        IniFile reg(registryPath);
        if (!reg.hasKey(section, key))
            return false;
        const QString language = reg.readString(section, key, QString());
        reg.deleteKey(section, key);
        reg.save();
        settings.setValue(QStringLiteral("DIL"), language);
    } catch (const Error &) {
        return false; // unreadable or not rewritable: no rights
    }
    settings.SaveValues();
    return true;
}

} // namespace kx
