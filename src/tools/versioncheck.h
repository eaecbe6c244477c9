#pragma once
// The version check without its window: the maker's version service and news page, the request
// to the service, the reading of its reply, the comparison of versions, and "guncellemeayar.ini".

#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace kx {

// The maker's web host (a domain reserved for examples: nothing real is ever asked) and the two
// pages on it.
inline const char *const kMakerWebHost = "http://www.korvanex.example";
QString defaultWebServicePage();
// The news page "Güncelle" opens when the service names no download address: the first value
// of its query is empty, the second the version less its first two characters.
QString newsPageAddress(const QString &currentVersion);

// What the service answered. Each "<br>" counts as a line break; keys are matched without
// regard to case, the first line with the key wins, a missing key is empty.
struct VersionReply {
    QString surum;        // SURUM
    QString downloadLink; // DOWNLOADLINK
};
VersionReply parseVersionReply(const QString &body);

// True when `offered` is later than `current` in plain byte order of the program's code page
// ("2.10.01" is earlier than "2.9.01"). An empty offer is never later.
bool isNewerVersion(const QString &offered, const QString &current);

// "guncellemeayar.ini" in the program folder: OTOKONTROL ticked only for exactly "True";
// ARALIK a whole number, 7 when missing or unreadable, kept within 7 to 30.
struct UpdateSettings {
    bool otoKontrol = false;
    int aralik = 7;
};
constexpr int kAralikMin = 7;
constexpr int kAralikMax = 30;
QString updateSettingsPath(const QString &programFolder);
// nullopt-free: `found` tells whether the file was there (a file that cannot be read counts as
// not there).
UpdateSettings readUpdateSettings(const QString &path, bool *found = nullptr);
// Exactly two lines, CR LF each; atomic, throws kx::Error on failure.
void writeUpdateSettings(const QString &path, const UpdateSettings &settings);

// One GET of the version service: `WebServicePage` + "?prg=" + the program code, redirects
// followed (never from https down to http), with the service's two headers, given up after the
// time-out. Ends once with finished() on the thread that started it.
class VersionRequest : public QObject
{
    Q_OBJECT
public:
    explicit VersionRequest(QObject *parent = nullptr);
    ~VersionRequest() override;

    static QUrl requestUrl(const QString &webServicePage, const QString &progKod);
    void start(const QUrl &url);
    void abort();

    // The whole time a request may take, reply included (15 s); tests shorten it.
    static int timeoutMs();
    static void setTimeoutMs(int ms);

signals:
    // ok false: no connection, name lookup failure, time-out, an HTTP error status.
    void finished(bool ok, const QString &body, const QString &error);

private:
    void done();

    QNetworkAccessManager *m_manager;
    QNetworkReply *m_reply = nullptr;
    QTimer *m_deadline;
    bool m_timedOut = false;
};

} // namespace kx
