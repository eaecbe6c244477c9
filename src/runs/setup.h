#pragma once
// Setting up a scheduled backup run from the job held in the shared job buffer: a runner window
// of the kind, filled from the job's keys, prepared and sliding in. The run itself starts later
// from the window's slide timer while the caller lets events run.

#include <QPointer>
#include <QString>

namespace kx {

class TOtoYedekDosyaF;
class TOtoYedekFBF;

TOtoYedekDosyaF *DosyaOtoYedekAyarla(const QString &programFolder, const QString &jobName, bool retention);
TOtoYedekFBF *FirebirdOtoYedekAyarla(const QString &programFolder, const QString &jobName, bool retention);

// The newest runner of each kind (null once it has closed).
QPointer<TOtoYedekDosyaF> &currentFolderRunner();
QPointer<TOtoYedekFBF> &currentFirebirdRunner();

} // namespace kx
