#include "tools/versioncheck.h"
#include "core/codepage.h"
#include "core/jobfile.h"
#include "platform/files.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <atomic>

namespace kx {

namespace {

// Set by tests, read wherever a request starts.
std::atomic<int> g_timeoutMs{15000};

// Key=value lines looked up as the job files are: the first line whose text before its first
// "=" is the key, letter case ignored, gives the rest of the line.
JobFile keyValueLines(const QString &text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    return JobFile(text.split(lineEnd));
}

} // namespace

QString defaultWebServicePage()
{
    return QLatin1String(kMakerWebHost) + QStringLiteral("/musteri/zefarininterface/versiyonkontrol.php");
}

QString newsPageAddress(const QString &currentVersion)
{
    return QLatin1String(kMakerWebHost) + QStringLiteral("/programlar/guncelhaber.php?id=%1&surum=%2")
                                              .arg(QString(), currentVersion.mid(2));
}

VersionReply parseVersionReply(const QString &body)
{
    QString text = body;
    text.replace(QLatin1String("<br>"), QLatin1String("\r\n"));
    const JobFile lines = keyValueLines(text);
    return {lines.value(QStringLiteral("SURUM")), lines.value(QStringLiteral("DOWNLOADLINK"))};
}

bool isNewerVersion(const QString &offered, const QString &current)
{
    // QByteArray compares as unsigned bytes.
    return codepage::encode(offered) > codepage::encode(current);
}

QString updateSettingsPath(const QString &programFolder)
{
    QString f = programFolder;
    if (!f.isEmpty() && !f.endsWith(u'/'))
        f += u'/';
    return f + QStringLiteral("guncellemeayar.ini");
}

UpdateSettings readUpdateSettings(const QString &path, bool *found)
{
    UpdateSettings settings;
    QFile file(path);
    const bool readable = QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
    if (found)
        *found = readable;
    if (!readable)
        return settings;
    const JobFile lines(codepage::splitLines(file.readAll()));
    settings.otoKontrol = lines.isTrue(QStringLiteral("OTOKONTROL"));
    settings.aralik = int(std::clamp<qint64>(lines.intValue(QStringLiteral("ARALIK"), kAralikMin), kAralikMin, kAralikMax));
    return settings;
}

void writeUpdateSettings(const QString &path, const UpdateSettings &settings)
{
    const int aralik = std::clamp(settings.aralik, kAralikMin, kAralikMax);
    writeWholeFile(path, codepage::joinLines({QStringLiteral("OTOKONTROL=") + QLatin1String(settings.otoKontrol ? "True" : "False"),
                                              QStringLiteral("ARALIK=") + QString::number(aralik)}));
}

VersionRequest::VersionRequest(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this)), m_deadline(new QTimer(this))
{
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] {
        if (!m_reply)
            return;
        m_timedOut = true;
        m_reply->abort();
    });
}

VersionRequest::~VersionRequest()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

QUrl VersionRequest::requestUrl(const QString &webServicePage, const QString &progKod)
{
    return QUrl(webServicePage + QStringLiteral("?prg=") + progKod);
}

int VersionRequest::timeoutMs()
{
    return g_timeoutMs.load();
}

void VersionRequest::setTimeoutMs(int ms)
{
    g_timeoutMs = ms;
}

void VersionRequest::start(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "text/html, */*");
    request.setRawHeader("User-Agent", "Mozilla/3.0 (compatible; Indy Library)");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    m_timedOut = false;
    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::finished, this, &VersionRequest::done);
    m_deadline->start(g_timeoutMs.load());
}

void VersionRequest::abort()
{
    m_deadline->stop();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
}

void VersionRequest::done()
{
    m_deadline->stop();
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        emit finished(false, QString(), m_timedOut ? QStringLiteral("timeout") : reply->errorString());
        return;
    }
    const QByteArray body = reply->readAll();
    const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    const bool utf8 = type.contains(QLatin1String("utf-8"), Qt::CaseInsensitive);
    emit finished(true, utf8 ? QString::fromUtf8(body) : codepage::decode(body), QString());
}

} // namespace kx
