#include "ui/elidedpath.h"

#include <QEvent>
#include <QLabel>

namespace kx {

namespace {

const char kPath[] = "kxPath";

void elide(QLabel *label)
{
    const QString path = label->property(kPath).toString();
    const int room = label->contentsRect().width();
    label->setText(room > 0 ? label->fontMetrics().elidedText(path, Qt::ElideMiddle, room) : path);
}

// Elides the label's path again whenever its width or font changes.
class Follower : public QObject
{
public:
    explicit Follower(QLabel *label) : QObject(label) { label->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange)
            elide(static_cast<QLabel *>(watched));
        return false;
    }
};

} // namespace

void showPath(QLabel *label, const QString &path)
{
    if (!label)
        return;
    if (!label->findChild<Follower *>(QString(), Qt::FindDirectChildrenOnly)) {
        new Follower(label);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(false);
        QSizePolicy policy = label->sizePolicy();
        policy.setHorizontalPolicy(QSizePolicy::Ignored);
        label->setSizePolicy(policy);
        label->setMinimumWidth(16);
    }
    label->setProperty(kPath, path);
    label->setToolTip(path);
    elide(label);
}

QString shownPath(const QLabel *label)
{
    const QVariant path = label->property(kPath);
    return path.isValid() ? path.toString() : label->text();
}

} // namespace kx
