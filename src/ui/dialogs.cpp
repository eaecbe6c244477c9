#include "ui/dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include "platform/kxerror.h"
#include <exception>

namespace kx {

namespace {
bool g_scripted = false;
int g_holdMs = 0;
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

bool Dialogs::question(QWidget *parent, const QString &title, const QString &text)
{
    if (g_scripted) {
        g_shown.append({Kind::Question, title, text});
        hold();
        return nextAnswer(QStringLiteral("yes")) == QLatin1String("yes");
    }
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
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
    auto *box = new QMessageBox(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void guarded(const std::function<void()> &work)
{
    try {
        work();
    } catch (const Error &e) {
        Dialogs::error(e.text());
    } catch (const std::exception &e) {
        Dialogs::error(QString::fromLocal8Bit(e.what()));
    }
}

} // namespace kx
