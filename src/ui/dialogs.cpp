#include "ui/dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QProcess>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>
#include <QInputDialog>
#include <QLayout>
#include <QPushButton>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include "core/service.h"
#include "ui/anaform.h"
#include "platform/kxerror.h"
#include <exception>

namespace kx {

namespace {
bool g_scripted = false;
int g_holdMs = 0;
std::function<int(QDialog *)> g_modalHandler;
QStringList g_answers;
QList<Dialogs::Shown> g_shown;

// A scripted box that holds its answer lets events run meanwhile, as a real modal box does.
void hold()
{
    if (g_holdMs <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(g_holdMs, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

void Dialogs::setHoldMs(int ms)
{
    g_holdMs = ms;
}

void Dialogs::setScripted(bool on)
{
    g_scripted = on;
    g_holdMs = 0;
    g_modalHandler = nullptr;
    g_answers.clear();
    g_shown.clear();
}

bool Dialogs::isScripted()
{
    return g_scripted;
}

void Dialogs::queueAnswer(const QString &answer)
{
    g_answers.append(answer);
}

QList<Dialogs::Shown> Dialogs::takeShown()
{
    QList<Shown> out;
    out.swap(g_shown);
    return out;
}

QString Dialogs::nextAnswer(const QString &fallback)
{
    return g_answers.isEmpty() ? fallback : g_answers.takeFirst();
}

void Dialogs::information(QWidget *parent, const QString &title, const QString &text)
{
    if (g_scripted) {
        g_shown.append({Kind::Information, title, text});
        hold();
        return;
    }
    QMessageBox::information(parent, title, text);
}

bool Dialogs::question(QWidget *parent, const QString &title, const QString &text, bool defaultNo)
{
    if (g_scripted) {
        g_shown.append({Kind::Question, title, text});
        hold();
        return nextAnswer(QStringLiteral("yes")) == QLatin1String("yes");
    }
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                 defaultNo ? QMessageBox::No : QMessageBox::Yes)
           == QMessageBox::Yes;
}

Dialogs::Answer Dialogs::questionWithCancel(QWidget *parent, const QString &title, const QString &text)
{
    if (g_scripted) {
        g_shown.append({Kind::Question, title, text});
        hold();
        const QString a = nextAnswer(QStringLiteral("yes"));
        return a == QLatin1String("yes") ? Answer::Yes : a == QLatin1String("no") ? Answer::No : Answer::Cancel;
    }
    switch (QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void Dialogs::info(const QString &text)
{
    information(QApplication::activeWindow(), trMsg(QStringLiteral("Bilgi")), text);
}

void Dialogs::stopWithMessage(bool condition, const QString &text, QWidget *focus)
{
    if (!condition)
        return;
    info(trMsg(text));
    if (focus && focus->isEnabled() && focus->focusPolicy() != Qt::NoFocus)
        focus->setFocus();
    throw SilentStop();
}

QString Dialogs::chooseFolder(QWidget *parent, const QString &prompt, const QString &start)
{
    if (g_scripted) {
        g_shown.append({Kind::Folder, prompt, start});
        return nextAnswer(QString());
    }
    return QFileDialog::getExistingDirectory(parent, prompt, start);
}

QString Dialogs::chooseFile(QWidget *parent, const QString &title, const QString &start, const QString &filter)
{
    if (g_scripted) {
        g_shown.append({Kind::Folder, title, start, filter});
        return nextAnswer(QString());
    }
    return QFileDialog::getOpenFileName(parent, title, start, filter);
}

namespace {

// Tells a file that is not there; true when it is.
bool fileThere(const QString &path, const QString &advice)
{
    if (QFileInfo(path).isFile())
        return true;
    Dialogs::info(path + u' ' + trMsg(QStringLiteral("dosyasi bulunamadi.")) + QStringLiteral("\r\n") + trMsg(advice));
    return false;
}

} // namespace

void Dialogs::openDocument(const QString &path, const QString &advice)
{
    if (!fileThere(path, advice))
        return;
    if (g_scripted) {
        g_shown.append({Kind::Document, QString(), path});
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void Dialogs::startProgram(const QString &path, const QString &advice)
{
    if (!fileThere(path, advice))
        return;
    if (g_scripted) {
        g_shown.append({Kind::Document, QString(), path});
        return;
    }
    const QFileInfo info(path);
    if (!info.isExecutable() || !QProcess::startDetached(info.absoluteFilePath(), {}, info.absolutePath()))
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool Dialogs::openAddress(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return false;
    if (g_scripted) {
        g_shown.append({Kind::Document, QString(), address});
        return true;
    }
    QDesktopServices::openUrl(url);
    return true;
}

bool Dialogs::editingTest(const EditableRecord *record)
{
    return record && record->isEditing();
}

bool Dialogs::saveOrDiscard(EditableRecord &record)
{
    if (!editingTest(&record))
        return true;
    switch (questionWithCancel(QApplication::activeWindow(), trMsg(QStringLiteral("Soru")),
                               trMsg(QStringLiteral("Kart uzerindeki degisiklikleri kaydetmek ister misiniz?")))) {
    case Answer::No:
        record.discard();
        return true;
    case Answer::Yes:
        record.save();
        return true;
    case Answer::Cancel:
        break;
    }
    return false;
}

int Dialogs::showModal(QDialog *dialog)
{
    if (g_scripted) {
        g_shown.append({Kind::Modal, dialog->windowTitle(), dialog->objectName()});
        return g_modalHandler ? g_modalHandler(dialog) : int(QDialog::Rejected);
    }
    return dialog->exec();
}

void Dialogs::setModalHandler(std::function<int(QDialog *)> handler)
{
    g_modalHandler = std::move(handler);
}

QString Dialogs::input(QWidget *parent, const QString &title, const QString &label, const QString &value, bool *ok)
{
    if (g_scripted) {
        g_shown.append({Kind::Input, title, label});
        hold();
        if (ok)
            *ok = true;
        return nextAnswer(value);
    }
    return QInputDialog::getText(parent, title, label, QLineEdit::Normal, value, ok);
}

void Dialogs::error(const QString &text)
{
    if (g_scripted) {
        g_shown.append({Kind::Error, QString(), text});
        hold();
        return;
    }
    qWarning("%s", qPrintable(text));
    // Without a screen (offscreen service) nobody would ever close it.
    if (QGuiApplication::platformName() == QLatin1String("offscreen") || !qobject_cast<QApplication *>(qApp))
        return;
    auto *box = new QMessageBox(QMessageBox::Critical, trMsg(QLatin1String(kApplicationTitle)), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void guarded(const std::function<void()> &work)
{
    try {
        work();
    } catch (const SilentStop &) {
        // The command was refused; the user has been told, if at all, already.
    } catch (const Error &e) {
        Dialogs::error(e.text());
    } catch (const std::exception &e) {
        Dialogs::error(QString::fromLocal8Bit(e.what()));
    }
}

QPushButton *namedButton(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QPushButton *addNamedButton(QLayout *layout, const QString &text, const char *name)
{
    QPushButton *b = namedButton(text, name);
    layout->addWidget(b);
    return b;
}

} // namespace kx
