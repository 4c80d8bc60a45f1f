// The window side of ScreenFit: the screen's free area, the frame, and the main window's bottom row.
#include "app/fitwindow.h"
#include "app/screenfit.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

namespace {

// Before a window is first shown its frame is unknown: room for a title bar is kept.
const QMargins TitleBar(0, 32, 0, 0);

// Keeps the widgets below stretch at their distance from the bottom edge, and stretch's bottom with them.
class BottomRow : public QObject
{
public:
    BottomRow(QWidget *window, QWidget *stretch) : QObject(window), window(window), stretch(stretch)
    {
        designHeight = window->height();
        stretchHeight = stretch->height();
        for (QObject *child : window->children()) {
            auto *w = qobject_cast<QWidget *>(child);
            if (w && !w->isWindow() && w->y() >= stretch->geometry().bottom())
                below.append({w, w->y()});
        }
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == window && event->type() == QEvent::Resize) {
            const int delta = window->height() - designHeight;
            stretch->resize(stretch->width(), std::max(stretchHeight + delta, stretch->minimumHeight()));
            for (const auto &[w, y] : below)
                w->move(w->x(), y + delta);
        }
        return false;
    }

private:
    QWidget *window;
    QWidget *stretch;
    int designHeight = 0;
    int stretchHeight = 0;
    QVector<QPair<QWidget *, int>> below;
};

} // namespace

void FitWindow::apply(QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    const QRect inside = window->geometry();
    const QRect outside = window->frameGeometry();
    const QMargins frame = window->isVisible() && outside != inside
                               ? QMargins(inside.left() - outside.left(), inside.top() - outside.top(),
                                          outside.right() - inside.right(), outside.bottom() - inside.bottom())
                               : TitleBar;
    const QRect fitted = ScreenFit::fit(inside, screen->availableGeometry(), frame);
    if (fitted != inside)
        window->setGeometry(fitted);
}

void FitWindow::keepingBottomRow(QWidget *window, QWidget *stretch)
{
    new BottomRow(window, stretch);
    apply(window);
}
