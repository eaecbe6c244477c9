#include "scheduling/unfinished.h"
#include "platform/headway.h"
#include "core/codepage.h"
#include "core/joblist.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/listing.h"
#include "platform/pathname.h"
#include "scheduling/retention.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {

namespace {

QString markerPath(const QString &runFolder)
{
    return (runFolder.endsWith(u'/') ? runFolder : runFolder + u'/') + QLatin1String(kUnfinishedMarker);
}

const QString kRunning = QStringLiteral("CALISIYOR");
const QString kReported = QStringLiteral("BILDIRILDI");
const QString kFailed = QStringLiteral("BASARISIZ");

UnfinishedRun readMarker(const QString &runFolder)
{
    UnfinishedRun run;
    run.runFolder = runFolder;
    try {
        const JobFile old = JobFile::load(markerPath(runFolder));
        run.module = old.value(QStringLiteral("MODUL"));
        run.jobName = old.value(QStringLiteral("YEDEKADI"));
        run.source = old.value(QStringLiteral("KAYNAK"));
        run.target = old.value(QStringLiteral("HEDEF"));
    } catch (const Error &) {
    }
    return run;
}

void writeMarker(const UnfinishedRun &run, const QString &state)
{
    JobFile m;
    m.setValue(QStringLiteral("DURUM"), state);
    m.setValue(QStringLiteral("MODUL"), run.module);
    m.setValue(QStringLiteral("YEDEKADI"), run.jobName);
    m.setValue(QStringLiteral("KAYNAK"), run.source);
    m.setValue(QStringLiteral("HEDEF"), run.target);
    m.save(markerPath(run.runFolder));
}

void removeBelow(int dirFd)
{
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    while (dirent *e = ::readdir(dir)) {
        Headway::stepHere();
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            const int sub = ::openat(::dirfd(dir), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                removeBelow(sub);
        } else if (S_ISREG(st.st_mode) && isLeftoverTemporary(decodePath(QByteArray(e->d_name)))) {
            ::unlinkat(::dirfd(dir), e->d_name, 0);
        }
    }
    ::closedir(dir);
}

} // namespace

void markUnfinished(const UnfinishedRun &run)
{
    writeMarker(run, kRunning);
}

void markFinished(const QString &runFolder)
{
    const QString path = markerPath(runFolder);
    if (::unlink(encodePath(path).constData()) != 0 && errno != ENOENT)
        throw Error(QStringLiteral("\"%1\" silinemedi."), {path});
}

void markFailed(const QString &runFolder)
{
    writeMarker(readMarker(runFolder), kFailed);
}

bool isUnfinished(const QString &runFolder)
{
    struct stat st;
    return ::lstat(encodePath(markerPath(runFolder)).constData(), &st) == 0;
}

bool isLeftoverTemporary(const QString &fileName)
{
    return fileName.startsWith(QLatin1String(".kx-"))
           && (fileName.endsWith(QLatin1String(".tmp")) || fileName.endsWith(QLatin1String(".part")));
}

void removeLeftovers(const QString &folder)
{
    const int fd = ::open(encodePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        removeBelow(fd);
}

QList<UnfinishedRun> unfinishedRuns(const QString &jobName, const JobFile &job, bool reportedToo)
{
    return unfinishedRuns(jobName, {job.value(QStringLiteral("HEDEF_DIZIN")), job.value(QStringLiteral("HEDEFDIZIN2"))},
                          reportedToo);
}

QList<UnfinishedRun> unfinishedRuns(const QString &jobName, const QStringList &targets, bool reportedToo)
{
    QList<UnfinishedRun> out;
    const QString prefix = jobPrefix(jobName);
    for (const QString &target : targets) {
        if (target.isEmpty())
            continue;
        QStringList names;
        for (const DirEntry &e : listDirectory(target, prefix + QStringLiteral("_*")))
            if (e.isDir && !e.isSymlink)
                names.append(e.name);
        const QString folder = target.endsWith(u'/') ? target : target + u'/';
        for (const RunEntry &run : runList(names, prefix)) {
            const QString runFolder = folder + run.name;
            if (!isUnfinished(runFolder))
                continue;
            JobFile marker;
            try {
                marker = JobFile::load(markerPath(runFolder));
            } catch (const Error &) {
                // Unreadable: still unfinished, told with what the folder itself says.
            }
            const QString state = marker.value(QStringLiteral("DURUM"));
            if (!reportedToo && (state == kReported || state == kFailed))
                continue;
            UnfinishedRun u;
            u.runFolder = runFolder;
            u.module = marker.value(QStringLiteral("MODUL"));
            u.jobName = jobName;
            u.source = marker.value(QStringLiteral("KAYNAK"));
            u.target = marker.value(QStringLiteral("HEDEF"));
            if (u.target.isEmpty())
                u.target = runFolder;
            out.append(u);
        }
    }
    return out;
}

void markReported(const QString &runFolder)
{
    writeMarker(readMarker(runFolder), kReported);
}

} // namespace kx
