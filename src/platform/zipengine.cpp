#include "platform/zipengine.h"
#include "platform/kxerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <zip.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {

namespace {

QString zipMessage(zip_t *za)
{
    return QString::fromLocal8Bit(zip_strerror(za));
}

QString openMessage(int code)
{
    zip_error_t err;
    zip_error_init_with_code(&err, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&err));
    zip_error_fini(&err);
    return text;
}

struct ZipHandle {
    zip_t *za = nullptr;
    ~ZipHandle()
    {
        if (za)
            zip_discard(za);
    }
};

} // namespace

bool storedWithoutCompression(const QString &fileName)
{
    static const QStringList stored = {QStringLiteral("gif"), QStringLiteral("png"), QStringLiteral("z"),
                                       QStringLiteral("zip"), QStringLiteral("zoo"), QStringLiteral("arc"),
                                       QStringLiteral("lzh"), QStringLiteral("arj"), QStringLiteral("taz"),
                                       QStringLiteral("tgz"), QStringLiteral("lha"), QStringLiteral("rar"),
                                       QStringLiteral("ace"), QStringLiteral("cab"), QStringLiteral("gz"),
                                       QStringLiteral("gzip"), QStringLiteral("jar")};
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0 || fileName.indexOf(u'/', dot) >= 0)
        return false;
    return stored.contains(fileName.mid(dot + 1), Qt::CaseInsensitive);
}

void packZip(const QString &archive, const QString &baseFolder, const QStringList &files, const QByteArray &password,
             const PackProgress &progress)
{
    // libzip writes into a temporary beside the archive and renames it at the end, so an
    // interrupted run never leaves a half archive under the real name.
    int code = 0;
    ZipHandle h;
    h.za = zip_open(QFile::encodeName(archive).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!h.za)
        throw Error(QStringLiteral("\"%1\": %2").arg(archive, openMessage(code)));

    QString base = baseFolder;
    while (base.size() > 1 && base.endsWith(u'/'))
        base.chop(1);
    const qsizetype cut = base == QLatin1String("/") ? 1 : base.size() + 1;

    for (const QString &file : files) {
        const QString name = file.mid(cut);
        // Through the archive, so that a file refused right away leaves its reason there.
        zip_source_t *src = zip_source_file(h.za, QFile::encodeName(file).constData(), 0, -1);
        if (!src)
            throw Error(QStringLiteral("\"%1\": %2").arg(file, zipMessage(h.za)));
        const zip_int64_t idx = zip_file_add(h.za, name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (idx < 0) {
            zip_source_free(src);
            throw Error(QStringLiteral("\"%1\": %2").arg(file, zipMessage(h.za)));
        }
        const bool store = storedWithoutCompression(name);
        if (zip_set_file_compression(h.za, zip_uint64_t(idx), store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, store ? 0 : 9) < 0
            || zip_file_set_encryption(h.za, zip_uint64_t(idx), ZIP_EM_AES_256, password.constData()) < 0)
            throw Error(QStringLiteral("\"%1\": %2").arg(file, zipMessage(h.za)));
    }

    struct State {
        const PackProgress *p;
    } state{&progress};
    zip_register_progress_callback_with_state(
        h.za, 0.0001,
        [](zip_t *, double share, void *ud) {
            auto *s = static_cast<State *>(ud);
            if (s->p->advanced)
                s->p->advanced(share);
        },
        nullptr, &state);
    if (progress.started)
        progress.started();
    if (zip_close(h.za) < 0)
        throw Error(QStringLiteral("\"%1\": %2").arg(archive, zipMessage(h.za)));
    h.za = nullptr;
    if (progress.finished)
        progress.finished();
}

ZipInfo inspectZip(const QString &archive)
{
    int code = 0;
    ZipHandle h;
    h.za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &code);
    if (!h.za)
        throw Error(QStringLiteral("\"%1\": %2").arg(archive, openMessage(code)));
    ZipInfo info;
    info.entries = zip_get_num_entries(h.za, 0);
    for (zip_int64_t i = 0; i < info.entries; ++i) {
        zip_stat_t st;
        if (zip_stat_index(h.za, zip_uint64_t(i), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
            info.totalSize += qint64(st.size);
    }
    return info;
}

namespace {

// A stored name that stays inside the target folder, or empty when it would leave it.
QString safeRelative(const QString &name)
{
    QString n = name;
    n.replace(u'\\', u'/');
    if (n.startsWith(u'/') || (n.size() > 1 && n.at(1) == u':'))
        return QString();
    const QStringList parts = n.split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return QString();
    for (const QString &p : parts)
        if (p == QLatin1String("..") || p == QLatin1String("."))
            return QString();
    return parts.join(u'/') + (n.endsWith(u'/') ? QStringLiteral("/") : QString());
}

} // namespace

UnpackResult unpackZip(const QString &archive, const QString &targetFolder, const QByteArray &password, bool overwrite,
                       const std::function<void(qint64, qint64)> &afterEntry)
{
    int code = 0;
    ZipHandle h;
    h.za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!h.za)
        throw Error(QStringLiteral("\"%1\": %2").arg(archive, openMessage(code)));
    zip_set_default_password(h.za, password.isEmpty() ? nullptr : password.constData());

    QString root = targetFolder;
    while (root.size() > 1 && root.endsWith(u'/'))
        root.chop(1);
    UnpackResult result;
    const zip_int64_t count = zip_get_num_entries(h.za, 0);
    QByteArray buffer(1024 * 1024, Qt::Uninitialized);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *rawName = zip_get_name(h.za, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        const QString name = QString::fromUtf8(rawName ? rawName : "");
        const QString rel = safeRelative(name);
        if (rel.isEmpty()) {
            result.refused.append(name);
            continue;
        }
        const QString path = root + u'/' + rel;
        if (rel.endsWith(u'/')) {
            if (!QDir().mkpath(path))
                throw Error(QStringLiteral("\"%1\" klasoru olusturulamadi.").arg(path));
            if (afterEntry)
                afterEntry(i + 1, count);
            continue;
        }
        const QString dir = QFileInfo(path).path();
        if (!QDir().mkpath(dir))
            throw Error(QStringLiteral("\"%1\" klasoru olusturulamadi.").arg(dir));
        if (!overwrite && QFileInfo::exists(path)) {
            ++result.skippedExisting;
            if (afterEntry)
                afterEntry(i + 1, count);
            continue;
        }
        zip_file_t *zf = zip_fopen_index(h.za, zip_uint64_t(i), 0);
        if (!zf)
            throw Error(QStringLiteral("\"%1\": %2").arg(name, zipMessage(h.za)));
        // Written beside the target and renamed into place when complete. Named by the entry's
        // index: the entry's own name may already be as long as a name can be.
        QFile out(dir + QStringLiteral("/.kx-unzip-%1.tmp").arg(i));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            zip_fclose(zf);
            throw Error(QStringLiteral("\"%1\": %2").arg(path, out.errorString()));
        }
        while (true) {
            const zip_int64_t n = zip_fread(zf, buffer.data(), zip_uint64_t(buffer.size()));
            if (n < 0) {
                const QString msg = QString::fromLocal8Bit(zip_file_strerror(zf));
                zip_fclose(zf);
                out.remove();
                throw Error(QStringLiteral("\"%1\": %2").arg(name, msg));
            }
            if (n == 0)
                break;
            if (out.write(buffer.constData(), n) != n) {
                const QString msg = out.errorString();
                zip_fclose(zf);
                out.remove();
                throw Error(QStringLiteral("\"%1\": %2").arg(path, msg));
            }
        }
        const int closeResult = zip_fclose(zf);
        out.close();
        if (closeResult != 0) { // a CRC or authentication failure shows here
            out.remove();
            throw Error(QStringLiteral("\"%1\": %2").arg(name, openMessage(closeResult)));
        }
        zip_stat_t st;
        if (zip_stat_index(h.za, zip_uint64_t(i), 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME)) {
            const struct timespec times[2] = {{st.mtime, 0}, {st.mtime, 0}};
            ::utimensat(AT_FDCWD, QFile::encodeName(out.fileName()).constData(), times, 0);
        }
        if (::rename(QFile::encodeName(out.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
            const QString msg = QString::fromLocal8Bit(std::strerror(errno));
            out.remove();
            throw Error(QStringLiteral("\"%1\": %2").arg(path, msg));
        }
        ++result.written;
        if (afterEntry)
            afterEntry(i + 1, count);
    }
    return result;
}

} // namespace kx
