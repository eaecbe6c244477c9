#include "runs/restorechecks.h"
#include "core/folderwithin.h"
#include "core/service.h"
#include "platform/files.h"
#include "platform/listing.h"
#include "runs/naming.h"

namespace kx {

namespace {

const QString kLineBreak = QStringLiteral("\r\n");

RestoreCheck stop(QStringList parts, RestoreCheck::Field field = RestoreCheck::Field::None, const QString &joint = {})
{
    return {RestoreCheck::Verdict::Stop, {std::move(parts), joint}, field};
}

// A target that is there: refused without the overwrite choice, otherwise the question.
RestoreCheck existingTarget(bool overwrite, const QStringList &refusal, const QString &refusalJoint, bool file)
{
    if (!overwrite)
        return stop(refusal, RestoreCheck::Field::None, refusalJoint);
    return {RestoreCheck::Verdict::Overwrite,
            {{file ? KX_TEXT("Hedef dosya mevcut.") : KX_TEXT("Hedef dizin mevcut."),
              file ? KX_TEXT("Isleme devam ederseniz hedef dosyanin uzerine geri yukleme yapilacaktir.")
                   : KX_TEXT("Isleme devam ederseniz hedef dizinde bulunan dosyalarin uzerine geri yukleme yapilacaktir."),
              KX_TEXT("Geri yukleme yapilsin mi?")},
             kLineBreak},
            RestoreCheck::Field::None};
}

} // namespace

QString RestoreMessage::text() const
{
    QStringList translated;
    translated.reserve(parts.size());
    for (const QString &p : parts)
        translated.append(trMsg(p));
    return translated.join(joint);
}

bool targetInsideSource(const QString &source, const QString &target)
{
    if (source.trimmed().isEmpty() || target.trimmed().isEmpty())
        return false;
    return folderWithin(target, source);
}

QString existingFileIgnoringCase(const QString &path)
{
    if (path.isEmpty())
        return QString();
    if (pathExists(path))
        return path;
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
    const QString name = path.mid(slash + 1);
    if (name.isEmpty())
        return QString();
    for (const DirEntry &e : listDirectory(folder))
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return path.left(slash + 1) + e.name;
    return QString();
}

QString firebirdRestoreTarget(const QString &backupFile, const QString &folder, const QString &extension)
{
    if (backupFile.isEmpty() || folder.isEmpty())
        return QString();
    QString name = backupFile.mid(backupFile.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    // The extension is replaced in the file's own name: a folder that happens to hold the same
    // text keeps its name.
    if (dot >= 0)
        name = name.left(dot) + u'.' + extension;
    else if (!extension.isEmpty())
        name += u'.' + extension;
    return BackSlash(folder) + name;
}

RestoreCheck checkFolderRestore(const FolderRestoreParams &p)
{
    using F = RestoreCheck::Field;
    if (p.pattern.trimmed().isEmpty())
        return stop({KX_TEXT("Lutfen geri yuklenecek dosya tipini belirleyiniz.")}, F::Pattern);
    if (p.sourceFolder.trimmed().isEmpty())
        return stop({KX_TEXT("Lutfen kaynak dizini belirtiniz.")}, F::Source);
    if (!isFolder(p.sourceFolder))
        return stop({KX_TEXT("Kaynak dizin bulunamadi."), KX_TEXT(" Lutfen kontrol ediniz.")}, F::Source);
    if (p.targetFolder.trimmed().isEmpty())
        return stop({KX_TEXT("Lutfen hedef dizini belirtiniz.")}, F::Target);
    // Into the backup folder itself, or a folder inside it: files onto themselves, or without end.
    if (targetInsideSource(p.sourceFolder, p.targetFolder))
        return stop({KX_TEXT("Hedef dizin, kaynak dizin ya da onun icinde bir dizin olamaz.")}, F::Target);
    if (isFolder(p.targetFolder))
        return existingTarget(p.overwrite, {KX_TEXT("Hedef dizin mevcut.")}, QString(), false);
    return {};
}

RestoreCheck checkZipRestore(const FolderRestoreParams &p)
{
    if (!isPlainFile(p.archive))
        return stop({KX_TEXT("Geri yuklenecek dosya bulunamadi."), KX_TEXT(" Lutfen kontrol ediniz.")});
    if (p.targetFolder.trimmed().isEmpty())
        return stop({KX_TEXT("Lutfen hedef dizini belirtiniz.")}, RestoreCheck::Field::Target);
    if (isFolder(p.targetFolder))
        return existingTarget(p.overwrite, {KX_TEXT("Hedef dizin mevcut."), KX_TEXT(" Lutfen kontrol ediniz.")},
                              kLineBreak, false);
    return {};
}

RestoreCheck checkFirebirdRestore(FirebirdRestoreParams &p, const QString &namedTarget, bool overwrite)
{
    // Only the last missing field is named.
    QString missing;
    if (p.userName.isEmpty())
        missing = KX_TEXT("Lutfen kullanici adini giriniz.");
    if (p.password.isEmpty())
        missing = KX_TEXT("Lutfen kullanici parolasini giriniz.");
    if (p.backupFile.isEmpty())
        missing = KX_TEXT("Lutfen yedeklenecek dosyayi belirleyiniz.");
    if (namedTarget.isEmpty())
        missing = KX_TEXT("Lutfen hedef dizini belirtiniz.");
    if (!missing.isEmpty())
        return stop({missing});
    if (!isPlainFile(p.backupFile))
        return stop({KX_TEXT("Kaynak dosya bulunamadi."), KX_TEXT(" Lutfen kontrol ediniz.")});
    const QString existing = existingFileIgnoringCase(p.databaseFile);
    if (existing.isEmpty())
        return {};
    p.databaseFile = existing;
    return existingTarget(overwrite, {KX_TEXT("Hedef dosya mevcut.")}, QString(), true);
}

QString restoreRunningText(const RunningState &running, RunKind kind)
{
    if (!running.isRunning(kind))
        return QString();
    if (kind == RunKind::FirebirdRestore)
        return trMsg(QStringLiteral("Su an geri yukleme yapiliyor.")) + trMsg(QStringLiteral(" Lutfen daha sonra deneyiniz."));
    return trMsg(QStringLiteral("Su an geri yukleme yapiliyor.")) + kLineBreak
           + trMsg(QStringLiteral("Daha sonra yeniden deneyiniz."));
}

} // namespace kx
