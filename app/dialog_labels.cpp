#include "app/dialog_labels.h"

#include <algorithm>

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QStringList>

namespace dialoglabels {

namespace {

// The font with Latin faces before its own, for the characters they have.
QFont latinFirst(const QFont& font)
{
    QStringList families = {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                            QStringLiteral("Noto Sans")};
    families += font.families().isEmpty() ? QStringList{font.family()} : font.families();
    QFont latin = font;
    latin.setFamilies(families);
    return latin;
}

class Watcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Polished before the dialog's layout is worked out for its first show.
        if (event->type() != QEvent::Polish)
            return false;
        auto* label = qobject_cast<QLabel*>(watched);
        if (!label || !qobject_cast<QDialog*>(label->window()))
            return false;
        if (UnderscoreOverhang(label->font()) == 0)
            return false;
        // Without a Latin face that does better, the label stays as it was.
        const QFont latin = latinFirst(label->font());
        if (UnderscoreOverhang(latin) == 0)
            label->setFont(latin);
        return false;
    }
};

}  // namespace

int UnderscoreOverhang(const QFont& font)
{
    const QFontMetrics metrics(font);
    // Below the baseline, row 0 is the first; the descent covers rows 0 .. descent - 1.
    return std::max(0, metrics.tightBoundingRect(QStringLiteral("_")).bottom() + 1 - metrics.descent());
}

void Install()
{
    static Watcher* watcher = nullptr;
    if (watcher)
        return;
    watcher = new Watcher(qApp);
    qApp->installEventFilter(watcher);
}

}  // namespace dialoglabels
