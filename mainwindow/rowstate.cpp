#include "mainwindow/rowstate.h"

#include <QTextDocument>

#include "catalogue/fieldrules.h"

namespace {
const QColor MarkedColour(11, 127, 107);
const QColor RedColour(180, 0, 0);
const QColor InstalledSelectColour(0, 0, 180);
const QColor InstalledStatusColour(0, 0, 127);
} // namespace

RowLook rowLook(RowState state)
{
    RowLook look;
    switch (state) {
    case RowState::Installed:
        look = {true, QStringLiteral("Нет"), InstalledSelectColour, Qt::Unchecked, false,
                QStringLiteral("ПО уже установлено"), InstalledStatusColour, true, RowLook::NoBar};
        break;
    case RowState::Marked:
        look = {true, QStringLiteral("Да"), MarkedColour, Qt::Checked, true,
                QStringLiteral("ПО отмечено для установки"), MarkedColour, true, RowLook::Zero};
        break;
    case RowState::Unmarked:
        look = {true, QStringLiteral("Нет"), RedColour, Qt::Unchecked, true,
                QStringLiteral("ПО не будет установлено"), RedColour, true, RowLook::NoBar};
        break;
    case RowState::NotInstallable:
        look = {true, QStringLiteral("Нет"), RedColour, Qt::Unchecked, true,
                QStringLiteral("ПО нельзя установить"), RedColour, true, RowLook::NoBar};
        break;
    // During the run the selection keeps its look and the status keeps the marked colour until a failure.
    case RowState::Installing:
        look = {false, {}, {}, Qt::Checked, true, QStringLiteral("Выполняется установка ПО"), {}, false,
                RowLook::Busy};
        break;
    case RowState::Done:
        look = {false, {}, {}, Qt::Checked, true, QStringLiteral("Закончена установка ПО"), {}, false, RowLook::Full};
        break;
    case RowState::Failed:
        look = {false, {}, {}, Qt::Checked, true, QStringLiteral("Установка ПО не удалась"), RedColour, true,
                RowLook::Zero};
        break;
    }
    return look;
}

RowState afterClick(RowState state, bool checked)
{
    if (checked && state == RowState::Unmarked)
        return RowState::Marked;
    if (!checked && state == RowState::Marked)
        return RowState::Unmarked;
    return state;
}

QString cellToolTip(const QString &text)
{
    // A tooltip that looks like rich text is read as rich text: the conversion escapes it and keeps line breaks.
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

StartStates startStates(const QStringList &packageFields, const QSet<QString> &installed)
{
    StartStates start;
    for (const QString &name : packageFields) {
        const bool usable = FieldRules::isPackageName(name);
        start.known << usable;
        start.states << (!usable ? RowState::NotInstallable
                                 : installed.contains(name) ? RowState::Installed : RowState::Marked);
        if (!usable && !start.unusable.contains(name))
            start.unusable << name;
    }
    return start;
}

QString notPackageNamesText(const QStringList &fields)
{
    constexpr int Shown = 20;
    QStringList shown;
    for (const QString &field : fields.mid(0, Shown))
        shown << field.toHtmlEscaped();
    QString joined = shown.join(QStringLiteral(", "));
    if (fields.size() > Shown)
        joined += QStringLiteral(" и ещё %1").arg(fields.size() - Shown);
    return QStringLiteral("  Вами в одной строке указана установка сразу нескольких программ: <font color=#AA0000>") +
           joined +
           QStringLiteral("</font>. Это может повлечь за собой сбой корректной установки нового ПО. Отредактируйте "
                          "список, оставив в каждой строке только по одной программе.");
}
