#include "app/jobrecord.h"
#include "platform/files.h"
#include "core/codepage.h"
#include "core/daytime.h"
#include "core/folderwithin.h"
#include "core/jobcipher.h"
#include "core/service.h"

namespace kx {

namespace {

using T = JobRecord::FieldType;

const QList<JobRecord::Field> &folderFields()
{
    static const QList<JobRecord::Field> f = {
        {"AKTIF", T::Boolean, 0},        {"KAYNAK_DIZIN", T::Text, 150},  {"HEDEF_DIZIN", T::Text, 150},
        {"UZERINE_YAZ", T::Boolean, 0},  {"ALT_DIZIN", T::Boolean, 0},    {"ZIP_YEDEKLE", T::Boolean, 0},
        {"ZIP_PAROLA1", T::Text, 20},    {"ZIP_PAROLA2", T::Text, 20},    {"YEDEK_ZAMANI", T::Integer, 0},
        {"SAAT_SURE", T::Integer, 0},    {"GUN_SURE", T::Integer, 0},     {"HAFTA_SURE", T::Integer, 0},
        {"AY_SURE", T::Integer, 0},      {"DOSYA_TURU1", T::Text, 30},    {"DOSYA_TURU2", T::Text, 30},
        {"DOSYA_TURU3", T::Text, 30},    {"DOSYA_TURU4", T::Text, 30},    {"DOSYA_TURU5", T::Text, 30},
        {"DOSYA_TURU6", T::Text, 30},    {"DOSYA_TURU7", T::Text, 30},    {"DOSYA_TURU8", T::Text, 30},
        {"DOSYA_TURU9", T::Text, 30},    {"DOSYA_TURU10", T::Text, 30},   {"GHA_YEDEK_SAATI", T::Time, 0},
        {"GRUBU", T::Text, 30},          {"MSN_IP", T::Text, 30},         {"MSN_NICKNAME", T::Text, 50},
        {"MSN_FILEDELETE", T::Text, 5},  {"ACIKLAMA", T::Text, 200},      {"HEDEFDIZIN2", T::Text, 500},
        {"YEDEKSIL", T::Text, 2},        {"SILGUN", T::Integer, 0},       {"PERYOT", T::Integer, 0},
        {"UNETYEDEK", T::Boolean, 0},    {"UNETSIFRE", T::Text, 50},
    };
    return f;
}

const QList<JobRecord::Field> &firebirdFields()
{
    static const QList<JobRecord::Field> f = {
        {"YEDEKSIL", T::Text, 2},       {"SILGUN", T::Integer, 0},       {"AKTIF", T::Boolean, 0},
        {"USERNAME", T::Text, 30},      {"USERPWD", T::Text, 30},        {"KAYNAK_DOSYA", T::Text, 150},
        {"HEDEF_DIZIN", T::Text, 150},  {"UZERINE_YAZ", T::Boolean, 0},  {"YEDEK_ZAMANI", T::Integer, 0},
        {"SAAT_SURE", T::Integer, 0},   {"GUN_SURE", T::Integer, 0},     {"HAFTA_SURE", T::Integer, 0},
        {"AY_SURE", T::Integer, 0},     {"GHA_YEDEK_SAATI", T::Time, 0}, {"GRUBU", T::Text, 30},
        {"MSN_IP", T::Text, 30},        {"MSN_NICKNAME", T::Text, 50},   {"MSN_FILEDELETE", T::Text, 5},
        {"ACIKLAMA", T::Text, 200},     {"HEDEFDIZIN2", T::Text, 500},   {"PERYOT", T::Integer, 0},
        {"UNETYEDEK", T::Boolean, 0},   {"UNETSIFRE", T::Text, 50},
    };
    return f;
}

// A boolean field's text as the record keeps it: a leading part of "True" or "False" (letter case
// ignored) becomes the whole word; no value stays none.
QString booleanText(const QString &text)
{
    if (text.isEmpty())
        return QString();
    if (QStringLiteral("true").startsWith(text, Qt::CaseInsensitive))
        return QStringLiteral("True");
    if (QStringLiteral("false").startsWith(text, Qt::CaseInsensitive))
        return QStringLiteral("False");
    return text;
}

} // namespace

JobRecord::JobRecord(JobKind kind, QObject *parent) : QObject(parent), m_kind(kind) {}

const QList<JobRecord::Field> &JobRecord::fields(JobKind kind)
{
    return kind == JobKind::Folder ? folderFields() : firebirdFields();
}

const JobRecord::Field *JobRecord::field(const QString &key) const
{
    for (const Field &f : fields(m_kind))
        if (key == QLatin1String(f.key))
            return &f;
    return nullptr;
}

bool JobRecord::flag(const QString &key) const
{
    return m_values.value(key) == QLatin1String("True");
}

void JobRecord::setValues(const QHash<QString, QString> &values, const QTime &time, State state)
{
    m_values = values;
    m_time = time;
    m_unreadableTime.reset();
    m_state = state;
    emit reloaded();
}

void JobRecord::load(const JobFile &job, const QString &password)
{
    QHash<QString, QString> values;
    QTime time;
    for (const Field &f : fields(m_kind)) {
        const QString key = QLatin1String(f.key);
        const QString text = job.value(key);
        switch (f.type) {
        case FieldType::Time:
            // A time of day from its number; 0 and anything unreadable are no time.
            if (const std::optional<double> v = parseNumber(text); v && *v != 0)
                time = timeFromFraction(*v);
            break;
        case FieldType::Boolean:
            values.insert(key, booleanText(text));
            break;
        case FieldType::Integer:
            values.insert(key, text.isEmpty() ? QString() : QString::number(parseInt(text).value_or(0)));
            break;
        case FieldType::Text:
            values.insert(key, key == QLatin1String("UNETSIFRE") ? password : text);
            break;
        }
    }
    m_rememberedGroup.clear();
    m_storedValues = values;
    m_storedTime = time;
    m_hasStored = true;
    setValues(values, time, State::Stored);
}

void JobRecord::clear()
{
    m_hasStored = false;
    m_storedValues.clear();
    m_storedTime = QTime();
    m_rememberedGroup.clear();
    setValues({}, QTime(), State::Empty);
}

void JobRecord::startNew()
{
    QHash<QString, QString> v;
    v.insert(QStringLiteral("AKTIF"), QStringLiteral("True"));
    v.insert(QStringLiteral("UZERINE_YAZ"), QStringLiteral("True"));
    v.insert(QStringLiteral("YEDEK_ZAMANI"), QStringLiteral("1"));
    for (const char *k : {"SAAT_SURE", "GUN_SURE", "HAFTA_SURE", "AY_SURE", "PERYOT", "SILGUN"})
        v.insert(QLatin1String(k), QStringLiteral("1"));
    v.insert(QStringLiteral("YEDEKSIL"), QStringLiteral("0"));
    v.insert(QStringLiteral("UNETYEDEK"), QStringLiteral("False"));
    v.insert(QStringLiteral("MSN_FILEDELETE"), QStringLiteral("False"));
    // The defaults of the port: the user's home folder instead of C:\KORVANEX and C:\KX_YEDEK.
    v.insert(QStringLiteral("HEDEF_DIZIN"), defaultFolder(QStringLiteral("KX_YEDEK")));
    if (m_kind == JobKind::Folder) {
        v.insert(QStringLiteral("KAYNAK_DIZIN"), defaultFolder(QStringLiteral("KORVANEX")));
        v.insert(QStringLiteral("ALT_DIZIN"), QStringLiteral("True"));
        v.insert(QStringLiteral("ZIP_YEDEKLE"), QStringLiteral("False"));
        v.insert(QStringLiteral("DOSYA_TURU1"), QStringLiteral("*.*"));
    } else {
        v.insert(QStringLiteral("USERNAME"), QStringLiteral("SYSDBA"));
        v.insert(QStringLiteral("KAYNAK_DOSYA"), defaultFolder(QStringLiteral("KORVANEX")));
    }
    m_rememberedGroup.clear();
    setValues(v, QTime(), State::New);
}

void JobRecord::set(const QString &key, const QString &value)
{
    if (m_state == State::Empty)
        startNew();
    if (m_state == State::Stored) {
        m_rememberedGroup = m_values.value(QStringLiteral("GRUBU"));
        m_state = State::Changed;
    }
    m_values.insert(key, value);
    emit edited(key);
}

void JobRecord::setTime(const QTime &time)
{
    if (m_state == State::Empty)
        startNew();
    if (m_state == State::Stored) {
        m_rememberedGroup = m_values.value(QStringLiteral("GRUBU"));
        m_state = State::Changed;
    }
    m_time = time;
    m_unreadableTime.reset();
    emit edited(QStringLiteral("GHA_YEDEK_SAATI"));
}

void JobRecord::setTypedTime(const QString &text)
{
    if (const std::optional<QTime> t = parseTypedTime(text)) {
        setTime(*t);
        return;
    }
    if (m_state == State::Empty)
        startNew();
    if (m_state == State::Stored) {
        m_rememberedGroup = m_values.value(QStringLiteral("GRUBU"));
        m_state = State::Changed;
    }
    m_unreadableTime = text;
    emit edited(QStringLiteral("GHA_YEDEK_SAATI"));
}

void JobRecord::store()
{
    m_storedValues = m_values;
    m_storedTime = m_time;
    m_hasStored = true;
    setValues(m_values, m_time, State::Stored);
}

void JobRecord::cancel()
{
    if (!isEditing())
        return;
    if (m_hasStored)
        setValues(m_storedValues, m_storedTime, State::Stored);
    else
        setValues({}, QTime(), State::Empty);
}

void JobRecord::save()
{
    if (saver)
        saver();
}

JobFile JobRecord::toJobFile(JobFile base) const
{
    for (const Field &f : fields(m_kind)) {
        const QString key = QLatin1String(f.key);
        if (f.type == FieldType::Time) {
            // Always written, 0 when no time is set.
            base.setValue(key, m_time.isValid() && m_time != QTime(0, 0) ? formatNumber(dayFraction(m_time))
                                                                       : QStringLiteral("0"));
            continue;
        }
        base.setValue(key, m_values.value(key));
    }
    const QString password = m_values.value(QStringLiteral("UNETSIFRE"));
    base.setValue(QStringLiteral("UNETSIFRE"), codepage::decode(EncryptJobField(codepage::encode(password))));
    return base;
}

QString JobRecord::unencodableField() const
{
    for (const Field &f : fields(m_kind)) {
        const QString key = QLatin1String(f.key);
        if (!codepage::canEncode(m_values.value(key)))
            return key;
    }
    return QString();
}

} // namespace kx

#include <QFileInfo>

namespace kx {

bool isRefusedNameCharacter(QChar c)
{
    return QStringView(u"./:*?<>|").contains(c);
}

QString jobNameProblem(const QString &name, JobKind kind)
{
    for (QChar c : name) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0);
        if (isRefusedNameCharacter(c) || c == u'\\' || control || !codepage::canEncode(QString(c)))
            return trMsg(QStringLiteral("Yedekleme adinda kullanilamayan bir karakter var:")) + QStringLiteral(" \"")
                   + (control ? QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0')) : QString(c)) + u'"';
    }
    // Refused here, before anything is written: the file system would refuse it only at the save.
    if (const qsizetype bytes = fileNameBytes(name + jobExtension(kind)); bytes > kMaxFileNameBytes)
        return trMsg(QStringLiteral("Yedekleme adi cok uzun (%1 bayt); uzantisiyla birlikte en fazla %2 bayt olabilir."))
            .arg(bytes)
            .arg(kMaxFileNameBytes);
    return QString();
}

QString targetInsideSourceWarning(const JobRecord &record, const std::function<QString(const QString &key)> &caption)
{
    if (record.kind() != JobKind::Folder)
        return QString();
    const QString source = record.value(QStringLiteral("KAYNAK_DIZIN"));
    QStringList inside;
    for (const char *k : {"HEDEF_DIZIN", "HEDEFDIZIN2"}) {
        const QString key = QLatin1String(k);
        if (folderWithin(record.value(key), source))
            inside.append(caption ? caption(key) : key);
    }
    if (inside.isEmpty())
        return QString();
    return trMsg(QStringLiteral("%1 kaynak dizinle ayni ya da onun icinde; yedekler yedeklenen dizinde birikir."))
        .arg(inside.join(QStringLiteral(", ")));
}

std::optional<SaveCheckFailure> saveCheck(const JobRecord &record, const QString &nameBox, const QString &programFolder,
                                          const std::function<QString(const QString &key)> &caption)
{
    const auto blank = [&](const char *key) { return record.value(QLatin1String(key)).trimmed().isEmpty(); };
    const auto fail = [](const QString &text, const char *focus) {
        return std::optional<SaveCheckFailure>(SaveCheckFailure{trMsg(text), QLatin1String(focus)});
    };
    const QString ext = jobExtension(record.kind());
    QString folder = programFolder;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    const bool taken = record.isNew() && pathExists(folder + nameBox + ext);
    const auto duplicate = [&] {
        // Only the sentence is translated; the name is shown as typed.
        return std::optional<SaveCheckFailure>(
            SaveCheckFailure{nameBox + u' ' + trMsg(QStringLiteral("bu yedekleme adi daha once kullanilmis")),
                             QStringLiteral("YEDEK_ADI")});
    };
    if (record.kind() == JobKind::Firebird) {
        if (blank("USERNAME"))
            return fail(KX_TEXT("Kullanici adini girmelisiniz."), "USERNAME");
        if (blank("USERPWD"))
            return fail(KX_TEXT("Kullanici parolasini girmelisiniz."), "USERPWD");
        if (blank("KAYNAK_DOSYA"))
            return fail(KX_TEXT("Kaynak dosyayi secmelisiniz."), "KAYNAK_DOSYA");
        if (blank("HEDEF_DIZIN"))
            return fail(KX_TEXT("Hedef dizini belirtiniz."), "HEDEF_DIZIN");
        if (nameBox.trimmed().isEmpty())
            return fail(KX_TEXT("Yedekleme adini giriniz."), "YEDEK_ADI");
        if (taken)
            return duplicate();
    } else {
        if (blank("KAYNAK_DIZIN"))
            return fail(KX_TEXT("Kaynak dizin bulunamadi."), "KAYNAK_DIZIN");
        if (blank("HEDEF_DIZIN"))
            return fail(KX_TEXT("Hedef dizini belirtiniz."), "HEDEF_DIZIN");
        if (nameBox.trimmed().isEmpty())
            return fail(KX_TEXT("Yedek adini girmelisiniz"), "YEDEK_ADI");
        if (!QFileInfo(record.value(QStringLiteral("KAYNAK_DIZIN"))).isDir())
            return fail(KX_TEXT("Kaynak dizin bulunamadi."), "KAYNAK_DIZIN");
        if (taken)
            return duplicate();
        if (record.flag(QStringLiteral("ZIP_YEDEKLE"))
            && record.value(QStringLiteral("ZIP_PAROLA1")) != record.value(QStringLiteral("ZIP_PAROLA2")))
            return fail(KX_TEXT("Zip dosyasi sifreleri ayni olmalidir"), "ZIP_PAROLA1");
    }
    // A new job's name becomes a file name: nothing that a file name cannot hold, nothing that
    // would make it a path.
    if (record.isNew()) {
        if (const QString problem = jobNameProblem(nameBox, record.kind()); !problem.isEmpty())
            return SaveCheckFailure{problem, QStringLiteral("YEDEK_ADI")};
    }
    // A time of day that cannot be one is not saved as midnight; only a job that runs at a time
    // of day has the box on screen.
    if (const std::optional<QString> typed = record.unreadableTime()) {
        const ScheduleUnit unit = scheduleUnit(record.value(QStringLiteral("YEDEK_ZAMANI")));
        if (unit == ScheduleUnit::Day || unit == ScheduleUnit::Week || unit == ScheduleUnit::Month)
            return SaveCheckFailure{trMsg(QStringLiteral("%1 alanindaki \"%2\" bir saat degil. Saati 22:15 ya da 2215 gibi yaziniz."))
                                        .arg(caption ? caption(QStringLiteral("GHA_YEDEK_SAATI")) : QStringLiteral("GHA_YEDEK_SAATI"),
                                             typed->trimmed()),
                                    QStringLiteral("GHA_YEDEK_SAATI")};
    }
    // Nothing is stored mangled: a text the code page cannot hold is refused where it was typed.
    if (const QString key = record.unencodableField(); !key.isEmpty())
        return SaveCheckFailure{trMsg(QStringLiteral("Bu alandaki bir karakter kaydedilemez:")) + u' '
                                    + (caption ? caption(key) : key),
                                key};
    return std::nullopt;
}

} // namespace kx
