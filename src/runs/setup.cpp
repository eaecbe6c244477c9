#include "runs/setup.h"
#include "core/service.h"
#include "runs/firebirdbackup.h"
#include "runs/folderbackup.h"

namespace kx {

QPointer<TOtoYedekDosyaF> &currentFolderRunner()
{
    static QPointer<TOtoYedekDosyaF> runner;
    return runner;
}

QPointer<TOtoYedekFBF> &currentFirebirdRunner()
{
    static QPointer<TOtoYedekFBF> runner;
    return runner;
}

TOtoYedekDosyaF *DosyaOtoYedekAyarla(const QString &programFolder, const QString &jobName, bool retention)
{
    auto *runner = new TOtoYedekDosyaF(programFolder);
    currentFolderRunner() = runner;
    runner->params = folderBackupParams(service().jobBuffer, jobName, retention, false);
    runner->YedekAyarla();
    return runner;
}

TOtoYedekFBF *FirebirdOtoYedekAyarla(const QString &programFolder, const QString &jobName, bool retention)
{
    auto *runner = new TOtoYedekFBF(programFolder);
    currentFirebirdRunner() = runner;
    runner->params = firebirdBackupParams(service().jobBuffer, jobName, retention, false);
    runner->YedekAyarla();
    return runner;
}

} // namespace kx
