#include "cli/arguments.h"
#include "core/service.h"

namespace kx::cli {

namespace {

const QString kPasswordFile = QStringLiteral("--password-file");
const QString kUser = QStringLiteral("--user");
const QString kOverwrite = QStringLiteral("--overwrite");

Options wrong(const QString &problem)
{
    Options o;
    o.problem = problem;
    return o;
}

} // namespace

Options parseArguments(const QStringList &arguments)
{
    Options o;
    QStringList positional;
    bool givenPasswordFile = false, givenUser = false;
    bool optionsEnd = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (optionsEnd || !a.startsWith(u'-') || a == QLatin1String("-")) {
            positional.append(a);
            continue;
        }
        if (a == QLatin1String("--")) {
            // What follows is a name, even one that starts with "-".
            optionsEnd = true;
            continue;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
            continue;
        }
        if (a == kOverwrite) {
            o.overwrite = true;
            continue;
        }
        // "--user U" and "--user=U" alike.
        QString name = a, value;
        const qsizetype eq = a.indexOf(u'=');
        const bool inline_ = eq > 0;
        if (inline_) {
            name = a.left(eq);
            value = a.mid(eq + 1);
        }
        if (name != kPasswordFile && name != kUser)
            return wrong(trMsg(QStringLiteral("Bilinmeyen secenek: %1")).arg(a));
        if (!inline_) {
            if (i + 1 == arguments.size())
                return wrong(trMsg(QStringLiteral("Secenegin degeri eksik: %1")).arg(a));
            value = arguments.at(++i);
        }
        if (name == kPasswordFile) {
            o.passwordFile = value;
            givenPasswordFile = true;
        } else {
            o.user = value;
            givenUser = true;
        }
    }
    if (o.help)
        return o;
    if (positional.size() < 3)
        return wrong(trMsg(QStringLiteral("Eksik arguman.")));
    if (positional.size() > 3)
        return wrong(trMsg(QStringLiteral("Fazla arguman: %1")).arg(positional.at(3)));
    const QString &kind = positional.at(0);
    if (kind == QLatin1String("zip"))
        o.kind = Options::Kind::Zip;
    else if (kind == QLatin1String("klasor"))
        o.kind = Options::Kind::Folder;
    else if (kind == QLatin1String("firebird"))
        o.kind = Options::Kind::Firebird;
    else
        return wrong(trMsg(QStringLiteral("Bilinmeyen geri yukleme turu: %1")).arg(kind));
    o.source = positional.at(1);
    o.target = positional.at(2);
    if (givenPasswordFile && o.passwordFile.isEmpty())
        return wrong(trMsg(QStringLiteral("Secenegin degeri eksik: %1")).arg(kPasswordFile));
    if (o.kind == Options::Kind::Folder && givenPasswordFile)
        return wrong(trMsg(QStringLiteral("Bu geri yukleme turu %1 secenegini almaz.")).arg(kPasswordFile));
    if (o.kind != Options::Kind::Firebird && givenUser)
        return wrong(trMsg(QStringLiteral("Bu geri yukleme turu %1 secenegini almaz.")).arg(kUser));
    if (o.kind == Options::Kind::Firebird && !givenUser)
        return wrong(trMsg(QStringLiteral("Firebird geri yuklemesi %1 secenegini ister.")).arg(kUser));
    return o;
}

QString usageText()
{
    return trMsg(QStringLiteral("Kullanim:")) + QStringLiteral(
               "\n  korvanex-geri-yukle zip ARCHIVE TARGET [--password-file F] [--overwrite]"
               "\n  korvanex-geri-yukle klasor RUN_FOLDER TARGET [--overwrite]"
               "\n  korvanex-geri-yukle firebird BACKUP.fbk DATABASE.fdb --user U [--password-file F] [--overwrite]"
               "\n  korvanex-geri-yukle --help");
}

QString helpText()
{
    const QStringList lines = {
        trMsg(QStringLiteral("Yedekleri pencere acmadan geri yukler; ekrani olmayan sunucularda servisin yaninda calisir.")),
        QString(),
        usageText(),
        QString(),
        QStringLiteral("zip       ") + trMsg(QStringLiteral("ZIP arsivini hedef dizine acar.")),
        QStringLiteral("klasor    ") + trMsg(QStringLiteral("Bir yedekleme klasorundeki dosyalari alt dizinleriyle hedef dizine kopyalar.")),
        QStringLiteral("firebird  ") + trMsg(QStringLiteral("Firebird yedek dosyasini bu makinedeki sunucu ile veritabanina geri yukler.")),
        QString(),
        QStringLiteral("--password-file F  ") + trMsg(QStringLiteral("Parola bu dosyanin ilk satirindan okunur; verilmezse terminalden, ekrana yazilmadan sorulur.")),
        QStringLiteral("--user U           ") + trMsg(QStringLiteral("Firebird kullanici adi.")),
        QStringLiteral("--overwrite        ") + trMsg(QStringLiteral("Hedef mevcutsa uzerine geri yuklenir; verilmezse mevcut hedef reddedilir.")),
        QString(),
        trMsg(QStringLiteral("Her geri yukleme, programin klasorundeki geri yukleme loguna yazilir.")),
        trMsg(QStringLiteral("Cikis durumu: 0 basarili, 1 basarisiz, 2 hatali kullanim, 3 geri yuklendi ama log yazilamadi.")),
    };
    return lines.join(u'\n');
}

} // namespace kx::cli
