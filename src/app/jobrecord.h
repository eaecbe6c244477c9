#pragma once
// The job record a job editor edits: every field of a job of its kind, in field order (the order
// in which a new job file receives its keys), with the state of the record: empty, showing a
// stored job, a changed stored job, or a new job. No widget: the editor binds its controls to it.

#include "app/editablerecord.h"
#include "core/jobfile.h"
#include "core/joblist.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTime>
#include <functional>
#include <optional>

namespace kx {

class JobRecord : public QObject, public EditableRecord
{
    Q_OBJECT
public:
    enum class State { Empty, Stored, Changed, New };
    enum class FieldType { Text, Integer, Boolean, Time };
    struct Field {
        const char *key;
        FieldType type;
        int width; // characters a text field takes as typed; 0 for the others
    };

    explicit JobRecord(JobKind kind, QObject *parent = nullptr);

    JobKind kind() const { return m_kind; }
    // The fields of the kind, in field order.
    static const QList<Field> &fields(JobKind kind);
    const Field *field(const QString &key) const;

    State state() const { return m_state; }
    bool isEditing() const override { return m_state == State::Changed || m_state == State::New; }
    bool isNew() const { return m_state == State::New; }
    bool isEmpty() const { return m_state == State::Empty; }

    // A field's text as the record holds it: booleans "True"/"False", integers in digits, the
    // time "HH:mm" (empty: no value). UNETSIFRE is the plain password.
    QString value(const QString &key) const { return m_values.value(key); }
    bool flag(const QString &key) const;
    QTime time() const { return m_time; }
    // The group the job had when editing began (empty for a new job).
    QString rememberedGroup() const { return m_rememberedGroup; }

    // A change by the user (a control, a folder button, the picker): puts the record into editing;
    // on an empty record a new job with its defaults is started first.
    void set(const QString &key, const QString &value);
    void setFlag(const QString &key, bool on) { set(key, on ? QStringLiteral("True") : QStringLiteral("False")); }
    void setTime(const QTime &time);
    // The time as typed in the time box: a text that is a time sets it; any other text is kept
    // (the time stays as it was) for the save-time check to refuse.
    void setTypedTime(const QString &text);
    // The typed text that is no time, if the last one typed was none.
    std::optional<QString> unreadableTime() const { return m_unreadableTime; }

    // The job as read from its file (UNETSIFRE already deciphered): a stored job.
    void load(const JobFile &job, const QString &password);
    void clear();
    // "Yeni Kayit": the defaults of a new job of the kind.
    void startNew();
    // The record is stored (after the save-time checks); the stored job it now shows.
    void store();
    // The changes are dropped: the stored job loaded before shows again (or the record is empty).
    void cancel();

    // EditableRecord: the editor's save (with its checks) and cancel.
    void save() override;
    void discard() override { cancel(); }
    std::function<void()> saver;

    // DBdenAktar: the record's fields written over `base` in field order, GHA_YEDEK_SAATI as a time
    // of day, UNETSIFRE enciphered; a field without a value removes its key.
    JobFile toJobFile(JobFile base) const;

    // The first field whose text the code page cannot hold, or an empty text.
    QString unencodableField() const;

signals:
    // The record was replaced as a whole (loaded, emptied, a new job, stored, changes dropped):
    // every control shows it afresh.
    void reloaded();
    // One field was changed by the user, who sees the change already.
    void edited(const QString &key);

private:
    void setValues(const QHash<QString, QString> &values, const QTime &time, State state);

    JobKind m_kind;
    State m_state = State::Empty;
    QHash<QString, QString> m_values;
    QTime m_time;
    std::optional<QString> m_unreadableTime;
    QString m_rememberedGroup;
    // What the record held when it was last loaded or stored, to go back to on cancel.
    QHash<QString, QString> m_storedValues;
    QTime m_storedTime;
    bool m_hasStored = false;
};

} // namespace kx

namespace kx {

// A save-time check that failed: its message (translated) and the control to get the focus,
// named by its field's key ("YEDEK_ADI" for the job name box).
struct SaveCheckFailure {
    QString message;
    QString focus;
};

// The save-time checks of the record's kind, in their order; nothing when all pass. nameBox is the
// job name box's text; caption gives the caption of a field's control, for the message that
// names a field whose text the code page cannot hold.
std::optional<SaveCheckFailure> saveCheck(const JobRecord &record, const QString &nameBox, const QString &programFolder,
                                          const std::function<QString(const QString &key)> &caption);

// The warning a folder job gets when a target folder (HEDEF_DIZIN, HEDEFDIZIN2) is its source
// folder or lies inside it, naming those targets by their captions, translated; empty when none
// does and for Firebird jobs. Such a job may still be saved.
QString targetInsideSourceWarning(const JobRecord &record, const std::function<QString(const QString &key)> &caption);

// Why a job name (without its extension) cannot be the name of a job file of the kind (the
// characters the name box refuses, "/", "\", control characters, characters the code page cannot
// hold, a file name longer than the file system holds), translated; empty when it can.
QString jobNameProblem(const QString &name, JobKind kind);

// The eight characters the job name box drops when they are typed.
bool isRefusedNameCharacter(QChar c);

} // namespace kx
